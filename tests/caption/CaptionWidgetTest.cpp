// The caption drawn off screen: colours at the band edges, the solid
// inactive bar, texts dropped as the window narrows, system font changes,
// the client area, and the buttons and dragging of the drawn bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <set>

#include "caption/TCaptionFrame.h"
#include "caption/TGradientCaption.h"

namespace vollum::test {

namespace {
constexpr std::uint32_t kActiveCaption = 0x1020C0, kInactiveCaption = 0x606060, kColor = 0xC04000;

void UseKnownColours(QWidget& form) {
    QPalette pal = form.palette();
    pal.setColor(QPalette::Active, QPalette::Highlight, QColor::fromRgb(kActiveCaption));
    pal.setColor(QPalette::Inactive, QPalette::Dark, QColor::fromRgb(kInactiveCaption));
    form.setPalette(pal);
}

bool Activate(QWidget& form) {
    form.show();
    form.activateWindow();
    QElapsedTimer clock;
    clock.start();
    while (!form.isActiveWindow() && clock.elapsed() < 3000) QApplication::processEvents(QEventLoop::AllEvents, 20);
    return form.isActiveWindow();
}

TRect Bar(TGradientCaption& caption, const QImage& image) {
    return CaptionBarRect({0, 0, image.width(), image.height()}, caption.BorderStyle(), caption.BorderIcons(), false,
                          caption.NewShell(), caption.Metrics());
}

std::uint32_t At(const QImage& image, int x, int y) { return image.pixel(x, y) & 0xFFFFFFu; }

void Press(QWidget* target, QPoint at, QEvent::Type type = QEvent::MouseButtonPress) {
    const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, target->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void Click(QWidget* target, QPoint at) {
    Press(target, at);
    Press(target, at, QEvent::MouseButtonRelease);
}

QPoint Centre(const TRect& r) { return QPoint((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2); }
}  // namespace

TEST(CaptionWidget, BarColoursFollowEnabledAndActivation) {
    struct Case {
        bool active;
        TGradEnabled enabled;
        std::uint32_t left, right;
    } cases[] = {{true, geAlways, kColor, kActiveCaption},
                 {true, geWhenActive, kColor, kActiveCaption},
                 {true, geNever, kActiveCaption, kActiveCaption},
                 {false, geAlways, kColor, kInactiveCaption},
                 {false, geWhenActive, kInactiveCaption, kInactiveCaption}};
    QDialog form, other;
    form.setFixedSize(301, 80);
    UseKnownColours(form);
    TGradientCaption* caption = AttachGradientCaption(&form, "", "");
    caption->SetColor(kColor);
    for (const Case& c : cases) {
        ASSERT_TRUE(Activate(c.active ? form : other));
        ASSERT_EQ(caption->PaintsActive(), c.active);
        caption->SetEnabled(c.enabled);
        const QImage image = form.grab().toImage();
        const TRect bar = Bar(*caption, image);
        const int y = bar.Bottom - 1;
        EXPECT_EQ(At(image, bar.Left, y), c.left) << c.active << " " << c.enabled;
        EXPECT_EQ(At(image, bar.Right - 1, y), c.right) << c.active << " " << c.enabled;
    }
}

TEST(CaptionWidget, BandEdgesFallWhereTheBandsSplitTheBar) {
    QDialog form;
    form.setFixedSize(257, 80);  // an odd bar width
    UseKnownColours(form);
    TGradientCaption* caption = AttachGradientCaption(&form, "", "");
    caption->SetColor(kColor);
    ASSERT_TRUE(Activate(form));
    for (int bands : {1, 2, 3, 64, 256}) {
        caption->SetNumColors(bands);
        const QImage image = form.grab().toImage();
        const TRect bar = Bar(*caption, image);
        const auto expected = GradientBands(bar.Left, bar.Right, kColor, kActiveCaption, bands);
        for (const TGradientBand& band : expected) {
            if (band.X0 == band.X1) continue;
            EXPECT_EQ(At(image, band.X0, bar.Bottom - 1), band.Rgb) << bands << " bands, at " << band.X0;
            EXPECT_EQ(At(image, band.X1 - 1, bar.Top), band.Rgb) << bands << " bands, at " << band.X1 - 1;
        }
    }
    caption->SetNumColors(300);
    EXPECT_EQ(caption->NumColors(), 256);
    caption->SetNumColors(0);
    EXPECT_EQ(caption->NumColors(), 256);
}

TEST(CaptionWidget, NarrowingDropsCompanyThenAppNameAndKeepsTheCutCaption) {
    QDialog form;
    form.setWindowTitle("The caption text of this window");
    UseKnownColours(form);
    form.setFixedSize(600, 80);
    TGradientCaption* caption = AttachGradientCaption(&form, "Company", "Application");
    caption->SetEnabled(geNever);
    QPalette pal = form.palette();
    pal.setColor(QPalette::Inactive, QPalette::Dark, Qt::black);
    form.setPalette(pal);
    const std::uint32_t colours[] = {0xFF0000, 0x00FF00, 0x0000FF};
    TCompanyText* parts[] = {&caption->CompanyText(), &caption->AppNameText(), &caption->CaptionText()};
    for (int i = 0; i < 3; ++i) parts[i]->SetColorInactive(colours[i]);

    std::vector<std::set<int>> seen;  // which parts show, each change as the window narrows
    for (int width = 600; width >= 80; width -= 8) {
        form.setFixedSize(width, 80);
        const QImage image = form.grab().toImage();
        const TRect bar = Bar(*caption, image);
        std::set<int> shown;
        for (int y = bar.Top; y < bar.Bottom; ++y)
            for (int x = bar.Left; x < bar.Right; ++x) {
                const QColor c = QColor::fromRgb(image.pixel(x, y));
                const int channel[] = {c.red(), c.green(), c.blue()};
                for (int k = 0; k < 3; ++k)
                    if (channel[k] > 120 && channel[(k + 1) % 3] < 60 && channel[(k + 2) % 3] < 60) shown.insert(k);
            }
        if (seen.empty() || seen.back() != shown) seen.push_back(shown);
    }
    const std::vector<std::set<int>> expected = {{0, 1, 2}, {1, 2}, {2}};
    EXPECT_EQ(seen, expected);
}

TEST(CaptionWidget, SystemFontChangeReachesSystemKindsOnly) {
    const QFont before = QApplication::font();
    QDialog form;
    form.setFixedSize(200, 100);
    TGradientCaption* caption = AttachGradientCaption(&form, "Company", "App");
    QFont custom("Serif");
    custom.setPixelSize(9);
    caption->AppNameText().SetFont(custom);
    EXPECT_EQ(caption->AppNameText().FontKind(), fkCustom);
    caption->CaptionText().SetFontKind(fkSystemI);
    const QSize client = caption->ClientRect().size(), window = form.size();

    QFont bigger = before;
    bigger.setPixelSize(30);
    QApplication::setFont(bigger);
    QApplication::processEvents();
    const QFont company = caption->CompanyText().Font(), title = caption->CaptionText().Font();
    QApplication::setFont(before);

    EXPECT_EQ(company.pixelSize(), 30);
    EXPECT_TRUE(company.bold() && company.italic());
    EXPECT_EQ(title.pixelSize(), 30);
    EXPECT_TRUE(title.italic());
    EXPECT_EQ(caption->AppNameText().Font(), custom);
    // The taller caption grew the window, not at the client area's expense.
    EXPECT_EQ(caption->ClientRect().size(), client);
    EXPECT_GT(form.height(), window.height());
}

TEST(CaptionWidget, ControlsKeepTheirPlacesAndComeBackWhenTheCaptionGoes) {
    // Flags as the progress window has them: a help button and no close box.
    const Qt::WindowFlags flags =
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint;
    QDialog dialog(nullptr, flags);
    dialog.setFixedSize(223, 126);
    const Qt::WindowFlags settled = dialog.windowFlags();
    auto* button = new QPushButton("OK", &dialog);
    button->setGeometry(8, 96, 75, 25);
    QMainWindow main;
    auto* pane = new QPlainTextEdit;
    main.setCentralWidget(pane);
    main.resize(400, 300);

    auto* onDialog = new TGradientCaption(&dialog);
    EXPECT_EQ(onDialog->BorderStyle(), TFormBorderStyle::bsDialog);
    EXPECT_TRUE(onDialog->BorderIcons().biHelp && !onDialog->BorderIcons().biSystemMenu);
    EXPECT_EQ(onDialog->ClientRect().size(), QSize(223, 126));
    EXPECT_EQ(button->pos(), QPoint(8, 96));
    EXPECT_EQ(button->mapTo(&dialog, QPoint(0, 0)), onDialog->ClientRect().topLeft() + QPoint(8, 96));
    EXPECT_TRUE(dialog.windowFlags() & Qt::FramelessWindowHint);
    delete onDialog;
    EXPECT_EQ(dialog.size(), QSize(223, 126));
    EXPECT_EQ(button->parentWidget(), &dialog);
    EXPECT_EQ(button->pos(), QPoint(8, 96));
    EXPECT_EQ(dialog.windowFlags(), settled);

    auto* onMain = new TGradientCaption(&main);
    EXPECT_EQ(onMain->BorderStyle(), TFormBorderStyle::bsSizeable);
    main.show();
    QApplication::processEvents();
    EXPECT_TRUE(onMain->ClientRect().contains(QRect(pane->mapTo(&main, QPoint(0, 0)), pane->size())));
    EXPECT_EQ(onMain->ClientRect().size(), QSize(400, 300));
    delete onMain;
    EXPECT_EQ(main.size(), QSize(400, 300));

    QWidget borderless(nullptr, Qt::FramelessWindowHint);
    borderless.resize(100, 50);
    TGradientCaption none(&borderless);
    EXPECT_EQ(none.BorderStyle(), TFormBorderStyle::bsNone);
    EXPECT_EQ(borderless.findChild<TCaptionFrame*>(), nullptr);
    EXPECT_EQ(borderless.size(), QSize(100, 50));

    QPushButton child("not a window", &dialog);
    EXPECT_THROW(TGradientCaption{&child}, std::bad_cast);
}

TEST(CaptionWidget, DrawnButtonsAndBarWorkTheWindow) {
    QWidget form;
    form.setWindowTitle("Sizeable");
    form.setGeometry(50, 60, 300, 200);
    AttachGradientCaption(&form, "Company", "App");
    ASSERT_TRUE(Activate(form));
    auto* frame = form.findChild<TCaptionFrame*>();
    ASSERT_NE(frame, nullptr);
    auto button = [&](TCaptionButtonKind kind) {
        for (const TCaptionButton& b : frame->Buttons())
            if (b.Kind == kind) return Centre(b.Rect);
        ADD_FAILURE() << "no such button";
        return QPoint();
    };

    // Dragging the bar moves the window, by the window system or by hand.
    const QPoint start = form.pos(), grip(frame->width() / 3, frame->Buttons().front().Rect.Top + 3);
    Press(frame, grip);
    Press(frame, grip + QPoint(30, 20), QEvent::MouseMove);
    Press(frame, grip + QPoint(30, 20), QEvent::MouseButtonRelease);
    EXPECT_EQ(form.pos(), start + QPoint(30, 20));

    Click(frame, button(TCaptionButtonKind::Maximize));
    QApplication::processEvents();
    EXPECT_TRUE(form.isMaximized());
    Click(frame, button(TCaptionButtonKind::Maximize));
    QApplication::processEvents();
    EXPECT_FALSE(form.isMaximized());

    // A press that leaves the button before release does nothing.
    const QPoint close = button(TCaptionButtonKind::Close);
    Press(frame, close);
    Press(frame, QPoint(5, 100), QEvent::MouseMove);
    Press(frame, QPoint(5, 100), QEvent::MouseButtonRelease);
    EXPECT_TRUE(form.isVisible());
    Click(frame, close);
    EXPECT_FALSE(form.isVisible());
}

}  // namespace vollum::test

#include "ui/TMeterDLG.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <algorithm>

#include "caption/TGradientCaption.h"
#include "ftp/TFtpSession.h"
#include "ui/QtText.h"

namespace vollum {

namespace {
constexpr int kCaptionGap = 4;  // between a caption and its value
}  // namespace

TMeterDLG::TMeterDLG(TFtpSession& session, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowContextHelpButtonHint),
      session_(session) {
    setObjectName("MeterDLG");
    // The layout is fixed in pixels for an 11-pixel MS Sans Serif; metric-alike
    // or condensed faces keep the labels from running into each other.
    QFont f = font();
    f.setFamilies(
        {"MS Sans Serif", "Microsoft Sans Serif", "Liberation Sans", "Arial", "Helvetica", "DejaVu Sans Condensed"});
    f.setPixelSize(11);
    setFont(f);
    setWindowTitle(" ");

    Gauge1 = new QProgressBar(this);
    Gauge1->setObjectName("Gauge1");
    Gauge1->setGeometry(8, 8, 209, 17);
    Gauge1->setRange(0, 100);
    Gauge1->setValue(0);
    Gauge1->setTextVisible(false);

    // The values start empty: a transfer fills in its own, and a design
    // caption ("BytesWritt", "At:") never passes for one.
    Label1 = MakeLabel("Label1", 8, 32, "Status:");
    StatusLabel = MakeLabel("StatusLabel", 56, 32, "");
    Label2 = MakeLabel("Label2", 8, 48, "Written:");
    BytesWritt = MakeLabel("BytesWritt", 56, 48, "");
    Label3 = MakeLabel("Label3", 88, 64, "");

    Button1 = new QPushButton("&Cancel", this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(80, 96, 75, 25);
    Button1->setCursor(Qt::ArrowCursor);
    Button1->setAutoDefault(false);
    connect(Button1, &QPushButton::clicked, this, &TMeterDLG::Button1Click);

    Label4 = MakeLabel("Label4", 8, 80, "Estimated time:");
    Label5 = MakeLabel("Label5", 8, 64, "Transferspeed:");
    Label6 = MakeLabel("Label6", 88, 80, "");

    // A face wider than the design's pushes a column of values to the right
    // of its captions, and the window grows by as much.
    auto clearOf = [](std::initializer_list<QLabel*> captions, std::initializer_list<QLabel*> values) {
        int needed = 0;
        for (QLabel* caption : captions) needed = std::max(needed, caption->x() + caption->width() + kCaptionGap);
        const int shift = std::max(0, needed - (*values.begin())->x());
        for (QLabel* value : values) value->move(value->x() + shift, value->y());
        return shift;
    };
    const int grow =
        std::max(clearOf({Label1, Label2}, {StatusLabel, BytesWritt}), clearOf({Label5, Label4}, {Label3, Label6}));
    setFixedSize(223 + grow, 126);
    Gauge1->resize(Gauge1->width() + grow, Gauge1->height());

    GradientCaption1 = AttachGradientCaption(this, "Status", " ");
}

QLabel* TMeterDLG::MakeLabel(const char* name, int left, int top, const char* caption) {
    auto* label = new QLabel(caption, this);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

void TMeterDLG::FormCreate() {
    if (session_.Settings.ServerConfigured) QDialog::hide();
    session_.ForgetStoreRetry();
}

bool TMeterDLG::IsVisible() const { return isVisible(); }

void TMeterDLG::ShowAndRaise() {
    if (!placed_) {
        // Centred on the screen the first time it appears.
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
        placed_ = true;
    }
    show();
    raise();
}

void TMeterDLG::Hide() { QDialog::hide(); }

void TMeterDLG::SetPosition(int percent) { Gauge1->setValue(percent < 0 ? 0 : percent > 100 ? 100 : percent); }

void TMeterDLG::SetTitle(const std::string& text) { setWindowTitle(ToQt(text)); }

void TMeterDLG::SetLabel(QLabel* label, const std::string& text) {
    label->setText(ToQt(text));
    label->adjustSize();
}

void TMeterDLG::SetBytesWritten(const std::string& text) { SetLabel(BytesWritt, text); }
void TMeterDLG::SetStatus(const std::string& text) { SetLabel(StatusLabel, text); }
void TMeterDLG::SetSpeed(const std::string& text) { SetLabel(Label3, text); }
void TMeterDLG::SetTimeLeft(const std::string& text) { SetLabel(Label6, text); }

void TMeterDLG::Repaint() { repaint(); }

void TMeterDLG::Button1Click() {
    if (OnCancel) OnCancel();
    else session_.MeterCancel();
}

void TMeterDLG::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) return;
    QDialog::keyPressEvent(event);
}

}  // namespace vollum

// The file dialogs' name derivation, driven by keys, and every form's layout
// in the platform font at 96 and at 144 dots per inch with its caption bar,
// and Enter and Escape in the modal dialogs.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>
#include <memory>

#include "caption/TCaptionFrame.h"
#include "caption/TGradientCaption.h"
#include "companion/TMainform.h"
#include "support/ModalDriver.h"
#include "support/SessionFixture.h"
#include "support/TempDir.h"
#include "ui/DesignLayout.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"
#include "ui/TMeterDLG.h"
#include "ui/TransferDialogs.h"

namespace vollum::test {

TEST(FileDialogs, LeavingTheFileNameDerivesTheOtherName) {
    struct Case {
        const char* typed;
        const char* earlier;  // text in the derived field before
        const char* derived;
        bool put;
    };
    for (const Case& c : {Case{"/data/REPORT.TXT", "", "REPORT.TXT", true}, Case{"README", "", "README", true},
                          Case{"dir/", "x", "", true}, Case{"remote.txt", "mine.txt", "remote.txt", false}}) {
        std::unique_ptr<TTransferDialog> dialog;
        QLineEdit* from = nullptr;
        QLineEdit* derived = nullptr;
        if (c.put) {
            auto* put = new TPutDLG;
            from = put->FileName;
            derived = put->RemoteName;
            dialog.reset(put);
        } else {
            auto* get = new TGetDLG;
            from = get->FileName;
            derived = get->LocalName;
            dialog.reset(get);
        }
        dialog->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
        EXPECT_TRUE(dialog->rbBINARY->isChecked());  // without a profile's type, Binary
        derived->setText(c.earlier);
        from->setFocus();
        QTest::keyClicks(from, c.typed);
        EXPECT_EQ(derived->text(), c.earlier) << c.typed;  // typing alone derives nothing
        QTest::keyClick(from, Qt::Key_Tab);
        EXPECT_EQ(derived->text(), c.derived) << c.typed;
    }
}

namespace {

QString Shown(const QAbstractButton* b) { return ShownText(b->text()); }

// The least room between a label's text and the control after it on its row.
constexpr int kTextGap = 2;

// The controls a container holds; a plain widget that only groups others is looked into.
std::vector<QWidget*> Controls(QWidget* container) {
    std::vector<QWidget*> controls;
    for (QObject* o : container->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w == nullptr || w->isWindow() || w->isHidden() || w->objectName() == "Bevel1" ||
            qobject_cast<TCaptionFrame*>(w))
            continue;
        if (w->metaObject() == &QWidget::staticMetaObject) {
            const std::vector<QWidget*> inner = Controls(w);
            controls.insert(controls.end(), inner.begin(), inner.end());
        } else {
            controls.push_back(w);
        }
    }
    return controls;
}

// Every control inside its parent, no two overlapping, every text whole and clear of its neighbours.
void ExpectNothingClippedOrOverlapping(QWidget* container, const std::string& where) {
    const std::vector<QWidget*> children = Controls(container);
    for (QWidget* w : children) {
        const std::string name = where + "/" + w->objectName().toStdString() + " " + w->metaObject()->className();
        EXPECT_TRUE(w->parentWidget()->rect().contains(w->geometry())) << name;
        const QFontMetrics fm = w->fontMetrics();
        QRect taken = w->geometry();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << name;
            EXPECT_LE(fm.height(), label->height()) << name;
            taken.adjust(0, 0, kTextGap, 0);
        } else if (auto* push = qobject_cast<QPushButton*>(w)) {
            const int icon = push->icon().isNull() ? 0 : push->iconSize().width() + 4;
            EXPECT_LE(fm.horizontalAdvance(Shown(push)) + icon + 4, push->width()) << name;
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            EXPECT_LE(w->sizeHint().width(), w->width()) << name;
            EXPECT_LE(w->sizeHint().height(), w->height()) << name;
        } else if (auto* group = qobject_cast<QGroupBox*>(w)) {
            EXPECT_LE(fm.horizontalAdvance(ShownText(group->title())), group->width()) << name;
            ExpectNothingClippedOrOverlapping(group, name);
        }
        for (QWidget* other : children) {
            if (other == w || other->parentWidget() != w->parentWidget()) continue;
            EXPECT_FALSE(taken.intersects(other->geometry()))
                << name << " overlaps or touches " << other->objectName().toStdString();
        }
    }
}

}  // namespace

class FormLayout : public SessionFixture {};

TEST_F(FormLayout, NoTextClippedNoControlsOverlapAt96And144DpiAndEveryWindowHasItsBar) {
    const QFont original = QApplication::font();
    TempDir companionDir;
    for (const double dpiFactor : {1.0, 1.5}) {
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * dpiFactor);
        QApplication::setFont(font);
        const std::string dpi = dpiFactor == 1.0 ? "96 dpi" : "144 dpi";
        struct Window {
            std::unique_ptr<QWidget> form;
            const char* company;
        };
        std::vector<Window> windows;
        windows.push_back({std::make_unique<TLoginDLG>(session->Settings, prompts, std::function<void()>{}), "Setup"});
        windows.push_back({std::make_unique<TGetDLG>(), "Retrieve File"});
        windows.push_back({std::make_unique<TPutDLG>(), "Send File"});
        windows.push_back({std::make_unique<TViewDLG>(), "ViewFile"});
        windows.push_back({std::make_unique<TRenDLG>(), "Rename Remote File"});
        windows.push_back({std::make_unique<TMeterDLG>(*session), "Status"});
        windows.push_back(
            {std::make_unique<TMainform>(prompts, companionDir.Path() + "/", "SpoolBay", std::vector<std::string>{}),
             "Vollum 97 "});
        for (auto& [form, company] : windows) {
            form->show();
            const std::string where = dpi + " " + form->objectName().toStdString();
            ExpectNothingClippedOrOverlapping(form.get(), where);
            auto* bar = form->findChild<TGradientCaption*>("GradientCaption1");
            ASSERT_NE(bar, nullptr) << where;
            EXPECT_EQ(bar->CompanyText().Caption(), company) << where;
            // Nothing of the window's own lies under the bar or the frame.
            for (QWidget* w : Controls(form.get()))
                EXPECT_TRUE(bar->ClientRect().contains(QRect(w->mapTo(form.get(), QPoint()), w->size())))
                    << where << "/" << w->objectName().toStdString();
        }
        TFTPForm main(*session);
        main.show();
        ASSERT_NE(main.GradientCaption1, nullptr);
        EXPECT_LE(main.menuBar()->sizeHint().width(), main.GradientCaption1->ClientRect().width()) << dpi;
        EXPECT_TRUE(main.GradientCaption1->ClientRect().contains(main.menuBar()->geometry())) << dpi;
    }
    QApplication::setFont(original);
}

// Enter presses OK and Escape Cancel in every dialog a menu command opens with exec().
TEST_F(FormLayout, EnterAcceptsAndEscapeCancelsEveryModalDialog) {
    using Make = std::function<QDialog*()>;
    const std::vector<std::pair<const char*, Make>> dialogs = {
        {"Setup", [this] { return new TLoginDLG(session->Settings, prompts, {}); }},
        {"Get", [] { return new TGetDLG; }},
        {"Put", [] { return new TPutDLG; }},
        {"View", [] { return new TViewDLG; }},
        {"Rename", [] { return new TRenDLG; }}};
    for (const auto& [name, make] : dialogs) {
        for (const auto& [key, result] :
             {std::pair{Qt::Key_Return, QDialog::Accepted}, std::pair{Qt::Key_Escape, QDialog::Rejected}}) {
            std::unique_ptr<QDialog> dialog(make());
            WhenModal<QDialog>([key = key](QDialog* d) {
                // OK needs a remote name where the dialog asks for one.
                for (const char* field : {"FileName", "RemoteName"})
                    if (auto* edit = d->findChild<QLineEdit*>(field)) edit->setText("x");
                QWidget* focus = QApplication::focusWidget();
                QTest::keyClick(focus != nullptr ? focus : d, key);
            });
            EXPECT_EQ(dialog->exec(), result) << name << " " << key;
        }
    }
}

}  // namespace vollum::test

// The file dialogs' name derivation, driven by keys, and every form's layout
// in the platform font at 96 and at 144 dots per inch.
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

#include "support/SessionFixture.h"
#include "ui/DesignLayout.h"
#include "ui/TFTPForm.h"
#include "ui/TLoginDLG.h"
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
        EXPECT_TRUE(dialog->rbASCII->isChecked());  // every new dialog opens in ASCII
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

// Every control inside its parent, no two overlapping, every text whole.
void ExpectNothingClippedOrOverlapping(QWidget* container, const std::string& where) {
    std::vector<QWidget*> children;
    for (QObject* o : container->children()) {
        auto* w = qobject_cast<QWidget*>(o);
        if (w == nullptr || w->isWindow() || w->isHidden() || w->objectName() == "Bevel1") continue;
        children.push_back(w);
    }
    for (QWidget* w : children) {
        const std::string name = where + "/" + w->objectName().toStdString() + " " + w->metaObject()->className();
        EXPECT_TRUE(container->rect().contains(w->geometry())) << name;
        const QFontMetrics fm = w->fontMetrics();
        if (auto* label = qobject_cast<QLabel*>(w)) {
            EXPECT_LE(label->sizeHint().width(), label->width()) << name;
            EXPECT_LE(fm.height(), label->height()) << name;
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
            if (other == w || other > w) continue;
            EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                << name << " overlaps " << other->objectName().toStdString();
        }
    }
}

}  // namespace

class FormLayout : public SessionFixture {};

TEST_F(FormLayout, NoTextClippedNoControlsOverlapAt96And144Dpi) {
    const QFont original = QApplication::font();
    for (const double dpiFactor : {1.0, 1.5}) {
        QFont font = original;
        font.setPointSizeF(original.pointSizeF() * dpiFactor);
        QApplication::setFont(font);
        const std::string dpi = dpiFactor == 1.0 ? "96 dpi" : "144 dpi";
        std::vector<std::unique_ptr<QWidget>> forms;
        forms.emplace_back(new TLoginDLG(session->Settings, prompts, {}));
        forms.emplace_back(new TGetDLG);
        forms.emplace_back(new TPutDLG);
        forms.emplace_back(new TViewDLG);
        forms.emplace_back(new TRenDLG);
        for (auto& form : forms) {
            form->show();
            ExpectNothingClippedOrOverlapping(form.get(), dpi + " " + form->objectName().toStdString());
        }
        TFTPForm main(*session);
        main.show();
        EXPECT_LE(main.menuBar()->sizeHint().width(), main.width()) << dpi;
    }
    QApplication::setFont(original);
}

}  // namespace vollum::test

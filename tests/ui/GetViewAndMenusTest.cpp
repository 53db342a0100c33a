// Everyday use of the main window: a Get onto a file that is there, View
// without the system's opener, the read-only pane and the menus' keys.
#include <gtest/gtest.h>

#include <QAction>
#include <QFontDatabase>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QTest>
#include <cstdlib>
#include <set>

#include "platform/SystemDefaults.h"
#include "support/EventHelpers.h"
#include "ui/FileViewer.h"
#include "ui/FormFixture.h"
#include "ui/QtPrompts.h"
#include "ui/TransferDialogs.h"

namespace vollum::test {

namespace {
void Login(FakeFtpServer& s) { s.Reply("220 ready").Expect("USER").Reply("331 pw").Expect("PASS").Reply("230 in"); }
// One retrieve in active mode: TYPE (only the first time: the session
// remembers it), PORT, RETR, the bytes, 226.
void Retrieve(FakeFtpServer& s, const std::string& bytes, bool first) {
    if (first) s.Expect("TYPE").Reply("200 ok");
    s.Expect("PORT").Reply("200 ok").Expect("RETR").Reply("150 here");
    s.SendData(bytes).Reply("226 done");
}
bool PaneHas(const std::vector<std::string>& lines, const std::string& text) {
    return std::find(lines.begin(), lines.end(), text + "\r") != lines.end();
}

// PATH without the system's opener for as long as it lives.
class NoOpenerOnPath {
public:
    NoOpenerOnPath() : old_(std::getenv("PATH") ? std::getenv("PATH") : "") { ::setenv("PATH", empty_.Path().c_str(), 1); }
    ~NoOpenerOnPath() { ::setenv("PATH", old_.c_str(), 1); }

private:
    TempDir empty_;
    std::string old_;
};
}  // namespace

using GetViewAndMenus = FormFixture;

TEST_F(GetViewAndMenus, GetOntoAnExistingFileAsksAndThePaneNamesTheFileWritten) {
    struct Case {
        PromptAnswer answer;
        std::string written;  // the file that takes the download; "" = none
    };
    const std::string target = dir / "a.txt";
    const Case cases[] = {{PromptAnswer::Replace, target},
                          {PromptAnswer::KeepBoth, dir / "a (1).txt"},
                          {PromptAnswer::Cancel, ""}};
    FakeFtpServer server;
    Login(server);
    Retrieve(server, "new", true);
    Retrieve(server, "new", false);
    server.Expect("QUIT").Reply("221 bye");
    server.Start();
    ConnectTo(server.PortText(), "joe", "pw");
    ASSERT_TRUE(session->Connected());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        WriteFile(target, "old");
        std::filesystem::remove(dir / "a (1).txt");
        prompts.answers = {c.answer};
        const size_t before = server.Commands().size();
        WhenModal<TGetDLG>([&target](TGetDLG* dlg) {
            dlg->FileName->setText("a.txt");
            dlg->LocalName->setText(QString::fromStdString(target));
            dlg->OKBtn->click();
        });
        form.GetMNU->trigger();
        const ScriptedPrompts::Shown& asked = prompts.shown.back();
        EXPECT_EQ(asked.buttons, PromptButtons::ReplaceKeepBothCancel);
        EXPECT_NE(asked.text.find("a (1).txt"), std::string::npos) << asked.text;
        if (c.written.empty()) {
            EXPECT_EQ(server.Commands().size(), before);  // nothing sent
        } else {
            EXPECT_EQ(ReadFile(c.written), "new");
            EXPECT_TRUE(PaneHas(PaneLines(), "Wrote " + c.written + " (3 bytes)"));
        }
        EXPECT_EQ(ReadFile(target), c.answer == PromptAnswer::Replace ? "new" : "old");
    }
    form.QuitMNU->trigger();
    server.Finish();
    EXPECT_FALSE(server.Failed()) << server.Failure();
}

TEST_F(GetViewAndMenus, ViewWithoutTheSystemsOpenerShowsTheFileInOwnViewer) {
    const std::string text = "hello\r\nsecond line\r\n";
    const std::string binary = std::string("\x7f" "ELF\0\1\2", 7) + std::string(40, '\0');
    InDirectory here(dir.Path());  // where the view's file is made
    FakeFtpServer server;
    Login(server);
    Retrieve(server, text, true);
    Retrieve(server, binary, false);
    server.Expect("QUIT").Reply("221 bye");
    server.Start();
    ConnectTo(server.PortText(), "joe", "pw");
    ASSERT_TRUE(session->Connected());
    session->Settings.ViewSep = "1";
    session->Settings.Editor = DefaultEditor();
    {
        const NoOpenerOnPath noOpener;
        for (const char* name : {"notes.txt", "blob.bin"}) {
            WhenModal<TViewDLG>([name](TViewDLG* dlg) {
                dlg->FileName->setText(name);
                dlg->OKBtn->click();
            });
            form.ViewMNU->trigger();
        }
    }
    form.QuitMNU->trigger();
    server.Finish();
    EXPECT_FALSE(server.Failed()) << server.Failure();
    EXPECT_TRUE(prompts.shown.empty()) << prompts.Texts().front();  // no "cannot be started"
    ASSERT_EQ(prompts.files.size(), 2u);
    EXPECT_EQ(prompts.files[0].title, "notes.txt");
    EXPECT_EQ(prompts.files[0].bytes, text);
    EXPECT_EQ(prompts.files[1].bytes, binary);
    EXPECT_TRUE(PaneHas(PaneLines(), "Wrote " + prompts.files[0].path + " (" + std::to_string(text.size()) + " bytes)"));

    // The viewer itself: text as it is, anything else as hex, never editable.
    QtPrompts qt;
    for (const auto& file : prompts.files) {
        ASSERT_TRUE(qt.ShowFile(file.path, file.title));
        TFileViewer* viewer = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* v = qobject_cast<TFileViewer*>(w); v && v->isVisible()) viewer = v;
        ASSERT_NE(viewer, nullptr);
        EXPECT_TRUE(viewer->ViewerText->isReadOnly());
        const QString shown = viewer->ViewerText->toPlainText();
        if (&file == &prompts.files[0]) {
            EXPECT_FALSE(viewer->ShowsHex);
            EXPECT_EQ(shown, "hello\nsecond line\n");
        } else {
            EXPECT_TRUE(viewer->ShowsHex);
            EXPECT_TRUE(shown.startsWith("00000000  7f 45 4c 46 00 01 02 00  00 00")) << shown.toStdString();
            EXPECT_TRUE(shown.contains("|.ELF............|"));
        }
        viewer->close();
    }
}

// Under a window manager an input box shows its whole title and no resize handle.
TEST(InputBox, FitsItsTitleAndKeepsItsSize) {
    QtPrompts prompts;
    for (const char* title : {"Remote Directory Listing", "Change Directory", "Enter preferred editor"}) {
        bool seen = false;
        WhenModal<QInputDialog>([&](QInputDialog* box) {
            seen = true;
            QFont bold = QFontDatabase::systemFont(QFontDatabase::TitleFont);
            bold.setBold(true);
            // The title and, at the least, the bar's icon and three buttons.
            EXPECT_GE(box->width(), QFontMetrics(bold).horizontalAdvance(title) + 100) << title;
            EXPECT_EQ(box->minimumSize(), box->maximumSize()) << title;
            box->reject();
        });
        std::string value;
        EXPECT_FALSE(prompts.InputBox(title, "Directory:", value));
        EXPECT_TRUE(seen);
    }
}

// Enter gives the default answer, Escape the safe one.
TEST(QtPromptsQuestions, EnterAndEscapeAnswers) {
    struct Case {
        PromptButtons buttons;
        Qt::Key key;
        PromptAnswer answer;
    };
    const Case cases[] = {
        {PromptButtons::YesNo, Qt::Key_Return, PromptAnswer::Yes},
        {PromptButtons::YesNoDefaultNo, Qt::Key_Return, PromptAnswer::No},
        {PromptButtons::YesNoDefaultNo, Qt::Key_Escape, PromptAnswer::No},
        {PromptButtons::ReplaceKeepBothCancel, Qt::Key_Return, PromptAnswer::KeepBoth},
        {PromptButtons::ReplaceKeepBothCancel, Qt::Key_Escape, PromptAnswer::Cancel},
    };
    QtPrompts prompts;
    for (const Case& c : cases) {
        WhenModal<QMessageBox>([&c](QMessageBox* box) { QTest::keyClick(box, c.key); });
        EXPECT_EQ(prompts.MessageBox("Sure?", "Confirm", c.buttons, PromptIcon::Warning), c.answer)
            << static_cast<int>(c.buttons) << " " << c.key;
    }
}

TEST_F(GetViewAndMenus, PaneIsReadOnlyAndEveryMenuHasUniqueKeys) {
    form.show();
    session->ShowLine("230 Login successful.");
    form.Memo1->setFocus();
    QTest::keyClicks(form.Memo1, "typed");
    EXPECT_EQ(form.Memo1->toPlainText(), "230 Login successful.");

    auto key = [](const QString& caption) {
        const qsizetype at = caption.indexOf('&');
        return at >= 0 && at + 1 < caption.size() ? caption[at + 1].toLower() : QChar();
    };
    std::vector<QList<QAction*>> menus = {form.menuBar()->actions()};
    for (QAction* top : form.menuBar()->actions()) menus.push_back(top->menu()->actions());
    for (const auto& items : menus) {
        std::set<QChar> seen;
        for (QAction* item : items) {
            if (item->isSeparator()) continue;
            const QChar k = key(item->text());
            EXPECT_FALSE(k.isNull()) << item->text().toStdString();
            EXPECT_TRUE(seen.insert(k).second) << "second \"" << QString(k).toStdString() << "\": "
                                               << item->text().toStdString();
        }
    }
}

}  // namespace vollum::test

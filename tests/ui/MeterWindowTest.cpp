// The progress window, the main window's pane, the dialogs' end-pending rule
// and the console progress line.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "caption/TGradientCaption.h"
#include "common/Terminate.h"
#include "support/SessionFixture.h"
#include "ui/ConsoleMeter.h"
#include "ui/QtPrompts.h"
#include "ui/TFTPForm.h"
#include "ui/TMeterDLG.h"

namespace vollum::test {

class MeterWindow : public SessionFixture {
protected:
    MeterWindow() : dlg(*session) { session->SetMeter(&dlg); }
    QString Caption(const char* name) { return dlg.findChild<QLabel*>(name)->text(); }
    TMeterDLG dlg;
};

TEST_F(MeterWindow, LayoutAsDesigned) {
    // A column of values may stand right of its design to clear a wider face's
    // captions (the layout check sees to that); the window grows by as much.
    const int statusShift = dlg.StatusLabel->x() - 56, shift = dlg.Label3->x() - 88;
    EXPECT_GE(statusShift, 0);
    EXPECT_GE(shift, 0);
    const int grow = std::max(statusShift, shift);
    EXPECT_EQ(dlg.GradientCaption1->ClientRect().size(), QSize(223 + grow, 126));
    EXPECT_EQ(dlg.windowTitle(), " ");
    struct Expected {
        const char* name;
        int left, top;
        const char* caption;
    };
    // Values start empty: no design caption ever passes for one.
    for (const Expected& e :
         {Expected{"Label1", 8, 32, "Status:"}, Expected{"StatusLabel", 56 + statusShift, 32, ""},
          Expected{"Label2", 8, 48, "Written:"}, Expected{"BytesWritt", 56 + statusShift, 48, ""},
          Expected{"Label3", 88 + shift, 64, ""}, Expected{"Label4", 8, 80, "Estimated time:"},
          Expected{"Label5", 8, 64, "Transferspeed:"}, Expected{"Label6", 88 + shift, 80, ""}}) {
        auto* label = dlg.findChild<QLabel*>(e.name);
        ASSERT_NE(label, nullptr) << e.name;
        EXPECT_EQ(label->pos(), QPoint(e.left, e.top)) << e.name;
        EXPECT_EQ(label->text(), e.caption) << e.name;
    }
    auto* gauge = dlg.findChild<QProgressBar*>("Gauge1");
    ASSERT_NE(gauge, nullptr);
    EXPECT_EQ(gauge->geometry(), QRect(8, 8, 209 + grow, 17));
    EXPECT_EQ(gauge->maximum(), 100);
    auto* button = dlg.findChild<QPushButton*>("Button1");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->geometry(), QRect(80, 96, 75, 25));
    EXPECT_EQ(button->text(), "&Cancel");
}

TEST_F(MeterWindow, UpdatesShowPercentInTitleAndBytesDone) {
    session->UpdateMeter(0, 0);  // size not announced: stays hidden
    EXPECT_FALSE(dlg.isVisible());
    const std::vector<std::pair<int, const char*>> steps = {{512, "39"}, {1024, "78"}, {1300, "100"}};
    for (const auto& [done, percent] : steps) {
        session->UpdateMeter(done, 1300);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(dlg.windowTitle().toStdString(), std::string(percent) + "% Complete");
        EXPECT_EQ(Caption("BytesWritt").toStdString(), std::to_string(done) + " of 1300");
        EXPECT_EQ(dlg.Gauge1->value(), std::stoi(percent));
    }
    session->HideMeter();
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(MeterWindow, CreationHidesItWhenAServerIsConfigured) {
    session->ShowLine("426 Connection closed; transfer aborted.");
    ASSERT_TRUE(session->CheckTransferAborted("a.txt"));  // a re-run is now due
    dlg.show();
    session->Settings.ServerConfigured = true;
    dlg.FormCreate();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(session->StoreRetrying());
}

TEST_F(MeterWindow, CancelEndsTheProgramWithCode1) {
    // The real end of the process, in a child: nothing unwinds through Qt's click handling.
    EXPECT_EXIT(
        {
            SetTerminateHandler({});
            dlg.Button1->click();
        },
        ::testing::ExitedWithCode(1), "");
    EXPECT_NE(LogText().find(" Transfer aborted by user\r\n"), std::string::npos);
}

TEST_F(MeterWindow, MainWindowMirrorsThePane) {
    TFTPForm form(*session);
    EXPECT_EQ(form.windowTitle(), "Vollum 97");
    auto* memo = form.findChild<QPlainTextEdit*>("Memo1");
    ASSERT_NE(memo, nullptr);
    session->ShowText("220 Ready\r\n");
    session->ShowLine("Local port: %s", {"1024"});
    EXPECT_EQ(memo->toPlainText(), "220 Ready\nLocal port: 1024");
    session->Pane().Clear();
    EXPECT_EQ(memo->toPlainText(), "");
}

TEST(QtPromptsTest, BoxesCloseAtOnceWhileTheEndIsPending) {
    QtPrompts prompts;
    bool pending = true;
    prompts.EndPending = [&pending] { return pending; };
    // Should a box open after all, this closes it so the test fails instead of hanging.
    QTimer::singleShot(3000, [] {
        if (QWidget* w = QApplication::activeModalWidget()) w->close();
    });
    EXPECT_EQ(prompts.MessageBox("docs", "", PromptButtons::Ok, PromptIcon::None), PromptAnswer::Ok);
    EXPECT_EQ(prompts.MessageBox("Create?", "Confirm", PromptButtons::YesNo, PromptIcon::Warning), PromptAnswer::Yes);
    EXPECT_EQ(QApplication::topLevelWidgets().size(), 0);
}

TEST(ConsoleMeterTest, OneLineRedrawnInPlace) {
    std::FILE* out = std::tmpfile();
    ConsoleMeter meter(out);
    meter.SetTitle("39% Complete");
    meter.SetBytesWritten("512 of 1300");
    meter.SetStatus("Sending file: a.txt");
    meter.ShowAndRaise();
    meter.Repaint();
    meter.SetTitle("100% Complete");
    meter.SetBytesWritten("1300 of 1300");
    meter.SetStatus("Sending file: b");
    meter.Repaint();
    meter.Hide();
    std::rewind(out);
    char buf[512] = {};
    const size_t n = std::fread(buf, 1, sizeof buf - 1, out);
    std::fclose(out);
    const std::string first = "39% Complete  512 of 1300  Sending file: a.txt";
    const std::string second = "100% Complete  1300 of 1300  Sending file: b";
    // The shorter line blanks out what is left of the longer one.
    EXPECT_EQ(std::string(buf, n),
              "\r" + first + "\r" + second + std::string(first.size() - second.size(), ' ') + "\n");
}

}  // namespace vollum::test

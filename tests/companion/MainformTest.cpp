// SpoolBay's window off screen: settings in and out, Start and Stop with a
// stand-in for the mapping tool, and the tray icon's bookkeeping.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QStatusBar>
#include <cstdlib>
#include <filesystem>

#include "common/Errors.h"
#include "companion/TMainform.h"
#include "companion/TTrayIcon.h"
#include "config/TIniFile.h"
#include "platform/CompanionWords.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"

namespace vollum {
namespace {

namespace fs = std::filesystem;

class Mainform : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        ::setenv("VOLLUM_DRIVES", (root / "Drives").c_str(), 1);
        fs::create_directories(root / "config");
        fs::create_directories(root / "Client Dir");
        test::WriteFile(root / "vollum-subst", "");
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_HOME");
        ::unsetenv("VOLLUM_DRIVES");
    }
    std::unique_ptr<TMainform> Create(const std::vector<std::string>& args = {}) {
        auto f = std::make_unique<TMainform>(prompts, root.Path() + "/", root / "SpoolBay", args);
        f->StartTool = [this](const std::string& program, const std::vector<std::string>& a) {
            tool.push_back(program);
            for (const auto& s : a) tool.back() += " " + s;
            return toolStarts;
        };
        f->FormCreate();
        return f;
    }
    void WriteSettings(const std::string& drive, const std::string& interval, const std::string& startWithWindows) {
        test::WriteFile(root / "SPOOLBAY.INI", "[Options]\r\nSubstDir=" + (root / "vollum-subst") +
                                                   "\r\nVollumDir=" + (root / "Client Dir") +
                                                   "\r\nSubstDrive=" + drive + "\r\nDirInterval=" + interval +
                                                   "\r\nStartWithWindows=" + startWithWindows + "\r\n");
    }
    std::string Key() {
        return TIniFile(root / "Client Dir/VOLLUM.INI").ReadString("SpoolBay", "Executed", "<missing>");
    }

    test::TempDir root;
    ScriptedPrompts prompts;
    std::vector<std::string> tool;
    bool toolStarts = true;
};

// A missing StartWithWindows is 0: nothing is written at login until the user ticks the box.
TEST_F(Mainform, WithoutSettingsTheEditsAreEmptyTheToolIsTheOneBesideAndStartAtLoginIsOff) {
    test::WriteFile(root / "SPOOLBAY.INI", "[Options]\r\nSubstDrive=f:\r\n");
    auto f = Create();
    EXPECT_EQ(f->Edit2->text().toStdString(), root / "vollum-subst");
    EXPECT_TRUE(f->Edit3->text().isEmpty() && f->Edit4->text().isEmpty());
    EXPECT_FALSE(f->CheckBox1->isChecked());
    EXPECT_FALSE(f->Edit1->isReadOnly());
    EXPECT_FALSE(fs::exists(root / "config/autostart"));
}

// "Save settings?" after a change, however often the window was minimised,
// restored and activated in between.
TEST_F(Mainform, AChangeIsOfferedForSavingAfterMinimiseAndRestore) {
    WriteSettings("F:", "5", "0");
    auto f = Create();
    f->show();
    f->Edit4->setText("7");
    f->showMinimized();
    f->showNormal();
    f->activateWindow();
    f->FormActivate();
    QCoreApplication::processEvents();
    prompts.answers = {PromptAnswer::Yes};
    f->FormCloseQuery();
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Save settings?"});
    EXPECT_EQ(TIniFile(root / "SPOOLBAY.INI").ReadString("Options", "DirInterval", ""), "7");
    f->FormCloseQuery();
    EXPECT_EQ(prompts.shown.size(), 1u);  // saved: nothing left to ask about
}

TEST_F(Mainform, ReadsDriveAndIntervalUpperCasedKeepsPathsAndSavesOnlyWhenAskedAndChanged) {
    WriteSettings("f:", "0x5", "0");
    auto f = Create();
    EXPECT_EQ(f->Edit1->text().toStdString(), "F:");
    EXPECT_EQ(f->Edit4->text().toStdString(), "0X5");
    EXPECT_EQ(f->Edit3->text().toStdString(), root / "Client Dir");
    EXPECT_FALSE(f->CheckBox1->isChecked());

    f->FormActivate();
    EXPECT_FALSE(f->Changed());
    f->FormCloseQuery();
    EXPECT_TRUE(prompts.shown.empty());

    f->Edit4->setText("7");
    prompts.answers = {PromptAnswer::No};
    f->FormCloseQuery();
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{"Save settings?"});
    EXPECT_EQ(TIniFile(root / "SPOOLBAY.INI").ReadString("Options", "DirInterval", ""), "0x5");

    f->Edit1->setText("g:");
    prompts.answers = {PromptAnswer::Yes};
    f->FormCloseQuery();
    const TIniFile ini(root / "SPOOLBAY.INI");
    EXPECT_EQ(ini.ReadString("Options", "DirInterval", ""), "7");
    EXPECT_EQ(ini.ReadString("Options", "SubstDrive", ""), "g:");
    EXPECT_EQ(ini.ReadString("Options", "StartWithWindows", ""), "0");
}

TEST_F(Mainform, StartMapsArmsAndWatchesStopReleasesAndStopWithoutStartAsks) {
    WriteSettings("f:", "2", "0");
    auto f = Create();
    f->Edit1->setText("f:");
    f->Button3Click();
    const std::string spool = root / "Client Dir/COPY";
    EXPECT_TRUE(fs::is_directory(spool));
    EXPECT_EQ(tool, std::vector<std::string>{(root / "vollum-subst") + " F: " + spool});
    EXPECT_TRUE(f->Mapped());
    EXPECT_EQ(Key(), "1");
    EXPECT_EQ(f->StatusText(), "Status: Directory " + spool + Words().MappedAs + "F: (" + DriveShownAs('F') + ")");
    // Longer than the window: shortened on the panel, whole in its tooltip.
    const std::string longStatus = "Status: Kept in the spool " + std::string(300, 'x') + " end";
    f->Watch.SetStatus(longStatus);
    const auto* panel = f->findChild<QLabel*>("StatusPanel");
    EXPECT_EQ(f->StatusText(), longStatus);
    EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), f->StatusBar1->width());
    EXPECT_TRUE(panel->text().endsWith(" end"));
    EXPECT_EQ(panel->toolTip().toStdString(), longStatus);
    EXPECT_TRUE(f->Watch.Timer1.Enabled());
    EXPECT_EQ(f->Watch.Timer1.Interval(), 2000);

    f->Button4Click();
    EXPECT_EQ(tool.back(), (root / "vollum-subst") + " F: /D");
    EXPECT_FALSE(f->Mapped());
    EXPECT_EQ(f->StatusText(), Words().NotMappedAnymore);
    EXPECT_FALSE(f->Watch.Timer1.Enabled());
    EXPECT_EQ(Key(), "0");  // disarmed: the user's next Vollum opens its window

    prompts.answers = {PromptAnswer::No};
    f->Button4Click();
    EXPECT_EQ(prompts.Texts(), std::vector<std::string>{Words().MayNotBeMapped});
    EXPECT_EQ(tool.size(), 2u);
    EXPECT_EQ(Key(), "0");
    EXPECT_EQ(f->StatusText(), Words().NotMapped);
}

TEST_F(Mainform, StartRefusesAMappedDriveAMissingToolAndABadInterval) {
    WriteSettings("F:", "soon", "0");
    auto f = Create();
    fs::create_directories(root / "Drives");
    fs::create_directory_symlink("/tmp", root / "Drives/F");
    f->Button3Click();
    fs::remove(root / "Drives/F");
    f->Edit2->setText(QString::fromStdString(root / "no-such-tool"));
    f->Button3Click();
    EXPECT_EQ(prompts.Texts(), (std::vector<std::string>{std::string(Words().DriveInUse) + ": " + DriveShownAs('F'),
                                                         "Error Couldn't find" + (root / "no-such-tool")}));
    EXPECT_TRUE(tool.empty());

    f->Edit2->setText(QString::fromStdString(root / "vollum-subst"));
    EXPECT_THROW(f->Button3Click(), EConvertError);  // shown in a box by the caller
    EXPECT_EQ(Key(), "1");
    EXPECT_FALSE(f->Watch.Timer1.Enabled());
}

TEST_F(Mainform, CheckingStartAtLoginWritesTheEntryNamedAfterTheDrive) {
    WriteSettings("f:", "1", "1");
    auto f = Create();
    const std::string entry = root / "config/autostart/SpoolBayF.desktop";
    EXPECT_NE(test::ReadFile(entry).find("Exec=\"" + (root / "SpoolBay") + "\" /U\n"), std::string::npos);
    EXPECT_TRUE(f->Edit1->isReadOnly());
    f->CheckBox1->setChecked(false);
    EXPECT_NE(test::ReadFile(entry).find("Hidden=true"), std::string::npos);
    EXPECT_FALSE(f->Edit1->isReadOnly());
}

TEST_F(Mainform, AutoStartRunsOnceEvenWhenTheWindowIsActivatedAgain) {
    WriteSettings("F:", "1", "0");
    auto f = Create({"/u"});
    EXPECT_TRUE(f->AutoStart());
    f->FormActivate();
    f->FormActivate();
    EXPECT_EQ(tool.size(), 1u);
    EXPECT_TRUE(f->Mapped());
    // No notification area off screen: the window minimises instead of hiding.
    EXPECT_FALSE(f->TrayIcon1->Shown());
    EXPECT_TRUE(f->isMinimized());
}

TEST_F(Mainform, ExitWhileHiddenBehindTheIconReleasesAndEndsTheProgram) {
    WriteSettings("F:", "1", "0");
    auto f = Create();
    f->Button3Click();
    f->show();
    f->hide();
    bool ended = false;
    f->OnClosed = [&ended] { ended = true; };
    f->Exit1->trigger();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended);
    EXPECT_FALSE(f->Mapped());
    EXPECT_EQ(tool.back(), (root / "vollum-subst") + " F: /D");
    EXPECT_EQ(Key(), "0");
}

// While the client it started has not answered, the key is the client's to clear.
TEST_F(Mainform, StopDuringARunLeavesTheKeyToTheClient) {
    WriteSettings("F:", "1", "0");
    auto f = Create();
    f->Button3Click();
    f->Watch.Timer2.SetEnabled(true);  // a run under way
    f->Button4Click();
    EXPECT_EQ(Key(), "1");
}

// Records what the notification area is told.
struct RecordingArea : NotifyArea {
    std::vector<std::string>* calls;
    explicit RecordingArea(std::vector<std::string>* c) : calls(c) {}
    bool Add(const NotifyRecord& r) override {
        calls->push_back("add " + r.tip);
        return true;
    }
    void Modify(const NotifyRecord& r) override { calls->push_back("modify " + r.tip); }
    void Delete() override { calls->push_back("delete"); }
};

TEST(TrayIcon, CallsTheAreaOnlyForChangesAndCutsTheTip) {
    std::vector<std::string> calls;
    int rightClicks = 0;
    {
        TTrayIcon icon(nullptr, std::make_unique<RecordingArea>(&calls));
        icon.OnRightClick = [&](QObject*, Qt::MouseButton b, Qt::KeyboardModifiers, int, int) {
            rightClicks += b == Qt::RightButton;
        };
        icon.SetToolTip(std::string(70, 't'));
        EXPECT_EQ(icon.ToolTip(), std::string(62, 't'));
        icon.SetActive(false);
        EXPECT_TRUE(calls.empty());  // inactive: only the record changes
        icon.SetActive(true);
        icon.SetActive(true);
        EXPECT_EQ(calls, std::vector<std::string>{"add " + std::string(62, 't')});
        icon.MouseAction(NotifyArea::Mouse::RightUp);
        EXPECT_EQ(rightClicks, 1);
        // A cut never splits a character: 61 ASCII bytes and a two-byte letter.
        icon.SetToolTip(std::string(61, 'a') + "\xc3\xbc" + "z");
        EXPECT_EQ(icon.ToolTip(), std::string(61, 'a'));
    }
    EXPECT_EQ(calls.back(), "delete");  // destroyed while shown
}

}  // namespace
}  // namespace vollum

namespace vollum {
namespace {

// A first start, as a new user meets it: what Start needs is filled in, the
// status bar says what Start will do, and the labels speak of this system.
TEST_F(Mainform, FirstStartFillsAFreeDriveTheIntervalAndTheClientAndSaysWhatStartDoes) {
    fs::create_directories(root / "Drives");
    fs::create_directory_symlink("/tmp", root / "Drives/F");  // F: is taken
    test::WriteFile(root / "config/Vollum97 Path", (root / "Client Dir") + "\n");
    test::WriteFile(root / "Client Dir/VOLLUM.INI", "[LastUsed]\r\nNAME=office\r\n");
    auto f = Create();
    EXPECT_EQ(f->Edit1->text().toStdString(), "G:");
    EXPECT_EQ(f->Edit4->text().toStdString(), "5");
    EXPECT_EQ(f->Edit5->text().toStdString(), "500");
    EXPECT_EQ(f->Edit3->text().toStdString(), root / "Client Dir");
    EXPECT_EQ(f->StatusText(),
              "Status: Start uploads everything put into " + DriveShownAs('G') + " to the server of profile office");
    EXPECT_EQ(f->Label1->text().toStdString(), Words().ToolLabel);
    EXPECT_EQ(f->CheckBox1->text().toStdString(), Words().StartAtLogin);
    f->Button3Click();
    EXPECT_TRUE(f->Mapped());
    EXPECT_EQ(f->Watch.SettleMs, 500);
    EXPECT_TRUE(f->Changed());  // offered for saving at close
}

// Shown again from the tray's menu and by a click on the icon, every time.
TEST_F(Mainform, TheIconsMenuAndAClickBringTheWindowBack) {
    WriteSettings("F:", "1", "0");
    auto f = Create();
    f->show();
    for (auto show : std::vector<std::function<void()>>{
             [&] { f->Settings1->trigger(); },
             [&] { f->TrayIcon1->MouseAction(NotifyArea::Mouse::LeftUp); },
             [&] { f->TrayIcon1->MouseAction(NotifyArea::Mouse::LeftDoubleClick); },
         }) {
        f->showMinimized();
        QCoreApplication::processEvents();
        show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(f->isVisible());
        EXPECT_FALSE(f->isMinimized());
        EXPECT_FALSE(f->TrayIcon1->Active());
    }
}

}  // namespace
}  // namespace vollum

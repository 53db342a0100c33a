#pragma once
// SpoolBay's window: maps a drive onto the client's spool directory COPY with
// the mapping tool, arms the client's hand-shake key, watches the spool and
// starts the client, and can live behind an icon in the notification area.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "companion/CompanionSettings.h"
#include "companion/SpoolWatch.h"

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;

namespace vollum {

class TGradientCaption;
class TTrayIcon;
class UserPrompts;

class TMainform : public QWidget {
public:
    // programDir holds SPOOLBAY.INI (and ends in a separator); companionPath is
    // what start at login runs, and its directory holds the mapping tool and
    // the client used when the client directory has none; args are the
    // command-line arguments.
    TMainform(UserPrompts& prompts, const std::string& programDir, const std::string& companionPath,
              const std::vector<std::string>& args);
    ~TMainform() override;

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QLineEdit *Edit1, *Edit2, *Edit3, *Edit4, *Edit5;  // Edit5: the settle time
    QPushButton *Button2, *Button3, *Button4, *Button5;
    QCheckBox* CheckBox1;
    QStatusBar* StatusBar1;
    TTrayIcon* TrayIcon1;
    QMenu* PopupMenu1;
    QAction *Settings1, *Subst1, *DeSubst1, *Exit1;
    SpoolWatch Watch;  // Timer1 and Timer2
    TGradientCaption* GradientCaption1;

    void FormCreate();
    void FormActivate();
    // False never: closing always proceeds, after offering to save.
    bool FormCloseQuery();
    void Button2Click();  // Find
    void Button3Click();  // Start
    void Button4Click();  // Stop
    void Button5Click();  // Exit
    void CheckBox1Click();
    void Edit1Change();
    void Edit1Click();
    std::string DriveTypeText(const std::string& root);
    void MinimizeToTray();
    void Settings1Click();

    std::string StatusText() const;
    // What Start will do, for the status bar before it.
    std::string StartDescription() const;
    bool Mapped() const { return mapped_; }
    // A field differs from what was last read from or written to SPOOLBAY.INI.
    bool Changed() const;
    bool AutoStart() const { return autoStart_; }
    const std::string& LastDriveType() const { return lastDriveType_; }

    // Runs when the window has closed: closing the main window ends the program.
    std::function<void()> OnClosed;
    // Starts the mapping tool (program, arguments); true when the start was accepted.
    std::function<bool(const std::string&, const std::vector<std::string>&)> StartTool;

protected:
    bool event(QEvent* e) override;
    void changeEvent(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void BuildControls();
    void SetStatus(const std::string& text);
    CompanionSettings FieldSettings() const;
    std::string Text(const QLineEdit* edit) const;
    std::string ClientIni() const;
    // Handlers reached from the event loop show a raised failure in a box.
    void Guarded(const std::function<void()>& handler);
    void TakeToolAndDrive();
    // The first drive letter from F: whose drive is free.
    std::string FirstFreeDrive();
    // " (~/Drives/F)" after a drive where the drive is a folder; empty elsewhere.
    std::string DriveFolderNote() const;
    std::string DriveInUseText() const;
    // Stop and Exit: the hand-shake key cleared unless a run is under way; the watch ends.
    void Disarm();
    // The tray icon shows and the windows hide; without a notification area the window minimises instead.
    void HideBehindIcon();

    UserPrompts& prompts_;
    std::string programDir_, companionPath_;
    std::vector<std::string> args_;
    QLabel* statusPanel_;
    std::string statusText_ = "Status:";  // whole; the panel may show it shortened
    bool mapped_ = false;
    CompanionSettings saved_;
    bool autoStart_ = false;
    bool autoStarted_ = false;
    bool centred_ = false;
    std::string substTool_, drive_, lastDriveType_;
};

}  // namespace vollum

#pragma once
// The setup dialog: creates, edits, chooses and deletes server profiles in
// VOLLUM.INI, and is the login dialog of Connect. Every change goes straight
// into the file; the dialog keeps nothing between openings.
#include <QDialog>
#include <QSpinBox>
#include <functional>
#include <string>

#include "config/Profiles.h"
#include "config/StartupValues.h"
#include "ui/DesignLayout.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vollum {

class TGradientCaption;
class UserPrompts;

class TLoginDLG : public QDialog {
    Q_OBJECT
public:
    // settings: the session's profile fields, handed over by OK with Auto
    // Save; its TransferTypeCode is the process-wide transfer type.
    // settingsChanged runs once OK has handed new values over.
    TLoginDLG(StartupValues& settings, UserPrompts& prompts, std::function<void()> settingsChanged,
              QWidget* parent = nullptr);

    void LoadProfileList();
    void ProfileChange();
    void AddBtnClick();
    void ModifyBtnClick();
    void DeleteBtnClick();
    void OKBtnClick();
    void CheckBox1Click();
    void CheckBox2Click();
    void ForgetBtnClick();

    std::string Field(const QLineEdit* edit) const;

    QComboBox* Profile;
    QLineEdit* HostName;
    QLineEdit* UserName;
    QLabel* Label1;
    QLineEdit* Password;
    QLineEdit* Account;
    QLineEdit* ConnectionTimeOutBox;
    QPushButton* AddBtn;
    QPushButton* ModifyBtn;
    QPushButton* DeleteBtn;
    QLineEdit* Port;
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox3;
    QGroupBox* GroupBox2;
    QCheckBox* CheckBox2;
    QCheckBox* CheckBox4;
    QLineEdit* FtpTimeoutBox;
    QCheckBox* CheckBox6;
    QCheckBox* CheckBox5;
    QCheckBox* Error;
    QCheckBox* PassiveMode;
    QCheckBox* UseTLS;
    QSpinBox* Connections;  // "Parallel uploads"
    QLineEdit* TLSFingerprint;  // shows the pin; the stored text is pinned_
    QCheckBox* TempUpload;
    QPushButton* ForgetBtn;
    QGroupBox* GroupBox3;
    QRadioButton* rbASCII;
    QRadioButton* rbBINARY;
    QRadioButton* rbEBCDIC;
    QLineEdit* Edit1;
    QGroupBox* GroupBox1;
    QLineEdit* Directory;
    QLineEdit* Edit2;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;
    TGradientCaption* GradientCaption1;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Masked unless it is the e-mail field of an anonymous login and holds
    // no password the user typed.
    void ShowPasswordField();
    // The port (and the time-outs, which OK hands to the session) checked
    // before anything is saved; false after saying which is no whole number.
    bool NumbersValid(bool timeOuts);
    std::string Name() const;
    std::string IniPath() const;
    ProfileValues FromControls() const;
    // The transfer type from the radio buttons; unchanged when none is checked.
    void TakeTransferTypeFromButtons();
    // Holds the profile's stored fingerprint and shows it in openssl's spelling.
    void ShowPin(const std::string& stored);
    // Runs a handler; a failure the system raises is shown and ends only that handler.
    void Guarded(const std::function<void()>& handler);

    QLineEdit* MakeEdit(QWidget* parent, const char* name, int left, int top, int width);
    QLabel* MakeLabel(QWidget* parent, const char* caption, QWidget* buddy, int left, int top, int room,
                      const QStringList& otherTexts = {});
    QCheckBox* MakeCheck(QWidget* parent, const char* name, const char* caption, int left, int top, int width);
    QPushButton* MakeButton(const char* name, const char* caption, int left, int top, int width, int height);

    StartupValues& settings_;
    UserPrompts& prompts_;
    std::function<void()> settingsChanged_;
    DesignLayout layout_;
    std::string pinned_;
    bool listLoading_ = false;  // a new name typed keeps the login fields; one from the file does not
    bool secret_ = false;  // the Password field holds what was typed or stored as a password
};

}  // namespace vollum

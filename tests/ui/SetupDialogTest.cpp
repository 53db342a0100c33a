// The setup dialog against real VOLLUM.INI files: its edge cases as one table.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <functional>

#include "config/TIniFile.h"
#include "support/SessionFixture.h"
#include "ui/TLoginDLG.h"

namespace vollum::test {

namespace {
const char* const kTwoProfiles =
    "[index]\r\nnext=2\r\nProfile0=open\r\nProfile1=closed\r\n"
    "[LastUsed]\r\nNAME=closed\r\n"
    "[open]\r\nHostName=ftp.example\r\nUserName=joe\r\nAnonymous=1\r\nIncludeDirs=1\r\nIncludeSubDirs=1\r\n"
    "TransferType=2\r\nPort=21\r\n"
    "[closed]\r\nHostName=intra\r\nUserName=ann\r\nPassword=pw\r\nAnonymous=0\r\nPort=2121\r\n"
    "FtpTimeOut=30\r\nConnectionTimeOut=20\r\nTransferType=2\r\nAutoSave=1\r\n";
// The last profile again, trusting a certificate pinned in a spelling of the user's own.
const char* const kPin = "0a:1b:2c:3d:4e:5f:60:71:82:93:a4:b5:c6:d7:e8:f9:0a:1b:2c:3d:4e:5f:60:71:82:93:a4:b5:c6:d7:e8:f9";
const std::string kPinned = std::string(kTwoProfiles) + "UseTLS=1\r\nTLSFingerprint=" + kPin + "\r\n";
}  // namespace

class SetupDialog : public SessionFixture {
protected:
    std::string Ini() const { return dir / "VOLLUM.INI"; }
    std::string Key(const std::string& section, const std::string& key) const {
        return TIniFile(Ini()).ReadString(section, key, "<missing>");
    }
};

TEST_F(SetupDialog, EdgeCases) {
    struct Case {
        const char* name;
        const char* file;  // nullptr: no file at all
        std::function<void(TLoginDLG&)> act;
        std::function<void(TLoginDLG&)> check;
    };
    StartupValues& settings = session->Settings;
    const std::vector<Case> cases = {
        {"no file: index created, every flag on, anonymous", nullptr, [](TLoginDLG&) {},
         [&](TLoginDLG& d) {
             EXPECT_EQ(Key("index", "next"), "0");
             EXPECT_EQ(d.Profile->count(), 0);
             EXPECT_EQ(d.Profile->currentText(), "");
             for (QCheckBox* box :
                  {d.CheckBox1, d.CheckBox3, d.CheckBox6, d.CheckBox2, d.CheckBox4, d.CheckBox5, d.Error})
                 EXPECT_TRUE(box->isChecked()) << box->objectName().toStdString();
             EXPECT_FALSE(d.PassiveMode->isChecked());  // a profile talks as before unless asked
             EXPECT_FALSE(d.UseTLS->isChecked());
             EXPECT_TRUE(d.TempUpload->isChecked());  // a new profile keeps partial uploads out of sight
             EXPECT_FALSE(d.ForgetBtn->isEnabled());  // nothing pinned, nothing to forget
             EXPECT_EQ(d.UserName->text(), "Anonymous");
             EXPECT_EQ(d.Label1->text(), "Email:");
             EXPECT_EQ(d.Password->echoMode(), QLineEdit::Normal);
             EXPECT_EQ(d.HostName->text(), "");
             // A new profile starts on the FTP port with time-outs that work.
             EXPECT_EQ(d.Port->text(), "21");
             EXPECT_EQ(d.ConnectionTimeOutBox->text(), "30");
             EXPECT_EQ(d.FtpTimeoutBox->text(), "60");
         }},
        {"a new name typed keeps the host and login fields, masked; the numbers start afresh", kTwoProfiles,
         [](TLoginDLG& d) { d.Profile->setEditText("home"); },
         [](TLoginDLG& d) {
             EXPECT_EQ(d.HostName->text(), "intra");
             EXPECT_EQ(d.UserName->text(), "ann");
             EXPECT_EQ(d.Password->text(), "pw");
             EXPECT_FALSE(d.CheckBox1->isChecked());
             EXPECT_EQ(d.Password->echoMode(), QLineEdit::Password);
             EXPECT_EQ(d.Port->text() + d.ConnectionTimeOutBox->text() + d.FtpTimeoutBox->text(), "213060");
         }},
        {"a password typed stays masked when Anonymous Login is ticked and a name typed", nullptr,
         [](TLoginDLG& d) {
             d.show();
             d.CheckBox1->click();
             QTest::keyClicks(d.Password, "hunter2");
             d.CheckBox1->click();
             d.Profile->setEditText("new");
         },
         [](TLoginDLG& d) {
             EXPECT_EQ(d.Label1->text(), "Email:");
             EXPECT_EQ(d.Password->text(), "hunter2");
             EXPECT_EQ(d.Password->echoMode(), QLineEdit::Password);
         }},
        {"last used profile shown, anonymous off masks the password", kTwoProfiles, [](TLoginDLG&) {},
         [](TLoginDLG& d) {
             EXPECT_EQ(d.Profile->currentText(), "closed");
             EXPECT_EQ(d.Profile->count(), 2);
             EXPECT_EQ(d.UserName->text(), "ann");
             EXPECT_EQ(d.Label1->text(), "Password:");  // the box never changed state
             EXPECT_EQ(d.Password->echoMode(), QLineEdit::Password);
         }},
        {"choosing an anonymous profile switches to e-mail use", kTwoProfiles,
         [](TLoginDLG& d) { d.Profile->setCurrentIndex(0); },
         [](TLoginDLG& d) {
             EXPECT_EQ(d.HostName->text(), "ftp.example");
             EXPECT_EQ(d.UserName->text(), "Anonymous");
             EXPECT_EQ(d.Label1->text(), "Email:");
             EXPECT_EQ(d.Password->echoMode(), QLineEdit::Normal);
         }},
        {"back from an anonymous profile: the label has a full stop, the password is masked", kTwoProfiles,
         [](TLoginDLG& d) {
             d.Profile->setCurrentIndex(0);
             d.Profile->setCurrentIndex(1);
         },
         [](TLoginDLG& d) {
             EXPECT_EQ(d.UserName->text(), "ann");
             EXPECT_EQ(d.Label1->text(), "Password.");
             EXPECT_EQ(d.Password->echoMode(), QLineEdit::Password);
         }},
        {"include directories off disables sub-directories but keeps and saves its tick", kTwoProfiles,
         [](TLoginDLG& d) {
             d.Profile->setCurrentIndex(0);
             d.CheckBox2->click();
             d.ModifyBtn->click();
         },
         [&](TLoginDLG& d) {
             EXPECT_FALSE(d.CheckBox4->isEnabled());
             EXPECT_TRUE(d.CheckBox4->isChecked());
             EXPECT_EQ(Key("open", "IncludeDirs"), "0");
             EXPECT_EQ(Key("open", "IncludeSubDirs"), "1");
         }},
        {"OK without Auto Save writes nothing yet hands the connection settings over", kTwoProfiles,
         [](TLoginDLG& d) {
             d.CheckBox3->setChecked(false);
             d.HostName->setText("elsewhere");
             d.UseTLS->click();
             d.OKBtn->click();
         },
         [&](TLoginDLG& d) {
             EXPECT_EQ(d.result(), QDialog::Accepted);
             EXPECT_EQ(Key("closed", "HostName"), "intra");
             EXPECT_EQ(Key("closed", "UseTLS"), "<missing>");
             EXPECT_EQ(Key("Fixed", "OK"), "<missing>");
             EXPECT_EQ(settings.HostName, "elsewhere");
             EXPECT_EQ(settings.Port, "2121");
             EXPECT_EQ(settings.ConnectionTimeOut, 20);
             EXPECT_TRUE(settings.UseTLS);
             EXPECT_EQ(settings.ProfileName, "closed");
         }},
        {"OK with Auto Save keeps the stored mode and pin and hands the profile over", kPinned.c_str(),
         [](TLoginDLG& d) {
             d.rbASCII->click();
             d.PassiveMode->click();
             d.TempUpload->click();
             d.HostName->setText("elsewhere");
             d.OKBtn->click();
         },
         [&](TLoginDLG&) {
             EXPECT_EQ(Key("closed", "HostName"), "elsewhere");
             EXPECT_EQ(Key("closed", "TransferType"), "2");
             EXPECT_EQ(Key("Fixed", "OK"), "1");
             EXPECT_EQ(settings.HostName, "elsewhere");
             EXPECT_EQ(settings.Port, "2121");
             EXPECT_EQ(settings.FtpTimeOut, 30);
             EXPECT_EQ(settings.ConnectionTimeOut, 20);
             EXPECT_EQ(Key("closed", "PassiveMode"), "1");
             EXPECT_TRUE(settings.PassiveMode);
             EXPECT_EQ(Key("closed", "TempUpload"), "1");
             EXPECT_TRUE(settings.TempUpload);
             EXPECT_TRUE(settings.UseTLS);
             EXPECT_EQ(Key("closed", "TLSFingerprint"), kPin);  // as stored, not as shown
             EXPECT_EQ(settings.TLSFingerprint, kPin);
         }},
        {"Forget empties the pin, and Save writes it", kPinned.c_str(),
         [](TLoginDLG& d) {
             d.ForgetBtn->click();
             d.ModifyBtn->click();
         },
         [&](TLoginDLG& d) {
             EXPECT_FALSE(d.ForgetBtn->isEnabled());
             EXPECT_EQ(Key("closed", "TLSFingerprint"), "");
             EXPECT_EQ(Key("closed", "UseTLS"), "1");
         }},
        {"Save stores the mode from the buttons", kTwoProfiles,
         [](TLoginDLG& d) {
             d.rbEBCDIC->click();
             d.ModifyBtn->click();
         },
         [&](TLoginDLG&) { EXPECT_EQ(Key("closed", "TransferType"), "3"); }},
        {"a Port that is not a number stops Add before anything is written", kTwoProfiles,
         [](TLoginDLG& d) {
             d.Profile->setEditText("bad");
             d.HostName->setText("hb");
             d.Port->setText("x21");
             d.AddBtn->click();
         },
         [&](TLoginDLG& d) {
             EXPECT_EQ(prompts.Texts().back(), "Port must be a whole number");
             EXPECT_EQ(Key("index", "Profile2"), "<missing>");
             EXPECT_EQ(Key("bad", "HostName"), "<missing>");
             EXPECT_EQ(d.Profile->count(), 2);
         }},
        {"OK with a field that is no number names it, stays open and saves nothing until mended", kTwoProfiles,
         [&](TLoginDLG& d) {
             d.HostName->setText("elsewhere");
             for (QLineEdit* field : {d.Port, d.ConnectionTimeOutBox, d.FtpTimeoutBox}) {
                 const QString kept = field->text();
                 field->setText(field == d.Port ? "" : "1 minute");
                 d.OKBtn->click();
                 EXPECT_NE(d.result(), QDialog::Accepted);
                 EXPECT_EQ(Key("closed", "HostName"), "intra");
                 field->setText(kept);
             }
             d.OKBtn->click();
         },
         [&](TLoginDLG& d) {
             EXPECT_EQ(prompts.Texts(),
                       (std::vector<std::string>{"Port must be a whole number",
                                                 "Connection Timeout must be a whole number",
                                                 "FTP Timeout must be a whole number"}));
             EXPECT_EQ(d.result(), QDialog::Accepted);
             EXPECT_EQ(Key("closed", "HostName"), "elsewhere");
         }},
        {"Delete asks first, No by default; Yes deletes", kPinned.c_str(),
         [&](TLoginDLG& d) {
             d.DeleteBtn->click();
             EXPECT_EQ(Key("closed", "HostName"), "intra");
             prompts.answers = {PromptAnswer::Yes};
             d.DeleteBtn->click();
         },
         [&](TLoginDLG&) {
             ASSERT_EQ(prompts.shown.size(), 2u);
             EXPECT_EQ(prompts.shown[0].text, "Delete profile closed and its pinned certificate?");
             EXPECT_EQ(prompts.shown[0].buttons, PromptButtons::YesNoDefaultNo);
             EXPECT_EQ(Key("closed", "HostName"), "<missing>");
             EXPECT_EQ(Key("index", "Profile1"), "");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ::unlink(Ini().c_str());
        if (c.file != nullptr) WriteFile(Ini(), c.file);
        settings = StartupValues{};
        settings.ProgramDir = dir.Path() + "/";
        prompts.shown.clear();
        TLoginDLG dialog(settings, prompts, {});
        c.act(dialog);
        c.check(dialog);
    }
}

}  // namespace vollum::test

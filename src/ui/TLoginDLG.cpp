#include "ui/TLoginDLG.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>

#include "caption/TGradientCaption.h"
#include "common/Convert.h"
#include "common/Errors.h"
#include "common/UserPrompts.h"
#include "config/Fingerprint.h"
#include "config/TIniFile.h"
#include "platform/LocalFiles.h"
#include "ui/QtText.h"
#include "unattended/ProfileSecrets.h"

namespace vollum {

TLoginDLG::TLoginDLG(StartupValues& settings, UserPrompts& prompts, std::function<void()> settingsChanged,
                     QWidget* parent)
    : QDialog(parent),
      settings_(settings),
      prompts_(prompts),
      settingsChanged_(std::move(settingsChanged)),
      layout_(this, 371, 502) {
    setObjectName("LoginDLG");
    // The caption bar's company text names the dialog; its own title is blank.
    setWindowTitle(QString());
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Profile = new QComboBox(this);
    Profile->setObjectName("Profile");
    Profile->setEditable(true);
    Profile->setInsertPolicy(QComboBox::NoInsert);
    Profile->setEditText("Profile");
    layout_.Place(Profile, 70, 0, 155, 21);
    MakeLabel(this, "Profile:", Profile, 8, 4, 58);
    HostName = MakeEdit(this, "HostName", 70, 24, 155);
    MakeLabel(this, "Hostname:", HostName, 8, 28, 58);
    UserName = MakeEdit(this, "UserName", 70, 48, 155);
    MakeLabel(this, "Username:", UserName, 8, 52, 58);
    Password = MakeEdit(this, "Password", 70, 72, 155);
    Password->setEchoMode(QLineEdit::Password);
    Label1 = MakeLabel(this, "Password:", Password, 8, 76, 58, {"Email:", "Password."});
    Label1->setObjectName("Label1");
    Account = MakeEdit(this, "Account", 70, 96, 155);
    MakeLabel(this, "Account:", Account, 8, 100, 58);
    ConnectionTimeOutBox = MakeEdit(this, "ConnectionTimeOutBox", 112, 120, 33);
    MakeLabel(this, "Connection Timeout:", ConnectionTimeOutBox, 8, 124, 100);

    AddBtn = MakeButton("AddBtn", "Add", 232, 8, 41, 27);
    ModifyBtn = MakeButton("ModifyBtn", "Save", 280, 8, 41, 27);
    DeleteBtn = MakeButton("DeleteBtn", "Delete", 328, 8, 41, 27);
    Port = MakeEdit(this, "Port", 296, 40, 49);
    MakeLabel(this, "&Remote Port:", Port, 232, 44, 60);
    CheckBox1 = MakeCheck(this, "CheckBox1", "Anonymous &Login", 232, 64, 121);
    CheckBox3 = MakeCheck(this, "CheckBox3", "Auto Save Config", 232, 88, 121);

    GroupBox2 = new QGroupBox("Vollum drag && drop Options", this);
    GroupBox2->setObjectName("GroupBox2");
    layout_.Place(GroupBox2, 0, 144, 369, 129);
    // Drawn one pixel into its neighbour; kept clear of it here.
    CheckBox2 = MakeCheck(GroupBox2, "CheckBox2", "Include directories", 8, 16, 111);
    CheckBox4 = MakeCheck(GroupBox2, "CheckBox4", "Include Sub-Directories", 120, 16, 137);
    CheckBox4->setEnabled(false);
    FtpTimeoutBox = MakeEdit(GroupBox2, "FtpTimeoutBox", 320, 16, 33);
    MakeLabel(GroupBox2, "FTP Timeout", FtpTimeoutBox, 260, 20, 56);
    CheckBox6 = MakeCheck(GroupBox2, "CheckBox6", "Use LOG file", 8, 40, 81);
    CheckBox5 = MakeCheck(GroupBox2, "CheckBox5", "Use lowercase filenamse", 120, 40, 145);
    Error = MakeCheck(GroupBox2, "Error", "Display error messages.", 8, 64, 129);
    GroupBox3 = new QGroupBox("Transfer Mode", GroupBox2);
    GroupBox3->setObjectName("GroupBox3");
    // Two pixels lower than drawn: the box above it would otherwise overlap it.
    layout_.Place(GroupBox3, 5, 82, 209, 41);
    rbASCII = new QRadioButton("ASCII", GroupBox3);
    rbASCII->setObjectName("rbASCII");
    layout_.Place(rbASCII, 8, 16, 60, 17);
    rbBINARY = new QRadioButton("Binary", GroupBox3);
    rbBINARY->setObjectName("rbBINARY");
    layout_.Place(rbBINARY, 72, 16, 60, 17);
    rbEBCDIC = new QRadioButton("EBCDIC", GroupBox3);
    rbEBCDIC->setObjectName("rbEBCDIC");
    layout_.Place(rbEBCDIC, 136, 16, 68, 17);
    rbBINARY->setChecked(true);
    Edit1 = MakeEdit(GroupBox2, "Edit1", 220, 100, 140);
    MakeLabel(GroupBox2, "Initialize command:", Edit1, 220, 84, 140);

    GroupBox1 = new QGroupBox("Initial Directories", this);
    GroupBox1->setObjectName("GroupBox1");
    layout_.Place(GroupBox1, 0, 280, 289, 65);
    Directory = MakeEdit(GroupBox1, "Directory", 86, 12, 185);
    MakeLabel(GroupBox1, "Remote H&ost:", Directory, 8, 16, 74);
    Edit2 = MakeEdit(GroupBox1, "Edit2", 86, 40, 185);
    MakeLabel(GroupBox1, "Local &PC:", Edit2, 8, 44, 74);

    OKBtn = MakeButton("OKBtn", "OK", 296, 288, 73, 26);
    OKBtn->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    OKBtn->setDefault(true);
    CancelBtn = MakeButton("CancelBtn", "Cancel", 296, 319, 73, 27);
    CancelBtn->setIcon(style()->standardIcon(QStyle::SP_DialogCancelButton));
    // Beneath the form's original face, so that nothing of it moves.
    PassiveMode = MakeCheck(this, "PassiveMode", "Passive mode", 8, 350, 121);
    UseTLS = MakeCheck(this, "UseTLS", "Use TLS (FTPS)", 8, 372, 121);
    Connections = new QSpinBox(this);
    Connections->setObjectName("Connections");
    Connections->setRange(1, kMostConnections);
    layout_.Place(Connections, 232, 348, 41, 21);
    MakeLabel(this, "Parallel uploads:", Connections, 140, 352, 88);
    TLSFingerprint = MakeEdit(this, "TLSFingerprint", 76, 394, 237);
    TLSFingerprint->setReadOnly(true);
    TLSFingerprint->setPlaceholderText("no certificate pinned");
    MakeLabel(this, "Certificate:", TLSFingerprint, 8, 398, 64);
    ForgetBtn = MakeButton("ForgetBtn", "Forget", 320, 393, 49, 23);
    TempUpload = MakeCheck(this, "TempUpload", "Upload under a temporary name, then rename", 8, 420, 261);
    RenameBtn = MakeButton("RenameBtn", "Rename...", 296, 419, 73, 23);
    PasswordStoreBox = new QComboBox(this);
    PasswordStoreBox->setObjectName("PasswordStoreBox");
    PasswordStoreBox->addItem("in the keyring", static_cast<int>(PasswordStore::Keyring));
    PasswordStoreBox->addItem("in VOLLUM.INI", static_cast<int>(PasswordStore::File));
    PasswordStoreBox->addItem("do not save (ask at connect)", static_cast<int>(PasswordStore::Ask));
    layout_.Place(PasswordStoreBox, 96, 444, 273, 21);
    MakeLabel(this, "Save password:", PasswordStoreBox, 8, 448, 84);
    PasswordNote = new QLabel(this);
    PasswordNote->setObjectName("PasswordNote");
    PasswordNote->setWordWrap(true);
    layout_.Place(PasswordNote, 8, 468, 361, 30);

    // Tab order: the form's controls by their design order, a group box's own in its place.
    QWidget* chain[] = {Profile,    HostName,
                        UserName,   Password,
                        Account,    Port,
                        Directory,  Edit2,
                        CheckBox1,  CheckBox3,
                        AddBtn,     ModifyBtn,
                        DeleteBtn,  OKBtn,
                        CancelBtn,  CheckBox2,
                        CheckBox4,  CheckBox6,
                        rbASCII,    rbBINARY,
                        rbEBCDIC,   Edit1,
                        CheckBox5,  FtpTimeoutBox,
                        Error,      ConnectionTimeOutBox,
                        PassiveMode, Connections, UseTLS,
                        TLSFingerprint, ForgetBtn,
                        TempUpload, RenameBtn, PasswordStoreBox};
    for (size_t i = 1; i < std::size(chain); ++i) setTabOrder(chain[i - 1], chain[i]);

    connect(Profile, &QComboBox::editTextChanged, this, [this] { Guarded([this] { ProfileChange(); }); });
    connect(Password, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (text.isEmpty()) secret_ = false;
        else if (Password->echoMode() == QLineEdit::Password) secret_ = true;
    });
    connect(CheckBox1, &QCheckBox::toggled, this, &TLoginDLG::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::toggled, this, &TLoginDLG::CheckBox2Click);
    connect(AddBtn, &QPushButton::clicked, this, [this] { Guarded([this] { AddBtnClick(); }); });
    connect(ModifyBtn, &QPushButton::clicked, this, [this] { Guarded([this] { ModifyBtnClick(); }); });
    connect(DeleteBtn, &QPushButton::clicked, this, [this] { Guarded([this] { DeleteBtnClick(); }); });
    connect(OKBtn, &QPushButton::clicked, this, [this] {
        // A field that is no number keeps the dialog open; any other failure
        // is shown, and the dialog still closes with OK.
        if (!NumbersValid(true)) return;
        Guarded([this] { OKBtnClick(); });
        accept();
    });
    connect(CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ForgetBtn, &QPushButton::clicked, this, &TLoginDLG::ForgetBtnClick);
    connect(RenameBtn, &QPushButton::clicked, this, [this] { Guarded([this] { RenameBtnClick(); }); });
    // A password typed in replaces one the keyring did not give.
    for (QLineEdit* secret : {Password, Account})
        connect(secret, &QLineEdit::textEdited, this, [this] {
            secretUnread_ = false;
            ShowPasswordNote();
        });
    connect(PasswordStoreBox, &QComboBox::currentIndexChanged, this, [this] { ShowPasswordNote(); });

    layout_.Apply();
    GradientCaption1 = AttachGradientCaption(this, "Setup", "");
    Guarded([this] { LoadProfileList(); });
}

QLineEdit* TLoginDLG::MakeEdit(QWidget* parent, const char* name, int left, int top, int width) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    layout_.Place(edit, left, top, width, 21);
    return edit;
}

QLabel* TLoginDLG::MakeLabel(QWidget* parent, const char* caption, QWidget* buddy, int left, int top, int room,
                             const QStringList& otherTexts) {
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    layout_.PlaceLabel(label, left, top, room, otherTexts);
    return label;
}

QCheckBox* TLoginDLG::MakeCheck(QWidget* parent, const char* name, const char* caption, int left, int top, int width) {
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    layout_.Place(box, left, top, width, 17);
    return box;
}

QPushButton* TLoginDLG::MakeButton(const char* name, const char* caption, int left, int top, int width, int height) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setAutoDefault(false);
    layout_.Place(button, left, top, width, height);
    return button;
}

void TLoginDLG::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    HostName->setFocus();
}

void TLoginDLG::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const VollumError& e) {
        prompts_.MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
    }
}

std::string TLoginDLG::Field(const QLineEdit* edit) const { return FromQt(edit->text()); }
std::string TLoginDLG::Name() const { return FromQt(Profile->currentText()); }
std::string TLoginDLG::IniPath() const { return settings_.ProgramDir + "VOLLUM.INI"; }

void TLoginDLG::LoadProfileList() {
    TIniFile ini(IniPath());
    {
        // The list is filled quietly; the profile is loaded once, below.
        const QSignalBlocker quiet(Profile);
        Profile->clear();
        Profile->setEditText(QString());
        for (const std::string& name : ListProfiles(ini)) Profile->addItem(ToQt(name));
        Profile->setCurrentIndex(-1);
        Profile->setEditText(ToQt(ini.ReadString("LastUsed", "NAME", Name())));
    }
    listLoading_ = true;
    ProfileChange();
    listLoading_ = false;
}

void TLoginDLG::ProfileChange() {
    ProfileValues defaults;
    defaults.Localdir = Field(Edit2);
    defaults.TransferType = settings_.TransferTypeCode;
    const TIniFile ini(IniPath());
    // A name without a section is a new profile. It keeps its password in the
    // keyring when one answers here, asked before the name is looked at again:
    // the name may change while it waits.
    if (!ProfileSaved(ini, Name())) KeyringHere();
    const bool known = ProfileSaved(ini, Name());
    if (!known) {
        defaults.Port = kNewProfilePort;
        defaults.ConnectionTimeOut = kNewProfileConnectionTimeOut;
        defaults.FtpTimeOut = kNewProfileFtpTimeOut;
        defaults.PasswordStore = keyringAnswers_.value_or(false) ? PasswordStore::Keyring : PasswordStore::File;
    }
    // Typing a new name, key by key, must not wipe or unmask what was typed below it.
    const bool keepLogin = !listLoading_ && !known;
    if (keepLogin) {
        defaults.HostName = Field(HostName);
        defaults.UserName = Field(UserName);
        defaults.Password = Field(Password);
        defaults.Account = Field(Account);
        defaults.Anonymous = CheckBox1->isChecked();
    }
    // A new profile uploads under temporary names; one already in the file keeps what it has.
    defaults.TempUpload = !known;
    const ProfileValues v = ReadProfileKeys(ini, Name(), defaults);
    HostName->setText(ToQt(v.HostName));
    if (!keepLogin) {
        UserName->setText(ToQt(v.UserName));
        Password->setText(ToQt(v.Password));
        // What an anonymous profile stores there is an e-mail address.
        secret_ = !v.Anonymous && !v.Password.empty();
    }
    Account->setText(ToQt(v.Account));
    Directory->setText(ToQt(v.Directory));
    Port->setText(ToQt(v.Port));
    Edit2->setText(ToQt(v.Localdir));
    // A box that changes state runs its click behaviour, as a click would.
    CheckBox1->setChecked(v.Anonymous);
    ShowPasswordField();
    CheckBox3->setChecked(v.AutoSave);
    FtpTimeoutBox->setText(ToQt(v.FtpTimeOut));
    ConnectionTimeOutBox->setText(ToQt(v.ConnectionTimeOut));
    settings_.TransferTypeCode = v.TransferType;
    CheckBox6->setChecked(v.UseLogFile);
    CheckBox2->setChecked(v.IncludeDirs);
    CheckBox4->setChecked(v.IncludeSubDirs);
    CheckBox5->setChecked(v.UseLowerCase);
    Error->setChecked(v.DisplayError);
    PassiveMode->setChecked(v.PassiveMode);
    UseTLS->setChecked(v.UseTLS);
    Connections->setValue(v.Connections);
    // A certificate trusted this session for the profile as shown outranks the file.
    const auto held = settings_.SessionPins.find(Name());
    ShowPin(held != settings_.SessionPins.end() ? held->second : v.TLSFingerprint);
    TempUpload->setChecked(v.TempUpload);
    Edit1->setText(ToQt(v.InitializeCommand));
    if (v.TransferType == 1) rbASCII->setChecked(true);
    if (v.TransferType == 2) rbBINARY->setChecked(true);
    if (v.TransferType == 3) rbEBCDIC->setChecked(true);
    secretUnread_ = false;
    keyringProblem_.clear();
    ShowStore(v.PasswordStore);
    if (known && v.PasswordStore == PasswordStore::Keyring)
        ReadKeyring(KeyringWaitMs(TryStrToInt(v.ConnectionTimeOut).value_or(0)));
    ShowPasswordNote();
}

bool TLoginDLG::KeyringHere() {
    // Short: a desktop's keyring answers at once, and the dialog is waiting.
    constexpr int kProbeSeconds = 5;
    if (!keyringAnswers_) keyringAnswers_ = SessionBusPresent() && KeyringAnswers(kProbeSeconds * 1000);
    return *keyringAnswers_;
}

PasswordStore TLoginDLG::ChosenStore() const {
    return static_cast<PasswordStore>(PasswordStoreBox->currentData().toInt());
}

void TLoginDLG::ShowStore(PasswordStore store) {
    PasswordStoreBox->setCurrentIndex(PasswordStoreBox->findData(static_cast<int>(store)));
}

void TLoginDLG::ShowPasswordNote() {
    QString note;
    if (secretUnread_)
        note = ToQt("The keyring did not give the password (" + keyringProblem_ +
                    "): type it here, or Connect asks for it");
    else if (!SessionBusPresent() || keyringAnswers_ == false)
        note = "No keyring on this desktop: the password is kept in VOLLUM.INI, readable by you only";
    PasswordNote->setText(note);
}

bool TLoginDLG::ReadKeyring(int64_t waitMs) {
    // Unknown while the keyring is asked: an OK pressed meanwhile saves no empty password over it.
    secretUnread_ = true;
    const std::string name = Name();
    const KeyringResult r = ReadProfileSecret(IniPath(), name, waitMs);
    // Another profile chosen during the wait has been shown by then; this answer is stale.
    if (Name() != name) return false;
    secretUnread_ = !r.Ok();
    keyringProblem_ = r.reason;
    Password->setText(ToQt(r.secret.Password));
    Account->setText(ToQt(r.secret.Account));
    // What the keyring gives is a password, masked like one typed.
    if (!r.secret.Password.empty()) secret_ = true;
    ShowPasswordField();
    return r.Ok();
}

bool TLoginDLG::RetryKeyring() {
    const bool came = ReadKeyring(KeyringWait());
    ShowPasswordNote();
    return came;
}

int64_t TLoginDLG::KeyringWait() const {
    return KeyringWaitMs(TryStrToInt(Field(ConnectionTimeOutBox)).value_or(0));
}

bool TLoginDLG::PasswordToAsk() const {
    return (ChosenStore() == PasswordStore::Ask || secretUnread_) && Password->text().isEmpty() &&
           !CheckBox1->isChecked();
}

void TLoginDLG::SaveWithSecret(const std::function<void(TIniFile&, const std::string&, const ProfileValues&)>& save,
                               const ProfileValues& values) {
    TIniFile ini(IniPath());
    const std::string message = SaveProfileWithSecret(ini, Name(), values, !secretUnread_, KeyringWait(), save);
    // Where the secret went, as the file now says (the file, when the keyring refused it).
    ShowStore(PasswordStoreOf(ini.ReadString(Name(), "PasswordStore", "")));
    if (!message.empty()) prompts_.Warning(message);
}

void TLoginDLG::RenameBtnClick() {
    const std::string from = Name();
    std::string to = from;
    if (!prompts_.InputBox("Rename profile", "New name for profile \"" + from + "\":", to) || to == from) return;
    TIniFile ini(IniPath());
    const RenameOutcome r = RenameProfileWithSecret(ini, from, to, KeyringWait());
    if (r.renamed) {
        LoadProfileList();
        if (Name() != to) Profile->setEditText(ToQt(to));
    }
    if (!r.message.empty()) prompts_.Warning(r.message);
}

void TLoginDLG::CheckBox1Click() {
    if (CheckBox1->isChecked()) {
        Label1->setText("Email:");
        UserName->setText("Anonymous");
    } else {
        Label1->setText("Password.");
    }
    ShowPasswordField();
}

void TLoginDLG::ShowPasswordField() {
    const bool email = CheckBox1->isChecked() && !secret_;
    Password->setEchoMode(email ? QLineEdit::Normal : QLineEdit::Password);
}

bool TLoginDLG::NumbersValid(bool timeOuts) {
    const std::pair<QLineEdit*, const char*> fields[] = {
        {Port, "Port"}, {ConnectionTimeOutBox, "Connection Timeout"}, {FtpTimeoutBox, "FTP Timeout"}};
    for (const auto& [edit, what] : fields) {
        if (!timeOuts && edit != Port) break;
        if (TryStrToInt(Field(edit))) continue;
        prompts_.MessageBox(std::string(what) + " must be a whole number", "Setup", PromptButtons::Ok,
                            PromptIcon::Exclamation);
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    return true;
}

void TLoginDLG::CheckBox2Click() { CheckBox4->setEnabled(CheckBox2->isChecked()); }

void TLoginDLG::ShowPin(const std::string& stored) {
    pinned_ = stored;
    const auto hex = NormalizedFingerprint(stored);
    const QString whole = ToQt(hex ? FingerprintText(*hex) : stored);
    // 95 characters do not fit the form: both ends stay visible, the tip shows all.
    const int frame = TLSFingerprint->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, TLSFingerprint);
    const int room = TLSFingerprint->width() - 2 * frame - 8;
    TLSFingerprint->setText(TLSFingerprint->fontMetrics().elidedText(whole, Qt::ElideMiddle, room));
    TLSFingerprint->setCursorPosition(0);
    QString tip = whole;
    if (!stored.empty() && !hex) tip += "\n(not a SHA-256 fingerprint)";
    TLSFingerprint->setToolTip(tip);
    ForgetBtn->setEnabled(!stored.empty());
}

void TLoginDLG::ForgetBtnClick() { ShowPin(""); }

ProfileValues TLoginDLG::FromControls() const {
    ProfileValues v;
    v.HostName = Field(HostName);
    v.UserName = Field(UserName);
    v.Password = Field(Password);
    v.Account = Field(Account);
    v.Directory = Field(Directory);
    v.Port = Field(Port);
    v.Localdir = Field(Edit2);
    v.Anonymous = CheckBox1->isChecked();
    v.AutoSave = CheckBox3->isChecked();
    v.UseLogFile = CheckBox6->isChecked();
    v.IncludeDirs = CheckBox2->isChecked();
    v.IncludeSubDirs = CheckBox4->isChecked();
    v.UseLowerCase = CheckBox5->isChecked();
    v.InitializeCommand = Field(Edit1);
    v.FtpTimeOut = Field(FtpTimeoutBox);
    v.ConnectionTimeOut = Field(ConnectionTimeOutBox);
    v.DisplayError = Error->isChecked();
    v.PassiveMode = PassiveMode->isChecked();
    v.UseTLS = UseTLS->isChecked();
    v.Connections = Connections->value();
    v.TLSFingerprint = pinned_;
    v.TempUpload = TempUpload->isChecked();
    v.TransferType = settings_.TransferTypeCode;
    v.PasswordStore = ChosenStore();
    return v;
}

void TLoginDLG::TakeTransferTypeFromButtons() {
    if (rbASCII->isChecked()) settings_.TransferTypeCode = 1;
    if (rbBINARY->isChecked()) settings_.TransferTypeCode = 2;
    if (rbEBCDIC->isChecked()) settings_.TransferTypeCode = 3;
}

void TLoginDLG::AddBtnClick() {
    if (!NumbersValid(false)) return;
    TakeTransferTypeFromButtons();
    SaveWithSecret(AddProfile, FromControls());
    const QSignalBlocker quiet(Profile);
    const QString text = Profile->currentText();
    Profile->addItem(text);
    Profile->setEditText(text);
}

void TLoginDLG::ModifyBtnClick() {
    if (!NumbersValid(false)) return;
    TakeTransferTypeFromButtons();
    SaveWithSecret(ModifyProfile, FromControls());
}

void TLoginDLG::DeleteBtnClick() {
    const std::string question =
        "Delete profile " + Name() + (pinned_.empty() ? "?" : " and its pinned certificate?");
    if (prompts_.MessageBox(question, "Setup", PromptButtons::YesNoDefaultNo, PromptIcon::Warning) !=
        PromptAnswer::Yes)
        return;
    TIniFile ini(IniPath());
    const std::string name = Name();
    const PasswordStore stored = ProfileSaved(ini, name) ? PasswordStoreOf(ini.ReadString(name, "PasswordStore", ""))
                                                         : PasswordStore::File;
    const int64_t waitMs = KeyringWait();
    if (DeleteProfile(ini, name)) LoadProfileList();
    // After the file: a profile is never left without the password it names.
    if (const std::string message = ForgetProfileSecret(IniPath(), name, stored, waitMs); !message.empty())
        prompts_.Warning(message);
}

void TLoginDLG::OKBtnClick() {
    const bool autoSave = CheckBox3->isChecked();
    const ProfileValues v = FromControls();
    if (autoSave) {
        SaveWithSecret(AutoSaveProfile, v);
        settings_.SessionPins.erase(Name());  // the pin shown is in the file now
    }
    // Connect uses what the dialog shows, saved or not: a profile that asks
    // for TLS never logs in over plain text because another was used last.
    settings_.HostName = v.HostName;
    settings_.UserName = v.UserName;
    settings_.Password = v.Password;
    settings_.Account = v.Account;
    settings_.PasswordStore = ChosenStore();
    settings_.Directory = v.Directory;
    settings_.Port = v.Port;
    settings_.PassiveMode = v.PassiveMode;
    settings_.UseTLS = v.UseTLS;
    settings_.Connections = std::clamp(v.Connections, 1, kMostConnections);
    settings_.TLSFingerprint = v.TLSFingerprint;
    settings_.TempUpload = v.TempUpload;
    if (v.TLSFingerprint.empty()) settings_.SessionPins.erase(Name());  // "Forget" forgets a held pin too
    settings_.ProfileName = Name();  // where a certificate the user trusts gets pinned
    if (autoSave) settings_.Localdir = v.Localdir;
    // Last: a time-out that is no number raises here, with everything above handed over.
    settings_.FtpTimeOut = StrToInt(v.FtpTimeOut);
    settings_.ConnectionTimeOut = StrToInt(v.ConnectionTimeOut);
    if (settingsChanged_) settingsChanged_();
    if (autoSave && !v.Localdir.empty() && !ChangeDirectory(v.Localdir)) prompts_.Warning("Cannot find directory");
}

}  // namespace vollum

#include "companion/TMainform.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "caption/TGradientCaption.h"
#include "common/Convert.h"
#include "common/Errors.h"
#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "companion/CompanionSettings.h"
#include "companion/TTrayIcon.h"
#include "config/ProgramDir.h"
#include "config/TIniFile.h"
#include "platform/CompanionWords.h"
#include "platform/DriveMapping.h"
#include "platform/LocalFiles.h"
#include "platform/ProcessStart.h"
#include "platform/StartAtLogin.h"
#include "ui/QtText.h"

namespace vollum {

namespace fs = std::filesystem;

namespace {

void Place(QWidget* w, int left, int top, int width = -1, int height = -1) {
    const QSize hint = w->sizeHint();
    w->setGeometry(left, top, width < 0 ? hint.width() : width, height < 0 ? hint.height() : height);
}

constexpr int kCaptionGap = 4;  // between a caption and the control beside it

void SetTextColour(QLineEdit* edit, Qt::GlobalColor colour) {
    QPalette p = edit->palette();
    p.setColor(QPalette::Text, colour);
    edit->setPalette(p);
}

}  // namespace

TMainform::TMainform(UserPrompts& prompts, const std::string& programDir, const std::string& companionPath,
                     const std::vector<std::string>& args)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      Watch(prompts),
      prompts_(prompts),
      programDir_(programDir),
      companionPath_(companionPath),
      args_(args) {
    BuildControls();
    StartTool = [](const std::string& program, const std::vector<std::string>& a) { return StartHidden(program, a); };
    Watch.ClientDirectory = [this] { return Text(Edit3); };
    Watch.CompanionDirectory = DirectoryPart(companionPath_);
    Watch.DriveAsTyped = [this] { return Text(Edit1); };
    Watch.SetStatus = [this](const std::string& s) { SetStatus(s); };
}

TMainform::~TMainform() = default;

void TMainform::BuildControls() {
    setObjectName("Mainform");
    setWindowTitle(QString());
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    outer->setSizeConstraint(QLayout::SetFixedSize);
    auto* body = new QWidget(this);
    body->setObjectName("Body");
    // The positions are laid out for a narrow 8-point face at 96 dots per inch (11 pixels).
    QFont face = body->font();
    face.setFamilies({"MS Sans Serif", "Arial", "Liberation Sans", "DejaVu Sans Condensed"});
    face.setPixelSize(11);
    body->setFont(face);
    outer->addWidget(body);

    auto label = [body](const char* name, const char* text, int left, int top) {
        auto* l = new QLabel(QString::fromLatin1(text), body);
        l->setObjectName(name);
        Place(l, left, top);
        return l;
    };
    auto edit = [body](const char* name, int left, int top, int width) {
        auto* e = new QLineEdit(body);
        e->setObjectName(name);
        Place(e, left, top, width, 21);
        return e;
    };
    auto button = [body](const char* name, const char* text, int left, int top, int width, int height) {
        auto* b = new QPushButton(QString::fromLatin1(text), body);
        b->setObjectName(name);
        Place(b, left, top, width, height);
        return b;
    };
    Label1 = label("Label1", Words().ToolLabel, 8, 8);
    Edit2 = edit("Edit2", 8, 24, 241);
    Edit2->setText("C:\\WINDOWS\\COMMAND\\SUBST.EXE");
    Label2 = label("Label2", Words().DriveLabel, 256, 8);
    Edit1 = edit("Edit1", 256, 24, 25);
    Label3 = label("Label3", "Vollum 97 Path:", 8, 56);
    Edit3 = edit("Edit3", 8, 72, 185);
    Button2 = button("Button2", "&Find", 200, 72, 49, 21);
    Label4 = label("Label4", "Directory check interval:", 8, 104);
    Edit4 = edit("Edit4", 8, 120, 33);
    Label5 = label("Label5", "Seconds", 48, 128);
    // The settle time, beside the interval it works with.
    Edit5 = edit("Edit5", std::max(92, Label5->x() + Label5->width() + kCaptionGap), 120, 33);
    Edit5->setToolTip("Settle time: how long the drive must stay unchanged before Vollum starts, in milliseconds");
    Label6 = label("Label6", "ms", Edit5->x() + Edit5->width() + kCaptionGap, 128);
    CheckBox1 = new QCheckBox(QString::fromLatin1(Words().StartAtLogin), body);
    CheckBox1->setObjectName("CheckBox1");
    Place(CheckBox1, 128, 104, 209, 17);
    Button3 = button("Button3", "&Start", 152, 128, 57, 25);
    Button3->setDefault(true);
    Button4 = button("Button4", "&Stop", 216, 128, 57, 25);
    Button5 = button("Button5", "&Exit", 280, 128, 59, 25);
    // A face wider than the design's moves the check box clear of the interval's
    // caption; the window grows to keep the box's margin on the right.
    const int shift = std::max(0, Label4->x() + Label4->width() + kCaptionGap - CheckBox1->x());
    const QSize hint = CheckBox1->sizeHint();
    CheckBox1->setGeometry(CheckBox1->x() + shift, CheckBox1->y(), std::max(CheckBox1->width(), hint.width()),
                           std::max(CheckBox1->height(), hint.height()));
    const int width = std::max(351, CheckBox1->geometry().right() + 1 + 14);
    body->setFixedSize(width, 177);
    StatusBar1 = new QStatusBar(body);
    StatusBar1->setObjectName("StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setGeometry(0, 177 - 19, width, 19);
    statusPanel_ = new QLabel("Status:", StatusBar1);
    statusPanel_->setObjectName("StatusPanel");
    statusPanel_->setMinimumWidth(50);
    StatusBar1->addWidget(statusPanel_, 1);

    QWidget* order[] = {Edit2, Edit3, Edit4, Edit5, Edit1, Button3, Button4, Button5, Button2, CheckBox1};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName("PopupMenu1");
    Settings1 = PopupMenu1->addAction("Show Mainform");
    Subst1 = PopupMenu1->addAction("Start");
    DeSubst1 = PopupMenu1->addAction("Stop");
    Exit1 = PopupMenu1->addAction("Exit");
    Settings1->setObjectName("Settings1");
    Subst1->setObjectName("Subst1");
    DeSubst1->setObjectName("DeSubst1");
    Exit1->setObjectName("Exit1");
    TrayIcon1 = new TTrayIcon(this);
    TrayIcon1->PopupMenu = PopupMenu1;
    TrayIcon1->SetIcon(CompanionIcon());
    setWindowIcon(CompanionIcon());
    GradientCaption1 = AttachGradientCaption(this, "Vollum 97 ", " ");

    connect(Button2, &QPushButton::clicked, this, [this] { Guarded([this] { Button2Click(); }); });
    connect(Button3, &QPushButton::clicked, this, [this] { Guarded([this] { Button3Click(); }); });
    connect(Button4, &QPushButton::clicked, this, [this] { Guarded([this] { Button4Click(); }); });
    connect(Button5, &QPushButton::clicked, this, [this] { Guarded([this] { Button5Click(); }); });
    connect(Settings1, &QAction::triggered, this, [this] { Settings1Click(); });
    // A click on the icon brings the window back, as desktop users expect.
    TrayIcon1->OnClick = [this](QObject*) { Settings1Click(); };
    TrayIcon1->OnDblClick = [this](QObject*) { Settings1Click(); };
    connect(Subst1, &QAction::triggered, this, [this] { Guarded([this] { Button3Click(); }); });
    connect(DeSubst1, &QAction::triggered, this, [this] { Guarded([this] { Button4Click(); }); });
    connect(Exit1, &QAction::triggered, this, [this] { Guarded([this] { Button5Click(); }); });
    connect(CheckBox1, &QCheckBox::toggled, this, [this] { Guarded([this] { CheckBox1Click(); }); });
    connect(Edit1, &QLineEdit::textChanged, this, [this] { Edit1Change(); });
    // Return in any edit presses the default button.
    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4, Edit5})
        connect(e, &QLineEdit::returnPressed, Button3, &QPushButton::click);
    Edit1->installEventFilter(this);
}

std::string TMainform::Text(const QLineEdit* edit) const { return FromQt(edit->text()); }

std::string TMainform::StatusText() const { return statusText_; }

void TMainform::SetStatus(const std::string& text) {
    statusText_ = text;
    // The window has a fixed width: a long status is shortened in the middle
    // (paths end in what matters) and shown whole in its tooltip.
    const QString whole = ToQt(text);
    const int room = std::max(50, StatusBar1->width() - 12);
    const QString shown = statusPanel_->fontMetrics().elidedText(whole, Qt::ElideMiddle, room);
    statusPanel_->setText(shown);
    statusPanel_->setToolTip(shown == whole ? QString() : whole);
}

std::string TMainform::ClientIni() const { return AddBackslash(Text(Edit3)) + "VOLLUM.INI"; }

void TMainform::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const VollumError& e) {
        prompts_.MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
    }
}

void TMainform::FormCreate() {
    const std::string companionDir = AddBackslash(DirectoryPart(companionPath_));
    const CompanionSettings s = ReadCompanionSettings(programDir_ + "SPOOLBAY.INI", DefaultSubstTool(companionDir),
                                                      DefaultClientDirectory(companionDir));
    Edit2->setText(ToQt(s.SubstDir));
    Edit3->setText(ToQt(s.VollumDir));
    Edit1->setText(ToQt(s.SubstDrive));
    Edit4->setText(ToQt(s.DirInterval));
    Edit5->setText(ToQt(s.SettleMs));
    CheckBox1->setChecked(s.StartWithWindows);
    autoStart_ = !args_.empty() && (args_[0] == "/U" || args_[0] == "/u");
    saved_ = FieldSettings();
    // A first start fills in what Start needs; "Save settings?" keeps it.
    if (!LocalFileExists(programDir_ + "SPOOLBAY.INI")) {
        if (Edit1->text().isEmpty()) Edit1->setText(ToQt(FirstFreeDrive()));
        if (Edit4->text().isEmpty()) Edit4->setText("5");
        if (Edit3->text().isEmpty()) Button2Click();
    }
    SetStatus(StartDescription());
}

std::string TMainform::FirstFreeDrive() {
    for (char letter = 'F'; letter <= 'Z'; ++letter) {
        const std::string drive = std::string(1, letter) + ":";
        if (DriveTypeText(drive) == "does not exist") return drive;
    }
    return "F:";
}

std::string TMainform::StartDescription() const {
    const auto letter = DriveLetter(UpperCaseName(Text(Edit1)));
    if (!letter || Text(Edit3).empty()) return "Status:";
    const std::string profile = TIniFile(ClientIni()).ReadString("LastUsed", "NAME", "");
    const std::string where = DriveShownAs(*letter);
    if (profile.empty())
        return "Status: Vollum has no server profile yet: set one up in Vollum, then Start uploads what is put into " +
               where;
    return "Status: Start uploads everything put into " + where + " to the server of profile " + profile;
}

CompanionSettings TMainform::FieldSettings() const {
    return {Text(Edit2), Text(Edit3), Text(Edit1), Text(Edit4), CheckBox1->isChecked(), Text(Edit5)};
}

bool TMainform::Changed() const { return !(FieldSettings() == saved_); }

void TMainform::FormActivate() {
    // What counts as changed is measured against the last save, so showing,
    // minimising or re-activating the window never forgets a change.
    if (Edit3->text().isEmpty()) Button2Click();
    // Once only: were it repeated, the window could never be shown again, and a
    // second Start would forget the mapping the first one made.
    if (autoStart_ && !autoStarted_) {
        autoStarted_ = true;
        HideBehindIcon();
        Guarded([this] { Button3Click(); });
    }
}

bool TMainform::FormCloseQuery() {
    if (Changed() && prompts_.AskYesNo("Save settings?")) {
        Guarded([this] {
            const CompanionSettings now = FieldSettings();
            WriteCompanionSettings(programDir_ + "SPOOLBAY.INI", now);
            saved_ = now;
        });
    }
    return true;
}

void TMainform::Button2Click() {
    if (const auto dir = ReadClientDirectoryRecord()) Edit3->setText(ToQt(*dir));
}

void TMainform::TakeToolAndDrive() {
    substTool_ = Text(Edit2);
    drive_ = UpperCaseName(Text(Edit1));
}

std::string TMainform::DriveTypeText(const std::string& root) {
    switch (QueryDriveType(root)) {
        case DriveType::Removable: lastDriveType_ = "floppy"; break;
        case DriveType::Fixed: lastDriveType_ = "hard disk"; break;
        case DriveType::Remote: lastDriveType_ = "network drive"; break;
        default: lastDriveType_ = "does not exist"; break;
    }
    return lastDriveType_;
}

std::string TMainform::DriveFolderNote() const {
    const auto letter = DriveLetter(drive_);
    if (!letter) return std::string();
    const std::string shown = DriveShownAs(*letter);
    return shown == drive_ ? std::string() : " (" + shown + ")";
}

std::string TMainform::DriveInUseText() const {
    const auto letter = DriveLetter(drive_);
    const std::string shown = letter ? DriveShownAs(*letter) : drive_;
    return std::string(Words().DriveInUse) + (shown == drive_ ? std::string() : ": " + shown);
}

void TMainform::Button3Click() {
    TakeToolAndDrive();
    mapped_ = false;
    const std::string type = DriveTypeText(drive_);
    const std::string clientDir = Text(Edit3);
    const std::string spool = AddBackslash(clientDir) + "COPY";
    if (type == "floppy") return prompts_.Warning("Can't subst a Floppy drive");
    if (type == "network drive") return prompts_.Warning("Can't subst a Network drive");
    if (type == "hard disk") return prompts_.Warning(DriveInUseText());

    std::error_code ec;
    if (!fs::is_regular_file(substTool_, ec)) return prompts_.Warning("Error Couldn't find" + substTool_);
    // Without a client directory the spool would be a COPY at the root.
    if (clientDir.empty() || (!fs::is_directory(spool, ec) && !fs::create_directory(spool, ec)))
        return prompts_.Warning("Cannot create directory");
    mapped_ = StartTool(substTool_, {drive_, spool});
    if (!mapped_) return;

    TIniFile(ClientIni()).WriteString("SpoolBay", "Executed", "1");
    SetStatus("Status: Directory " + spool + Words().MappedAs + drive_ + DriveFolderNote());
    const int64_t interval = int64_t{StrToInt(Text(Edit4))} * 1000;
    Watch.SettleMs = StrToInt(Text(Edit5));
    Watch.Begin(interval);
}

void TMainform::Button4Click() {
    TakeToolAndDrive();
    const std::vector<std::string> release = {drive_, "/D"};
    if (mapped_) {
        if (StartTool(substTool_, release)) {
            SetStatus(Words().NotMappedAnymore);
            mapped_ = false;
        }
    } else {
        if (prompts_.MessageBox(Words().MayNotBeMapped, "Confirm", PromptButtons::YesNo, PromptIcon::None) ==
            PromptAnswer::Yes)
            StartTool(substTool_, release);
        SetStatus(Words().NotMapped);
        mapped_ = false;
    }
    Disarm();
}

void TMainform::Disarm() {
    // A run under way clears the key itself when it ends; otherwise the user's
    // next start of Vollum would take the spool arrangement and exit.
    // Without a client directory there is no VOLLUM.INI to clear.
    if (!Watch.RunInProgress() && !Text(Edit3).empty())
        TIniFile(ClientIni()).WriteString("SpoolBay", "Executed", "0");
    Watch.End();
}

void TMainform::Button5Click() {
    if (mapped_) {
        TakeToolAndDrive();
        mapped_ = !StartTool(substTool_, {drive_, "/D"});
    }
    close();  // the close disarms
}

void TMainform::CheckBox1Click() {
    const bool checked = CheckBox1->isChecked();
    Edit1->setReadOnly(checked);
    SetTextColour(Edit1, checked ? Qt::red : Qt::black);
    // The entry is named after the drive letter; without one there is nothing to name.
    const auto letter = DriveLetter(Text(Edit1).substr(0, 1) + ":");
    if (!letter || !StartAtLoginAvailable()) return;
    const std::string name = std::string("SpoolBay") + *letter;
    if (checked) WriteStartAtLogin(name, companionPath_, "/U");
    else WriteStartAtLogin(name, "", "");
}

void TMainform::Edit1Change() {
    if (Edit1->isReadOnly())
        prompts_.MessageBox(Words().UnclickOnChange, "Information", PromptButtons::Ok, PromptIcon::Information);
}

void TMainform::Edit1Click() {
    if (Edit1->isReadOnly())
        prompts_.MessageBox(Words().UnclickOnClick, "Information", PromptButtons::Ok, PromptIcon::Information);
}

void TMainform::HideBehindIcon() {
    TrayIcon1->SetActive(true);
    if (TrayIcon1->Shown()) {
        hide();
    } else if (!isMinimized()) {
        showMinimized();
    }
}

void TMainform::MinimizeToTray() {
    TrayIcon1->SetActive(true);
    // Hidden only where the icon can bring the window back.
    if (TrayIcon1->Shown()) QTimer::singleShot(0, this, [this] { hide(); });
}

void TMainform::Settings1Click() {
    TrayIcon1->SetActive(false);
    if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != this && modal->isVisible()) {
        modal->raise();
        modal->activateWindow();
    }
    showNormal();
    raise();
    activateWindow();
}

bool TMainform::event(QEvent* e) {
    if (e->type() == QEvent::Show && !centred_) {
        centred_ = true;
        if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
    }
    if (e->type() == QEvent::WindowActivate) FormActivate();
    return QWidget::event(e);
}

void TMainform::changeEvent(QEvent* e) {
    QWidget::changeEvent(e);
    if (e->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized)) MinimizeToTray();
}

void TMainform::closeEvent(QCloseEvent* e) {
    FormCloseQuery();
    Disarm();
    e->accept();
    if (OnClosed) QTimer::singleShot(0, OnClosed);
}

bool TMainform::eventFilter(QObject* watched, QEvent* e) {
    if (watched == Edit1 && e->type() == QEvent::MouseButtonRelease) Edit1Click();
    return QWidget::eventFilter(watched, e);
}

}  // namespace vollum

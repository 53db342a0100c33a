#include "ui/TFTPForm.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>

#include "caption/TGradientCaption.h"
#include "common/Errors.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "ui/ProgramIcons.h"
#include "ui/QtText.h"

namespace vollum {

namespace {
// Reply lines keep the CR of their CR LF in the pane; the widget shows it as nothing.
QString PaneText(const std::string& line) {
    size_t n = line.size();
    while (n > 0 && line[n - 1] == '\r') --n;
    return ToQt(std::string_view(line).substr(0, n));
}
constexpr int kCloseRetryMs = 100;
}  // namespace

TFTPForm::TFTPForm(TFtpSession& session, QWidget* parent) : QMainWindow(parent), session_(session), access_(session) {
    setObjectName("FTPForm");
    setWindowTitle("Vollum 97");
    setWindowIcon(VollumIcon());

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName("Memo1");
    // The transcript is what was said: it can be selected and copied, not changed.
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setPointSizeF(13 * 72.0 / 96.0);  // 13 pixels at 96 dots per inch, more at higher resolutions
    Memo1->setFont(fixed);
    setCentralWidget(Memo1);
    for (const std::string& line : access_.Pane().Lines()) Memo1->appendPlainText(PaneText(line));
    access_.Pane().OnLineAdded = [this](const std::string& line) { Memo1->appendPlainText(PaneText(line)); };
    access_.Pane().OnCleared = [this] { Memo1->clear(); };

    FileMNU = AddMenu("FileMNU", "&File");
    Setup1 = AddItem(FileMNU, "Setup1", "&Setup", nullptr, &TFTPForm::Setup1Click);
    ConnectMNU = AddItem(FileMNU, "ConnectMNU", "&Connect", "Connect to FTP server", &TFTPForm::ConnectMNUClick);
    QuitMNU = AddItem(FileMNU, "QuitMNU", "&Disconnect", "Disconnect from FTP server", &TFTPForm::QuitMNUClick);
    RenameMNU = AddItem(FileMNU, "RenameMNU", "&Rename File", "Rename remote file", &TFTPForm::RenameMNUClick);
    DeleteMNU = AddItem(FileMNU, "DeleteMNU", "De&lete File", "Delete remote file", &TFTPForm::DeleteMNUClick);
    FileMNU->addSeparator()->setObjectName("N1");
    ExitMNU = AddItem(FileMNU, "ExitMNU", "&Exit", "Exit this program", &TFTPForm::ExitMNUClick);

    FileTransMNU = AddMenu("FileTransMNU", "File &Transfers");
    GetMNU =
        AddItem(FileTransMNU, "GetMNU", "&Get File", "Retrieves a file from the FTP server", &TFTPForm::GetMNUClick);
    PutMNU = AddItem(FileTransMNU, "PutMNU", "&Put File", "Sends a file to the FTP server", &TFTPForm::PutMNUClick);
    ViewMNU = AddItem(FileTransMNU, "ViewMNU", "&View file", nullptr, &TFTPForm::ViewMNUClick);
    CancelMNU = AddItem(FileTransMNU, "CancelMNU", "&Cancel Transfer", nullptr, &TFTPForm::CancelMNUClick);

    DirCommandMNU = AddMenu("DirCommandMNU", "&Directory");
    DirMNU = AddItem(DirCommandMNU, "DirMNU", "&List Directory", "Display a directory listing of the remote system",
                     &TFTPForm::DirMNUClick);
    PwdMNU = AddItem(DirCommandMNU, "PwdMNU", "Print &Working Directory", "Print the current remote directory name",
                     &TFTPForm::PwdMNUClick);
    ChDirMNU = AddItem(DirCommandMNU, "ChDirMNU", "&Change Directory", "Change the remote directory location",
                       &TFTPForm::ChDirMNUClick);
    ParentMNU = AddItem(DirCommandMNU, "ParentMNU", "&Parent Directory", nullptr, &TFTPForm::ParentMNUClick);
    MkDirMNU = AddItem(DirCommandMNU, "MkDirMNU", "&Make Directory", "Create a new remote directory",
                       &TFTPForm::MkDirMNUClick);
    RmDirMNU =
        AddItem(DirCommandMNU, "RmDirMNU", "&Remove Directory", "Delete a remote directory", &TFTPForm::RmDirMNUClick);

    MiscCommMNU = AddMenu("MiscCommMNU", "&Misc-Commands");
    QuoteMNU = AddItem(MiscCommMNU, "QuoteMNU", "&Quote", "Sends any FTP command you type", &TFTPForm::QuoteMNUClick);
    HelpMNU = AddItem(MiscCommMNU, "HelpMNU", "&Help", "Asks the remote system for help", &TFTPForm::HelpMNUClick);

    OptionsMNU = AddMenu("OptionsMNU", "&Options");
    DirSepMNU = AddItem(OptionsMNU, "DirSepMNU", "&Directory Separate", nullptr, &TFTPForm::DirSepMNUClick);
    ViewSepMNU = AddItem(OptionsMNU, "ViewSepMNU", "&View Separate", nullptr, &TFTPForm::ViewSepMNUClick);
    EditorMNU = AddItem(OptionsMNU, "EditorMNU", "&Editor", nullptr, &TFTPForm::EditorMNUClick);
    DirSepMNU->setCheckable(true);
    ViewSepMNU->setCheckable(true);

    closeTimer_ = new QTimer(this);
    closeTimer_->setInterval(kCloseRetryMs);
    connect(closeTimer_, &QTimer::timeout, this, [this] {
        if (depth_ > 0 || access_.Busy()) {
            access_.RequestAbort();
            access_.AbandonAllWaits();
        } else {
            closeTimer_->stop();
        }
    });

    EnableDisableMenus();

    // 628 x 359, wide enough for the menu bar in any font, centred on the screen.
    resize(std::max(628, menuBar()->sizeHint().width() + 16), 359);
    GradientCaption1 = AttachGradientCaption(this, "Vollum", "FTP Client -");
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TFTPForm::~TFTPForm() {
    access_.Pane().OnLineAdded = nullptr;
    access_.Pane().OnCleared = nullptr;
}

QMenu* TFTPForm::AddMenu(const char* name, const char* caption) {
    QMenu* menu = menuBar()->addMenu(caption);
    menu->setObjectName(name);
    // The window has no status line: an item's hint shows as its tooltip.
    menu->setToolTipsVisible(true);
    return menu;
}

QAction* TFTPForm::AddItem(QMenu* menu, const char* name, const char* caption, const char* hint, Handler handler) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(name);
    if (hint != nullptr) {
        item->setToolTip(hint);
        item->setStatusTip(hint);
    } else {
        item->setToolTip(QString());
    }
    connect(item, &QAction::triggered, this, [this, handler] { Run(handler); });
    return item;
}

void TFTPForm::HideMinimised() {
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
}

void TFTPForm::EnableDisableMenus() {
    const bool connected = access_.Connected();
    ConnectMNU->setEnabled(!connected);
    for (QAction* item : {ChDirMNU, DeleteMNU, DirMNU, GetMNU, HelpMNU, MkDirMNU, PutMNU, QuitMNU, QuoteMNU, RenameMNU,
                          RmDirMNU, PwdMNU, ViewMNU, CancelMNU, ParentMNU})
        item->setEnabled(connected);
}

void TFTPForm::SetOptionChecks() {
    DirSepMNU->setChecked(access_.Settings().DirSep != "0");
    ViewSepMNU->setChecked(access_.Settings().ViewSep != "0");
}

void TFTPForm::Run(Handler handler) {
    ++depth_;
    try {
        (this->*handler)();
    } catch (const VollumError& e) {
        access_.Prompts().MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
    }
    --depth_;
    // A connection lost in any command (the server closed it) shows in the menus.
    if (depth_ == 0) EnableDisableMenus();
    if (depth_ == 0 && closePending_) QTimer::singleShot(0, this, &QWidget::close);
}

void TFTPForm::closeEvent(QCloseEvent* event) {
    if (closing_) {  // already on the way out, waiting for the QUIT reply
        event->ignore();
        return;
    }
    if (depth_ > 0 || access_.Busy()) {
        // Something runs on the stack below this event: it is told to stop
        // and the window closes once it has returned, so no transfer loop
        // outlives the window and no half file is left under a target name.
        closePending_ = true;
        setEnabled(false);
        access_.RequestAbort();
        access_.AbandonAllWaits();
        closeTimer_->start();
        event->ignore();
        return;
    }
    closing_ = true;
    try {
        FormClose();
    } catch (const VollumError& e) {
        access_.Prompts().MessageBox(e.what(), "Error", PromptButtons::Ok, PromptIcon::Error);
    }
    closing_ = false;
    closeTimer_->stop();
    event->accept();
}

}  // namespace vollum

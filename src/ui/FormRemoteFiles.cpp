// The Remote Files panel in the main window: where it sits, when it shows,
// and the transfers it asks for.
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <algorithm>
#include <iterator>

#include "config/StartupReading.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "ui/QtText.h"
#include "ui/RemoteFilesPanel.h"
#include "ui/TFTPForm.h"

namespace vollum {

namespace {
constexpr int kRemoteFilesHeight = 560;  // the window's height once the panel first shows

// What ReceiveData takes as the source for a file: one whose name begins
// with "LIST" would be sent as a listing command otherwise.
std::string RetrieveSource(const std::string& name) { return name.compare(0, 4, "LIST") == 0 ? "./" + name : name; }
}  // namespace

void TFTPForm::BuildRemoteFiles() {
    Splitter = new QSplitter(Qt::Vertical, this);
    Splitter->setObjectName("RemoteFilesSplitter");
    Splitter->setChildrenCollapsible(false);
    RemoteFiles = new RemoteFilesPanel(session_, Splitter);
    RemoteFiles->hide();
    Splitter->addWidget(RemoteFiles);
    Splitter->addWidget(Memo1);
    Splitter->setStretchFactor(0, 3);
    Splitter->setStretchFactor(1, 1);
    setCentralWidget(Splitter);
    RemoteFiles->RunAction = [this](const std::function<void()>& action) { RunAction(action); };
    connect(RemoteFiles, &RemoteFilesPanel::viewRequested, this,
            [this](const ListingEntry& entry) { ViewRemoteFile(entry); });
}

void TFTPForm::ShowRemoteFilesMNUClick() {
    bool& shown = access_.Settings().ShowRemoteFiles;
    shown = !shown;
    ShowRemoteFilesMNU->setChecked(shown);
    TIniFile ini(IniPath());
    ini.WriteBool("options", "ShowRemoteFiles", shown);
}

void TFTPForm::FollowRemoteFolder(Handler handler) {
    if (!access_.Settings().ShowRemoteFiles || !access_.Connected()) {
        if (!RemoteFiles->isHidden()) {
            RemoteFiles->hide();
            RemoteFiles->Clear();
        }
        return;
    }
    // A handler chosen while another waits: the outer one lists when done.
    if (handler == nullptr || depth_ > 1 || access_.Busy()) return;
    // USER and PASS sent by hand (Quote) may log in after a refused login.
    if (loginRefused_ && handler == &TFTPForm::QuoteMNUClick && session_.LastReply().compare(0, 3, "230") == 0)
        loginRefused_ = false;
    if (loginRefused_) {
        // Nothing to list: every command would only be refused.
        RemoteFiles->show();
        if (!remoteFilesPlaced_) PlaceRemoteFiles();
        RemoteFiles->ShowNotLoggedIn(kLoginRefused);
        return;
    }
    static const Handler kChangers[] = {
        &TFTPForm::ConnectMNUClick, &TFTPForm::PutMNUClick,    &TFTPForm::RenameMNUClick, &TFTPForm::DeleteMNUClick,
        &TFTPForm::ChDirMNUClick,   &TFTPForm::ParentMNUClick, &TFTPForm::MkDirMNUClick,  &TFTPForm::RmDirMNUClick,
        &TFTPForm::QuoteMNUClick};
    const bool appearing = RemoteFiles->isHidden();
    const bool changed = std::find(std::begin(kChangers), std::end(kChangers), handler) != std::end(kChangers);
    if (!appearing && !changed) return;
    RemoteFiles->show();
    if (!remoteFilesPlaced_) PlaceRemoteFiles();
    RemoteFiles->Refresh();
    if (handler == &TFTPForm::ConnectMNUClick || appearing) RemoteFiles->View->setFocus();
}

void TFTPForm::PlaceRemoteFiles() {
    remoteFilesPlaced_ = true;
    // The designed window is a pane of a few lines: the list needs more room.
    if (!isMaximized() && !isFullScreen() && height() < kRemoteFilesHeight) {
        int grown = kRemoteFilesHeight;
        if (QScreen* screen = QGuiApplication::primaryScreen())
            grown = std::min(grown, screen->availableGeometry().height() - (frameGeometry().height() - height()));
        if (grown > height()) resize(width(), grown);
    }
    const int h = Splitter->height();
    Splitter->setSizes({h * 2 / 3, h - h * 2 / 3});
    // The pane shrank: its last lines stay in sight.
    Memo1->moveCursor(QTextCursor::End);
    Memo1->ensureCursorVisible();
}

std::string TFTPForm::ProfileTypeCommand() const {
    const std::string type = TypeCommandFor(access_.Settings().TransferTypeCode);
    return type.empty() ? "TYPE I" : type;
}

void TFTPForm::ViewRemoteFile(const ListingEntry& entry) {
    if (access_.Settings().ViewSep == "1" && !EditorAvailable()) return;
    session_.ReceiveData(RetrieveSource(entry.name), "", ProfileTypeCommand());
    session_.LogLine("ViewFile " + entry.name);
}

}  // namespace vollum

// The Remote Files panel in the main window: where it sits, when it shows,
// and the transfers it asks for.
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <algorithm>
#include <iterator>

#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "config/StartupReading.h"
#include "config/TIniFile.h"
#include "ftp/TFtpSession.h"
#include "platform/LocalFiles.h"
#include "ui/QtText.h"
#include "ui/RemoteFilesPanel.h"
#include "ui/TFTPForm.h"

namespace vollum {

namespace {
constexpr int kRemoteFilesHeight = 560;  // the window's height once the panel first shows

// A remote name that can be written as a file of its own in the target
// folder: not empty, no folder separator, no NUL, not "." or "..".
bool SafeLocalName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

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
    connect(RemoteFiles, &RemoteFilesPanel::downloadRequested, this,
            [this](const std::vector<ListingEntry>& entries, const QString& dir) { DownloadRemoteFiles(entries, dir); });
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

void TFTPForm::DownloadRemoteFiles(const std::vector<ListingEntry>& entries, const QString& targetDir) {
    const StartupValues& settings = access_.Settings();
    std::string dir = FromQt(targetDir);
    if (dir.empty()) dir = settings.Localdir.empty() ? CurrentDirectory() : settings.Localdir;
    const std::string type = ProfileTypeCommand();
    for (const ListingEntry& e : entries) {
        if (!access_.Connected()) break;
        if (e.IsRaw()) continue;
        if (e.IsFolder()) {
            session_.ShowLine("%s is a folder: not downloaded", {e.name});
            continue;
        }
        if (!SafeLocalName(e.name)) {
            // Never written: the name would land outside the target folder.
            session_.ShowLine("Not downloaded, not safe as a local name: %s", {e.name});
            session_.LogLine("Not downloaded, not safe as a local name: " + e.name);
            continue;
        }
        const std::string local = AddBackslash(dir) + e.name;
        if (LocalFileExists(local) && !access_.Prompts().AskYesNo(local + " exists already. Replace it?")) continue;
        transferCancelled_ = false;
        session_.ReceiveData(RetrieveSource(e.name), local, type);
        session_.LogLine("Getfile " + local);
        if (transferCancelled_) break;
    }
}

void TFTPForm::ViewRemoteFile(const ListingEntry& entry) {
    if (access_.Settings().ViewSep == "1" && !EditorAvailable()) return;
    session_.ReceiveData(RetrieveSource(entry.name), "", ProfileTypeCommand());
    session_.LogLine("ViewFile " + entry.name);
}

}  // namespace vollum

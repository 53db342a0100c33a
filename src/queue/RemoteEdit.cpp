#include "queue/RemoteEdit.h"

#include <sys/stat.h>

#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "common/Helpers.h"
#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "queue/DownloadJob.h"
#include "queue/FolderDownload.h"
#include "queue/TransferQueue.h"
#include "queue/UploadJob.h"

namespace vollum {

namespace {
// Editors write a file in several steps; the question waits until they are done.
constexpr int kSettleMs = 300;

// A path reaches the editor and the file watch as text: a name that is not
// UTF-8 would reach them as another one (with replacement characters).
std::string TextualName(const std::string& name) {
    return QString::fromLocal8Bit(name.data(), static_cast<qsizetype>(name.size())).toLocal8Bit().toStdString();
}
}  // namespace

RemoteEdit::RemoteEdit(TFtpSession& session, TransferQueue& queue, QObject* parent)
    : QObject(parent), s_(session), queue_(queue) {
    settle_.setSingleShot(true);
    connect(&settle_, &QTimer::timeout, this, &RemoteEdit::CheckFiles);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, [this] { settle_.start(kSettleMs); });
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { settle_.start(kSettleMs); });
    connect(&queue_, &TransferQueue::itemFinished, this, &RemoteEdit::OnFinished);
}

RemoteEdit::~RemoteEdit() {
    if (!folder_.empty()) QDir(QString::fromLocal8Bit(folder_)).removeRecursively();
}

bool RemoteEdit::Edit(const std::string& remoteDir, const ListingEntry& entry, const std::string& typeCommand) {
    if (entry.IsFolder() || entry.IsRaw() || !FolderDownload::LocalNameSafe(entry.name)) return false;
    if (folder_.empty()) {
        // mkdtemp makes it readable by this user only.
        std::string pattern = QDir::tempPath().toStdString() + "/vollum-edit-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) return false;
        folder_ = pattern;
    }
    // A folder per file: two files of one name from different folders stay apart.
    const std::string dir = folder_ + "/" + std::to_string(++made_);
    if (::mkdir(dir.c_str(), 0700) != 0) return false;
    Edited file;
    file.remoteDir = remoteDir;
    file.name = entry.name;
    file.local = dir + "/" + entry.name;
    file.download = queue_.Add(std::make_unique<DownloadJob>(s_, remoteDir, std::vector<ListingEntry>{entry}, dir,
                                                             typeCommand));
    files_.push_back(file);
    return true;
}

void RemoteEdit::OnFinished(int id, bool ok, bool upload) {
    for (size_t i = 0; i < files_.size(); ++i) {
        Edited& file = files_[i];
        if (!upload && file.download == id) {
            file.download = 0;
            // Alone in its own folder, the copy can take the name it is shown by.
            const std::string textual = file.local.substr(0, file.local.rfind('/') + 1) + TextualName(file.name);
            if (ok && textual != file.local) {
                ok = ::rename(file.local.c_str(), textual.c_str()) == 0;
                if (ok) file.local = textual;
            }
            if (!ok || !ReadIdentity(file.local, file.known)) {
                files_.erase(files_.begin() + static_cast<long>(i));
                return;
            }
            file.ready = true;
            Watch(file);
            if (OpenFile) OpenFile(file.local);
            return;
        }
        if (upload && file.upload == id) {
            file.upload = 0;
            FileIdentity now;
            // Saved again while it went: that version still waits for its question.
            if (ok && ReadIdentity(file.local, now) && now == file.sent) file.changed = false;
            Check(file);
            return;
        }
    }
}

void RemoteEdit::Watch(const Edited& file) {
    const QString path = QString::fromLocal8Bit(file.local);
    const QString dir = QString::fromLocal8Bit(file.local.substr(0, file.local.rfind('/')));
    // An editor that saves by writing a new file and renaming it drops the old one from the watch.
    if (!watcher_.files().contains(path)) watcher_.addPath(path);
    if (!watcher_.directories().contains(dir)) watcher_.addPath(dir);
}

void RemoteEdit::CheckFiles() {
    for (size_t i = 0; i < files_.size(); ++i) {
        if (!files_[i].ready) continue;
        Watch(files_[i]);
        Check(files_[i]);
    }
}

void RemoteEdit::Check(Edited& file) {
    FileIdentity now;
    if (asking_ || !file.ready || file.upload != 0 || !ReadIdentity(file.local, now) || now == file.known) return;
    file.known = now;
    file.changed = true;
    asking_ = true;
    const PromptAnswer answer =
        s_.Prompts.MessageBox("Upload the changed " + file.name + "?", "Edit", PromptButtons::YesNo, PromptIcon::None);
    asking_ = false;
    if (answer != PromptAnswer::Yes) return;
    file.sent = now;
    // Under the server's own name, which the local copy may not bear.
    const std::string remoteName = LastPathComponent(file.local) == file.name ? "" : file.name;
    file.upload =
        queue_.Add(std::make_unique<UploadJob>(s_, std::vector<std::string>{file.local}, file.remoteDir, remoteName));
}

std::vector<std::string> RemoteEdit::ChangedNotUploaded() const {
    std::vector<std::string> names;
    for (const Edited& file : files_) {
        FileIdentity now;
        const bool savedSince = file.ready && ReadIdentity(file.local, now) && !(now == file.known);
        if (file.changed || savedSince) names.push_back(file.name);
    }
    return names;
}

}  // namespace vollum

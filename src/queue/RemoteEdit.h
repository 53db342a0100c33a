#pragma once
// Edit of a remote file: fetched through the queue into a private folder
// (this user's only), opened in the editor, and watched; when it has been
// saved the user is asked "Upload the changed NAME?" and a Yes queues its
// upload (temporary name and rename where TempUpload is set). QtCore only.
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "ftp/ListingEntry.h"
#include "platform/LocalFiles.h"

namespace vollum {

class TFtpSession;
class TransferQueue;

class RemoteEdit : public QObject {
    Q_OBJECT
public:
    RemoteEdit(TFtpSession& session, TransferQueue& queue, QObject* parent = nullptr);
    ~RemoteEdit() override;  // the private folder goes, with what is in it

    // Queues the download of entry from remoteDir (absolute); the editor
    // opens once it has arrived. False when it cannot be edited here.
    bool Edit(const std::string& remoteDir, const ListingEntry& entry, const std::string& typeCommand);
    // Opens a fetched file in the editor (the window sets it).
    std::function<void(const std::string& path)> OpenFile;

    // Names of edited files saved since they were fetched and not yet uploaded whole.
    std::vector<std::string> ChangedNotUploaded() const;
    // Looks at every edited file now; the watcher calls it after a save settles.
    void CheckFiles();
    // The private folder; empty until the first Edit.
    const std::string& Folder() const { return folder_; }

private:
    struct Edited {
        std::string remoteDir, name, local;
        FileIdentity known;  // as last fetched, or as last offered for upload
        FileIdentity sent;   // as handed to the upload under way
        int download = 0, upload = 0;
        bool ready = false;    // fetched, in the editor
        bool changed = false;  // saved since it was last uploaded whole
    };
    void OnFinished(int id, bool ok, bool upload);
    void Check(Edited& file);
    void Watch(const Edited& file);

    TFtpSession& s_;
    TransferQueue& queue_;
    QFileSystemWatcher watcher_;
    QTimer settle_;
    std::vector<Edited> files_;
    std::string folder_;
    int made_ = 0;
    bool asking_ = false;
};

}  // namespace vollum

#pragma once
// The Remote Files panel above the transcript: the current remote folder as
// a sortable list (RemoteFilesModel through a sort proxy), its path in an
// editable field, Up and Refresh. Every action goes through the session's
// commands, as the menus' do, so the pane shows each command and reply.
// Transfers are asked of the window by signal; the panel runs none itself.
#include <QByteArray>
#include <QMetaType>
#include <QStringList>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "ftp/ListingEntry.h"

class QLineEdit;
class QMenu;
class QToolButton;

namespace vollum {

class RemoteFilesModel;
class RemoteFilesSortProxy;
class TFtpSession;

// The list: accepts files and folders dragged from a file manager.
class RemoteFilesView : public QTreeView {
    Q_OBJECT
public:
    explicit RemoteFilesView(QWidget* parent = nullptr);

signals:
    // Local paths dropped; onto is the entry under the pointer (invalid: none).
    void pathsDropped(QStringList localPaths, QModelIndex onto);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class RemoteFilesPanel : public QWidget {
    Q_OBJECT
public:
    explicit RemoteFilesPanel(TFtpSession& session, QWidget* parent = nullptr);
    ~RemoteFilesPanel() override;

    // How an action runs: the window wraps it as it wraps a menu handler
    // (errors shown, a close waits for it). Plain call when unset.
    std::function<void(const std::function<void()>&)> RunAction;

    // PWD when the folder may have changed, then the listing.
    void Refresh();
    // Disconnected: nothing to show.
    void Clear();
    // Connected but not logged in: nothing to show, and why in the path field.
    void ShowNotLoggedIn(const std::string& why);

    // The folder shown, as the server named it.
    const std::string& CurrentPath() const { return path_; }
    // The selected entries, in the order shown; raw lines left out.
    std::vector<ListingEntry> SelectedEntries() const;
    // path/name in the folder shown.
    std::string RemotePathOf(const std::string& name) const;

    // The actions, as the keys and the context menu run them.
    void OpenCurrent();                       // Enter, double-click
    void GoUp();                              // Backspace, Up
    void GoTo(const std::string& path);       // the path field's Enter
    void DownloadSelected();                  // Ctrl+D, Download
    void DownloadSelectedTo();                // Download To...
    void ViewSelected();
    void EditSelected();
    void RenameSelected();                    // F2
    void DeleteSelected();                    // Delete
    void NewFolder();
    void CopyRemotePath();

    QLineEdit* PathField;
    QToolButton* UpButton;
    QToolButton* RefreshButton;
    RemoteFilesView* View;
    RemoteFilesModel* Model;
    RemoteFilesSortProxy* Proxy;
    QMenu* ContextMenu;

signals:
    // Files and folders to fetch; localTargetDir empty: the default folder
    // (profile Localdir, else the current directory).
    void downloadRequested(std::vector<vollum::ListingEntry> entries, QString localTargetDir);
    void viewRequested(vollum::ListingEntry entry);
    void editRequested(vollum::ListingEntry entry);
    // Local files and folders dropped onto the list (remoteDir: the folder
    // shown) or onto a folder entry (remoteDir: that folder); bytes as the
    // server names them.
    void uploadRequested(QStringList localPaths, QByteArray remoteDir);

protected:
    // The list's keys: Enter, Backspace, Ctrl+D, F5, F2, Delete.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Act(const std::function<void()>& action);
    // The entry under the current index; nullptr for none or a raw line.
    const ListingEntry* CurrentEntry() const;
    void Dropped(const QStringList& localPaths, const QModelIndex& onto);
    void ShowContextMenu(const QPoint& at);

    TFtpSession& session_;
    std::string path_;
    int pathSerial_ = -1;  // the folder serial path_ was read at
};

}  // namespace vollum

Q_DECLARE_METATYPE(vollum::ListingEntry)

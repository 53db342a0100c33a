#include "ui/RemoteFilesPanel.h"

#include <QClipboard>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMetaMethod>
#include <QMimeData>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include "common/UserPrompts.h"
#include "ftp/TFtpSession.h"
#include "ui/QtText.h"
#include "ui/RemoteFilesModel.h"

namespace vollum {

namespace {
// The local files and folders a drag carries; empty when it carries none.
QStringList LocalPaths(const QMimeData* mime) {
    QStringList paths;
    if (mime == nullptr || !mime->hasUrls()) return paths;
    for (const QUrl& url : mime->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    return paths;
}
}  // namespace

RemoteFilesView::RemoteFilesView(QWidget* parent) : QTreeView(parent) {
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

void RemoteFilesView::dragEnterEvent(QDragEnterEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void RemoteFilesView::dragMoveEvent(QDragMoveEvent* event) {
    if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
    event->acceptProposedAction();
}

void RemoteFilesView::dropEvent(QDropEvent* event) {
    const QStringList paths = LocalPaths(event->mimeData());
    if (paths.isEmpty()) return event->ignore();
    // Copied, never moved: nothing local goes away by a drag.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    emit pathsDropped(paths, indexAt(event->position().toPoint()));
}

RemoteFilesPanel::RemoteFilesPanel(TFtpSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName("RemoteFiles");
    qRegisterMetaType<ListingEntry>("vollum::ListingEntry");
    qRegisterMetaType<std::vector<ListingEntry>>("std::vector<vollum::ListingEntry>");

    PathField = new QLineEdit(this);
    PathField->setObjectName("RemotePath");
    PathField->setToolTip("The remote folder shown; type another and press Enter to go there");
    UpButton = new QToolButton(this);
    UpButton->setObjectName("RemoteUp");
    UpButton->setText("Up");
    UpButton->setToolTip("Parent folder (Backspace)");
    RefreshButton = new QToolButton(this);
    RefreshButton->setObjectName("RemoteRefresh");
    RefreshButton->setText("Refresh");
    RefreshButton->setToolTip("List the folder again (F5)");

    Model = new RemoteFilesModel(this);
    Proxy = new RemoteFilesSortProxy(this);
    Proxy->setSourceModel(Model);
    View = new RemoteFilesView(this);
    View->setObjectName("RemoteList");
    View->setModel(Proxy);
    View->setRootIsDecorated(false);
    View->setUniformRowHeights(true);  // 10,000 rows are laid out without measuring each
    View->setAllColumnsShowFocus(true);
    View->setSelectionBehavior(QAbstractItemView::SelectRows);
    View->setSelectionMode(QAbstractItemView::ExtendedSelection);
    View->setEditTriggers(QAbstractItemView::NoEditTriggers);
    View->setContextMenuPolicy(Qt::CustomContextMenu);
    View->setSortingEnabled(true);
    View->sortByColumn(RemoteFilesModel::NameColumn, Qt::AscendingOrder);
    View->header()->setStretchLastSection(false);
    View->header()->setSectionResizeMode(RemoteFilesModel::NameColumn, QHeaderView::Stretch);
    const QFontMetrics metrics(View->font());
    const int padding = 3 * metrics.averageCharWidth();
    View->header()->resizeSection(RemoteFilesModel::SizeColumn, metrics.horizontalAdvance("1023 bytes") + padding);
    View->header()->resizeSection(RemoteFilesModel::ModifiedColumn,
                                  metrics.horizontalAdvance("2000-00-00 00:00") + padding);
    View->header()->resizeSection(RemoteFilesModel::PermissionsColumn,
                                  metrics.horizontalAdvance("drwxr-xr-x+") + padding);
    View->installEventFilter(this);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->addWidget(UpButton);
    bar->addWidget(PathField, 1);
    bar->addWidget(RefreshButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(View, 1);

    ContextMenu = new QMenu(this);
    ContextMenu->setObjectName("RemoteFilesMenu");
    const auto item = [this](const char* name, const char* text, void (RemoteFilesPanel::*handler)()) {
        QAction* action = ContextMenu->addAction(text);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
        return action;
    };
    item("RemoteDownload", "&Download", &RemoteFilesPanel::DownloadSelected);
    item("RemoteDownloadTo", "Download &To...", &RemoteFilesPanel::DownloadSelectedTo);
    item("RemoteView", "&View", &RemoteFilesPanel::ViewSelected);
    item("RemoteEdit", "&Edit", &RemoteFilesPanel::EditSelected);
    item("RemoteRename", "&Rename", &RemoteFilesPanel::RenameSelected);
    item("RemoteDelete", "De&lete", &RemoteFilesPanel::DeleteSelected);
    ContextMenu->addSeparator();
    item("RemoteNewFolder", "&New Folder", &RemoteFilesPanel::NewFolder);
    item("RemoteCopyPath", "&Copy Remote Path", &RemoteFilesPanel::CopyRemotePath);

    connect(View, &QWidget::customContextMenuRequested, this, &RemoteFilesPanel::ShowContextMenu);
    connect(View, &QAbstractItemView::doubleClicked, this, [this] { OpenCurrent(); });
    connect(View, &RemoteFilesView::pathsDropped, this, &RemoteFilesPanel::Dropped);
    connect(UpButton, &QToolButton::clicked, this, [this] { GoUp(); });
    connect(RefreshButton, &QToolButton::clicked, this, [this] { Act([this] { Refresh(); }); });
    connect(PathField, &QLineEdit::returnPressed, this, [this] {
        // A path shown with replacement characters and left as it was goes
        // back as the bytes it came as.
        const QString typed = PathField->text();
        GoTo(typed == ToQt(path_) ? path_ : FromQt(typed));
    });
}

RemoteFilesPanel::~RemoteFilesPanel() = default;

void RemoteFilesPanel::Act(const std::function<void()>& action) {
    // One thing at a time on the one connection, as for the menus.
    if (session_.RefuseIfBusy()) return;
    if (RunAction) RunAction(action);
    else action();
}

void RemoteFilesPanel::Refresh() {
    if (!session_.Connected()) return Clear();
    if (session_.CommandBusy() || session_.TransferBusy()) return;
    PathField->setPlaceholderText({});
    const int serial = session_.Control().DirectorySerial();
    if (serial != pathSerial_) {
        std::string path;
        if (session_.CurrentDirectory(path)) path_ = path;
        pathSerial_ = serial;
        PathField->setText(ToQt(path_));
    }
    // What was current stays current when it is still there.
    const ListingEntry* current = CurrentEntry();
    const std::string keep = current ? current->name : std::string();
    std::vector<ListingEntry> entries;
    session_.ListEntries("", entries);
    Model->SetEntries(std::move(entries));
    int row = 0;
    if (!keep.empty()) {
        const auto& all = Model->Entries();
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].name == keep) row = static_cast<int>(i);
    }
    if (Model->rowCount() > 0) {
        const QModelIndex at = Proxy->mapFromSource(Model->index(row, 0));
        View->setCurrentIndex(keep.empty() ? Proxy->index(0, 0) : at);
    }
}

void RemoteFilesPanel::Clear() {
    Model->SetEntries({});
    path_.clear();
    pathSerial_ = -1;
    PathField->clear();
    PathField->setPlaceholderText({});
}

void RemoteFilesPanel::ShowNotLoggedIn(const std::string& why) {
    Clear();
    PathField->setPlaceholderText(ToQt(why));
}

std::string RemoteFilesPanel::RemotePathOf(const std::string& name) const {
    if (path_.empty()) return name;
    return path_.back() == '/' ? path_ + name : path_ + "/" + name;
}

const ListingEntry* RemoteFilesPanel::CurrentEntry() const {
    const QModelIndex index = Proxy->mapToSource(View->currentIndex());
    if (!index.isValid()) return nullptr;
    const ListingEntry& e = Model->Entry(index.row());
    return e.IsRaw() ? nullptr : &e;
}

std::vector<ListingEntry> RemoteFilesPanel::SelectedEntries() const {
    QModelIndexList rows = View->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<ListingEntry> out;
    for (const QModelIndex& index : rows) {
        const ListingEntry& e = Model->Entry(Proxy->mapToSource(index).row());
        if (!e.IsRaw()) out.push_back(e);
    }
    if (out.empty())
        if (const ListingEntry* e = CurrentEntry()) out.push_back(*e);
    return out;
}

void RemoteFilesPanel::OpenCurrent() {
    const ListingEntry* current = CurrentEntry();
    if (current == nullptr) return;
    const ListingEntry e = *current;
    if (e.kind == ListingEntry::Kind::File) return Act([this, e] { emit downloadRequested({e}, QString()); });
    Act([this, e] {
        const int result = session_.FtpCommand("CWD %s", {e.name});
        session_.LogLine("Changedir " + e.name);
        if (result == 2) return Refresh();
        // A link that is no folder is fetched as a file.
        if (e.kind == ListingEntry::Kind::Link && session_.Connected()) emit downloadRequested({e}, QString());
    });
}

void RemoteFilesPanel::GoUp() {
    Act([this] {
        session_.FtpCommand("CDUP");
        session_.LogLine("ParentDir");
        Refresh();
    });
}

void RemoteFilesPanel::GoTo(const std::string& path) {
    if (path.empty()) return;
    Act([this, path] {
        session_.FtpCommand("CWD %s", {path});
        session_.LogLine("Changedir " + path);
        pathSerial_ = -1;  // the field shows where the server is, whatever it said
        Refresh();
    });
}

void RemoteFilesPanel::DownloadSelected() {
    const auto entries = SelectedEntries();
    if (!entries.empty()) Act([this, entries] { emit downloadRequested(entries, QString()); });
}

void RemoteFilesPanel::DownloadSelectedTo() {
    const auto entries = SelectedEntries();
    if (entries.empty()) return;
    const QString dir = QFileDialog::getExistingDirectory(this, "Download To");
    if (!dir.isEmpty()) Act([this, entries, dir] { emit downloadRequested(entries, dir); });
}

void RemoteFilesPanel::ViewSelected() {
    const ListingEntry* e = CurrentEntry();
    if (e == nullptr || e->IsFolder()) return;
    const ListingEntry entry = *e;
    Act([this, entry] { emit viewRequested(entry); });
}

void RemoteFilesPanel::EditSelected() {
    const ListingEntry* e = CurrentEntry();
    if (e == nullptr || e->IsFolder()) return;
    const ListingEntry entry = *e;
    Act([this, entry] { emit editRequested(entry); });
}

void RemoteFilesPanel::RenameSelected() {
    const ListingEntry* e = CurrentEntry();
    if (e == nullptr) return;
    const std::string from = e->name;
    Act([this, from] {
        std::string to = from;
        if (!session_.Prompts.InputBox("Rename Remote File", "Rename To:", to)) return;
        // Unchanged, though a name that is not UTF-8 comes back from the
        // field with replacement characters.
        if (to.empty() || to == from || to == FromQt(ToQt(from))) return;
        if (session_.FtpCommand("RNFR %s", {from}) == 3) session_.FtpCommand("RNTO %s", {to});
        session_.LogLine("Rename " + from + "to" + to);
        Refresh();
    });
}

void RemoteFilesPanel::DeleteSelected() {
    const auto entries = SelectedEntries();
    if (entries.empty()) return;
    Act([this, entries] {
        const std::string question = entries.size() == 1
                                         ? "Delete " + entries.front().name + " from the server?"
                                         : "Delete these " + std::to_string(entries.size()) + " items from the server?";
        if (!session_.Prompts.AskYesNo(question)) return;
        for (const ListingEntry& e : entries) {
            if (!session_.Connected()) break;
            if (e.IsFolder()) {
                session_.FtpCommand("RMD %s", {e.name});
                session_.LogLine("RemoveDir " + e.name);
            } else {
                session_.FtpCommand("DELE %s", {e.name});
                session_.LogLine("DeleteFile " + e.name);
            }
        }
        Refresh();
    });
}

void RemoteFilesPanel::NewFolder() {
    Act([this] {
        std::string name;
        if (!session_.Prompts.InputBox("Make Directory", "Directory:", name) || name.empty()) return;
        session_.FtpCommand("MKD %s", {name});
        session_.LogLine("MakeDir " + name);
        Refresh();
    });
}

void RemoteFilesPanel::CopyRemotePath() {
    QStringList paths;
    for (const ListingEntry& e : SelectedEntries()) paths << ToQt(RemotePathOf(e.name));
    if (paths.isEmpty()) paths << ToQt(path_);
    QGuiApplication::clipboard()->setText(paths.join('\n'));
}

void RemoteFilesPanel::Dropped(const QStringList& localPaths, const QModelIndex& onto) {
    std::string target = path_;
    const QModelIndex source = Proxy->mapToSource(onto);
    if (source.isValid() && Model->Entry(source.row()).IsFolder()) target = RemotePathOf(Model->Entry(source.row()).name);
    const QByteArray remoteDir(target.data(), static_cast<qsizetype>(target.size()));
    emit uploadRequested(localPaths, remoteDir);
}

void RemoteFilesPanel::ShowContextMenu(const QPoint& at) {
    const auto entries = SelectedEntries();
    const ListingEntry* current = CurrentEntry();
    const bool any = !entries.empty();
    const bool oneFile = current != nullptr && !current->IsFolder() && entries.size() <= 1;
    const bool connected = session_.Connected();
    for (QAction* action : ContextMenu->actions()) {
        const QString name = action->objectName();
        if (name == "RemoteView") action->setEnabled(connected && oneFile);
        // Offered once something takes the request.
        else if (name == "RemoteEdit")
            action->setEnabled(connected && oneFile && isSignalConnected(QMetaMethod::fromSignal(&RemoteFilesPanel::editRequested)));
        else if (name == "RemoteRename") action->setEnabled(connected && current != nullptr && entries.size() <= 1);
        else if (name == "RemoteNewFolder") action->setEnabled(connected);
        else if (name == "RemoteCopyPath") action->setEnabled(true);
        else if (!action->isSeparator()) action->setEnabled(connected && any);
    }
    ContextMenu->popup(View->viewport()->mapToGlobal(at));
}

bool RemoteFilesPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched != View || event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if (mods != Qt::NoModifier) return false;
            OpenCurrent();
            return true;
        case Qt::Key_Backspace:
            if (mods != Qt::NoModifier) return false;
            GoUp();
            return true;
        case Qt::Key_F5: Act([this] { Refresh(); }); return true;
        case Qt::Key_F2: RenameSelected(); return true;
        case Qt::Key_Delete: DeleteSelected(); return true;
        case Qt::Key_D:
            if (mods != Qt::ControlModifier) return false;
            DownloadSelected();
            return true;
        default: return false;
    }
}

}  // namespace vollum

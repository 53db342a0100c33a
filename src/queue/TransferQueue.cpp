#include "queue/TransferQueue.h"

#include <algorithm>
#include <cstdio>

#include "ftp/TFtpSession.h"
#include "queue/QueueMeter.h"

namespace vollum {

namespace {

// While a menu command holds the session, the next item looks again this often.
constexpr int kBusyRetryMs = 200;

QString Text(const std::string& bytes) { return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())); }

std::string Scaled(double value, const char* unit) {
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, unit);
    return text;
}

std::string BytesText(long long bytes) {
    if (bytes < 1024) return std::to_string(bytes) + " B";
    if (bytes < 1024 * 1024) return Scaled(static_cast<double>(bytes) / 1024, "KB");
    if (bytes < 1024LL * 1024 * 1024) return Scaled(static_cast<double>(bytes) / (1024 * 1024), "MB");
    return Scaled(static_cast<double>(bytes) / (1024.0 * 1024 * 1024), "GB");
}

}  // namespace

TransferQueue::TransferQueue(TFtpSession& session, QObject* parent) : QAbstractTableModel(parent), s_(session) {
    kick_.setSingleShot(true);
    connect(&kick_, &QTimer::timeout, this, &TransferQueue::RunNext);
}

TransferQueue::~TransferQueue() {
    // A job still on the stack below (the window closing inside a wait) stops at its next look.
    if (running_ != 0)
        for (Item& item : items_)
            if (item.id == running_) item.job->Stop();
}

int TransferQueue::Add(std::unique_ptr<QueueJob> job) {
    const int row = Count();
    beginInsertRows({}, row, row);
    Item item;
    item.id = nextId_++;
    item.job = std::move(job);
    items_.push_back(std::move(item));
    endInsertRows();
    Schedule();
    return items_.back().id;
}

const TransferQueue::Item* TransferQueue::Find(int id) const {
    const int row = RowOf(id);
    return row < 0 ? nullptr : &items_[static_cast<size_t>(row)];
}

int TransferQueue::RowOf(int id) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].id == id) return static_cast<int>(i);
    return -1;
}

void TransferQueue::Cancel(int id) {
    const int row = RowOf(id);
    if (row < 0) return;
    if (id != running_) {
        beginRemoveRows({}, row, row);
        items_.erase(items_.begin() + row);
        endRemoveRows();
        return;
    }
    stopRequested_ = true;
    items_[static_cast<size_t>(row)].job->Stop();
    // As Cancel Transfer: the wait in hand gives up, ABOR follows, the session stays.
    s_.Control().RequestAbort();
    s_.Data().AbandonWait();
}

void TransferQueue::CancelAll() {
    for (int row = Count() - 1; row >= 0; --row) {
        if (items_[static_cast<size_t>(row)].id == running_) continue;
        beginRemoveRows({}, row, row);
        items_.erase(items_.begin() + row);
        endRemoveRows();
    }
    if (running_ != 0) {
        dropRunning_ = true;
        Cancel(running_);
    }
}

void TransferQueue::Retry(int id) {
    const int row = RowOf(id);
    if (row < 0 || id == running_) return;
    Item& item = items_[static_cast<size_t>(row)];
    if (item.state == QueueState::Failed) {
        item.state = QueueState::Pending;
        item.failure.clear();
        item.bytes = 0;
        item.rate = 0;
        Changed(row);
    }
    if (item.state != QueueState::Pending) return;
    if (!s_.Connected() && Reconnect) Reconnect();
    Resume();
}

void TransferQueue::Resume() {
    if (s_.Connected()) waiting_ = false;
    Schedule();
}

void TransferQueue::Schedule() {
    if (running_ == 0) kick_.start(0);
}

void TransferQueue::Changed(int row) {
    if (row >= 0 && row < Count()) emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void TransferQueue::RunNext() {
    if (running_ != 0) return;
    const auto next = std::find_if(items_.begin(), items_.end(),
                                   [](const Item& item) { return item.state == QueueState::Pending; });
    if (next == items_.end()) {
        waiting_ = false;
        emit idle();
        return;
    }
    if (!s_.Connected()) {
        // The items wait for a connection: Retry or Connect brings one.
        if (!waiting_) {
            waiting_ = true;
            emit dataChanged(index(0, StateColumn), index(Count() - 1, StateColumn));
        }
        return;
    }
    waiting_ = false;
    if (s_.CommandBusy() || s_.TransferBusy()) {
        kick_.start(kBusyRetryMs);
        return;
    }

    const int id = next->id;
    QueueJob* job = next->job.get();
    running_ = id;
    stopRequested_ = false;
    dropRunning_ = false;
    next->state = QueueState::Running;
    next->bytes = 0;
    next->rate = 0;
    next->failure.clear();
    Changed(RowOf(id));

    MeterView* window = s_.Meter().View();
    QueueMeter meter(window);
    started_ = std::chrono::steady_clock::now();
    meter.OnBytes = [this, id](int64_t bytes) {
        const int row = RowOf(id);
        if (row < 0) return;
        Item& item = items_[static_cast<size_t>(row)];
        item.bytes = bytes;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        if (seconds > 0.2) item.rate = static_cast<double>(bytes) / seconds;
        Changed(row);
    };
    s_.SetMeter(&meter);
    bool ok = false;
    // Whatever way the job leaves, the window gets its meter back and the queue goes on.
    struct Restore {
        TransferQueue& q;
        MeterView* window;
        ~Restore() {
            q.s_.SetMeter(window);
            q.running_ = 0;
        }
    };
    {
        const Restore restore{*this, window};
        ok = job->Run();
        ok = ok && !stopRequested_;
    }

    // A Cancel that met no transfer must not cut the session's next command short.
    if (stopRequested_) s_.Control().ClearAbort();
    const int row = RowOf(id);
    const bool upload = job->Upload();
    if (row >= 0 && dropRunning_) {
        beginRemoveRows({}, row, row);
        items_.erase(items_.begin() + row);
        endRemoveRows();
    } else if (row >= 0) {
        Item& item = items_[static_cast<size_t>(row)];
        item.bytes = std::max<long long>(item.bytes, meter.Bytes());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
        if (seconds > 0) item.rate = static_cast<double>(item.bytes) / seconds;
        item.state = ok ? QueueState::Done : QueueState::Failed;
        if (!ok)
            item.failure = stopRequested_     ? "Cancelled"
                           : !s_.Connected()  ? "Connection lost"
                           : job->Failure().empty() ? "Not all arrived"
                                              : job->Failure();
        Changed(row);
    }
    stopRequested_ = false;
    dropRunning_ = false;
    emit itemFinished(id, ok, upload);
    Schedule();
}

std::string TransferQueue::StateText(const Item& item) {
    switch (item.state) {
        case QueueState::Pending: return "Pending";
        case QueueState::Running: return "Running";
        case QueueState::Done: return "Done";
        case QueueState::Failed: return "Failed: " + item.failure;
    }
    return "";
}

std::string TransferQueue::RateText(double bytesPerSecond) {
    if (bytesPerSecond <= 0) return "";
    return BytesText(static_cast<long long>(bytesPerSecond)) + "/s";
}

int TransferQueue::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : Count(); }

int TransferQueue::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TransferQueue::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= Count()) return {};
    const Item& item = At(index.row());
    if (role == Qt::ToolTipRole && index.column() == BytesColumn) return QString::number(item.bytes) + " bytes";
    if (role == Qt::ToolTipRole && index.column() == StateColumn) return Text(StateText(item));
    if (role != Qt::DisplayRole) return {};
    switch (index.column()) {
        case NameColumn: return Text(item.job->Title());
        case DirectionColumn: return item.job->Upload() ? QStringLiteral("Upload") : QStringLiteral("Download");
        case StateColumn:
            if (item.state == QueueState::Pending && waiting_) return QStringLiteral("Waiting for a connection");
            return Text(StateText(item));
        case BytesColumn: {
            const long long total = item.job->TotalBytes();
            if (item.state == QueueState::Pending) return total > 0 ? Text(BytesText(total)) : QString();
            return Text(BytesText(item.bytes) + (total > 0 ? " of " + BytesText(total) : std::string()));
        }
        case RateColumn: return Text(RateText(item.rate));
        default: return {};
    }
}

QVariant TransferQueue::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    static const char* const kHeaders[] = {"Name", "Direction", "State", "Bytes", "Rate"};
    if (section < 0 || section >= ColumnCount) return {};
    return QString::fromLatin1(kHeaders[section]);
}

}  // namespace vollum

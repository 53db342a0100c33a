#pragma once
// The window's transfers, one after another on the session's connection:
// a table model (QtCore only) of items pending, running, done or failed,
// each with its bytes and rate. Widgets observe it through the model's own
// signals and the two below; tests drive it without a window.
#include <QAbstractTableModel>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "queue/QueueJob.h"

namespace vollum {

class TFtpSession;

enum class QueueState { Pending, Running, Done, Failed };

class TransferQueue : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, DirectionColumn, StateColumn, BytesColumn, RateColumn, ColumnCount };

    struct Item {
        int id = 0;
        std::unique_ptr<QueueJob> job;
        QueueState state = QueueState::Pending;
        std::string failure;  // why it failed
        long long bytes = 0;
        double rate = 0;  // bytes per second while it ran
    };

    explicit TransferQueue(TFtpSession& session, QObject* parent = nullptr);
    ~TransferQueue() override;

    // Queues the job and starts it once those before it are through; its id.
    int Add(std::unique_ptr<QueueJob> job);
    // A pending item leaves the queue; the running one stops as Cancel
    // Transfer stops a transfer (ABOR, the session stays) and counts as failed.
    void Cancel(int id);
    // The running item, if any, as Cancel does.
    void CancelRunning() {
        if (running_ != 0) Cancel(running_);
    }
    // Every item leaves the queue; the running one once it has stopped.
    void CancelAll();
    // A failed item goes again (a pending one that waits for a connection
    // too); without a connection Reconnect is asked for one first.
    void Retry(int id);
    // After a connection came back some other way (File > Connect): what waits goes on.
    void Resume();

    // Logs in again with the profile in use; true when the session is connected.
    std::function<bool()> Reconnect;

    const Item* Find(int id) const;
    int RowOf(int id) const;
    int Count() const { return static_cast<int>(items_.size()); }
    const Item& At(int row) const { return items_[static_cast<size_t>(row)]; }
    bool Running() const { return running_ != 0; }
    // Pending items wait: the connection is gone.
    bool Waiting() const { return waiting_; }
    static std::string StateText(const Item& item);
    static std::string RateText(double bytesPerSecond);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

signals:
    // An item has ended, whole (ok) or not; upload: it sent to the server.
    void itemFinished(int id, bool ok, bool upload);
    // Nothing is pending or running any more.
    void idle();

private:
    void Schedule();
    void RunNext();
    void Changed(int row);

    TFtpSession& s_;
    std::vector<Item> items_;
    int nextId_ = 1;
    int running_ = 0;  // id of the running item; 0 when none
    bool stopRequested_ = false;
    bool dropRunning_ = false;  // Cancel All: the running item leaves once stopped
    bool waiting_ = false;
    QTimer kick_;
    std::chrono::steady_clock::time_point started_{};
};

}  // namespace vollum

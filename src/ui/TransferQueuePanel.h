#pragma once
// The transfer queue as the window shows it: a table of the items with their
// state, bytes and rate, and Cancel, Cancel All and Retry.
#include <QWidget>
#include <vector>

class QPushButton;
class QTableView;

namespace vollum {

class TransferQueue;

class TransferQueuePanel : public QWidget {
    Q_OBJECT
public:
    explicit TransferQueuePanel(TransferQueue& queue, QWidget* parent = nullptr);

    QTableView* QueueView;
    QPushButton* CancelBtn;
    QPushButton* CancelAllBtn;
    QPushButton* RetryBtn;

    // Ids of the selected items, top to bottom.
    std::vector<int> SelectedIds() const;
    void CancelClick();
    void CancelAllClick();
    void RetryClick();

private:
    void EnableButtons();
    TransferQueue& queue_;
};

}  // namespace vollum

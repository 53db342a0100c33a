#include "ui/TransferQueuePanel.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "queue/TransferQueue.h"

namespace vollum {

TransferQueuePanel::TransferQueuePanel(TransferQueue& queue, QWidget* parent) : QWidget(parent), queue_(queue) {
    setObjectName("TransferQueuePanel");
    QueueView = new QTableView(this);
    QueueView->setObjectName("QueueView");
    QueueView->setModel(&queue_);
    QueueView->setSelectionBehavior(QAbstractItemView::SelectRows);
    QueueView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    QueueView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    QueueView->verticalHeader()->hide();
    QueueView->setShowGrid(false);
    // The name takes what is left; a long failure reason shows whole in its tooltip.
    QHeaderView* header = QueueView->horizontalHeader();
    header->setSectionResizeMode(TransferQueue::NameColumn, QHeaderView::Stretch);
    for (const int column : {TransferQueue::DirectionColumn, TransferQueue::BytesColumn, TransferQueue::RateColumn})
        header->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    header->resizeSection(TransferQueue::StateColumn, header->fontMetrics().horizontalAdvance("Waiting for a connection") + 16);
    QueueView->verticalHeader()->setDefaultSectionSize(QueueView->fontMetrics().height() + 6);

    CancelBtn = new QPushButton("&Cancel", this);
    CancelBtn->setObjectName("QueueCancelBtn");
    CancelBtn->setToolTip("Stop the running transfer, or take the selected ones out of the queue");
    CancelAllBtn = new QPushButton("Cancel &All", this);
    CancelAllBtn->setObjectName("QueueCancelAllBtn");
    CancelAllBtn->setToolTip("Stop the running transfer and empty the queue");
    RetryBtn = new QPushButton("&Retry", this);
    RetryBtn->setObjectName("QueueRetryBtn");
    RetryBtn->setToolTip("Run the selected failed transfers again, connecting first when needed");
    connect(CancelBtn, &QPushButton::clicked, this, &TransferQueuePanel::CancelClick);
    connect(CancelAllBtn, &QPushButton::clicked, this, &TransferQueuePanel::CancelAllClick);
    connect(RetryBtn, &QPushButton::clicked, this, &TransferQueuePanel::RetryClick);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(CancelBtn);
    buttons->addWidget(CancelAllBtn);
    buttons->addWidget(RetryBtn);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(QueueView, 1);
    layout->addLayout(buttons);

    connect(QueueView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TransferQueuePanel::EnableButtons);
    connect(&queue_, &QAbstractItemModel::dataChanged, this, &TransferQueuePanel::EnableButtons);
    connect(&queue_, &QAbstractItemModel::rowsInserted, this, &TransferQueuePanel::EnableButtons);
    connect(&queue_, &QAbstractItemModel::rowsRemoved, this, &TransferQueuePanel::EnableButtons);
    EnableButtons();
}

std::vector<int> TransferQueuePanel::SelectedIds() const {
    std::vector<int> rows;
    for (const QModelIndex& index : QueueView->selectionModel()->selectedRows()) rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    std::vector<int> ids;
    for (const int row : rows)
        if (row < queue_.Count()) ids.push_back(queue_.At(row).id);
    return ids;
}

void TransferQueuePanel::CancelClick() {
    std::vector<int> ids = SelectedIds();
    // Nothing selected: the running item, as Cancel Transfer would.
    if (ids.empty())
        for (int row = 0; row < queue_.Count(); ++row)
            if (queue_.At(row).state == QueueState::Running) ids.push_back(queue_.At(row).id);
    for (const int id : ids) queue_.Cancel(id);
}

void TransferQueuePanel::CancelAllClick() { queue_.CancelAll(); }

void TransferQueuePanel::RetryClick() {
    std::vector<int> ids = SelectedIds();
    if (ids.empty())
        for (int row = 0; row < queue_.Count(); ++row)
            if (queue_.At(row).state == QueueState::Failed) ids.push_back(queue_.At(row).id);
    for (const int id : ids) queue_.Retry(id);
}

void TransferQueuePanel::EnableButtons() {
    bool failed = false;
    for (int row = 0; row < queue_.Count(); ++row) failed = failed || queue_.At(row).state == QueueState::Failed;
    CancelBtn->setEnabled(queue_.Count() > 0);
    CancelAllBtn->setEnabled(queue_.Count() > 0);
    RetryBtn->setEnabled(failed || queue_.Waiting());
}

}  // namespace vollum

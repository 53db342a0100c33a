#pragma once
// A remote folder's entries as a table for the Remote Files panel, and the
// proxy that sorts it: folders first, raw lines last, then by the column.
#include <QAbstractTableModel>
#include <QIcon>
#include <QSortFilterProxyModel>
#include <QString>
#include <vector>

#include "ftp/ListingEntry.h"

namespace vollum {

class RemoteFilesModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { NameColumn, SizeColumn, ModifiedColumn, PermissionsColumn, ColumnCount };

    explicit RemoteFilesModel(QObject* parent = nullptr);

    void SetEntries(std::vector<ListingEntry> entries);
    const std::vector<ListingEntry>& Entries() const { return entries_; }
    const ListingEntry& Entry(int row) const { return entries_[static_cast<size_t>(row)]; }
    // The name as shown: bytes that are not UTF-8 become replacement characters.
    const QString& ShownName(int row) const { return names_[static_cast<size_t>(row)]; }

    // "512 bytes", "1.5 KB", "3.2 MB" ...
    static QString HumanSize(std::uint64_t bytes);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    std::vector<ListingEntry> entries_;
    std::vector<QString> names_;
    QIcon folderIcon_, fileIcon_, linkIcon_;
};

class RemoteFilesSortProxy : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;
};

}  // namespace vollum

#include "gui/acq_table_model.h"

#include <algorithm>

#include "acq/acq_table.h"

namespace qv31 {

AcqTableModel::AcqTableModel(const AcqGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {}

int AcqTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ACQ_ROW_COUNT;
}

int AcqTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : ACQ_COLUMN_COUNT;
}

QVariant AcqTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
      return QString::fromStdString(grid_.Cell(index.row(), index.column()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    default:
      return {};
  }
}

QVariant AcqTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ACQ_COLUMN_COUNT) return {};
  if (role == Qt::DisplayRole) {
    const std::string_view header = AcqColumns()[static_cast<size_t>(section)].header;
    return QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size()));
  }
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

Qt::ItemFlags AcqTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void AcqTableModel::RowsChanged(int firstRow, int lastRow) {
  firstRow = std::max(firstRow, 0);
  lastRow = std::min(lastRow, ACQ_ROW_COUNT - 1);
  if (firstRow > lastRow) return;
  emit dataChanged(index(firstRow, 0), index(lastRow, ACQ_COLUMN_COUNT - 1), {Qt::DisplayRole});
}

}  // namespace qv31

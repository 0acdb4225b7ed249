#include "gui/acq_table_model.h"

#include <QColor>
#include <algorithm>

#include "acq/acq_table.h"
#include "gui/window_language.h"

namespace qv31 {
namespace {

// Light enough for the list's black text on its grey.
const QColor MARK_BACKGROUND(255, 196, 120);

// Each marked cell with its reasons, one a line.
std::map<std::pair<int, int>, QString> Marks(const std::vector<AcqFinding>& findings) {
  std::map<std::pair<int, int>, QString> marks;
  for (const AcqFinding& f : findings) {
    QString& text = marks[{f.row, f.column}];
    if (!text.isEmpty()) text += QLatin1Char('\n');
    text += Tr(f.text);
  }
  return marks;
}

}  // namespace

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
    case Qt::BackgroundRole:
    case Qt::ToolTipRole: {
      const auto mark = marks_.find({index.row(), index.column()});
      if (mark == marks_.end()) return {};
      return role == Qt::ToolTipRole ? QVariant(mark->second) : QVariant(MARK_BACKGROUND);
    }
    default:
      return {};
  }
}

void AcqTableModel::SetMarks(std::span<const AcqFinding> findings) {
  findings_.assign(findings.begin(), findings.end());
  std::map<std::pair<int, int>, QString> marks = Marks(findings_);
  int first = ACQ_ROW_COUNT, last = -1;
  for (const auto* m : {&marks_, &marks}) {
    for (const auto& [cell, text] : *m) {
      first = std::min(first, cell.first);
      last = std::max(last, cell.first);
    }
  }
  marks_ = std::move(marks);
  if (last >= first) {
    emit dataChanged(index(first, 0), index(last, ACQ_COLUMN_COUNT - 1),
                     {Qt::BackgroundRole, Qt::ToolTipRole});
  }
}

QVariant AcqTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ACQ_COLUMN_COUNT) return {};
  if (role == Qt::DisplayRole) {
    return Tr(AcqColumns()[static_cast<size_t>(section)].header);
  }
  if (role == Qt::TextAlignmentRole) return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
  return {};
}

Qt::ItemFlags AcqTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

void AcqTableModel::Retranslate() {
  marks_ = Marks(findings_);
  emit headerDataChanged(Qt::Horizontal, 0, ACQ_COLUMN_COUNT - 1);
  emit dataChanged(index(0, 0), index(ACQ_ROW_COUNT - 1, ACQ_COLUMN_COUNT - 1), {Qt::ToolTipRole});
}

void AcqTableModel::RowsChanged(int firstRow, int lastRow) {
  firstRow = std::max(firstRow, 0);
  lastRow = std::min(lastRow, ACQ_ROW_COUNT - 1);
  if (firstRow > lastRow) return;
  emit dataChanged(index(firstRow, 0), index(lastRow, ACQ_COLUMN_COUNT - 1), {Qt::DisplayRole});
}

}  // namespace qv31

#include "gui/traffic_model.h"

#include <QColor>
#include <QFontDatabase>
#include <array>

#include "gui/window_language.h"
#include "link/link_observer.h"
#include "session/trace_text.h"

namespace qv31 {
namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr std::array<const char*, TrafficModel::COLUMN_COUNT> HEADERS = {
    "时间 (ms)", "方向", "长度", "帧头", "结果", "数据"};

// Tints over the theme's own base colour, so the rows read in light and dark themes alike.
QVariant FateTint(BlockFate fate) {
  switch (fate) {
    case BlockFate::TooShort:
    case BlockFate::BadCrc:
    case BlockFate::BadPreamble:
      return QColor(230, 40, 40, 70);
    case BlockFate::Repeated:
    case BlockFate::Late:
    case BlockFate::Unmatched:
      return QColor(240, 160, 0, 60);
    default:
      return {};
  }
}

}  // namespace

TrafficModel::TrafficModel(const TrafficLog& log, QObject* parent)
    : QAbstractTableModel(parent), log_(log), first_(log.FirstIndex()), end_(log.FirstIndex()) {}

int TrafficModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(end_ - first_);
}

int TrafficModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : COLUMN_COUNT;
}

QVariant TrafficModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  const uint64_t at = first_ + static_cast<uint64_t>(index.row());
  // Rows the record dropped since the last Sync() show nothing until it removes them.
  if (at < log_.FirstIndex() || at >= log_.EndIndex()) return {};
  const TrafficRow& row = log_.Row(at);
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case TIME:
          return static_cast<qulonglong>(row.ms);
        case DIRECTION:
          return Tr(row.sent ? "发 >" : "收 <");
        case LENGTH:
          return static_cast<int>(row.bytes.size());
        case HEADER: {
          const std::string header = DescribeHeader(row.bytes);
          return header.empty() ? QStringLiteral("-") : Tr(header);
        }
        case FATE:
          return Tr(FateText(row.fate));
        case BYTES:
          return Q(HexText(row.bytes));
        default:
          return {};
      }
    case Qt::ToolTipRole:
      return index.column() == BYTES ? Q(HexText(row.bytes)) : QVariant();
    case Qt::BackgroundRole:
      return FateTint(row.fate);
    case Qt::FontRole:
      return index.column() == BYTES ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                                     : QVariant();
    case Qt::TextAlignmentRole:
      return index.column() <= LENGTH
                 ? QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter))
                 : QVariant();
    default:
      return {};
  }
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
      section >= COLUMN_COUNT) {
    return {};
  }
  return Tr(HEADERS[static_cast<size_t>(section)]);
}

void TrafficModel::Retranslate() {
  emit headerDataChanged(Qt::Horizontal, 0, COLUMN_COUNT - 1);
  if (end_ > first_) {
    emit dataChanged(index(0, DIRECTION), index(static_cast<int>(end_ - first_) - 1, FATE),
                     {Qt::DisplayRole});
  }
}

bool TrafficModel::Sync() {
  const uint64_t first = log_.FirstIndex(), end = log_.EndIndex();
  if (first >= end_ || first < first_) {
    // Cleared, or every row shown has gone: start over.
    if (first == first_ && end == end_) return false;
    beginResetModel();
    first_ = first;
    end_ = end;
    endResetModel();
    return end > first;
  }
  if (first > first_) {
    beginRemoveRows({}, 0, static_cast<int>(first - first_) - 1);
    first_ = first;
    endRemoveRows();
  }
  if (end <= end_) return false;
  beginInsertRows({}, static_cast<int>(end_ - first_), static_cast<int>(end - first_) - 1);
  end_ = end;
  endInsertRows();
  return true;
}

}  // namespace qv31

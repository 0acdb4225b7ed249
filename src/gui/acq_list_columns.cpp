#include "gui/acq_list_columns.h"

#include <QEvent>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <algorithm>
#include <numeric>
#include <string>

#include "acq/acq_codes.h"
#include "acq/acq_grid.h"
#include "gui/window_language.h"

namespace qv31 {
namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The widest texts a column can hold: the entries of the drop-down columns, and the largest
// numbers of the others (a range of six-digit reference numbers, five-digit 16-bit fields).
std::vector<QString> Samples(int column) {
  switch (column) {
    case COL_CHANNEL: {
      std::vector<QString> texts{Q(INVALID_TEXT)};
      for (uint8_t code = 0; code < 4; ++code) texts.push_back(Q(ChannelText(code)));
      return texts;
    }
    case COL_TYPE: {
      std::vector<QString> texts;
      for (const VarType& type : VarTypes()) texts.push_back(Q(type.text));
      return texts;
    }
    case COL_VAR_RANGE:
    case COL_BUFFER_RANGE:
      return {QStringLiteral("000000~000000")};
    case COL_START:
    case COL_BUFFER:
      return {QStringLiteral("00000")};
    default:
      return {QStringLiteral("000")};
  }
}

}  // namespace

AcqListColumns::AcqListColumns(QTableView* list)
    : QObject(list), list_(list), viewport_(list->viewport()) {
  list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  list_->horizontalHeader()->setMinimumSectionSize(1);
  Measure();
  viewport_->installEventFilter(this);
  list_->installEventFilter(this);
}

bool AcqListColumns::Editable(int column) {
  const auto columns = AcqColumns();
  return column > 0 && column < static_cast<int>(columns.size()) &&
         !columns[static_cast<size_t>(column)].header.starts_with('*');
}

int AcqListColumns::NaturalWidth(int columns) const {
  columns = std::clamp(columns, 0, static_cast<int>(natural_.size()));
  return std::accumulate(natural_.begin(), natural_.begin() + columns, 0);
}

void AcqListColumns::Measure() {
  const QFontMetrics cell = list_->fontMetrics();
  const QFontMetrics header = list_->horizontalHeader()->fontMetrics();
  const int headerMargin = 2 * list_->style()->pixelMetric(QStyle::PM_HeaderMargin) + 2;
  const auto columns = AcqColumns();
  natural_.assign(columns.size(), 0);
  for (size_t c = 0; c < columns.size(); ++c) {
    int width = header.horizontalAdvance(Tr(columns[c].header)) + headerMargin;
    for (const QString& sample : Samples(static_cast<int>(c))) {
      width = std::max(width, cell.horizontalAdvance(sample));
    }
    natural_[c] = width + cell.height();  // half a line of room either side
  }
  list_->verticalHeader()->setDefaultSectionSize(cell.height() + 8);
  Fit();
}

void AcqListColumns::Fit() {
  const int natural = NaturalWidth(static_cast<int>(natural_.size()));
  const int room = list_->viewport()->width();
  QHeaderView* header = list_->horizontalHeader();
  int given = 0;
  for (size_t c = 0; c < natural_.size(); ++c) {
    int width = natural_[c];
    if (room > natural) {
      // The last column takes what rounding left over, so no sliver of background shows.
      width = c + 1 == natural_.size() ? room - given : natural_[c] * room / natural;
    }
    header->resizeSection(static_cast<int>(c), width);
    given += width;
  }
}

bool AcqListColumns::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && watched == viewport_) {
    Fit();
  } else if (event->type() == QEvent::FontChange && watched == list_) {
    Measure();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace qv31

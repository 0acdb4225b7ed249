#pragma once

#include <QObject>
#include <vector>

class QTableView;

namespace qv31 {

// Sizes the acquisition list's columns by its fonts: each column as wide as its header or its
// widest possible value, whichever is wider, so a larger system font cuts nothing. Room the
// list gains beyond that is shared among the columns in proportion; with less room the list
// scrolls sideways.
class AcqListColumns final : public QObject {
 public:
  explicit AcqListColumns(QTableView* list);

  // The width of the first `columns` columns at their natural widths.
  int NaturalWidth(int columns) const;
  // True for a column the operator edits in place (its header carries no asterisks).
  static bool Editable(int column);
  // Measures the columns again (the font or the headers' language changed).
  void Measure();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Fit();

  QTableView* list_;
  // Kept apart: events still reach the filter while the list is being destroyed, when its
  // viewport() may no longer be asked for.
  QWidget* viewport_;
  std::vector<int> natural_;
};

}  // namespace qv31

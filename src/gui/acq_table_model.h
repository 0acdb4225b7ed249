#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <map>
#include <span>
#include <utility>
#include <vector>

#include "acq/acq_checks.h"
#include "acq/acq_grid.h"

namespace qv31 {

// The acquisition list's rows as the dialog holds them: every read goes to the dialog's grid,
// so the view always shows the latest edit. Editing happens through the dialog's in-place
// editors, never through the model.
class AcqTableModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  explicit AcqTableModel(const AcqGrid& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

  // The dialog changed rows first to last.
  void RowsChanged(int firstRow, int lastRow);
  // The cells the table checks found, tinted, each with its reasons as tool tip.
  void SetMarks(std::span<const AcqFinding> findings);
  // The headers and the marks' reasons again, in the window's language now.
  void Retranslate();

 private:
  const AcqGrid& grid_;
  std::vector<AcqFinding> findings_;
  std::map<std::pair<int, int>, QString> marks_;
};

}  // namespace qv31

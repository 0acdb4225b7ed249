#pragma once

#include <QAbstractTableModel>
#include <cstdint>

#include "app/traffic_log.h"

namespace qv31 {

// The traffic record's rows for the monitor: time, direction, length, header, what became of
// the block, and its bytes. The record grows on the engine's ticks; Sync() brings the model's
// rows up to it (rows dropped at the front, rows added at the end).
class TrafficModel final : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column { TIME, DIRECTION, LENGTH, HEADER, FATE, BYTES, COLUMN_COUNT };

  explicit TrafficModel(const TrafficLog& log, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // Returns true when rows were added.
  bool Sync();
  // The headers and the rows' texts again, in the window's language now.
  void Retranslate();

 private:
  const TrafficLog& log_;
  uint64_t first_ = 0;  // the record's index of row 0
  uint64_t end_ = 0;
};

}  // namespace qv31

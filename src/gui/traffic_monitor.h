#pragma once

#include <QTimer>
#include <QWidget>
#include <string>

class QLabel;
class QPushButton;
class QTableView;

namespace qv31 {

class TrafficLog;
class TrafficModel;

// The window "通信记录": every block the engine sent and received since the program started
// (the newest rows, up to the record's limit), with pause, clear and save as text. It looks
// at the record ten times a second while it is shown, and keeps to the newest row unless
// the operator has scrolled up.
class TrafficMonitor final : public QWidget {
  Q_OBJECT

 public:
  // `saveDir`: where "保存" starts.
  TrafficMonitor(TrafficLog& log, std::string saveDir, QWidget* parent = nullptr);
  ~TrafficMonitor() override;

  TrafficModel& Model() { return *model_; }
  QTableView* Table() const { return table_; }
  // Brings the rows up to the record now.
  void Sync();
  // Writes the kept rows to `path`; the note line says where, or why not.
  bool SaveTo(const QString& path);
  // Every text again, in the window's language now.
  void Retranslate();

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Save();
  void FitColumns();

  TrafficLog& log_;
  std::string saveDir_;
  TrafficModel* model_;
  QTableView* table_;
  QPushButton* pause_;
  QLabel* note_;
  QTimer look_;
};

}  // namespace qv31

#pragma once

#include <QDialog>
#include <QModelIndex>
#include <QSocketNotifier>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/text_catalogue.h"

class QAction;

namespace Ui {
class MainDialog;
}

namespace qv31 {

class AcqListColumns;
class AcqTableModel;
class CQV31Dlg;
class QtDialogView;
class QtTimerService;
class SearchDialog;
class TrafficMonitor;

struct WindowOptions {
  std::string settingsDir;  // empty: the library's choice (beside the program, else XDG)
  // When set, the window starts in network mode towards this host and port (for this run;
  // the settings file changes only when the link is opened, as always).
  std::string udpHost;
  std::string udpPort;
  std::function<std::vector<std::string>()> discoverPorts;  // empty: the system's ports
  std::string version = QV31_VERSION;                       // a.b.c.d, for the about box
  // The language unless the operator chose one in the window (kept in the settings file).
  Language language = Language::Chinese;
};

// The main window: draws the dialog's controls and forwards every event to CQV31Dlg, which
// decides everything.
class MainDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit MainDialog(const WindowOptions& options, QWidget* parent = nullptr);
  ~MainDialog() override;

  CQV31Dlg& Dialog() { return *dlg_; }
  QtDialogView& View() { return *view_; }
  // The window "通信记录", made on first use.
  TrafficMonitor& Monitor();
  void ShowMonitor();
  // The small window of "搜索"; hidden until the button opens it.
  SearchDialog& Search() { return *search_; }
  // The operator's choice from the menu: every window follows at once, and the settings
  // file keeps it for the next start.
  void ChooseLanguage(Language language);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The close box, "退出" and Esc all end here; the dialog may ask first.
  void reject() override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetUpList();
  void ConnectControls();
  void ApplyOptions(const WindowOptions& options);
  void FitEditWidths();
  void ApplyLanguage(Language language);
  void FitScreen();
  void ShowMenu(const QPoint& at);
  void ShowMenuAtFocus();
  // Opens the editor of a cell, made the list's current one, as a click on it would.
  void EditCell(const QModelIndex& index);
  // Tab and Shift+Tab from an editor: the next (step 1) or previous (-1) editable cell.
  void EditNextCell(int step);
  void WatchSocket(int fd);
  void OnTimer(int id);

  std::unique_ptr<Ui::MainDialog> ui_;
  std::unique_ptr<QtDialogView> view_;
  std::unique_ptr<QtTimerService> timers_;
  std::unique_ptr<CQV31Dlg> dlg_;
  std::unique_ptr<AcqTableModel> model_;
  std::unique_ptr<TrafficMonitor> monitor_;
  AcqListColumns* columns_ = nullptr;  // owned by the list
  QAction* about_ = nullptr;
  QAction* traffic_ = nullptr;
  QAction* language_ = nullptr;  // names the other language, in that language
  // Wakes the engine when a datagram arrives on an idle link; off while the engine ticks.
  std::unique_ptr<QSocketNotifier> readable_;
  SearchDialog* search_ = nullptr;  // a child window, owned by this one
};

}  // namespace qv31

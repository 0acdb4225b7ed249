#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <functional>
#include <memory>
#include <string>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "file_bytes.h"
#include "gui/main_dialog.h"
#include "gui/qt_dialog_view.h"

namespace qv31::guitest {

// Spins the event loop until `done` holds or `ms` have passed; the result of `done`.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > ms) return false;
    QTest::qWait(5);
  }
  return true;
}

// The real window in a fresh settings directory, with no serial ports on the system.
class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir_.Dir().empty());
    Open({});
  }
  void TearDown() override { window_.reset(); }

  void Open(WindowOptions options) {
    window_.reset();
    options.settingsDir = dir_.Dir().string();
    options.discoverPorts = [] { return std::vector<std::string>{}; };
    options.version = "1.2.3.4";
    window_ = std::make_unique<MainDialog>(options);
    window_->show();
    window_->activateWindow();  // X servers without a window manager do not activate it
    ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
  }

  template <typename W = QWidget>
  W* Control(int id) const {
    return window_->findChild<W*>(QStringLiteral("c%1").arg(id));
  }
  QTableView* List() const { return Control<QTableView>(IDC_ACQ_LIST); }
  QString Text(int id) const { return QString::fromStdString(window_->View().Text(id)); }
  QString Cell(int row, int column) const {
    return List()->model()->index(row, column).data().toString();
  }
  void Click(int id) const { QTest::mouseClick(Control(id), Qt::LeftButton); }
  // A real click on a cell of the list's viewport.
  void ClickCell(int row, int column) const {
    QTableView* list = List();
    const QModelIndex index = list->model()->index(row, column);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
  }

  TempDir dir_{"qv31-gui"};
  std::unique_ptr<MainDialog> window_;
};

}  // namespace qv31::guitest

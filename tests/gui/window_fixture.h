#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAccessible>
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

// The roles a screen reader offers the operator as controls (labels and frames are not).
inline bool IsControl(QAccessibleInterface* a) {
  switch (a->role()) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::Table:
      return true;
    default:
      return false;
  }
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

  // The control a screen reader names `name` (its accessible name or description), as an
  // operator who cannot see the window finds it; null unless exactly one.
  template <typename W = QWidget>
  W* Named(const QString& name) const {
    W* found = nullptr;
    for (W* w : window_->findChildren<W*>()) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      if (a == nullptr || !IsControl(a)) continue;
      if (a->text(QAccessible::Name) != name && a->text(QAccessible::Description) != name) continue;
      if (found != nullptr) return nullptr;
      found = w;
    }
    return found;
  }
  QTableView* List() const { return Named<QTableView>(QStringLiteral("采集管理参数")); }
  QString Text(int id) const { return QString::fromStdString(window_->View().Text(id)); }
  QString Cell(int row, int column) const {
    return List()->model()->index(row, column).data().toString();
  }
  void Click(const QString& name) const { QTest::mouseClick(Named(name), Qt::LeftButton); }
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

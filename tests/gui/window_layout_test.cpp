// What an operator and a screen reader reach: every control by its accessible name, Enter
// and Esc, the about box.
#include <QAccessible>
#include <QLabel>
#include <QMenu>
#include <QTimer>
#include <map>

#include "app/control_ids.h"
#include "window_fixture.h"

namespace qv31::guitest {
namespace {

// Every control a screen reader offers has a description of its own, so it is found by that
// name alone. (Which name each control gets is the view's own table; the tests find the
// controls they press by those names.)
TEST_F(WindowTest, EveryControlIsFoundByItsOwnAccessibleName) {
  std::map<QString, QString> owner;
  int described = 0;
  for (QWidget* w : window_->findChildren<QWidget*>()) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    // Parts of a control (the port box's edit line, the list's corner) have no name.
    if (a == nullptr || !IsControl(a) || w->window() != window_.get() ||
        w->objectName().isEmpty()) {
      continue;
    }
    const QString description = w->accessibleDescription();
    EXPECT_FALSE(description.isEmpty()) << w->objectName().toStdString();
    if (description.isEmpty()) continue;
    ++described;
    const auto [it, fresh] = owner.emplace(description, w->objectName());
    EXPECT_TRUE(fresh) << description.toStdString() << " names " << it->second.toStdString()
                       << " and " << w->objectName().toStdString();
  }
  EXPECT_GE(described, 60);
  ASSERT_NE(Named("通信口"), nullptr);
  EXPECT_EQ(Named("串口"), Named("通信口")) << "the mode box is named by its text too";
  EXPECT_EQ(Named("打开"), Named("打开/关闭"));

  // The list as a table: cell (r, c) is row r, column c, with the list's headers.
  QAccessibleTableInterface* table =
      QAccessible::queryAccessibleInterface(List())->tableInterface();
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->rowCount(), 255);
  EXPECT_EQ(table->columnCount(), 9);
  EXPECT_EQ(table->cellAt(254, 0)->text(QAccessible::Name), "255");
  EXPECT_EQ(table->columnDescription(6), "*变量计算*");
}

TEST_F(WindowTest, EnterDoesNothingAndEscEndsTheWindow) {
  bool ended = false;
  QObject::connect(window_.get(), &QDialog::finished, [&] { ended = true; });
  for (const char* name : {"打开/关闭", "通信口", "4G参数 组号", "软件参数 波特率"}) {
    QWidget* w = Named(QString::fromUtf8(name));
    ASSERT_NE(w, nullptr) << name;
    w->setFocus();
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter}) {
      QTest::keyClick(w, key);
      EXPECT_TRUE(window_->isVisible()) << name;
    }
  }
  EXPECT_EQ(Text(IDC_OPEN_CLOSE), "打开");  // Enter on the focused button did not press it
  EXPECT_FALSE(ended);

  QTest::keyClick(Named("4G参数 组号"), Qt::Key_Escape);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(window_->isVisible());
}

TEST_F(WindowTest, F1OpensTheAboutBoxWithTheProgramsVersionAndIcon) {
  EXPECT_FALSE(window_->windowIcon().isNull());  // compiled in, so a copied program has it
  QString title;
  QString line;
  bool iconShown = false;
  QTimer::singleShot(0, [&] {
    QWidget* about = QApplication::activeModalWidget();
    if (about == nullptr) return;
    title = about->windowTitle();
    if (auto* label = about->findChild<QLabel*>("c1066")) line = label->text();
    if (auto* icon = about->findChild<QLabel*>("labelIcon")) iconShown = !icon->pixmap().isNull();
    QTest::keyClick(about, Qt::Key_Return);  // "确定"
  });
  QTest::keyClick(Named("4G参数 组号"), Qt::Key_F1);
  EXPECT_EQ(title, "关于 QV31");
  EXPECT_EQ(line, "QV31，1.2.3.4 版");
  EXPECT_TRUE(iconShown);
  EXPECT_TRUE(window_->isVisible());
}

// A screen reader's toggle clicks nothing; the mode follows the mark all the same, and a
// switch leaves the window's size and every control where it was.
TEST_F(WindowTest, TheModeFollowsTheCheckBoxAndASwitchMovesNothing) {
  auto places = [&] {
    std::map<QString, QRect> at;
    for (QWidget* w : window_->findChildren<QWidget*>()) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      if (a == nullptr || !IsControl(a) || w->isHidden()) continue;
      at[w->accessibleDescription()] = QRect(w->mapTo(window_.get(), QPoint(0, 0)), w->size());
    }
    return at;
  };
  QWidget* mode = Named("通信口");
  const QSize size = window_->size();
  const auto serial = places();
  ASSERT_TRUE(serial.contains("串口号"));
  for (const char* expected : {"网口", "串口"}) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(mode);
    a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_EQ(Text(IDC_MODE), expected);
    EXPECT_EQ(window_->size(), size) << expected;
    const auto now = places();
    EXPECT_EQ(now.contains("目标地址"), QString(expected) == "网口");
    EXPECT_EQ(now.contains("串口号"), QString(expected) == "串口");
    for (const auto& [name, rect] : now) {
      // The open button alone is centred again when "停止采集" is hidden.
      if (serial.contains(name) && name != "打开/关闭") {
        EXPECT_EQ(rect, serial.at(name)) << name.toStdString() << " in " << expected;
      }
    }
  }
}

// Shift+F10 and the Menu key open the window's menu, wherever the focus is, with the keys
// that reach its entries directly.
TEST_F(WindowTest, TheMenuOpensFromTheKeyboardAndNamesItsKeys) {
  for (const auto& [key, modifiers] :
       {std::pair{Qt::Key_F10, Qt::ShiftModifier}, std::pair{Qt::Key_Menu, Qt::NoModifier}}) {
    QStringList entries;
    QTimer::singleShot(0, [&] {
      auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
      if (menu == nullptr) return;
      for (const QAction* action : menu->actions()) {
        entries << action->text() + " " + action->shortcut().toString();
      }
      menu->close();
    });
    QTest::keyClick(List(), key, modifiers);
    // The last entry offers the other language by its own name.
    EXPECT_EQ(entries, QStringList({"关于 QV31(&A)... F1", "通信记录 F12", " ", "English "}))
        << key;
  }
}

}  // namespace
}  // namespace qv31::guitest

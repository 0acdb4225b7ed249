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

struct NamedControl {
  int id;
  const char* name;
};

// The names a screen reader announces, one per control.
constexpr NamedControl kNames[] = {
    {1065, "串口"},
    {1065, "通信口"},
    {1000, "串口号"},
    {1001, "软件参数 波特率"},
    {1002, "软件参数 格式"},
    {1056, "软件参数 协议类型"},
    {1057, "目标地址"},
    {1058, "软件参数 目标端口"},
    {1003, "打开"},
    {1003, "打开/关闭"},
    {1069, "停止采集"},
    {1070, "搜索网关"},
    {1071, "检测串口参数"},
    {1073, "搜索范围"},
    {1074, "开始搜索"},
    {1076, "使用所选网关"},
    {1004, "串口1 波特率"},
    {1005, "串口1 格式"},
    {1006, "串口2 波特率"},
    {1007, "串口2 格式"},
    {1008, "串口3 波特率"},
    {1009, "串口3 格式"},
    {1010, "串口4 波特率"},
    {1011, "串口4 格式"},
    {1012, "串口1 查询"},
    {1013, "串口1 设置"},
    {1014, "串口2 查询"},
    {1015, "串口2 设置"},
    {1016, "串口3 查询"},
    {1017, "串口3 设置"},
    {1018, "串口4 查询"},
    {1019, "串口4 设置"},
    {1020, "版本号"},
    {1044, "版本号 查询"},
    {1021, "4G参数 组号"},
    {1067, "4G参数 站点号"},
    {1024, "输出日志"},
    {1022, "4G参数 查询"},
    {1023, "4G参数 设置"},
    {1029, "自动获取IP"},
    {1025, "本机IP"},
    {1026, "子网掩码"},
    {1027, "默认网关"},
    {1028, "DNS服务器"},
    {1030, "网络通道1"},
    {1033, "网络通道2"},
    {1031, "网络通道1 协议类型"},
    {1032, "网络通道2 协议类型"},
    {1034, "网络通道1 目标IP/域名"},
    {1035, "网络通道2 目标IP/域名"},
    {1036, "网络通道1 目标端口"},
    {1037, "网络通道2 目标端口"},
    {1038, "MAC地址"},
    {1039, "网口参数 查询"},
    {1040, "网口参数 设置"},
    {1045, "采集管理使能"},
    {1068, "间隔时间"},
    {1046, "超时时间"},
    {1047, "超时次数"},
    {1042, "采集管理参数 查询"},
    {1043, "采集管理参数 设置"},
    {1041, "采集管理参数"},
    {1048, "查询全部"},
    {1049, "设置全部"},
    {1053, "保存到文件"},
    {1054, "从文件加载"},
    {1052, "状态"},
    {2, "退出"},
};

TEST_F(WindowTest, EveryControlIsFoundByItsOwnAccessibleName) {
  std::vector<QWidget*> controls;
  for (QWidget* w : window_->findChildren<QWidget*>()) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
    if (a != nullptr && IsControl(a)) controls.push_back(w);
  }
  for (const NamedControl& named : kNames) {
    std::vector<QString> found;
    for (QWidget* w : controls) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      const QString name = QString::fromUtf8(named.name);
      if (a->text(QAccessible::Name) == name || a->text(QAccessible::Description) == name) {
        found.push_back(w->objectName());
      }
    }
    EXPECT_EQ(found, std::vector<QString>{QStringLiteral("c%1").arg(named.id)}) << named.name;
  }
  std::map<QString, QString> owner;
  for (QWidget* w : controls) {
    const QString description = w->accessibleDescription();
    if (description.isEmpty()) continue;
    const auto [it, fresh] = owner.emplace(description, w->objectName());
    EXPECT_TRUE(fresh) << description.toStdString() << " names " << it->second.toStdString()
                       << " and " << w->objectName().toStdString();
  }

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

// The window against the real simulator over UDP on 127.0.0.1: what an open shows, what a
// "设置" changes in the gateway, the monitor, the list typed from the keyboard, the screen.
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QPalette>
#include <QProgressBar>
#include <QScreen>
#include <string>
#include <utility>
#include <vector>

#include "acq/acq_grid.h"
#include "app/control_ids.h"
#include "gui/traffic_model.h"
#include "gui/traffic_monitor.h"
#include "link/link_frame.h"
#include "sim/gateway_memory.h"
#include "sim/sim_process.h"
#include "window_fixture.h"

namespace qv31::guitest {
namespace {

class LinkTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0", "--state", dir_.Path("sim.json")}));
    WindowOptions options;
    options.udpHost = "127.0.0.1";
    options.udpPort = std::to_string(sim_.UdpPort());
    Open(options);
  }

  GatewayMemory Memory() const { return simtest::StateMemory(dir_.Path("sim.json")); }
  // Presses a command button and waits until the exchange it started has ended.
  bool Run(const QString& name) const {
    Click(name);
    return WaitFor([&] { return Named(name)->isEnabled() && Text(IDC_STATUS) == "执行完成"; });
  }
  // Opens the link and waits until the gateway has been read.
  bool OpenLink() const { return Run(QStringLiteral("打开/关闭")); }

  simtest::SimProcess sim_;
};

TEST_F(LinkTest, OpenShowsTheGatewayAndASetWritesOnlyItsOwnBytes) {
  ASSERT_TRUE(OpenLink());
  EXPECT_EQ(Text(IDC_OPEN_CLOSE), "关闭");

  // The factory state of the simulator, as the window shows it.
  const std::pair<int, const char*> shown[] = {
      {IDC_VERSION, "QV31-SIM 1.0"},
      {IDC_STATION, "1"},
      {IDC_PORT3_BAUD, "19200"},
      {IDC_PORT3_FORMAT, "e,8,1"},
      {IDC_LOCAL_IP, "192.168.1.100"},
      {IDC_CH1_PROTOCOL, "TCP Client"},
      {IDC_CH1_TARGET, "data.example.com"},
      {IDC_ACQ_TIMEOUT, "1000"},
  };
  for (const auto& [id, text] : shown) EXPECT_EQ(Text(id), text) << id;
  EXPECT_TRUE(window_->View().Checked(IDC_CH1_ENABLE));
  EXPECT_TRUE(window_->View().Checked(IDC_ACQ_ENABLE));
  EXPECT_FALSE(window_->View().Checked(IDC_LOG));
  const char* row201[] = {"201", "COM2",        "3",     "02-R",         "5",
                          "3",   "10006~10008", "10000", "180001~180003"};
  for (int c = 0; c < ACQ_COLUMN_COUNT; ++c) EXPECT_EQ(Cell(200, c), row201[c]) << c;

  // For review: the window as an operator sees it after an open.
  window_->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-window-%1.png")
                           .arg(QGuiApplication::platformName()));

  // A group's "设置" from the real widgets writes its bytes and no others. What each group's
  // controls write is the dialog's test; the typed table rows are below.
  const GatewayMemory before = Memory();
  window_->View().ComboSelect(IDC_PORT2_BAUD, 6);  // "38400", code 9
  ASSERT_TRUE(Run("串口2 设置"));
  EXPECT_EQ(simtest::Changed(before, Memory()),
            (std::vector<std::pair<int, int>>{{AREA_PARAMS, 314}}));
}

TEST_F(LinkTest, TheMonitorListsTheOpenAndTheChecksMarkAnEditedCell) {
  auto* progress = window_->findChild<QProgressBar*>(QStringLiteral("progress"));
  ASSERT_NE(progress, nullptr);
  Click("打开/关闭");
  ASSERT_TRUE(WaitFor([&] { return progress->isVisible(); })) << "a running open shows progress";
  window_->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-progress-%1.png")
                           .arg(QGuiApplication::platformName()));
  ASSERT_TRUE(
      WaitFor([&] { return Text(IDC_STATUS) == "执行完成" && Named("查询全部")->isEnabled(); }));
  EXPECT_FALSE(progress->isVisible());

  QTest::keyClick(window_.get(), Qt::Key_F12);
  TrafficMonitor& monitor = window_->Monitor();
  ASSERT_TRUE(WaitFor([&] { return monitor.isVisible(); }));
  monitor.Sync();
  const QAbstractItemModel& rows = monitor.Model();
  ASSERT_EQ(rows.rowCount(), 22) << "eleven frames sent, eleven replies completing them";
  for (int r = 0; r < rows.rowCount(); ++r) {
    EXPECT_EQ(rows.index(r, TrafficModel::FATE).data().toString(), r % 2 == 0 ? "发送" : "完成请求")
        << r;
  }
  EXPECT_EQ(rows.index(0, TrafficModel::HEADER).data().toString(), "区3 读 地址0 长度18");
  // For review: the monitor after an open.
  monitor.grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-monitor-%1.png")
                          .arg(QGuiApplication::platformName()));
  QPalette dark = monitor.palette();
  for (const auto& [role, color] : {std::pair{QPalette::Window, QColor(45, 45, 48)},
                                    {QPalette::Base, QColor(30, 30, 30)},
                                    {QPalette::AlternateBase, QColor(40, 40, 40)},
                                    {QPalette::Text, QColor(230, 230, 230)},
                                    {QPalette::WindowText, QColor(230, 230, 230)},
                                    {QPalette::Button, QColor(60, 60, 64)},
                                    {QPalette::ButtonText, QColor(230, 230, 230)}}) {
    dark.setColor(role, color);
  }
  monitor.setPalette(dark);
  monitor.grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-monitor-dark-%1.png")
                          .arg(QGuiApplication::platformName()));
  const QString saved = QString::fromStdString(dir_.Path("traffic.txt"));
  ASSERT_TRUE(monitor.SaveTo(saved));
  QFile file(saved);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll().count('\n'), 22);

  // A slave address of 248 is marked, and says why; the write still goes out.
  ClickCell(0, COL_SLAVE);
  QTest::keyClicks(window_->View().CellEdit(), "248");
  // For review: the edit box over its cell, the typed text in it.
  window_->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-editing-%1.png")
                           .arg(QGuiApplication::platformName()));
  QTest::keyClick(window_->View().CellEdit(), Qt::Key_Return);
  const QModelIndex slave = List()->model()->index(0, COL_SLAVE);
  EXPECT_TRUE(slave.data(Qt::BackgroundRole).isValid());
  EXPECT_TRUE(slave.data(Qt::ToolTipRole).toString().contains("247"))
      << slave.data(Qt::ToolTipRole).toString().toStdString();
  ASSERT_TRUE(Run("采集管理参数 设置"));
  EXPECT_EQ(Memory().AreaBytes(AREA_TABLE)[8 + 2], 248);
}

// A row typed from the keyboard alone: arrows to a cell, F2 or Enter opens its editor, Tab
// commits and opens the next one; the focus never leaves the list for a button.
TEST_F(LinkTest, ARowTypedFromTheKeyboardGoesOnTheWire) {
  ASSERT_TRUE(OpenLink());
  QTableView* list = List();
  list->setFocus();
  list->setCurrentIndex(list->model()->index(0, 0));
  QWidget* popup = window_->View().CellCombo()->view();
  auto inList = [&] {
    QWidget* focus = QApplication::focusWidget();
    return focus == list || list->isAncestorOf(focus) || popup->isAncestorOf(focus) ||
           focus == popup;
  };
  QTest::keyClick(list, Qt::Key_Right);  // to "通道号"
  QTest::keyClick(list, Qt::Key_F2);
  ASSERT_TRUE(WaitFor([&] { return popup->isVisible(); })) << "the drop-down opens at once";
  struct Step {
    std::vector<Qt::Key> keys;  // typed into the open editor, then Tab
    bool combo;
  };
  const Step steps[] = {
      {{Qt::Key_Home, Qt::Key_Down, Qt::Key_Down}, true},  // "COM3"
      {{Qt::Key_1, Qt::Key_7}, false},                     // slave 17
      {{Qt::Key_Home, Qt::Key_Down, Qt::Key_Down}, true},  // "03-R"
      {{Qt::Key_1, Qt::Key_0, Qt::Key_0}, false},
      {{Qt::Key_1, Qt::Key_0}, false},
      {{Qt::Key_2, Qt::Key_0}, false},  // buffer, the row's last editable cell
  };
  for (const Step& step : steps) {
    ASSERT_TRUE(WaitFor([&] { return !step.combo || popup->isVisible(); }));
    QWidget* editor = step.combo ? popup : static_cast<QWidget*>(window_->View().CellEdit());
    ASSERT_TRUE(WaitFor([&] { return editor->hasFocus(); }));
    for (const Qt::Key key : step.keys) QTest::keyClick(editor, key);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_TRUE(inList());
  }
  // Tab went on to the next row's "通道号"; Esc drops it, Shift+Tab is not needed.
  ASSERT_TRUE(WaitFor([&] { return popup->isVisible(); }));
  EXPECT_EQ(list->currentIndex(), list->model()->index(1, COL_CHANNEL));
  QTest::keyClick(popup, Qt::Key_Escape);
  ASSERT_TRUE(WaitFor([&] { return !window_->View().CellCombo()->isVisible(); }));
  EXPECT_TRUE(inList());
  QTest::keyClick(list, Qt::Key_Space);  // would press a button that had taken the focus
  EXPECT_EQ(Text(IDC_OPEN_CLOSE), "关闭");

  // Shift+Tab from the buffer cell back to "变量个数", Enter to commit there.
  list->setCurrentIndex(list->model()->index(0, COL_BUFFER));
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_TRUE(WaitFor([&] { return window_->View().CellEdit()->hasFocus(); }));
  QTest::keyClick(window_->View().CellEdit(), Qt::Key_Tab, Qt::ShiftModifier);
  ASSERT_TRUE(WaitFor([&] { return window_->View().CellEdit()->hasFocus(); }));
  EXPECT_EQ(list->currentIndex(), list->model()->index(0, COL_COUNT));
  QTest::keyClicks(window_->View().CellEdit(), "12");
  QTest::keyClick(window_->View().CellEdit(), Qt::Key_Return);
  EXPECT_TRUE(inList());

  ASSERT_TRUE(Run("采集管理参数 设置"));
  const GatewayMemory memory = Memory();
  const auto table = memory.AreaBytes(AREA_TABLE);
  // Row 1's record: channel, type, slave, start (big-endian), count, buffer (big-endian).
  const std::vector<int> row1(table.begin() + 8, table.begin() + 16);
  EXPECT_EQ(row1, (std::vector<int>{2, 3, 17, 0, 100, 12, 0, 20}));
}

// On the screen it is given (ctest runs it on 1024 x 768 and on 1600 x 1000): the window
// opens inside it with every control reachable and no header or value cut, and the room it
// gains when enlarged goes to the list.
TEST_F(LinkTest, TheWindowFitsItsScreenAndTheListTakesTheRoomItGains) {
  QScreen* screen = window_->screen();
  const QRect room = screen->availableGeometry();
  if (room.width() < 1024 || room.height() < 768) GTEST_SKIP() << "for screens from 1024x768";
  ASSERT_TRUE(OpenLink());
  QTableView* list = List();
  const QString size = QStringLiteral("%1x%2").arg(room.width()).arg(room.height());
  const QString dir = QStringLiteral(QV31_SCREENSHOT_DIR "/screenshots");
  QDir().mkpath(dir);
  auto check = [&](const QString& when) {
    QTest::qWait(50);  // the layout settles
    EXPECT_TRUE(room.contains(window_->frameGeometry())) << when.toStdString();
    for (QWidget* w : window_->findChildren<QWidget*>()) {
      QAccessibleInterface* a = QAccessible::queryAccessibleInterface(w);
      if (a == nullptr || !IsControl(a) || !w->isVisible() || w->parent() == list->viewport()) {
        continue;
      }
      const QRect at(w->mapTo(window_.get(), QPoint(0, 0)), w->size());
      const int least = w->minimumWidth() > 0 ? w->minimumWidth() : w->minimumSizeHint().width();
      EXPECT_TRUE(window_->rect().contains(at) && at.width() >= least)
          << w->accessibleDescription().toStdString() << " " << when.toStdString();
    }
    const QFontMetrics cell = list->fontMetrics();
    const QFontMetrics header = list->horizontalHeader()->fontMetrics();
    for (int c = 0; c < ACQ_COLUMN_COUNT; ++c) {
      const int width = list->columnWidth(c);
      const QString title = list->model()->headerData(c, Qt::Horizontal).toString();
      EXPECT_GT(width, header.horizontalAdvance(title)) << title.toStdString();
      for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
        EXPECT_GT(width, cell.horizontalAdvance(Cell(r, c))) << r << "," << c;
      }
    }
    screen->grabWindow(0).save(dir + "/qv31-config-" + size + when + ".png");
  };
  auto rows = [&] { return list->rowAt(list->viewport()->height() - 1) + 1; };
  check("");
  const int before = rows();
  window_->move(room.topLeft());
  window_->resize(room.size() - (window_->frameGeometry().size() - window_->size()));
  check("-grown");
  EXPECT_GT(rows(), before + 3);
  EXPECT_EQ(list->horizontalHeader()->length(), list->viewport()->width()) << "no empty band";
}

// A pseudo-terminal that discovery does not list, typed into the ports' list, opens the link.
TEST(TypedPort, APseudoTerminalPathOpensTheLink) {
  simtest::SimProcess sim;
  ASSERT_TRUE(sim.Start({"--pty"}));
  const std::string pty = sim.Listener("pty ");
  TempDir dir("qv31-gui-pty");
  WindowOptions options;
  options.settingsDir = dir.Dir().string();
  options.discoverPorts = [] { return std::vector<std::string>{}; };
  MainDialog window(options);
  window.show();
  auto* ports = window.findChild<QComboBox*>(QStringLiteral("c%1").arg(IDC_LINK_PORT));
  ASSERT_TRUE(ports->isEditable());
  QTest::keyClicks(ports->lineEdit(), QString::fromStdString(pty));
  QTest::mouseClick(window.findChild<QWidget*>(QStringLiteral("c%1").arg(IDC_OPEN_CLOSE)),
                    Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return window.View().Text(IDC_STATUS) == "执行完成"; }))
      << window.View().Text(IDC_STATUS);
  EXPECT_EQ(window.View().Text(IDC_VERSION), "QV31-SIM 1.0");
  EXPECT_EQ(window.Dialog().Settings().portText, pty);
}

}  // namespace
}  // namespace qv31::guitest

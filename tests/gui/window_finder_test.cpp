// "搜索" and "检测" in the real window, found by their accessible names, against simulators on
// loopback addresses and a gateway on a pseudo-terminal; screenshots of both results.
#include <QAccessible>
#include <QGuiApplication>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include "gui/search_dialog.h"
#include "gui/window_fixture.h"
#include "sim/sim_process.h"
#include "sim/udp_listener.h"
#include "transport/line_gateway.h"

namespace qv31::guitest {
namespace {

class FinderTest : public WindowTest {
 protected:
  // Counts the event loop's turns while `done` does not hold: a frozen window counts none.
  int TicksUntil(const std::function<bool()>& done, int ms = 10000) {
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    EXPECT_TRUE(WaitFor(done, ms));
    return ticks;
  }
};

TEST_F(FinderTest, SearchListsTheGatewaysAndTheChosenOneBecomesTheTarget) {
  std::string error;
  UdpListener probe;
  ASSERT_EQ(probe.Open("127.0.0.2", 0, error), 1);
  const std::string port = std::to_string(probe.Port());
  probe.Close();
  simtest::SimProcess two, three;
  ASSERT_TRUE(two.Start({"--udp", "127.0.0.2:" + port, "--identity", "QV31-2"}));
  ASSERT_TRUE(three.Start({"--udp", "127.0.0.3:" + port, "--identity", "网关三号"}));
  WindowOptions options;
  options.udpHost = "192.0.2.1";
  options.udpPort = port;
  Open(options);

  QTest::mouseClick(Named<QPushButton>("搜索网关"), Qt::LeftButton);
  SearchDialog& search = window_->Search();
  ASSERT_TRUE(search.isVisible());
  QTest::keyClicks(Named<QLineEdit>("搜索范围"), "127.0.0.0/29 10.0.0.0/8");
  QTest::mouseClick(Named<QPushButton>("开始搜索"), Qt::LeftButton);
  EXPECT_EQ(Text(IDC_SEARCH_STATUS), "搜索范围无效：10.0.0.0/8");
  Named<QLineEdit>("搜索范围")->clear();
  QTest::keyClicks(Named<QLineEdit>("搜索范围"), "127.0.0.0/29");
  QTest::keyClick(Named<QLineEdit>("搜索范围"), Qt::Key_Return);
  EXPECT_FALSE(Named("开始搜索")->isEnabled()) << "one search at a time";
  auto* list = search.findChild<QListWidget*>(QStringLiteral("c1075"));
  const int ticks = TicksUntil([&] { return Text(IDC_SEARCH_STATUS) == "找到 2 个网关"; });
  EXPECT_GT(ticks, 20) << "the window kept running while it searched";
  ASSERT_EQ(list->count(), 2);
  EXPECT_EQ(list->item(0)->text().toStdString(), "127.0.0.2:" + port + "  QV31-2");
  EXPECT_EQ(list->item(1)->text().toStdString(), "127.0.0.3:" + port + "  网关三号");
  search.grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-search-%1.png")
                         .arg(QGuiApplication::platformName()));

  list->setCurrentRow(1);
  QTest::mouseClick(Named<QPushButton>("使用所选网关"), Qt::LeftButton);
  EXPECT_EQ(Text(IDC_LINK_ADDRESS), "127.0.0.3");
  EXPECT_EQ(Text(IDC_LINK_TARGET_PORT).toStdString(), port);
  EXPECT_FALSE(search.isVisible());
  Click("打开/关闭");
  ASSERT_TRUE(WaitFor([&] { return Text(IDC_STATUS) == "执行完成"; }));
  EXPECT_EQ(Text(IDC_VERSION), "网关三号");
  EXPECT_FALSE(Named("搜索网关")->isEnabled()) << "no search while the link is open";
}

TEST_F(FinderTest, DetectSetsTheBaudAndFormatTheGatewayAnswersAt) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  LineGateway gateway(pty, 115200, 1, "检测网关");
  window_->View().SetChecked(IDC_MODE, true);
  window_->Dialog().OnModeCheck();
  QTest::keyClicks(Named<QComboBox>("串口号")->lineEdit(), QString::fromStdString(pty.slavePath));
  QPushButton* detect = Named<QPushButton>("检测串口参数");
  ASSERT_TRUE(detect->isVisible());
  EXPECT_FALSE(Named("搜索网关")->isVisible());
  auto* progress = window_->findChild<QProgressBar*>(QStringLiteral("progress"));
  QTest::mouseClick(detect, Qt::LeftButton);
  EXPECT_EQ(detect->text(), "取消");
  EXPECT_FALSE(Named("打开/关闭")->isEnabled());
  EXPECT_TRUE(progress->isVisible());
  EXPECT_EQ(progress->maximum(), 54);
  ASSERT_TRUE(WaitFor([&] { return detect->text() == "检测"; }));
  EXPECT_FALSE(progress->isVisible());
  EXPECT_EQ(Text(IDC_LINK_BAUD), "115200");
  EXPECT_EQ(Text(IDC_LINK_FORMAT), "n,8,1");
  EXPECT_EQ(Text(IDC_STATUS), "检测完成：115200 n,8,1 检测网关");
  EXPECT_TRUE(Named("打开/关闭")->isEnabled());
  window_->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-detect-%1.png")
                           .arg(QGuiApplication::platformName()));
}

}  // namespace
}  // namespace qv31::guitest

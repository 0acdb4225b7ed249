// The window against a simulator that stops answering part-way through "设置全部": the
// account of what reached the gateway, and a screenshot of it for review.
#include <QMessageBox>
#include <QTimer>
#include <csignal>

#include "sim/sim_process.h"
#include "window_fixture.h"

namespace qv31::guitest {
namespace {

class CutShortTest : public WindowTest {
 protected:
  void SetUp() override {
    WindowTest::SetUp();
    // Each reply 250 ms late, so the gateway can be stopped between two writes.
    ASSERT_TRUE(sim_.Start({"--udp", "127.0.0.1:0", "--delay", "250"}));
    WindowOptions options;
    options.udpHost = "127.0.0.1";
    options.udpPort = std::to_string(sim_.UdpPort());
    Open(options);
  }
  void TearDown() override {
    sim_.Signal(SIGCONT);
    WindowTest::TearDown();
  }
  simtest::SimProcess sim_;
};

TEST_F(CutShortTest, ASetAllCutShortSaysWhatReachedTheGateway) {
  Click("打开/关闭");
  ASSERT_TRUE(WaitFor([&] { return Text(IDC_STATUS) == "执行完成"; }, 10000));
  QString shown;
  QTimer watcher;
  QObject::connect(&watcher, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    shown = box->text();
    // For review: the account as the operator sees it.
    box->grab().save(QStringLiteral(QV31_SCREENSHOT_DIR "/qv31-config-setall-cut-short-%1.png")
                         .arg(QGuiApplication::platformName()));
    box->accept();
  });
  watcher.start(50);
  Click("设置全部");
  // Port 1 and port 2 acknowledged, port 3's write on its way: the gateway stops.
  ASSERT_TRUE(WaitFor([&] { return window_->Dialog().Engine().Progress().answered == 2; }));
  ASSERT_TRUE(sim_.Signal(SIGSTOP));
  ASSERT_TRUE(WaitFor([&] { return !shown.isEmpty(); }, 5000));
  EXPECT_EQ(Text(IDC_STATUS), "通信超时");
  EXPECT_TRUE(
      shown.startsWith("通信超时\n已写入：串口1、串口2\n已发送但未确认（可能已写入）：串口3\n"
                       "未写入：串口4、4G、网络设置、采集表第1块"))
      << shown.toStdString();
}

}  // namespace
}  // namespace qv31::guitest

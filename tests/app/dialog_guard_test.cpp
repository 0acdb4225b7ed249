// The window's writes against the simulator's memory over UDP on 127.0.0.1, on a fake
// clock: nothing written that the operator did not mean, and every outcome told.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "acq/csv_file.h"
#include "app/dialog_harness.h"
#include "app/link_error_text.h"
#include "text/gbk.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

struct OpenedRig : DialogRig {
  OpenedRig() {
    OpenUdp();
    RunToIdle();
    gateway.received.clear();
  }
  void Press(int id) {
    dlg->OnCommand(id);
    RunToIdle(20000);
  }
  // Whatever arrives later: echoes of repeats, answers to abandoned requests.
  void Settle(uint32_t ms = 5000) { timers.Advance(ms); }
};

// "查询全部" unanswered empties every group; "设置全部" then asks before writing them, and
// writes nothing on No. A group the operator has filled in since is not asked about.
TEST(DialogGuard, GroupsLeftEmptyByAnUnansweredQueryAreNotWrittenBlind) {
  struct Case {
    const char* name;
    int button;
    std::function<void(FakeView&)> fill;
    bool asked;
    const char* named;  // in the question
  };
  const Case cases[] = {
      {"设置全部", IDC_SET_ALL, nullptr, true,
       "串口1、串口2、串口3、串口4、4G、网络设置、采集管理"},
      {"串口2 设置", IDC_PORT2_SET, nullptr, true, "串口2"},
      {"4G filled in", IDC_4G_SET,
       [](FakeView& v) {
         v.SetText(IDC_GROUP, "3");
         v.SetText(IDC_STATION, "9");
       },
       false, ""},
  };
  for (const Case& c : cases) {
    OpenedRig rig;
    rig.gateway.silent = true;
    rig.Press(IDC_QUERY_ALL);
    ASSERT_EQ(rig.Status(), "通信超时") << c.name;
    rig.gateway.silent = false;
    rig.Settle();
    rig.gateway.received.clear();
    if (c.fill) c.fill(rig.view);
    const GatewayMemory before = rig.gateway.memory;
    rig.Press(c.button);
    ASSERT_EQ(rig.view.questions.size(), c.asked ? 1u : 0u) << c.name;
    if (!c.asked) {
      EXPECT_FALSE(rig.gateway.received.empty()) << c.name;
      continue;
    }
    EXPECT_NE(rig.view.questions[0].find(c.named), std::string::npos) << rig.view.questions[0];
    EXPECT_TRUE(rig.gateway.received.empty()) << c.name << ": No writes nothing";
    EXPECT_EQ(Changed(before, rig.gateway.memory, AREA_PARAMS).size(), 0u) << c.name;
    EXPECT_TRUE(rig.view.IsEnabled(c.button)) << c.name;
  }
}

// A value that cannot be meant is refused with the command line's words, the field focused,
// and nothing sent.
TEST(DialogGuard, RefusedValuesSendNothing) {
  const struct {
    int field;
    std::string text;
    int button;
    const char* says;
  } cases[] = {
      {IDC_LOCAL_IP, "192.168.1.300", IDC_NET_SET, "“本机IP”"},
      {IDC_CH1_PORT, "70000", IDC_SET_ALL, "net.ch1.port takes a whole number from 0 to 65535"},
      {IDC_STATION, "65536", IDC_4G_SET, "“站点号”"},
      {IDC_GROUP, "x", IDC_4G_SET, "“组号”"},
      {IDC_ACQ_TIMEOUT, "2560", IDC_ACQ_SET, "“超时时间”"},
      {IDC_ACQ_TIMEOUT_COUNT, "256", IDC_SET_ALL, "acq.timeout_count"},
      {IDC_CH1_TARGET, std::string(60, 'a') + ".cn", IDC_NET_SET, "59 GBK bytes"},
      {IDC_CH1_TARGET, "gw\xF0\x9F\x98\x80.cn", IDC_NET_SET, "GBK cannot encode"},
  };
  OpenedRig rig;
  for (const auto& c : cases) {
    const std::string kept = rig.view.Text(c.field);
    rig.view.SetText(c.field, c.text);
    rig.view.messages.clear();
    rig.dlg->OnCommand(c.button);
    rig.timers.Advance(100);
    ASSERT_EQ(rig.view.messages.size(), 1u) << c.text;
    EXPECT_NE(rig.view.messages[0].find(c.says), std::string::npos) << rig.view.messages[0];
    EXPECT_EQ(rig.view.focused, c.field) << c.text;
    EXPECT_TRUE(rig.gateway.received.empty()) << c.text;
    EXPECT_TRUE(rig.Idle());
    rig.view.SetText(c.field, kept);
  }
}

// "设置全部" cut short after two acknowledged writes: the account names each write's fate.
TEST(DialogGuard, ACutShortSetAllTellsWhatWasWritten) {
  OpenedRig rig;
  rig.gateway.answerLimit = 2;
  rig.Press(IDC_SET_ALL);
  EXPECT_EQ(rig.Status(), "通信超时");
  ASSERT_EQ(rig.view.messages.size(), 1u);
  EXPECT_EQ(rig.view.messages[0],
            "通信超时\n"
            "已写入：串口1、串口2\n"
            "已发送但未确认（可能已写入）：串口3\n"
            "未写入：串口4、4G、网络设置、采集表第1块（采集设置与第1-63行）、"
            "采集表第2块（第64-127行）、采集表第3块（第128-191行）、采集表第4块（第192-255行）\n");
}

// Closing asks only while an exchange runs, and says what would be left unwritten.
TEST(DialogGuard, ClosingDuringAnExchangeAsksFirst) {
  OpenedRig rig;
  EXPECT_TRUE(rig.dlg->MayClose());
  EXPECT_TRUE(rig.view.questions.empty()) << "idle: closes at once";
  rig.gateway.delayMs = 100;
  rig.dlg->OnCommand(IDC_SET_ALL);
  ASSERT_TRUE(rig.timers.AdvanceUntil([&] { return rig.gateway.received.size() == 2; }, 2000));
  rig.timers.Advance(20);
  EXPECT_FALSE(rig.dlg->MayClose());
  ASSERT_EQ(rig.view.questions.size(), 1u);
  const std::string& q = rig.view.questions[0];
  EXPECT_EQ(q.find("正在与网关通信…"), 0u) << q;
  EXPECT_NE(q.find("已写入：串口1\n"), std::string::npos) << q;
  EXPECT_NE(q.find("已发送但未确认（可能已写入）：串口2\n"), std::string::npos) << q;
  EXPECT_NE(q.find("未写入：串口3"), std::string::npos) << q;
  rig.view.answers.push_back(true);
  EXPECT_TRUE(rig.dlg->MayClose());
}

// An adapter pulled while the link is open: the link closes and the status box says so,
// not the "执行完成" of before.
TEST(DialogGuard, ALostPortShowsInTheStatusBox) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  DialogRig rig({pty.slavePath});
  rig.view.SetText(IDC_STATUS, "执行完成");
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_TRUE(rig.dlg->LinkOpen());
  rig.timers.Advance(10);
  pty.CloseMaster();
  // The receive thread notices the hang-up on real time.
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (rig.dlg->LinkOpen() && std::chrono::steady_clock::now() < until) {
    rig.timers.Advance(10);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_FALSE(rig.dlg->LinkOpen());
  EXPECT_EQ(rig.Status(), "串口已断开");
  EXPECT_EQ(rig.view.messages.size(), 1u);
}

// Files: a failed export says which file and why; a refused import which line and why; an
// import that skipped lines lists them after "导入完成".
TEST(DialogGuard, FileOutcomesAreTold) {
  DialogRig rig;
  const std::string exportPath = CsvExportPath(rig.dir.Dir().string(), 1700000000);
  std::filesystem::create_directory(exportPath);  // a directory where the file would go
  rig.dlg->OnCommand(IDC_SAVE_CSV);
  ASSERT_EQ(rig.view.messages.size(), 1u);
  EXPECT_EQ(rig.view.messages[0], "无法写入文件：" + exportPath + "\nIs a directory");

  const std::string header = Utf8ToGbk(CSV_HEADER);
  const struct {
    std::string bytes;
    std::string status;
    std::string message;
  } cases[] = {
      {header + "\r\n1,COM2,1,01-R,1,1,1\r\n300,COM1\r\n0\r\n",
       "导入完成，跳过第3、4行（编号不在1到255之间）", ""},
      {"编号;通道号\r\n", "数据内容不符合",
       "\n第1行不是表头，没有导入任何数据。\n应为：编号,通道号,从站地址,变量类型,起始变量,变量个数,"
       "缓存\n"
       "实为：编号;通道号"},
  };
  for (const auto& c : cases) {
    const std::string path = rig.dir.Path("in.csv");
    WriteBytes(path, c.bytes);
    rig.view.chooserAnswer = path;
    rig.view.messages.clear();
    rig.dlg->OnCommand(IDC_LOAD_CSV);
    EXPECT_EQ(rig.Status(), c.status);
    if (c.message.empty()) {
      EXPECT_TRUE(rig.view.messages.empty());
    } else {
      ASSERT_EQ(rig.view.messages.size(), 1u);
      EXPECT_EQ(rig.view.messages[0], path + c.message);
    }
  }
}

// The hint names the device's own group (not always dialout) and what the user lacks.
TEST(PermissionHint, NamesTheDevicesGroupAndTheUsersStanding) {
  const struct {
    DeviceGroupAccess access;
    const char* says;
  } cases[] = {
      {{"uucp", false, false},
       "/dev/ttyUSB0 属于 uucp 组，当前用户不在该组中：请将当前用户加入 uucp 组"},
      {{"dialout", false, true}, "当前用户已加入该组，但本次登录尚未生效：请重新登录"},
      {{"dialout", true, true}, "当前用户已在该组中，但该组没有读写权限"},
      {{"", false, false}, "请检查 /dev/ttyUSB0 的权限"},
  };
  for (const auto& c : cases) {
    const std::string hint = dialog::PermissionHint("/dev/ttyUSB0", c.access);
    EXPECT_NE(hint.find(c.says), std::string::npos) << hint;
  }
}

}  // namespace
}  // namespace qv31

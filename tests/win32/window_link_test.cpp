// The Windows window against the Linux simulator over UDP on 127.0.0.1: the open's eleven
// frames and what they show, and each group's set changing exactly its bytes of the gateway.
// The runner starts the simulator and names its port and state file in QV31_SIM_PORT and
// QV31_SIM_STATE.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <vector>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "app/traffic_log.h"
#include "link/link_observer.h"
#include "win32/resource_ids.h"
#include "win32/traffic_monitor_window.h"
#include "window_driver.h"

namespace qv31::test {
namespace {

// One area of the simulator's state file ("params" or "table"): its bytes from its address.
std::vector<uint8_t> StateBytes(const std::string& area) {
  std::ifstream in(Env("QV31_SIM_STATE"), std::ios::binary);
  const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<uint8_t> bytes;
  size_t at = json.find("\"" + area + "\"");
  if (at == std::string::npos) return bytes;
  const size_t end = json.find(']', at);
  for (at = json.find('[', at); at < end; ++at) {
    unsigned value = 0;
    if (std::isxdigit(static_cast<unsigned char>(json[at])) &&
        std::isxdigit(static_cast<unsigned char>(json[at + 1])) &&
        std::sscanf(json.c_str() + at, "%2x", &value) == 1) {
      bytes.push_back(static_cast<uint8_t>(value));
      ++at;
    }
  }
  return bytes;
}

// Where two images differ.
std::set<size_t> Changed(const std::vector<uint8_t>& before, const std::vector<uint8_t>& after) {
  std::set<size_t> at;
  for (size_t i = 0; i < std::max(before.size(), after.size()); ++i) {
    if (i >= before.size() || i >= after.size() || before[i] != after[i]) at.insert(i);
  }
  return at;
}

class Win32WindowLink : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Env("QV31_SIM_PORT").empty()) GTEST_SKIP() << "no simulator (QV31_SIM_PORT)";
    w.Tick(IDC_MODE, false);  // network mode
    w.SetText(IDC_LINK_ADDRESS, "127.0.0.1");
    w.SetText(IDC_LINK_TARGET_PORT, Env("QV31_SIM_PORT"));
    w.Click(IDC_OPEN_CLOSE);
    ASSERT_TRUE(Done()) << w.Text(IDC_STATUS);
  }
  // Waits for the exchange to end: "执行完成" and the buttons back.
  bool Done() {
    return w.Pump(15000, [this] { return w.Enabled(IDC_QUERY_ALL); }) &&
           w.Text(IDC_STATUS) == "执行完成";
  }

  WindowDriver w;
};

TEST_F(Win32WindowLink, OpenSendsElevenFramesAndShowsTheGateway) {
  int sent = 0;
  TrafficLog& log = w.Window().Dialog().Traffic();
  for (uint64_t i = log.FirstIndex(); i < log.EndIndex(); ++i) {
    sent += log.Row(i).sent && log.Row(i).fate == BlockFate::Sent;
  }
  EXPECT_EQ(sent, 11);
  EXPECT_EQ(w.Text(IDC_OPEN_CLOSE), "关闭");
  EXPECT_EQ(w.Text(IDC_VERSION), "QV31-SIM 1.0");
  // The simulator's factory state: ports at 9600 n,8,1, 9600 n,8,1, 19200 e,8,1, 115200 n,8,2.
  EXPECT_EQ(w.Text(IDC_PORT1_BAUD), "9600");
  EXPECT_EQ(w.Text(IDC_PORT4_BAUD), "115200");
  EXPECT_EQ(w.Text(IDC_PORT4_FORMAT), "n,8,2");
  EXPECT_EQ(w.Text(IDC_STATION), "1");
  EXPECT_EQ(w.Text(IDC_LOCAL_IP), "192.168.1.100");
  EXPECT_EQ(w.Text(IDC_CH1_TARGET), "data.example.com");
  EXPECT_EQ(w.Text(IDC_CH1_PORT), "9000");
  EXPECT_EQ(w.Text(IDC_CH1_PROTOCOL), "TCP Client");
  const std::vector<std::string> row1 = {"1",  "COM1",        "1", "03-R",       "0",
                                         "10", "40001~40010", "0", "30001~30010"};
  for (int c = 0; c < 9; ++c) EXPECT_EQ(w.Cell(0, c), row1[static_cast<size_t>(c)]) << c;
  EXPECT_EQ(w.Cell(200, 1), "COM2");  // the last block
  EXPECT_EQ(w.Cell(200, 7), "10000");
  EXPECT_EQ(w.Cell(5, 1), "无效");

  w.Pump(300);
  SaveScreenshot(w.Hwnd(), "opened");

  // The traffic monitor from the system menu: a row per block, the identity read first.
  SendMessageW(w.Hwnd(), WM_SYSCOMMAND, IDM_TRAFFIC, 0);
  w.Pump(300);
  HWND monitor = w.Window().Monitor().Hwnd();
  ASSERT_TRUE(IsWindowVisible(monitor));
  EXPECT_EQ(WindowTextUtf8(monitor), "通信记录");
  HWND rows = GetDlgItem(monitor, IDC_TRAFFIC_LIST);
  EXPECT_EQ(ListView_GetItemCount(rows), static_cast<int>(log.Size()));
  wchar_t text[128] = {};
  ListView_GetItemText(rows, 0, 1, text, 128);
  EXPECT_EQ(Utf8(text), "发 >");
  ListView_GetItemText(rows, 0, 3, text, 128);
  EXPECT_EQ(Utf8(text), "区3 读 地址0 长度18");
  SaveScreenshot(monitor, "traffic");
}

// Answers the question box that appears with No, remembering that it came.
bool g_asked = false;
void CALLBACK AnswerNo(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND box = FindWindowW(L"#32770", L"采集管理设置软件");
  if (box == nullptr || GetDlgItem(box, IDNO) == nullptr) return;
  KillTimer(nullptr, timer);
  g_asked = true;
  SendMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
}

TEST_F(Win32WindowLink, EscDuringAnExchangeAsksFirst) {
  w.Click(IDC_QUERY_ALL);
  SetTimer(nullptr, 0, 10, AnswerNo);
  SendMessageW(w.Hwnd(), WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(g_asked);
  EXPECT_FALSE(w.Window().Closed());
  EXPECT_TRUE(Done());
}

struct GroupSet {
  const char* name;
  int control;
  const char* text;
  int setButton;
  const char* area;
  std::set<size_t> bytes;       // offsets in the area's image that change
  std::vector<uint8_t> values;  // their new values
};

TEST_F(Win32WindowLink, EachGroupsSetChangesExactlyItsBytes) {
  const std::vector<GroupSet> cases = {
      // Station number, big-endian at offset 2.
      {"4G", IDC_STATION, "258", IDC_4G_SET, "params", {2, 3}, {0x01, 0x02}},
      // Channel 2's target port, little-endian at offset 188.
      {"network", IDC_CH2_PORT, "2404", IDC_NET_SET, "params", {188, 189}, {0x64, 0x09}},
      // Interval, header byte 3 of the table.
      {"table", IDC_ACQ_INTERVAL, "50", IDC_ACQ_SET, "table", {3}, {50}},
  };
  for (const GroupSet& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> before = StateBytes(c.area);
    ASSERT_FALSE(before.empty());
    w.SetText(c.control, c.text);
    w.Click(c.setButton);
    ASSERT_TRUE(Done()) << w.Text(IDC_STATUS);
    const std::vector<uint8_t> after = StateBytes(c.area);
    EXPECT_EQ(Changed(before, after), c.bytes);
    size_t k = 0;
    for (const size_t at : c.bytes) EXPECT_EQ(after[at], c.values[k++]) << at;
  }
  // A gateway port: only its baud byte (port 2: offset 314) changes.
  const std::vector<uint8_t> before = StateBytes("params");
  w.SelectCombo(IDC_PORT2_BAUD, 8);  // "115200"
  w.Click(IDC_PORT2_SET);
  ASSERT_TRUE(Done());
  EXPECT_EQ(Changed(before, StateBytes("params")), std::set<size_t>{314});
  w.Click(IDC_PORT2_QUERY);
  ASSERT_TRUE(Done());
  EXPECT_EQ(w.Text(IDC_PORT2_BAUD), "115200");
}

}  // namespace
}  // namespace qv31::test

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "acq/csv_file.h"
#include "app/dialog_harness.h"
#include "text/gbk.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

bool AllCommandButtons(const FakeView& v, bool enabled) {
  for (const int id : COMMAND_BUTTONS) {
    if (v.IsEnabled(id) != enabled) return false;
  }
  return true;
}

constexpr FrameHeader IDENT_READ = {AREA_IDENT, OP_READ, 0, 18};
constexpr FrameHeader WHOLE_READ = {AREA_PARAMS, OP_READ, 6, 320};
constexpr FrameHeader BlockRead(uint16_t k) {
  return {AREA_TABLE, OP_READ, uint16_t(k * 512), 512};
}

TEST(DialogStart, ListsSelectionsAndControlStates) {
  DialogRig rig;
  const FakeView& v = rig.view;
  struct ComboCase {
    int id;
    size_t count;
    std::string selected;
  };
  const ComboCase combos[] = {
      {IDC_LINK_PORT, 2, "/dev/ttyUSB0"},  // "COM1" from the defaults is no Linux port
      {IDC_LINK_BAUD, 9, "9600"},          {IDC_LINK_FORMAT, 6, "n,8,1"},
      {IDC_PORT1_BAUD, 9, "1200"},         {IDC_PORT4_FORMAT, 6, "n,8,1"},
      {IDC_CH1_PROTOCOL, 4, "TCP Server"}, {IDC_CH2_PROTOCOL, 4, "TCP Server"},
      {IDC_LINK_PROTOCOL, 3, "UDP"},
  };
  for (const auto& c : combos) {
    EXPECT_EQ(v.ComboItems(c.id).size(), c.count) << c.id;
    EXPECT_EQ(v.Text(c.id), c.selected) << c.id;
  }
  EXPECT_EQ(v.ComboItems(IDC_LINK_BAUD).back(), "115200");
  EXPECT_EQ(v.ComboItems(IDC_LINK_FORMAT)[3], "n,8,2");
  EXPECT_EQ(v.ComboItems(IDC_CH1_PROTOCOL)[3], "UDP Client");
  EXPECT_TRUE(AllCommandButtons(v, false));
  for (const int id : {IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD, IDC_LINK_FORMAT, IDC_LINK_ADDRESS,
                       IDC_OPEN_CLOSE, IDC_STOP_ACQ}) {
    EXPECT_TRUE(v.IsEnabled(id)) << id;
  }
  EXPECT_FALSE(v.IsEnabled(IDC_LINK_PROTOCOL));
  EXPECT_FALSE(v.IsEnabled(IDC_LINK_TARGET_PORT));
  EXPECT_TRUE(v.Checked(IDC_MODE));
  EXPECT_EQ(v.Text(IDC_LINK_TARGET_PORT), "2332");
  EXPECT_EQ(rig.dlg->Grid().Cell(254, 0), "255");
  EXPECT_EQ(rig.dlg->Grid().Cell(0, 1), "");
  EXPECT_FALSE(rig.dlg->LinkOpen());
  EXPECT_EQ(rig.dlg->AboutText(), "QV31，1.2.3.4 版");
}

TEST(DialogStart, SettingsFromAGbkFile) {
  const std::string ini = Utf8ToGbk(
      "[系统]\r\n串口号=/dev/ttyUSB1\r\n波特率=9601\r\n格式=e,8,1\r\n串口通信=true\r\n"
      "网络协议=TCP Client\r\n网络地址=10.1.2.3\r\n网络端口=4000\r\n");
  DialogRig rig({"/dev/ttyUSB0", "/dev/ttyUSB1"}, ini);
  const FakeView& v = rig.view;
  EXPECT_EQ(v.Text(IDC_LINK_PORT), "/dev/ttyUSB1");
  EXPECT_EQ(v.Text(IDC_LINK_BAUD), "1200");  // not in the list: the first item
  EXPECT_EQ(v.Text(IDC_LINK_FORMAT), "e,8,1");
  EXPECT_FALSE(v.Checked(IDC_MODE));  // only "TRUE" exactly means serial
  EXPECT_EQ(v.Text(IDC_MODE), "网口");
  EXPECT_EQ(v.Text(IDC_LINK_PROTOCOL), "TCP Client");
  EXPECT_EQ(v.Text(IDC_LINK_ADDRESS), "10.1.2.3");
  EXPECT_EQ(v.Text(IDC_LINK_TARGET_PORT), "4000");
}

TEST(DialogStart, AStoredPortThatDiscoveryMissesIsOfferedAndKeptOnRescan) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  DialogRig rig({"/dev/ttyUSB0"}, Utf8ToGbk("[系统]\r\n串口号=" + pty.slavePath + "\r\n"));
  EXPECT_EQ(rig.view.ComboItems(IDC_LINK_PORT).size(), 2u);
  EXPECT_EQ(rig.view.Text(IDC_LINK_PORT), pty.slavePath);
  rig.discovered = {"/dev/ttyACM0", "/dev/ttyUSB0"};  // an adapter plugged in
  rig.dlg->OnPortListOpening();
  EXPECT_EQ(rig.view.ComboItems(IDC_LINK_PORT),
            (std::vector<std::string>{"/dev/ttyACM0", "/dev/ttyUSB0", pty.slavePath}));
  EXPECT_EQ(rig.view.Text(IDC_LINK_PORT), pty.slavePath);
  // A stored name that is no device is not offered.
  DialogRig missing({"/dev/ttyUSB0"}, Utf8ToGbk("[系统]\r\n串口号=/dev/qv31-none\r\n"));
  EXPECT_EQ(missing.view.ComboItems(IDC_LINK_PORT).size(), 1u);
}

TEST(DialogModeCheck, BothWays) {
  struct Case {
    bool ticked;
    std::string text;
  };
  const Case cases[] = {{false, "网口"}, {true, "串口"}};
  DialogRig rig;
  for (const auto& c : cases) {
    rig.view.SetChecked(IDC_MODE, c.ticked);
    rig.dlg->OnCommand(IDC_MODE);
    EXPECT_EQ(rig.view.Text(IDC_MODE), c.text);
    EXPECT_EQ(rig.dlg->Settings().serialMode, c.ticked ? "TRUE" : "FALSE");
    for (const int id : {IDC_LABEL_PORT, IDC_LABEL_BAUD, IDC_LABEL_FORMAT, IDC_LINK_PORT,
                         IDC_LINK_BAUD, IDC_LINK_FORMAT, IDC_STOP_ACQ}) {
      EXPECT_EQ(rig.view.IsVisible(id), c.ticked) << id;
    }
    for (const int id : {IDC_LABEL_PROTOCOL, IDC_LABEL_ADDRESS, IDC_LABEL_TARGET_PORT,
                         IDC_LINK_PROTOCOL, IDC_LINK_ADDRESS, IDC_LINK_TARGET_PORT}) {
      EXPECT_EQ(rig.view.IsVisible(id), !c.ticked) << id;
    }
    EXPECT_FALSE(rig.view.IsEnabled(IDC_LINK_PROTOCOL));  // showing never enables
  }
}

TEST(DialogLink, UdpOpenConnectsWithElevenFramesAndSavesFirst) {
  DialogRig rig;
  rig.OpenUdp();
  // Saved before anything is sent: seven keys, never "延时".
  const std::string ini = GbkToUtf8(ReadBytes(rig.dir.Dir() / "配置.ini"));
  EXPECT_TRUE(rig.gateway.received.empty());
  EXPECT_NE(ini.find("串口通信=FALSE"), std::string::npos);
  EXPECT_NE(ini.find("网络端口=" + std::to_string(rig.gateway.port)), std::string::npos);
  EXPECT_EQ(ini.find("延时"), std::string::npos);
  EXPECT_EQ(rig.view.Text(IDC_OPEN_CLOSE), "关闭");
  EXPECT_EQ(rig.dlg->Engine().Phase(), EnginePhase::Connect);
  for (const int id : {IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD, IDC_LINK_FORMAT, IDC_LINK_ADDRESS}) {
    EXPECT_FALSE(rig.view.IsEnabled(id)) << id;
  }
  EXPECT_TRUE(rig.view.IsEnabled(IDC_STOP_ACQ));  // left alone by a UDP open

  // The buttons stay off until the last of the eleven frames has its answer.
  rig.timers.AdvanceUntil([&] { return rig.gateway.received.size() == 11; }, 1000);
  EXPECT_TRUE(AllCommandButtons(rig.view, false));
  EXPECT_EQ(rig.Status(), "");
  ASSERT_TRUE(rig.timers.AdvanceUntil([&] { return rig.Status() == "执行完成"; }, 1000));
  EXPECT_TRUE(AllCommandButtons(rig.view, true));
  const std::vector<FrameHeader> expected = {IDENT_READ,   IDENT_READ,   WHOLE_READ,   BlockRead(0),
                                             BlockRead(1), BlockRead(2), BlockRead(3), BlockRead(0),
                                             BlockRead(1), BlockRead(2), BlockRead(3)};
  EXPECT_EQ(Headers(rig.gateway.received), expected);
  EXPECT_EQ(rig.dlg->Engine().Phase(), EnginePhase::Normal);
  EXPECT_FALSE(rig.timers.Running(TIMER_ENGINE)) << "no ticks while nothing is left to do";

  // The simulator's values in the controls.
  const FakeView& v = rig.view;
  EXPECT_EQ(v.Text(IDC_VERSION), "QV31-SIM 1.0");
  EXPECT_EQ(v.Text(IDC_PORT3_BAUD), "19200");
  EXPECT_EQ(v.Text(IDC_PORT3_FORMAT), "e,8,1");
  EXPECT_EQ(v.Text(IDC_PORT4_FORMAT), "n,8,2");
  EXPECT_EQ(v.Text(IDC_STATION), "1");
  EXPECT_EQ(v.Text(IDC_MAC), "02-51-56-33-31-01");
  EXPECT_EQ(v.Text(IDC_CH1_TARGET), "data.example.com");
  EXPECT_EQ(v.Text(IDC_CH1_PROTOCOL), "TCP Client");
  EXPECT_TRUE(v.Checked(IDC_CH1_ENABLE));
  EXPECT_TRUE(v.Checked(IDC_ACQ_ENABLE));
  EXPECT_EQ(v.Text(IDC_ACQ_TIMEOUT), "1000");
  EXPECT_EQ(rig.dlg->Grid().Cell(3, COL_TYPE), "06-W");
  EXPECT_EQ(rig.dlg->Grid().Cell(3, COL_VAR_RANGE), "410001~410002");
  EXPECT_EQ(rig.dlg->Grid().Cell(200, COL_BUFFER), "10000");
}

TEST(DialogLink, CloseKeepsOnlyTheOpenButtonsWaitingForThePause) {
  DialogRig rig;
  rig.OpenUdp();
  ASSERT_TRUE(rig.RunToIdle());
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);  // the second half of a double click
  EXPECT_TRUE(rig.dlg->LinkOpen());
  rig.timers.Advance(DOUBLE_CLICK_MS);
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  EXPECT_FALSE(rig.dlg->LinkOpen());
  EXPECT_EQ(rig.view.Text(IDC_OPEN_CLOSE), "打开");
  EXPECT_TRUE(AllCommandButtons(rig.view, false));
  EXPECT_FALSE(rig.timers.Running(TIMER_ENGINE));
  for (const int id : {IDC_MODE, IDC_LINK_ADDRESS, IDC_LINK_PORT}) {
    EXPECT_TRUE(rig.view.IsEnabled(id)) << id;
  }
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  rig.timers.Advance(99);
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  rig.timers.Advance(1);
  EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  EXPECT_TRUE(rig.view.IsEnabled(IDC_STOP_ACQ));
}

TEST(DialogLink, SilentGatewayClosesTheLinkInTheConnectPhase) {
  DialogRig rig;
  rig.gateway.silent = true;
  rig.OpenUdp();
  const uint32_t start = rig.timers.Now();
  ASSERT_TRUE(rig.timers.AdvanceUntil([&] { return !rig.dlg->LinkOpen(); }, 3000));
  EXPECT_GE(rig.timers.Now() - start, 1020u);
  EXPECT_EQ(rig.Status(), "通信超时");
  EXPECT_EQ(rig.view.Text(IDC_OPEN_CLOSE), "打开");
  EXPECT_TRUE(AllCommandButtons(rig.view, false));
  EXPECT_EQ(Headers(rig.gateway.received),
            (std::vector<FrameHeader>{IDENT_READ, IDENT_READ, IDENT_READ}));
  EXPECT_TRUE(rig.timers.Running(TIMER_REOPEN));
}

TEST(DialogLink, SerialOpenOnAPseudoTerminalAndFailures) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  DialogRig rig({pty.slavePath});
  rig.view.ComboSelect(IDC_LINK_BAUD, 8);  // 115200
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_TRUE(rig.dlg->LinkOpen());
  EXPECT_EQ(rig.dlg->Engine().ReplyTimeoutMs(), 500);
  EXPECT_FALSE(rig.view.IsEnabled(IDC_STOP_ACQ));
  rig.timers.Advance(10);
  EXPECT_EQ(pty.Receive(16, 2000).size(), 16u);  // the identity read reaches the line
  rig.timers.Advance(DOUBLE_CLICK_MS);
  rig.dlg->OnCommand(IDC_OPEN_CLOSE);
  EXPECT_FALSE(rig.view.IsEnabled(IDC_STOP_ACQ));
  rig.timers.Advance(999);
  EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  rig.timers.Advance(1);
  EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
  EXPECT_TRUE(rig.view.IsEnabled(IDC_STOP_ACQ));

  // A port that cannot be opened: the message, the version box emptied, nothing else.
  DialogRig bad({"/dev/qv31-none"});
  bad.view.SetText(IDC_VERSION, "old");
  bad.dlg->OnCommand(IDC_OPEN_CLOSE);
  ASSERT_EQ(bad.view.messages.size(), 1u);
  EXPECT_EQ(bad.view.messages[0].substr(0, bad.view.messages[0].find('\n')),
            "无法打开 /dev/qv31-none 串口！");
  EXPECT_NE(bad.view.messages[0].find('\n'), std::string::npos);  // the reason below
  EXPECT_FALSE(bad.dlg->LinkOpen());
  EXPECT_EQ(bad.view.Text(IDC_VERSION), "");
  EXPECT_EQ(bad.view.Text(IDC_OPEN_CLOSE), "打开");
  EXPECT_FALSE(fs::exists(bad.dir.Dir() / "配置.ini"));
  EXPECT_TRUE(bad.timers.started.empty());
}

TEST(DialogStop, OneStopFrameThenTheLineIsDrainedAndClosed) {
  const Bytes stop = {0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE, 0x02,
                      0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x74, 0x46};
  const struct {
    Bytes answer;
    const char* status;
  } cases[] = {
      {{1, 2, 3}, "停止采集：网关未应答，采集可能仍在运行"},
      {EncodeFrame({AREA_TABLE, OP_WRITE_ACK, 0, 1}), "停止采集：网关已确认"},
  };
  for (const auto& c : cases) {
    PtyPair pty;
    ASSERT_TRUE(pty.Ok());
    DialogRig rig({pty.slavePath});
    rig.dlg->OnCommand(IDC_STOP_ACQ);
    EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
    EXPECT_FALSE(rig.view.IsEnabled(IDC_STOP_ACQ));
    EXPECT_TRUE(rig.view.IsEnabled(IDC_MODE));
    rig.timers.Advance(100);
    EXPECT_EQ(pty.Receive(stop.size(), 2000), stop);
    EXPECT_FALSE(rig.timers.Running(TIMER_STOP_SEND));
    pty.Send(c.answer);  // whatever comes back is drained
    // The line's gap runs on real time; the drain timer runs on the fake clock.
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (rig.dlg->Link().Serial().RxQueue().Count() == 0 &&
           std::chrono::steady_clock::now() < until) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    rig.timers.Advance(899);
    EXPECT_FALSE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
    rig.timers.Advance(1);
    EXPECT_TRUE(rig.view.IsEnabled(IDC_OPEN_CLOSE));
    EXPECT_TRUE(rig.view.IsEnabled(IDC_STOP_ACQ));
    EXPECT_FALSE(rig.timers.Running(TIMER_STOP_DRAIN));
    EXPECT_EQ(rig.dlg->Link().CurrentKind(), LinkTransport::Kind::Closed);
    EXPECT_TRUE(pty.Receive(1, 100).empty());  // exactly one frame
    EXPECT_EQ(rig.Status(), c.status);
    EXPECT_FALSE(rig.dlg->LinkOpen());
  }

  DialogRig bad({"/dev/qv31-none"});
  bad.dlg->OnCommand(IDC_STOP_ACQ);
  EXPECT_EQ(bad.view.messages.size(), 1u);
  EXPECT_TRUE(bad.timers.started.empty());
}

TEST(DialogTimers, AnyOtherTimerIsKilled) {
  DialogRig rig;
  rig.timers.StartTimer(77, 10);
  rig.timers.Advance(10);
  EXPECT_FALSE(rig.timers.Running(77));
}

// Opens over UDP and waits for the connect phase's queue to drain.
struct OpenRig : DialogRig {
  OpenRig() {
    OpenUdp();
    RunToIdle();
    gateway.received.clear();
  }
  // Runs one command; returns the frames it sent.
  std::vector<std::vector<uint8_t>> Run(int id) {
    dlg->OnCommand(id);
    RunToIdle();
    auto sent = gateway.received;
    gateway.received.clear();
    return sent;
  }
};

TEST(DialogCommands, QueriesEmptyTheirControlsBeforeTheReplyRefills) {
  struct Case {
    int button;
    std::vector<int> emptied;  // edits emptied or combos without selection
  };
  const Case cases[] = {
      {IDC_VERSION_QUERY, {IDC_STATUS, IDC_VERSION}},
      {IDC_4G_QUERY, {IDC_STATUS, IDC_GROUP, IDC_STATION}},
      {IDC_PORT2_QUERY, {IDC_STATUS, IDC_PORT2_BAUD, IDC_PORT2_FORMAT}},
      {IDC_NET_QUERY, {IDC_STATUS, IDC_LOCAL_IP, IDC_CH1_PROTOCOL, IDC_CH2_PORT, IDC_MAC}},
      {IDC_ACQ_QUERY, {IDC_ACQ_TIMEOUT, IDC_ACQ_INTERVAL}},
  };
  OpenRig rig;
  for (const auto& c : cases) {
    rig.gateway.silent = true;
    rig.dlg->OnCommand(c.button);
    for (const int id : c.emptied) EXPECT_EQ(rig.view.Text(id), "") << c.button << " " << id;
    EXPECT_TRUE(AllCommandButtons(rig.view, false));
    rig.RunToIdle();
    EXPECT_EQ(rig.Status(), "通信超时");
    EXPECT_TRUE(AllCommandButtons(rig.view, true));
    for (const int id : c.emptied) {
      if (id != IDC_STATUS) {
        EXPECT_EQ(rig.view.Text(id), "") << c.button << " " << id;
      }
    }
    rig.gateway.silent = false;
    rig.gateway.received.clear();
    rig.Run(c.button);
    EXPECT_EQ(rig.Status(), "执行完成");
  }
  EXPECT_EQ(rig.view.Text(IDC_PORT2_BAUD), "9600");
  EXPECT_EQ(rig.view.Text(IDC_ACQ_INTERVAL), "100");
  EXPECT_EQ(rig.dlg->Grid().Cell(0, COL_CHANNEL), "COM1");
}

// What each group's "设置" writes is the session's test (tests/session), and a control a group
// copies from the wrong box changes the gateway on "设置全部" below. Here the controls that
// hold the same values after an open (the network's), and the list's in-place editors.
TEST(DialogCommands, EachSetChangesExactlyItsBytesOnTheGateway) {
  struct Case {
    std::string name;
    std::function<void(OpenRig&)> edit;
    int button;
    uint8_t area;
    std::vector<std::pair<int, int>> changed;  // offset in the area, new byte
  };
  const Case cases[] = {
      {"network: channel 2 at 10.0.0.9:2332",
       [](OpenRig& rig) {
         rig.view.SetChecked(IDC_CH2_ENABLE, true);
         rig.view.SetText(IDC_CH2_TARGET, "10.0.0.9");
         rig.view.SetText(IDC_CH2_PORT, "2332");
         rig.view.SetText(IDC_DNS, "8.8.4.4");
       },
       IDC_NET_SET,
       AREA_PARAMS,
       {{158, 0x06},
        {171, 8},
        {172, 8},
        {173, 4},
        {174, 4},
        {184, 10},
        {187, 9},
        {188, 0x1C},
        {189, 0x09}}},
      {"table: time-out 1000 ms, row 6 COM2 slave 300",
       [](OpenRig& rig) {
         rig.view.SetText(IDC_ACQ_TIMEOUT, "1000");  // stored as 100, the byte already there
         rig.dlg->OnClickAcqList(5, COL_CHANNEL);
         rig.view.ComboSelect(IDC_CELL_COMBO, 1);
         rig.dlg->OnSelChangeCellCombo();
         rig.dlg->OnClickAcqList(5, COL_SLAVE);
         rig.view.SetText(IDC_CELL_EDIT, "300");
         rig.dlg->OnKillFocusCellEdit();
       },
       IDC_ACQ_SET,
       AREA_TABLE,
       {{48, 1}, {50, 44}}},
  };
  for (const auto& c : cases) {
    OpenRig rig;
    c.edit(rig);
    const GatewayMemory before = rig.gateway.memory;
    rig.Run(c.button);
    EXPECT_EQ(rig.Status(), "执行完成") << c.name;
    EXPECT_EQ(Changed(before, rig.gateway.memory, c.area), c.changed) << c.name;
  }
}

TEST(DialogCommands, SetAllCountsItsElevenAnswersAndTimesOutOnASilentGateway) {
  OpenRig rig;
  rig.view.progress.clear();
  EXPECT_EQ(rig.Run(IDC_SET_ALL).size(), 11u);
  EXPECT_EQ(rig.Status(), "执行完成");
  // The gateway held what the window showed, so nothing changed.
  EXPECT_EQ(rig.gateway.memory, FactoryMemory());
  // The progress bar counts the answers up to all eleven, then hides with "执行完成".
  std::vector<std::pair<int, int>> shown;
  for (int answered = 0; answered <= 11; ++answered) shown.emplace_back(answered, 11);
  shown.emplace_back(0, 0);
  EXPECT_EQ(rig.view.progress, shown);

  rig.gateway.silent = true;
  rig.view.progress.clear();
  rig.Run(IDC_SET_ALL);
  EXPECT_EQ(rig.Status(), "通信超时");
  EXPECT_EQ(rig.view.progress, (std::vector<std::pair<int, int>>{{0, 11}, {0, 0}}));
  EXPECT_TRUE(AllCommandButtons(rig.view, true));
}

TEST(DialogCommands, QueryAllEmptiesEveryGroup) {
  OpenRig rig;
  rig.gateway.silent = true;
  rig.dlg->OnCommand(IDC_QUERY_ALL);
  for (const int id : {IDC_STATUS, IDC_VERSION, IDC_GROUP, IDC_STATION, IDC_PORT1_BAUD,
                       IDC_PORT4_FORMAT, IDC_LOCAL_IP, IDC_CH1_TARGET, IDC_MAC, IDC_ACQ_TIMEOUT}) {
    EXPECT_EQ(rig.view.Text(id), "") << id;
  }
  for (const int id : {IDC_LOG, IDC_DHCP, IDC_CH1_ENABLE, IDC_ACQ_ENABLE}) {
    EXPECT_FALSE(rig.view.Checked(id)) << id;
  }
  EXPECT_EQ(rig.dlg->Grid().Cell(0, COL_CHANNEL), "");
  EXPECT_EQ(rig.dlg->Grid().Cell(0, COL_NUMBER), "1");
}

TEST(DialogEditing, EditorsOpenCommitAndRecompute) {
  DialogRig rig;
  CQV31Dlg& d = *rig.dlg;
  FakeView& v = rig.view;
  EXPECT_TRUE(v.marks.empty()) << "the empty table has nothing to mark";
  // An empty channel cell opens with "COM1" chosen and stays empty without a choice.
  d.OnClickAcqList(0, COL_CHANNEL);
  ASSERT_TRUE(v.combo);
  EXPECT_EQ(v.combo->entries, (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "无效"}));
  EXPECT_EQ(v.combo->selected, 0);
  d.OnClickAcqList(0, COL_TYPE);  // drops the open list unchanged
  EXPECT_EQ(d.Grid().Cell(0, COL_CHANNEL), "");
  EXPECT_EQ(v.combo->entries.size(), 12u);
  v.ComboSelect(IDC_CELL_COMBO, 2);  // "03-R"
  d.OnSelChangeCellCombo();
  EXPECT_EQ(d.Grid().Cell(0, COL_TYPE), "03-R");
  EXPECT_FALSE(v.IsVisible(IDC_CELL_COMBO));

  // A typed start commits when the box loses the focus to a click on another cell: into
  // the cell it was opened on, and only then is the new cell recorded.
  d.OnClickAcqList(0, COL_START);
  ASSERT_TRUE(v.edit);
  v.SetText(IDC_CELL_EDIT, "70000");
  d.OnKillFocusCellEdit();
  d.OnClickAcqList(1, COL_COUNT);
  v.SetText(IDC_CELL_EDIT, "abc");
  d.OnClickAcqList(4, COL_VAR_RANGE);  // commits even without a focus report first
  EXPECT_EQ(d.Grid().Cell(0, COL_START), "70000");
  EXPECT_EQ(d.Grid().Cell(0, COL_VAR_RANGE), "470001~470000");
  EXPECT_EQ(d.Grid().Cell(1, COL_COUNT), "abc");
  EXPECT_EQ(d.Grid().Cell(1, COL_VAR_RANGE), "00000~00000");
  EXPECT_EQ(d.EditRow(), 4);
  d.OnKillFocusCellEdit();  // a late focus loss writes nothing into the clicked cell
  EXPECT_EQ(d.Grid().Cell(4, COL_VAR_RANGE), "");
  // The checks follow the edits: a start of 70000 is cut when written.
  EXPECT_EQ(v.marks, d.Findings());
  EXPECT_TRUE(std::any_of(v.marks.begin(), v.marks.end(),
                          [](const AcqFinding& f) { return f.row == 0 && f.column == COL_START; }));

  // Columns 0, 6 and 8 and clicks beside the rows open nothing.
  v.combo.reset();
  v.edit.reset();
  for (const int col : {COL_NUMBER, COL_VAR_RANGE, COL_BUFFER_RANGE}) d.OnClickAcqList(2, col);
  d.OnClickAcqList(-1, COL_CHANNEL);
  EXPECT_FALSE(v.combo || v.edit);

  // A button release on the dialog commits an open edit box; Esc drops it.
  d.OnClickAcqList(2, COL_SLAVE);
  v.SetText(IDC_CELL_EDIT, "12");
  d.OnLButtonUp();
  EXPECT_EQ(d.Grid().Cell(2, COL_SLAVE), "12");
  EXPECT_FALSE(d.ComboShown());
  d.OnClickAcqList(2, COL_BUFFER);
  v.SetText(IDC_CELL_EDIT, "99");
  d.OnCancelCellEditor();
  d.OnKillFocusCellEdit();
  EXPECT_EQ(d.Grid().Cell(2, COL_BUFFER), "");
}

TEST(DialogCsv, ExportLoadAndCancel) {
  OpenRig rig;
  FakeView& v = rig.view;
  // An empty row reads "无效" as its type, which is no entry: the list opens on "01-R".
  rig.dlg->OnClickAcqList(10, COL_TYPE);
  EXPECT_EQ(rig.dlg->Grid().Cell(10, COL_TYPE), "无效");
  EXPECT_EQ(v.combo->selected, 0);
  rig.dlg->OnLButtonUp();

  rig.Run(IDC_SAVE_CSV);
  const std::time_t pressed = 1700000000;
  const fs::path file = rig.dir.Dir() / CsvExportFileName(*std::localtime(&pressed));
  EXPECT_EQ(rig.Status(), "导出完成");
  EXPECT_EQ(v.controls[IDC_STATUS].toolTip, file.string());
  const std::string bytes = ReadBytes(file);
  EXPECT_EQ(bytes.substr(0, bytes.find("\r\n")), Utf8ToGbk(CSV_HEADER));
  EXPECT_NE(bytes.find("\r\n4,COM3,5,06-W,10000,2,30\r\n"), std::string::npos);
  EXPECT_TRUE(AllCommandButtons(v, true));

  // Cancel: nothing changes and the status box stays empty.
  v.SetText(IDC_ACQ_TIMEOUT, "770");
  v.chooserAnswer.reset();
  rig.dlg->OnCommand(IDC_LOAD_CSV);
  EXPECT_EQ(v.chooserCalls.back(), "参数文件 (*.csv)|" + rig.dir.Dir().string());
  EXPECT_EQ(rig.Status(), "");

  const std::string wrong = rig.dir.Path("wrong.csv");
  WriteBytes(wrong, "\xEF\xBB\xBF" + Utf8ToGbk(std::string(CSV_HEADER)) + "\r\n1,COM4,,,,,\r\n");
  v.chooserAnswer = wrong;
  rig.dlg->OnCommand(IDC_LOAD_CSV);
  EXPECT_EQ(rig.Status(), "数据内容不符合");
  EXPECT_EQ(rig.dlg->Grid().Cell(0, COL_CHANNEL), "COM1");

  const std::string good = rig.dir.Path("good.csv");
  WriteBytes(good, Utf8ToGbk(std::string(CSV_HEADER)) + "\r\n1,COM4,9,03-R,0,10,0\r\n");
  v.chooserAnswer = good;
  rig.dlg->OnCommand(IDC_LOAD_CSV);
  EXPECT_EQ(rig.Status(), "导入完成");
  EXPECT_EQ(rig.dlg->Grid().Cell(0, COL_CHANNEL), "COM4");
  EXPECT_EQ(rig.dlg->Grid().Cell(0, COL_BUFFER_RANGE), "30001~30010");
  EXPECT_EQ(rig.dlg->Grid().Cell(1, COL_CHANNEL), "COM1");  // rows without a line kept
  EXPECT_EQ(v.Text(IDC_ACQ_TIMEOUT), "770");                // settings untouched
  EXPECT_TRUE(AllCommandButtons(v, true));
}

}  // namespace
}  // namespace qv31

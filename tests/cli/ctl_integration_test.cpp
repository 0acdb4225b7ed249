// qv31ctl end to end: the real program against the real simulator over UDP and
// pseudo-terminals.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "file_bytes.h"
#include "link/link_frame.h"
#include "sim/factory_state.h"
#include "sim/gateway_memory.h"
#include "sim/sim_process.h"
#include "sim/state_file.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

using simtest::SimProcess;
namespace fs = std::filesystem;

struct CtlRun {
  int status = -1;
  std::string out;
  std::string err;
  int64_t ms = 0;
};

class CtlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp_.Dir().empty()); }

  std::string Path(const std::string& name) const { return temp_.Path(name); }

  // Starts qv31ctl with stdout and stderr in files, in the test's own directory so no
  // settings file of another run is found.
  pid_t Spawn(std::vector<std::string> args) const {
    args.insert(args.begin(), QV31CTL_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    std::string xdg = "XDG_CONFIG_HOME=" + temp_.Dir().string();
    std::vector<char*> env = {xdg.data(), nullptr};
    if (posix_spawn(&pid, QV31CTL_PATH, &actions, nullptr, argv.data(), env.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  CtlRun Wait(pid_t pid, int64_t start) const {
    CtlRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.ms = SteadyMs() - start;
    run.out = ReadBytes(Path("out"));
    run.err = ReadBytes(Path("err"));
    return run;
  }
  // Runs qv31ctl to its end.
  CtlRun Ctl(std::vector<std::string> args) const {
    const int64_t start = SteadyMs();
    return Wait(Spawn(std::move(args)), start);
  }

  // A simulator on UDP with a state file, so its memory can be compared.
  std::string StartSim(SimProcess& sim, const std::string& state,
                       std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--udp", "127.0.0.1:0", "--state", Path(state)};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_TRUE(sim.Start(args));
    return "127.0.0.1:" + std::to_string(sim.UdpPort());
  }
  GatewayMemory Memory(const std::string& state) const {
    GatewayMemory m;
    std::string error;
    EXPECT_EQ(LoadStateFile(Path(state), m, error), 1) << error;
    return m;
  }

  TempDir temp_{"qv31ctl"};
};

// One line of --trace: "  530 ms >   16 B 区1 读 地址6 长度320 | 重发 | 4F 3F ...".
struct TraceRecord {
  int64_t ms;
  bool sent;
  size_t length;
  std::string header, fate;
  Bytes bytes;
};

// The trace lines of a run's stderr; its other lines are skipped.
std::vector<TraceRecord> TraceRecords(const std::string& err) {
  static const std::regex line(R"(^ *(\d+) ms ([<>]) +(\d+) B (.*) \| (.*) \| ([0-9A-F ]*)$)");
  std::vector<TraceRecord> records;
  std::istringstream lines(err);
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    TraceRecord r{std::stoll(m[1]), m[2] == ">", std::stoul(m[3]), m[4], m[5], {}};
    std::istringstream hex(m[6]);
    for (std::string x; hex >> x;)
      r.bytes.push_back(static_cast<uint8_t>(std::stoi(x, nullptr, 16)));
    records.push_back(std::move(r));
  }
  return records;
}

// Headers of the frames a --trace run sent (">") in order, repeats included.
std::vector<FrameHeader> SentHeaders(const std::string& err) {
  std::vector<FrameHeader> sent;
  for (const TraceRecord& r : TraceRecords(err)) {
    const Bytes& b = r.bytes;
    if (r.sent && b.size() >= 14) {
      sent.push_back({b[8], b[9], uint16_t(b[10] | b[11] << 8), uint16_t(b[12] | b[13] << 8)});
    }
  }
  return sent;
}

std::vector<int64_t> SendTimesMs(const std::string& err) {
  std::vector<int64_t> t;
  for (const TraceRecord& r : TraceRecords(err)) {
    if (r.sent) t.push_back(r.ms);
  }
  return t;
}

// Positions (area, index) where two memories differ.
std::vector<std::pair<int, int>> Changed(const GatewayMemory& a, const GatewayMemory& b) {
  std::vector<std::pair<int, int>> diff;
  for (uint8_t area : {AREA_PARAMS, AREA_TABLE, AREA_IDENT}) {
    const auto x = a.AreaBytes(area), y = b.AreaBytes(area);
    for (size_t i = 0; i < x.size(); ++i) {
      if (x[i] != y[i]) diff.emplace_back(area, static_cast<int>(i));
    }
  }
  return diff;
}

TEST_F(CtlTest, InfoPrintsTheFactoryStateOverUdpAndJson) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const CtlRun run = Ctl({"--udp", udp, "info"});
  ASSERT_EQ(run.status, 0) << run.err;
  for (const char* line : {"identity = QV31-SIM 1.0\n", "4g.station = 1\n", "port4.baud = 115200\n",
                           "net.mac = 02-51-56-33-31-01\n", "net.ch1.target = data.example.com\n",
                           "acq.timeout_ms = 1000\n"}) {
    EXPECT_NE(run.out.find(line), std::string::npos) << line;
  }
  EXPECT_NE(run.out.find("201  COM2     3      02-R"), std::string::npos) << run.out;

  const CtlRun json = Ctl({"--udp", udp, "--json", "info"});
  ASSERT_EQ(json.status, 0) << json.err;
  const auto doc = nlohmann::json::parse(json.out);
  EXPECT_EQ(doc["4g.log"], false);
  EXPECT_EQ(doc["net.ch1.port"], 9000);
  ASSERT_EQ(doc["table"].size(), 6u);
  EXPECT_EQ(doc["table"][5]["row"], 201);
  EXPECT_EQ(doc["table"][5]["buffer_refs"], "180001~180003");
}

TEST_F(CtlTest, InfoOverAPseudoTerminal) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--pty"}));
  const CtlRun run =
      Ctl({"--serial", sim.Listener("pty "), "--baud", "115200", "--delay", "0", "info"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("net.ch1.target = data.example.com\n"), std::string::npos);
}

TEST_F(CtlTest, SetChangesExactlyItsBytesWithTheButtonsFrames) {
  const FrameHeader ident{AREA_IDENT, OP_READ, 0, 18};
  struct Case {
    std::string assignment;
    std::vector<FrameHeader> query, write;
    std::vector<std::pair<int, int>> changed;  // (area, index into the area)
  };
  const std::vector<FrameHeader> acqRead = {{AREA_TABLE, OP_READ, 0, 512},
                                            {AREA_TABLE, OP_READ, 0x200, 512},
                                            {AREA_TABLE, OP_READ, 0x400, 512},
                                            {AREA_TABLE, OP_READ, 0x600, 512}};
  const std::vector<FrameHeader> acqWrite = {{AREA_TABLE, OP_WRITE, 0, 512},
                                             {AREA_TABLE, OP_WRITE, 0x200, 512},
                                             {AREA_TABLE, OP_WRITE, 0x400, 512},
                                             {AREA_TABLE, OP_WRITE, 0x600, 512}};
  const Case cases[] = {
      {"port3.baud=38400",
       {{AREA_PARAMS, OP_READ, 322, 2}},
       {{AREA_PARAMS, OP_WRITE, 322, 2}},
       {{AREA_PARAMS, 316}}},
      {"4g.station=7",
       {{AREA_PARAMS, OP_READ, 8, 12}},
       {{AREA_PARAMS, OP_READ, 13, 2}, {AREA_PARAMS, OP_WRITE, 8, 15}},
       {{AREA_PARAMS, 3}}},
      {"net.ch1.port=9001",
       {{AREA_PARAMS, OP_READ, 158, 104}},
       {{AREA_PARAMS, OP_WRITE, 164, 98}},
       {{AREA_PARAMS, 182}}},
      {"acq.interval_ms=50", acqRead, acqWrite, {{AREA_TABLE, 3}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.assignment);
    SimProcess sim;
    const std::string udp = StartSim(sim, "s.json");
    const GatewayMemory old = FactoryMemory();
    const CtlRun run = Ctl({"--udp", udp, "--trace", "set", c.assignment});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<FrameHeader> want = {ident};
    for (const auto* part : {&c.query, &c.write, &c.query})
      want.insert(want.end(), part->begin(), part->end());
    EXPECT_EQ(SentHeaders(run.err), want);
    EXPECT_EQ(Changed(old, Memory("s.json")), c.changed);
    sim.Stop();
    fs::remove(Path("s.json"));
  }
}

TEST_F(CtlTest, TableExportEqualsTheGoldenFile) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const std::string out = Path("table.csv");
  std::ofstream(out) << "old content that is replaced\n";
  ASSERT_EQ(Ctl({"--udp", udp, "table", "export", out}).status, 0);
  EXPECT_EQ(ReadBytes(out), ReadBytes(std::string(QV31_TEST_DATA) + "/factory_table.csv"));
}

TEST_F(CtlTest, TableImportOfShuffledRepeatedAndShortLines) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const std::string gbkHeader =
      "\xB1\xE0\xBA\xC5,\xCD\xA8\xB5\xC0\xBA\xC5,\xB4\xD3\xD5\xBE\xB5\xD8\xD6\xB7,"
      "\xB1\xE4\xC1\xBF\xC0\xE0\xD0\xCD,\xC6\xF0\xCA\xBC\xB1\xE4\xC1\xBF,"
      "\xB1\xE4\xC1\xBF\xB8\xF6\xCA\xFD,\xBB\xBA\xB4\xE6";
  std::ofstream(Path("in.csv"), std::ios::binary)
      << gbkHeader << "\r\n7,COM4,1,06-W,1,1,2\r\n3,COM2,9,03-R,100,5,64\r\n12,COM1\n"
      << "3,COM3,9,03-R,100,5,64\r\n";
  const CtlRun run = Ctl({"--udp", udp, "table", "import", Path("in.csv")});
  ASSERT_EQ(run.status, 0) << run.err;
  const GatewayMemory memory = Memory("s.json");
  const auto table = memory.AreaBytes(AREA_TABLE);
  auto record = [&](int row) {
    return std::vector<uint8_t>(table.begin() + 8 * row, table.begin() + 8 * row + 8);
  };
  const GatewayMemory factoryMemory = FactoryMemory();
  const auto factory = factoryMemory.AreaBytes(AREA_TABLE);
  EXPECT_EQ(record(3), (std::vector<uint8_t>{2, 0x03, 9, 0, 100, 5, 0, 64}));  // later line wins
  EXPECT_EQ(record(7), (std::vector<uint8_t>{3, 0x86, 1, 0, 1, 1, 0, 2}));
  EXPECT_EQ(record(12), (std::vector<uint8_t>{0xFF, 0xFF, 0, 0, 0, 0, 0, 0}));  // short line
  EXPECT_TRUE(std::equal(table.begin(), table.begin() + 8 * 3, factory.begin()))
      << "header and rows without a line keep their values";
  EXPECT_TRUE(std::equal(table.begin() + 8 * 13, table.end(), factory.begin() + 8 * 13));

  std::ofstream(Path("bad.csv"), std::ios::binary)
      << "\xEF\xBB\xBF" << gbkHeader << "\r\n1,COM1\r\n";
  const CtlRun refused = Ctl({"--udp", udp, "--trace", "table", "import", Path("bad.csv")});
  EXPECT_EQ(refused.status, 4);
  EXPECT_NE(refused.err.find("数据内容不符合"), std::string::npos);
  EXPECT_TRUE(SentHeaders(refused.err).empty());
}

TEST_F(CtlTest, BackupThenRestoreOntoASecondSimulatorGivesIdenticalMemory) {
  SimProcess a, b;
  const std::string udpA = StartSim(a, "a.json");
  const std::string udpB = StartSim(b, "b.json", {"--identity", "OTHER"});
  ASSERT_EQ(Ctl({"--udp", udpA, "set", "net.ch1.target=北京.example.cn", "4g.group=5",
                 "port2.format=o,8,2", "acq.enable=off"})
                .status,
            0);
  ASSERT_EQ(Ctl({"--udp", udpA, "backup", Path("backup.json")}).status, 0);
  const CtlRun restore = Ctl({"--udp", udpB, "restore", Path("backup.json")});
  ASSERT_EQ(restore.status, 0) << restore.err;
  const auto diff = Changed(Memory("a.json"), Memory("b.json"));
  for (const auto& [area, index] : diff) EXPECT_EQ(area, AREA_IDENT) << "index " << index;

  std::ofstream(Path("broken.json"))
      << "{\"format\": \"qv31-backup\", \"keys\": {\"4g.station\": 70000}}";
  EXPECT_EQ(Ctl({"--udp", udpB, "restore", Path("broken.json")}).status, 4);
  std::ofstream(Path("junk.json")) << "not json";
  EXPECT_EQ(Ctl({"--udp", udpB, "restore", Path("junk.json")}).status, 4);
}

// The test answers the stop frame twice on the pseudo-terminal: once as a gateway would, once
// with a wrong CRC. Both are drained, and the trace says what became of each.
TEST_F(CtlTest, StopWritesExactlyOneStopFrameAndTracesWhatItDrains) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  const int64_t start = SteadyMs();
  const pid_t pid = Spawn({"--serial", pty.slavePath, "--trace", "stop"});
  ASSERT_GT(pid, 0);
  const Bytes stop = {0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE, 0x02,
                      0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x74, 0x46};
  const Bytes got = pty.Receive(stop.size(), 2000);
  GatewayMemory memory = FactoryMemory();
  Bytes ack = memory.Answer(got).reply;
  ASSERT_FALSE(ack.empty());
  ASSERT_TRUE(pty.Send(ack));
  ::usleep(300 * 1000);
  ack.back() ^= 0xFF;
  ASSERT_TRUE(pty.Send(ack));
  const CtlRun run = Wait(pid, start);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_GE(run.ms, 1000);
  EXPECT_EQ(got, stop);
  EXPECT_TRUE(pty.Receive(1, 100).empty()) << "one stop frame only";

  const auto trace = TraceRecords(run.err);
  ASSERT_EQ(trace.size(), 3u) << run.err;
  EXPECT_TRUE(trace[0].sent);
  EXPECT_EQ(trace[0].bytes, stop);
  EXPECT_EQ(trace[0].header, "区2 写 地址0 长度1");
  EXPECT_EQ(trace[0].fate, "发送");
  EXPECT_NEAR(trace[0].ms, 100, 30) << "the first 100 ms tick after the port opened";
  EXPECT_EQ(trace[1].header, "区2 写应答 地址0 长度1");
  EXPECT_EQ(trace[1].fate, "无匹配，丢弃");
  EXPECT_EQ(trace[2].fate, "校验错误");
  for (const TraceRecord& r : trace) EXPECT_EQ(r.bytes.size(), r.length);

  EXPECT_EQ(Ctl({"--udp", "127.0.0.1", "stop"}).status, 2);
}

TEST_F(CtlTest, SilentGatewayGivesUpAfterTwoRepeats) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--silent"});
  const CtlRun run = Ctl({"--udp", udp, "--trace", "info"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("通信超时"), std::string::npos);
  const auto t = SendTimesMs(run.err);
  ASSERT_EQ(t.size(), 3u) << run.err;
  EXPECT_NEAR(t[1] - t[0], 510, 30);
  EXPECT_NEAR(t[2] - t[0], 1020, 40);
  // The second repeat gets its own full time-out before "通信超时" (about 1530 ms).
  EXPECT_GE(run.ms, 1520);
  EXPECT_LT(run.ms, 2100);
}

// A corrupted reply is told as such, and its request is sent again after the time-out.
TEST_F(CtlTest, TraceShowsABadCrcAndTheRepeat) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--corrupt", "2"});
  const CtlRun run = Ctl({"--udp", udp, "--trace", "get", "4g.station"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "4g.station = 1\n");
  struct Want {
    bool sent;
    const char* header;
    const char* fate;
  };
  const Want want[] = {
      {true, "区3 读 地址0 长度18", "发送"},  {false, "区3 读应答 地址0 长度18", "完成请求"},
      {true, "区1 读 地址6 长度320", "发送"}, {false, "区1 读应答 地址6 长度320", "校验错误"},
      {true, "区1 读 地址6 长度320", "重发"}, {false, "区1 读应答 地址6 长度320", "完成请求"},
  };
  const auto trace = TraceRecords(run.err);
  ASSERT_EQ(trace.size(), std::size(want)) << run.err;
  for (size_t i = 0; i < trace.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(trace[i].sent, want[i].sent);
    EXPECT_EQ(trace[i].header, want[i].header);
    EXPECT_EQ(trace[i].fate, want[i].fate);
    EXPECT_EQ(trace[i].bytes.size(), trace[i].length);
  }
  EXPECT_EQ(trace[4].bytes, trace[2].bytes) << "the same frame again";
  EXPECT_NEAR(trace[4].ms - trace[2].ms, 510, 30);
  EXPECT_NE(trace[3].bytes, trace[5].bytes) << "the corrupted reply is shown as it came";
  EXPECT_LT(trace[0].ms, 50) << "time counts from the link's opening";
}

TEST_F(CtlTest, DroppedRepliesAreRepeated) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json", {"--drop", "2"});
  const CtlRun run = Ctl({"--udp", udp, "get", "4g.station", "acq.enable"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "4g.station = 1\nacq.enable = on\n");
}

TEST_F(CtlTest, RefusedInputSendsNothing) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  struct Case {
    std::vector<std::string> args;
    int status;
  };
  const Case cases[] = {
      {{"--udp", udp, "--trace", "set", "4g.station=70000"}, 2},
      {{"--udp", udp, "--trace", "set", "port1.baud=9601"}, 2},
      {{"--udp", udp, "--trace", "set", "net.mac=00-00-00-00-00-00"}, 2},
      {{"--udp", udp, "--trace", "get", "no.such.key"}, 2},
      {{"--udp", udp, "--trace", "set", "4g.station=3", "4g.station=4"}, 2},
      {{"--udp", udp, "--trace", "set", "net.ch1.target=x😀.cn"}, 2},  // not in GBK
      {{"--udp", udp, "--trace", "table", "export", Path("no/such/dir.csv")}, 4},
      {{"--udp", udp, "--trace", "backup", temp_.Dir().string()}, 4},
      {{"--udp", udp, "--trace", "table", "import", temp_.Dir().string()}, 4},
      {{"--udp", udp, "--trace", "restore", temp_.Dir().string()}, 4},
      {{"--trace", "info"}, 2},  // no connection and no settings file
      {{"--serial", "/dev/qv31-no-such-port", "--trace", "info"}, 3},
  };
  for (const Case& c : cases) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << ": " << run.err;
    EXPECT_TRUE(SentHeaders(run.err).empty()) << c.args.back();
    EXPECT_FALSE(run.err.empty());
  }
}

TEST_F(CtlTest, AMistypedBackupIsRefusedWithItsPathAndNothingSent) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  ASSERT_EQ(Ctl({"--udp", udp, "backup", Path("good.json")}).status, 0);
  const auto good = nlohmann::json::parse(ReadBytes(Path("good.json")));
  struct Case {
    const char* path;  // JSON pointer of the field changed
    nlohmann::json value;
    const char* named;  // what the message names
  };
  const Case cases[] = {
      {"/format", 1, "format"},
      {"/version", 99, "version"},
      {"/images", 5, "images"},
      {"/images/params", "00", "images.params"},
      {"/images/table", nlohmann::json::array(), "images.table"},
      {"/table/3/row", nullptr, "table[3].row"},
      {"/table/3/row", "1", "table[3].row"},
      {"/table/3/row", 4294967299u, "table[3].row"},
      {"/table/3/row", 3.9, "table[3].row"},
      {"/table/3/row", 3, "table[3].row"},  // row 3 listed twice
      {"/table/3/slave", 999, "table[3].slave"},
      {"/table/3/channel", "COM5", "table[3].channel"},
      {"/keys/4g.station", 1.5, "keys[\"4g.station\"]"},
      {"/keys/4g.log", "on", "keys[\"4g.log\"]"},
      {"/keys/port1.baud", 9600, "keys[\"port1.baud\"]"},
      {"/keys/no.such", 1, "keys[\"no.such\"]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " = " + c.value.dump());
    nlohmann::json bad = good;
    bad[nlohmann::json::json_pointer(c.path)] = c.value;
    std::ofstream(Path("bad.json"), std::ios::trunc) << bad.dump();
    const CtlRun run = Ctl({"--udp", udp, "--trace", "restore", Path("bad.json")});
    EXPECT_EQ(run.status, 4) << run.err;
    EXPECT_NE(run.err.find(std::string(c.named) + " must be"), std::string::npos) << run.err;
    EXPECT_TRUE(SentHeaders(run.err).empty());
  }
}

TEST_F(CtlTest, TableImportWarnsOfWhatItWillCutAndStrictRefuses) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const std::string csv = Path("in.csv");
  const std::string factory = ReadBytes(std::string(QV31_TEST_DATA) + "/factory_table.csv");
  std::ofstream(csv, std::ios::binary) << factory.substr(0, factory.find("\r\n"))
                                       << "\r\n3,COM2,999,03-R,100,5,64\r\n\r\n300,COM1\r\n";
  const CtlRun strict = Ctl({"--udp", udp, "--trace", "table", "import", "--strict", csv});
  EXPECT_EQ(strict.status, 4) << strict.err;
  EXPECT_TRUE(SentHeaders(strict.err).empty());
  for (const char* w :
       {"line 2 (row 3): slave \"999\" does not fit its field and is written as 231",
        "line 3: no row number", "line 4: no row number"}) {
    EXPECT_NE(strict.err.find(w), std::string::npos) << w << "\n" << strict.err;
  }
  const CtlRun run = Ctl({"--udp", udp, "table", "import", csv});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("line 2 (row 3)"), std::string::npos);
  EXPECT_EQ(Memory("s.json").AreaBytes(AREA_TABLE)[8 * 3 + 2], 231) << "the window's cut";
}

// A file with one overlap and one slave outside 1 to 247 is checked alone (no gateway), then
// written to the simulator and checked there; a clean file and the factory table find nothing.
TEST_F(CtlTest, TableCheckNamesTheRowsOfAFileAndOfTheGateway) {
  const std::string factory = ReadBytes(std::string(QV31_TEST_DATA) + "/factory_table.csv");
  const std::string header = factory.substr(0, factory.find("\r\n") + 2);
  std::ofstream(Path("bad.csv"), std::ios::binary)
      << header << "1,COM1,1,03-R,0,10,0\r\n4,COM2,2,04-R,0,2,16\r\n9,COM1,248,03-R,0,1,100\r\n";
  std::ofstream(Path("clean.csv"), std::ios::binary) << header << "1,COM1,1,03-R,0,10,0\r\n";
  std::ofstream(Path("bom.csv"), std::ios::binary) << "\xEF\xBB\xBF" << header;
  const std::string lines =
      "第 1 行 缓存计算：缓存与第 4 行重叠：两行写入同一缓存\n"
      "第 4 行 缓存计算：缓存与第 1 行重叠：两行写入同一缓存\n"
      "第 9 行 从站地址：从站地址应在 1~247 之间\n";
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  };
  const Case files[] = {
      {{"table", "check", Path("bad.csv")}, 1, lines},
      {{"table", "check", Path("clean.csv")}, 0, ""},
      {{"table", "check", Path("factory.csv")}, 4, ""},  // missing
      {{"table", "check", Path("bom.csv")}, 4, ""},
      {{"table", "check", temp_.Dir().string()}, 4, ""},
  };
  for (const Case& c : files) {
    const CtlRun run = Ctl(c.args);
    EXPECT_EQ(run.status, c.status) << c.args.back() << ": " << run.err;
    EXPECT_EQ(run.out, c.out) << c.args.back();
  }
  const CtlRun json = Ctl({"--json", "table", "check", Path("bad.csv")});
  EXPECT_EQ(json.status, 1);
  const auto doc = nlohmann::json::parse(json.out);
  ASSERT_EQ(doc["findings"].size(), 3u) << json.out;
  EXPECT_EQ(doc["findings"][2],
            (nlohmann::json{{"row", 9}, {"column", "slave"}, {"text", "从站地址应在 1~247 之间"}}));
  EXPECT_EQ(doc["findings"][0]["column"], "buffer_refs");

  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const CtlRun factoryCheck = Ctl({"--udp", udp, "table", "check"});
  EXPECT_EQ(factoryCheck.status, 0) << factoryCheck.err;
  EXPECT_EQ(factoryCheck.out, "");
  ASSERT_EQ(Ctl({"--udp", udp, "table", "import", Path("bad.csv")}).status, 0);
  const CtlRun gateway = Ctl({"--udp", udp, "table", "check"});
  EXPECT_EQ(gateway.status, 1) << gateway.err;
  EXPECT_EQ(gateway.out, lines);
}

// A multi-group set against a slow gateway, stopped by a signal once the first write is out.
TEST_F(CtlTest, ASignalStopsASetAtAFrameBoundaryAndSaysWhatWasWritten) {
  struct Case {
    int signal;
    int status;
  };
  for (const Case c : {Case{SIGINT, 130}, Case{SIGTERM, 143}}) {
    SCOPED_TRACE(c.signal);
    SimProcess sim;
    const std::string udp = StartSim(sim, "s.json", {"--delay", "200"});
    const int64_t start = SteadyMs();
    const pid_t pid = Spawn({"--udp", udp, "--trace", "set", "port1.baud=19200", "port2.baud=19200",
                             "4g.station=9", "net.ch1.port=1"});
    ASSERT_GT(pid, 0);
    const FrameHeader port1Write{AREA_PARAMS, OP_WRITE, 6, 2};
    const bool writing = WaitFor(
        [&] {
          const auto sent = SentHeaders(ReadBytes(Path("err")));
          return std::find(sent.begin(), sent.end(), port1Write) != sent.end();
        },
        10000);
    kill(pid, c.signal);
    const CtlRun run = Wait(pid, start);
    ASSERT_TRUE(writing) << run.err;
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find("  written: port1\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("  not written: port2, 4g, net\n"), std::string::npos) << run.err;
    const auto sent = SentHeaders(run.err);
    EXPECT_EQ(sent.back(), port1Write) << "nothing is sent after the frame in flight";
    sim.Stop();
    const GatewayMemory factoryMemory = FactoryMemory();
    EXPECT_EQ(Changed(factoryMemory, Memory("s.json")),
              (std::vector<std::pair<int, int>>{{AREA_PARAMS, 0}}));
    fs::remove(Path("s.json"));
  }
}

TEST_F(CtlTest, TheThirdTryOverASlowSerialLineIsAnswered) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--pty", "--pace", "115200", "--drop", "3", "--corrupt", "2"}));
  const CtlRun run =
      Ctl({"--serial", sim.Listener("pty "), "--baud", "115200", "--delay", "0", "info"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("identity = QV31-SIM 1.0\n"), std::string::npos);
}

// The test plays the gateway on a pseudo-terminal and hangs up while the second write is out.
TEST_F(CtlTest, APortLostMidWriteSaysWhatWasWritten) {
  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  GatewayMemory memory = FactoryMemory();
  const int64_t start = SteadyMs();
  const pid_t pid = Spawn({"--serial", pty.slavePath, "--baud", "115200", "--delay", "0", "set",
                           "port1.baud=19200", "port2.baud=19200"});
  ASSERT_GT(pid, 0);
  // Identity, port 1 and port 2 reads, the port 1 write: answered. The port 2 write: not.
  for (const size_t size : {16u, 16u, 16u, 18u, 18u}) {
    const Bytes request = pty.Receive(size, 5000);
    ASSERT_EQ(request.size(), size);
    if (request[9] == OP_WRITE && request[10] == 0x40) break;  // port 2 at address 320
    const Bytes reply = memory.Answer(request).reply;
    ASSERT_TRUE(pty.Send(reply));
  }
  pty.CloseMaster();
  const CtlRun run = Wait(pid, start);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_NE(run.err.find("the serial port went away"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("  written: port1\n  sent, never acknowledged (perhaps written): port2\n"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace qv31

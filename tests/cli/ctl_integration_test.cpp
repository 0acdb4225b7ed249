// qv31ctl end to end: the real program against the real simulator over UDP and
// pseudo-terminals: reading, setting, backups, refusals, signals and a lost port.
#include "cli/ctl_test_support.h"

namespace qv31 {
namespace {

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

// set reads the group, writes it with its button's frames and reads it back to check. Each
// group's frames and bytes are the session's (tests/session); here the command's own order.
TEST_F(CtlTest, SetReadsTheGroupWritesItAndReadsItBack) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  const CtlRun run = Ctl({"--udp", udp, "--trace", "set", "4g.station=7"});
  ASSERT_EQ(run.status, 0) << run.err;
  const FrameHeader query{AREA_PARAMS, OP_READ, 8, 12};
  const std::vector<FrameHeader> want = {{AREA_IDENT, OP_READ, 0, 18},
                                         query,
                                         {AREA_PARAMS, OP_READ, 13, 2},
                                         {AREA_PARAMS, OP_WRITE, 8, 15},
                                         query};
  EXPECT_EQ(SentHeaders(run.err), want);
  EXPECT_EQ(Changed(FactoryMemory(), Memory("s.json")),
            (std::vector<std::pair<int, int>>{{AREA_PARAMS, 3}}));
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
  const CtlRun other = Ctl({"--udp", udpB, "--trace", "restore", Path("backup.json")});
  EXPECT_EQ(other.status, 4) << other.err;
  EXPECT_NE(other.err.find("identity is \"QV31-SIM 1.0\", this gateway's \"OTHER\""),
            std::string::npos)
      << other.err;
  EXPECT_EQ(SentHeaders(other.err).size(), 1u) << "the identity read only";
  const CtlRun restore = Ctl({"--udp", udpB, "restore", "--force", Path("backup.json")});
  ASSERT_EQ(restore.status, 0) << restore.err;
  const auto diff = Changed(Memory("a.json"), Memory("b.json"));
  for (const auto& [area, index] : diff) EXPECT_EQ(area, AREA_IDENT) << "index " << index;

  std::ofstream(Path("broken.json"))
      << "{\"format\": \"qv31-backup\", \"keys\": {\"4g.station\": 70000}}";
  EXPECT_EQ(Ctl({"--udp", udpB, "restore", Path("broken.json")}).status, 4);
  std::ofstream(Path("junk.json")) << "not json";
  EXPECT_EQ(Ctl({"--udp", udpB, "restore", Path("junk.json")}).status, 4);
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
    const bool writing = WaitUntilSent(port1Write, 10000);
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
  EXPECT_NE(
      run.err.find("  written: port1\n  sent without acknowledgement (perhaps written): port2\n"),
      std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace qv31

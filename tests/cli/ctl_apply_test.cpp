// qv31ctl end to end: apply and set change exactly the bytes of what they name; apply and the
// other commands over many simulators at once.
#include <memory>
#include <set>

#include "cli/ctl_options.h"
#include "cli/ctl_test_support.h"

namespace qv31 {
namespace {

using Position = std::pair<int, int>;  // area, byte

constexpr int ROW5 = ACQ_HEADER_SIZE + 4 * ACQ_RECORD_SIZE;
constexpr int HEADER_INTERVAL = 3;

// The factory state with codes the tool cannot name: row 10's type 0x42, row 200's channel 7
// and port 3's format 0x42. Writes of named fields must carry them back unchanged.
GatewayMemory OddMemory() {
  GatewayMemory m = FactoryMemory();
  m.AreaBytes(AREA_TABLE)[ACQ_HEADER_SIZE + 9 * ACQ_RECORD_SIZE + 1] = 0x42;
  m.AreaBytes(AREA_TABLE)[ACQ_HEADER_SIZE + 199 * ACQ_RECORD_SIZE] = 7;
  m.AreaBytes(AREA_PARAMS)[OFFSET_PORT3_FORMAT] = 0x42;
  return m;
}

bool SentAWrite(const std::string& trace) {
  const auto sent = SentHeaders(trace);
  return std::any_of(sent.begin(), sent.end(),
                     [](const FrameHeader& h) { return h.opCode == OP_WRITE; });
}

class CtlApplyTest : public CtlTest {
 protected:
  std::string StartOdd(SimProcess& sim, const std::string& state,
                       std::vector<std::string> extra = {}) {
    std::string error;
    EXPECT_EQ(SaveStateFile(Path(state), OddMemory(), error), 1) << error;
    return StartSim(sim, state, std::move(extra));
  }
};

TEST_F(CtlApplyTest, SetAndApplyChangeOnlyTheNamedBytes) {
  std::ofstream(Path("apply.json")) << R"({"keys": {"acq.interval_ms": 50}})";
  std::ofstream(Path("row.json")) << R"({"table": [{"row": 5, "channel": "COM2", "slave": 3,
      "type": "03-R", "start": 10, "count": 4, "buffer": 100}]})";
  // Row 5 goes from COM4 7 03/10-RW 200 8 40: the start's and the buffer's high bytes stay 0.
  const struct {
    std::vector<std::string> args;
    std::set<Position> changed;
  } cases[] = {
      {{"set", "acq.interval_ms=50"}, {{AREA_TABLE, HEADER_INTERVAL}}},
      {{"set", "port3.baud=9600"}, {{AREA_PARAMS, OFFSET_PORT3_BAUD}}},
      {{"apply", Path("apply.json")}, {{AREA_TABLE, HEADER_INTERVAL}}},
      {{"apply", Path("row.json")},
       {{AREA_TABLE, ROW5},
        {AREA_TABLE, ROW5 + 1},
        {AREA_TABLE, ROW5 + 2},
        {AREA_TABLE, ROW5 + 4},
        {AREA_TABLE, ROW5 + 5},
        {AREA_TABLE, ROW5 + 7}}},
  };
  for (const auto& c : cases) {
    SimProcess sim;
    const std::string udp = StartOdd(sim, "s.json");
    std::vector<std::string> args = {"--udp", udp};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CtlRun run = Ctl(args);
    ASSERT_EQ(run.status, 0) << c.args[1] << "\n" << run.err;
    const auto diff = Changed(OddMemory(), Memory("s.json"));
    EXPECT_EQ(std::set<Position>(diff.begin(), diff.end()), c.changed) << c.args[1];
  }
}

TEST_F(CtlApplyTest, ApplyRefusesABadFileBeforeAskingTheGateway) {
  std::ofstream(Path("bad.json")) << R"({"keys": {"port3.baud": "9601"}})";
  std::ofstream(Path("row.json")) << R"({"table": [{"row": 256}]})";
  std::ofstream(Path("twice.json")) << R"({"keys": {"4g.station": 2, "4g.station": 3}})";
  const struct {
    std::string file;
    std::string said;
  } cases[] = {
      {"bad.json", "keys[\"port3.baud\"] must be one of"},
      {"row.json", "table[0].row must be a whole number from 1 to 255"},
      {"missing.json", "cannot read"},
      {"twice.json", "the name \"4g.station\" is given twice"},
  };
  for (const auto& c : cases) {
    // 127.0.0.2 answers nothing: a run that asked it would time out instead.
    const CtlRun run = Ctl({"--udp", "127.0.0.2:9", "apply", Path(c.file)});
    EXPECT_EQ(run.status, EXIT_FILE) << c.file;
    EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
  }
}

// Twenty gateways and a silent one: --check writes nothing, apply changes exactly the named
// bytes on each, a second apply sends no write frame, and only the silent one fails.
TEST_F(CtlApplyTest, TwentyGatewaysAndASilentOne) {
  constexpr int kCount = 20;
  std::vector<std::unique_ptr<SimProcess>> sims;
  std::ofstream hosts(Path("hosts"));
  hosts << "# the fleet\n";
  for (int i = 0; i < kCount; ++i) {
    sims.push_back(std::make_unique<SimProcess>());
    hosts << StartOdd(*sims.back(), "g" + std::to_string(i) + ".json") << "  # gateway " << i
          << "\n\n";
  }
  SimProcess silent;
  const std::string silentHost = StartSim(silent, "silent.json", {"--silent"});
  hosts << silentHost << "\n";
  hosts.close();
  std::ofstream(Path("want.json")) << R"({"keys": {"port3.baud": "9600", "4g.station": 1},
      "table": [{"row": 5, "channel": "COM2", "slave": 3, "type": "03-R", "start": 10,
                 "count": 4, "buffer": 100}]})";
  const std::vector<std::string> fleet = {"--hosts", Path("hosts"), "--parallel", "8"};
  auto apply = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = fleet;
    args.insert(args.end(), extra.begin(), extra.end());
    return Ctl(args);
  };

  const CtlRun check = apply({"--json", "apply", "--check", Path("want.json")});
  EXPECT_EQ(check.status, EXIT_GATEWAY) << check.err;
  const auto doc = nlohmann::json::parse(check.out, nullptr, false);
  ASSERT_TRUE(doc.contains("gateways")) << check.out;
  ASSERT_EQ(doc["gateways"].size(), size_t{kCount + 1});
  for (int i = 0; i < kCount; ++i) {
    const auto& g = doc["gateways"][static_cast<size_t>(i)];
    EXPECT_EQ(g["exit"], 0);
    EXPECT_EQ(g["changed"], true);
    EXPECT_EQ(g["diff"]["before"]["port3.baud"], "19200");
    EXPECT_EQ(g["diff"]["after"]["port3.baud"], "9600");
    EXPECT_FALSE(g["diff"]["after"].contains("4g.station"));  // already 1
    EXPECT_TRUE(g["written"].empty());
    EXPECT_EQ(Memory("g" + std::to_string(i) + ".json"), OddMemory()) << i;
  }
  const auto& lone = doc["gateways"][size_t{kCount}];
  EXPECT_EQ(lone["host"], silentHost);
  EXPECT_EQ(lone["exit"], EXIT_GATEWAY);
  EXPECT_NE(lone["error"].get<std::string>().find("通信超时"), std::string::npos);
  EXPECT_NE(check.err.find("1 of 21 gateways failed"), std::string::npos) << check.err;

  const CtlRun first = apply({"apply", Path("want.json")});
  EXPECT_EQ(first.status, EXIT_GATEWAY) << first.out;
  std::set<Position> named = {{AREA_PARAMS, OFFSET_PORT3_BAUD}};
  for (int b = 0; b < ACQ_RECORD_SIZE; ++b) named.insert({AREA_TABLE, ROW5 + b});
  for (int i = 0; i < kCount; ++i) {
    const auto diff = Changed(OddMemory(), Memory("g" + std::to_string(i) + ".json"));
    for (const Position& p : diff) EXPECT_TRUE(named.count(p)) << i << ": " << p.second;
    EXPECT_TRUE(std::count(diff.begin(), diff.end(), Position{AREA_PARAMS, OFFSET_PORT3_BAUD}));
  }

  const CtlRun second = apply({"--trace", "apply", Path("want.json")});
  EXPECT_EQ(second.status, EXIT_GATEWAY);
  EXPECT_FALSE(SentAWrite(second.out));
  EXPECT_FALSE(SentHeaders(second.out).empty());
  size_t unchanged = 0;
  for (size_t at = 0; (at = second.out.find("unchanged\n", at)) != std::string::npos; ++at)
    ++unchanged;
  EXPECT_EQ(unchanged, size_t{kCount});
}

TEST_F(CtlApplyTest, BackupOfSeveralGatewaysWritesAFileEach) {
  SimProcess a, b;
  const std::string hostA = StartSim(a, "a.json"), hostB = StartSim(b, "b.json");
  const CtlRun run = Ctl({"--udp", hostA, "--udp", hostB, "backup", Path("dir")});
  ASSERT_EQ(run.status, 0) << run.out << run.err;
  for (std::string host : {hostA, hostB}) {
    std::replace(host.begin(), host.end(), ':', '_');
    const auto doc =
        nlohmann::json::parse(ReadBytes(Path("dir/" + host + ".json")), nullptr, false);
    EXPECT_EQ(doc.value("format", ""), "qv31-backup") << host;
  }
}

}  // namespace
}  // namespace qv31

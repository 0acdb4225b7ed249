// The qv31-sim program over real UDP sockets and pseudo-terminals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "link/accepted_replies.h"
#include "sim/sim_process.h"
#include "sim/sim_test_util.h"
#include "sim/udp_listener.h"

namespace qv31 {
namespace {

using namespace simtest;

struct TempDir {
  std::string path;
  TempDir() {
    char name[] = "/tmp/qv31-sim-it-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
};

// Names a request in a failure: area/opcode @address.
std::string Name(const FrameHeader& r) {
  return std::to_string(r.area) + "/" + std::to_string(r.opCode) + " @" + std::to_string(r.address);
}

// Garbage first: no reply to it, and memory as it was, which the first client's reads show.
// Then each client writes its own bytes and reads back what the one before it wrote.
TEST(SimProgram, AnswersEveryToolRequestOverUdpPtyAndSerial) {
  TempDir dir;
  const std::string link = dir.path + "/gateway";
  // A pseudo-terminal of the test's own stands in for a serial device.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
  const Client serial = Client::Raw(master);
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--pty", link, "--serial", ptsname(master),
                         "--baud", "115200", "--format", "e,8,1"}));
  EXPECT_EQ(std::filesystem::read_symlink(link).string(), sim.Listener("pty "));
  const Client udp = Client::Udp(sim.UdpPort()), pty = Client::Pty(link);
  std::mt19937 rng(11);
  for (int i = 0; i < 20000; ++i) udp.Send(BrokenFrame(rng, i % 3));
  Bytes noise(100000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  pty.Send(noise);

  const std::pair<const char*, const Client*> clients[] = {
      {"UDP", &udp}, {"pty", &pty}, {"serial", &serial}};
  ModelMemory model;
  for (uint8_t k = 0; k < std::size(clients); ++k) {
    const auto& [via, client] = clients[k];
    for (const FrameHeader& r : ToolRequests()) {
      const Bytes request = RequestFrame(r, static_cast<uint8_t>(k + 1));
      const Bytes expect = model.Expect(request);
      const auto reply = client->Exchange(request, expect.size(), 3000);
      ASSERT_TRUE(reply) << Name(r) << " over " << via;
      EXPECT_EQ(*reply, expect) << Name(r) << " over " << via;
      const auto h = ValidateBlock(reply->data(), static_cast<int32_t>(reply->size()));
      EXPECT_TRUE(h && MatchAcceptedReply(*h) && ReplyAnswers(r, *h)) << Name(r);
    }
    EXPECT_FALSE(client->Receive(100)) << "nothing else came over " << via;
  }
  EXPECT_EQ(sim.Stop(SIGINT), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "link removed at exit";
}

TEST(SimProgram, FaultSwitchesOnTheWire) {
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--drop", "3"}));
    const Client udp = Client::Udp(sim.UdpPort());
    udp.Send(Bytes(20, 0x4F));  // refused, so not counted
    // Request i reads one byte at device address 6 + i, so each reply names its request.
    for (uint16_t at = 7; at <= 13; ++at) udp.Send(EncodeFrame({AREA_PARAMS, OP_READ, at, 1}));
    std::string answered = "-------";
    for (int n = 0; n < 5; ++n) {
      const auto reply = udp.Receive(5000);
      if (reply) answered[(*reply)[10] - 7] = 'y';
    }
    EXPECT_FALSE(udp.Receive(200)) << "a sixth reply";
    EXPECT_EQ(answered, "yy-yy-y");
  }
  // The second half of a split reply comes 150 ms late; a 528-byte reply paced at 19200 baud
  // takes 275 ms, as on a real line.
  const struct {
    std::vector<std::string> args;
    Bytes request;
    long atLeastMs;
  } slow[] = {{{"--pty", "--split", "150"}, EncodeFrame({AREA_PARAMS, OP_READ, 6, 2}), 150},
              {{"--pty", "--pace", "19200"}, EncodeFrame({AREA_TABLE, OP_READ, 0, 512}), 260}};
  for (const auto& c : slow) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start(c.args));
    const Client pty = Client::Pty(sim.Listener("pty "));
    const Bytes expect = ModelMemory().Expect(c.request);
    const auto sent = Clock::now();
    EXPECT_EQ(pty.Exchange(c.request, expect.size()), expect) << c.args[1];
    EXPECT_GE(Clock::now() - sent, std::chrono::milliseconds(c.atLeastMs)) << c.args[1];
  }
}

// Stopped while writes keep coming, the state file holds one whole state (the last one or an
// earlier one, never a mix), and the next start serves it.
TEST(SimProgram, StateSurvivesRestartAndSignals) {
  TempDir dir;
  const std::string state = dir.path + "/state.json";
  Bytes saved;  // table block 0 as the state file holds it
  for (const int sig : {SIGTERM, SIGKILL, 0}) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--state", state}));
    const Client udp = Client::Udp(sim.UdpPort());
    if (!saved.empty()) {
      EXPECT_EQ(udp.Exchange(EncodeFrame({AREA_TABLE, OP_READ, 0, 512}), 528),
                EncodeFrame({AREA_TABLE, OP_READ_REPLY, 0, 512}, saved));
    }
    if (sig == 0) break;
    std::vector<Bytes> blocks;  // distinct in each run
    for (int i = 0; i < 60; ++i) {
      const auto seed = static_cast<uint8_t>(sig == SIGKILL ? 100 + i : i);
      blocks.push_back(RequestFrame({AREA_TABLE, OP_WRITE, 0, 512}, seed));
      udp.Send(blocks.back());
      ASSERT_TRUE(i != 20 || udp.Receive(2000)) << "no write acknowledged";
    }
    sim.Stop(sig);
    const GatewayMemory memory = StateMemory(state);
    const auto table = memory.AreaBytes(AREA_TABLE);
    saved.assign(table.begin(), table.begin() + 512);
    EXPECT_TRUE(
        std::any_of(blocks.begin(), blocks.end(),
                    [&](const Bytes& b) { return Bytes(b.begin() + 14, b.end() - 2) == saved; }))
        << "signal " << sig;
  }
}

TEST(SimProgram, BadOptionsAndUnusablePorts) {
  TempDir dir;
  UdpListener busy;
  std::string error;
  ASSERT_EQ(busy.Open("127.0.0.1", 0, error), 1);
  const std::string file = dir.path + "/file", corrupt = dir.path + "/corrupt.json";
  std::ofstream(file) << "";
  std::ofstream(corrupt) << "{\"format\": \"qv31-sim state\"";
  const struct {
    std::vector<std::string> args;
    int status;
  } cases[] = {
      {{"--help"}, 0},
      {{"--drop", "0"}, 2},
      {{"--udp", "127.0.0.1:70000"}, 2},
      {{"--bogus"}, 2},
      {{"--baud", "9600"}, 2},
      {{"--serial", "/dev/null", "--baud", "9601"}, 2},
      {{"--serial", "/dev/null", "--format", "n,8,3"}, 2},
      {{"--pace", "9600"}, 2},
      {{"--udp", busy.Name()}, 3},
      {{"--udp", "no-such-host.invalid:0"}, 3},
      {{"--serial", file}, 3},
      {{"--pty", file}, 3},
      {{"--state", dir.path + "/missing/state.json"}, 3},
      {{"--state", corrupt}, 3},
  };
  for (const auto& c : cases) EXPECT_EQ(RunSimToEnd(c.args), c.status) << c.args[0];
}

}  // namespace
}  // namespace qv31

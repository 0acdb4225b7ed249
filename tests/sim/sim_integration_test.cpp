// The qv31-sim program over real UDP sockets and pseudo-terminals.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "link/accepted_replies.h"
#include "sim/sim_process.h"
#include "sim/sim_test_util.h"
#include "sim/state_file.h"
#include "sim/stream_framer.h"
#include "sim/udp_listener.h"

namespace qv31 {
namespace {

using namespace simtest;
using std::chrono::milliseconds;

struct TempDir {
  std::string path;
  TempDir() {
    char name[] = "/tmp/qv31-sim-it-XXXXXX";
    path = mkdtemp(name);
  }
  ~TempDir() { std::filesystem::remove_all(path); }
};

Bytes Read(uint8_t area, uint16_t address, uint16_t length) {
  return EncodeFrame({area, OP_READ, address, length});
}
long MsSince(Clock::time_point t) {
  return static_cast<long>(std::chrono::duration_cast<milliseconds>(Clock::now() - t).count());
}

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
  ModelMemory model;
  const Client udp = Client::Udp(sim.UdpPort());
  const Client pty = Client::Pty(link);
  ASSERT_TRUE(pty.Ok());
  for (const Client* client : {&udp, &pty, &serial}) {
    for (const auto& r : kToolRequests) {
      const Bytes request = RequestFrame(r, static_cast<uint8_t>(client == &udp   ? 1
                                                                 : client == &pty ? 2
                                                                                  : 3));
      const char* via = client == &udp ? " over UDP" : client == &pty ? " over the pty" : " serial";
      const Bytes expect = model.Expect(request);
      const auto reply = client->Exchange(request, expect.size());
      ASSERT_TRUE(reply) << r.name;
      EXPECT_EQ(*reply, expect) << r.name << via;
      const auto h = ValidateBlock(reply->data(), static_cast<int32_t>(reply->size()));
      ASSERT_TRUE(h && MatchAcceptedReply(*h) != nullptr) << r.name;
      EXPECT_TRUE(ReplyAnswers({r.area, r.opCode, r.address, r.length}, *h)) << r.name;
    }
  }
  EXPECT_EQ(sim.Stop(SIGINT), 0);
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "link removed at exit";
}

TEST(SimProgram, FaultSwitchesOnTheWire) {
  const Bytes port1 = Read(AREA_PARAMS, 6, 2);
  const Bytes answer = ModelMemory().Expect(port1);
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--drop", "3"}));
    const Client udp = Client::Udp(sim.UdpPort());
    // Request i reads one byte at device address 6 + i, so each reply names its request.
    for (int i = 1; i <= 7; ++i) udp.Send(Read(AREA_PARAMS, static_cast<uint16_t>(6 + i), 1));
    std::string answered = "-------";
    for (int n = 0; n < 5; ++n) {
      const auto reply = udp.Receive(5000);
      if (reply) answered[(*reply)[10] - 7] = 'y';
    }
    EXPECT_FALSE(udp.Receive(200)) << "a sixth reply";
    EXPECT_EQ(answered, "yy-yy-y");
  }
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--pty", "--split", "150"}));
    const Client pty = Client::Pty(sim.Listener("pty "));
    const auto sent = Clock::now();
    pty.Send(port1);
    const auto first = pty.Receive(2000, answer.size() / 2);
    const auto second = pty.Receive(2000, answer.size() - answer.size() / 2);
    ASSERT_TRUE(first && second);
    EXPECT_GE(MsSince(sent), 150);
    Bytes whole = *first;
    whole.insert(whole.end(), second->begin(), second->end());
    EXPECT_EQ(whole, answer);
  }
  {
    // A 528-byte reply at 19200 baud takes 275 ms on a real line.
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--pty", "--pace", "19200"}));
    const Client pty = Client::Pty(sim.Listener("pty "));
    const auto sent = Clock::now();
    const auto reply = pty.Exchange(Read(AREA_TABLE, 0, 512), 528);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->size(), 528u);
    EXPECT_GE(MsSince(sent), 260);
    EXPECT_LT(MsSince(sent), 3000);
  }
}

TEST(SimProgram, StateSurvivesRestartAndSignals) {
  TempDir dir;
  const std::string state = dir.path + "/state.json";
  const Bytes write = EncodeFrame({AREA_PARAMS, OP_WRITE, 6, 2}, Bytes{9, 7});
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--state", state}));
    ASSERT_TRUE(Client::Udp(sim.UdpPort()).Exchange(write, 16));
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
  }
  {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--state", state}));
    const auto reply = Client::Udp(sim.UdpPort()).Exchange(Read(AREA_PARAMS, 6, 2), 18);
    ASSERT_TRUE(reply);
    EXPECT_EQ(Bytes(reply->begin() + 14, reply->begin() + 16), (Bytes{9, 7}));
  }
  // Killed while writes keep coming: the file holds one whole state, the last one or an
  // earlier one, never a mix.
  for (const int sig : {SIGTERM, SIGKILL}) {
    SimProcess sim;
    ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--state", state}));
    const Client udp = Client::Udp(sim.UdpPort());
    std::vector<Bytes> blocks;
    for (int i = 0; i < 60; ++i) {
      blocks.push_back(RequestFrame({"", AREA_TABLE, OP_WRITE, 0, 512}, static_cast<uint8_t>(i)));
      udp.Send(blocks.back());
      if (i == 20) {
        ASSERT_TRUE(udp.Receive(2000));
      }
    }
    sim.Stop(sig);
    GatewayMemory memory;
    std::string error;
    ASSERT_EQ(LoadStateFile(state, memory, error), 1) << error;
    const auto table = memory.AreaBytes(AREA_TABLE);
    const Bytes block0(table.begin(), table.begin() + 512);
    EXPECT_TRUE(
        std::any_of(blocks.begin(), blocks.end(),
                    [&](const Bytes& b) { return Bytes(b.begin() + 14, b.end() - 2) == block0; }))
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
      {{"--corrupt", "x"}, 2},
      {{"--udp", "127.0.0.1:70000"}, 2},
      {{"--bogus"}, 2},
      {{"--baud", "9600"}, 2},
      {{"--serial", "/dev/null", "--baud", "9601"}, 2},
      {{"--serial", "/dev/null", "--format", "n,8,3"}, 2},
      {{"--pace", "9600"}, 2},
      {{"--udp", busy.Name()}, 3},
      {{"--udp", "no-such-host.invalid:0"}, 3},
      {{"--serial", dir.path + "/no-such-tty"}, 3},
      {{"--serial", file}, 3},
      {{"--pty", file}, 3},
      {{"--state", dir.path + "/missing/state.json"}, 3},
      {{"--state", corrupt}, 3},
  };
  for (const auto& c : cases) EXPECT_EQ(RunSimToEnd(c.args), c.status) << c.args[0];
}

// Nothing invalid gets a reply or changes memory: afterwards every area reads as before.
TEST(SimProgram, InvalidDatagramsAndBytesGetNoReply) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--udp", "127.0.0.1:0", "--pty"}));
  const Client udp = Client::Udp(sim.UdpPort());
  const Client pty = Client::Pty(sim.Listener("pty "));
  std::mt19937 rng(11);
  const Bytes bad[] = {
      Read(0, 0, 1),
      Read(AREA_PARAMS, 326, 1),
      EncodeFrame({AREA_IDENT, OP_WRITE, 0, 1}, Bytes{0x41}),
      EncodeFrame({AREA_TABLE, OP_WRITE_ACK, 0, 1}),
  };
  for (int i = 0; i < 20000; ++i) {
    Bytes d;
    if (i % 2 == 0) {
      d = bad[rng() % std::size(bad)];
      if (rng() % 2 == 0) d[rng() % d.size()] ^= static_cast<uint8_t>(1 + rng() % 255);
    } else {
      d.resize(rng() % 1100);
      for (auto& b : d) b = static_cast<uint8_t>(rng());
    }
    udp.Send(d);
  }
  Bytes noise(100000);
  for (auto& b : noise) b = static_cast<uint8_t>(rng());
  StreamFramer check;
  check.Feed(noise, 0);
  ASSERT_FALSE(check.Next(STREAM_STALL_MS)) << "the noise must hold no frame";
  pty.Send(noise);

  ModelMemory model;
  const Bytes reads[] = {Read(AREA_IDENT, 0, 18),      Read(AREA_PARAMS, 6, 320),
                         Read(AREA_TABLE, 0, 512),     Read(AREA_TABLE, 0x200, 512),
                         Read(AREA_TABLE, 0x400, 512), Read(AREA_TABLE, 0x600, 512)};
  for (const Client* client : {&udp, &pty}) {
    for (const Bytes& r : reads) {
      const Bytes expect = model.Expect(r);
      EXPECT_EQ(client->Exchange(r, expect.size(), 3000), expect);
    }
    EXPECT_FALSE(client->Receive(100)) << "nothing else came";
  }
  EXPECT_EQ(sim.Stop(), 0);
}

}  // namespace
}  // namespace qv31

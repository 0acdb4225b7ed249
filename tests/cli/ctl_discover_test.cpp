// qv31ctl discover against real simulators on loopback addresses and pseudo-terminals.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>

#include "cli/ctl_test_support.h"
#include "sim/udp_listener.h"

namespace qv31 {
namespace {

using Json = nlohmann::json;

uint16_t FreePort(const char* host) {
  std::string error;
  UdpListener probe;
  probe.Open(host, 0, error);
  return probe.Port();
}

class DiscoverTest : public CtlTest {
 protected:
  // Three gateways on 127.0.0.2, .3 and .9 and a silent one on .5, all on one port.
  void StartFour() {
    port_ = std::to_string(FreePort("127.0.0.2"));
    ASSERT_TRUE(sims_[0].Start({"--udp", "127.0.0.2:" + port_, "--identity", "QV31-2"}));
    ASSERT_TRUE(sims_[1].Start({"--udp", "127.0.0.3:" + port_, "--identity", "网关三号"}));
    ASSERT_TRUE(sims_[2].Start({"--udp", "127.0.0.9:" + port_, "--identity", "QV31-9"}));
    ASSERT_TRUE(sims_[3].Start({"--udp", "127.0.0.5:" + port_, "--silent"}));
  }
  SimProcess sims_[4];
  std::string port_;
};

TEST_F(DiscoverTest, ListsTheGatewaysOfARangeOnceEachInAboutOneTimeOut) {
  StartFour();
  const int p = std::stoi(port_);
  const CtlRun json = Ctl({"--json", "discover", "--port", port_, "127.0.0.0/28"});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(Json::parse(json.out), Json::parse(R"({"gateways": [
                {"address": "127.0.0.2", "port": )" +
                                               port_ + R"(, "identity": "QV31-2"},
                {"address": "127.0.0.3", "port": )" +
                                               port_ + R"(, "identity": "网关三号"},
                {"address": "127.0.0.9", "port": )" +
                                               port_ + R"(, "identity": "QV31-9"}]})"));
  EXPECT_LT(json.ms, 1500);

  // Ranges may overlap; each address is asked and listed once.
  const CtlRun text = Ctl({"discover", "--port", port_, "127.0.0.3", "127.0.0.1-127.0.0.3"});
  ASSERT_EQ(text.status, 0) << text.err;
  char expected[160];
  std::snprintf(expected, sizeof expected, "%-15s %5d  QV31-2\n%-15s %5d  网关三号\n", "127.0.0.2",
                p, "127.0.0.3", p);
  EXPECT_EQ(text.out, expected);
}

TEST_F(DiscoverTest, NoneFoundAndBadRanges) {
  StartFour();
  const CtlRun none = Ctl({"--json", "discover", "--port", port_, "127.0.0.5-127.0.0.8"});
  EXPECT_EQ(none.status, 1) << none.err;
  EXPECT_EQ(Json::parse(none.out), Json::parse(R"({"gateways": []})"));
  for (const char* bad : {"127.0.0.0/8", "127.0.0.9-127.0.0.1", "gateway"}) {
    const CtlRun run = Ctl({"discover", "--port", port_, bad});
    EXPECT_EQ(run.status, 2) << bad;
    EXPECT_NE(run.err.find(bad), std::string::npos) << run.err;
  }
  const CtlRun json = Ctl({"--json", "discover", "--port", "0"});
  EXPECT_EQ(json.status, 2);
  EXPECT_EQ(Json::parse(json.out)["exit"], 2) << json.out;
}

TEST_F(CtlTest, FindsTheSerialSettingsOfAGatewayOnAPseudoTerminal) {
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--pty", "--identity", "串口网关"}));
  const std::string pty = sim.Listener("pty ");
  const CtlRun json = Ctl({"--json", "discover", "--serial", pty});
  ASSERT_EQ(json.status, 0) << json.err;
  EXPECT_EQ(
      Json::parse(json.out),
      (Json{{"gateways",
             {{{"port", pty}, {"baud", 9600}, {"format", "n,8,1"}, {"identity", "串口网关"}}}}}));
  const CtlRun text = Ctl({"discover", "--serial", pty});
  EXPECT_EQ(text.out, pty + " 9600 n,8,1  串口网关\n");
  EXPECT_EQ(text.err, "");  // no progress when stderr is not a terminal
}

TEST_F(CtlTest, AnInterruptEndsASerialScanAtOnce) {
  PtyPair pty;  // nothing answers
  ASSERT_TRUE(pty.Ok());
  const int64_t start = SteadyMs();
  const pid_t pid = Spawn({"discover", "--serial", pty.slavePath});
  ASSERT_TRUE(WaitFor([&] { return !pty.Receive(16, 10).empty(); }, 5000));
  kill(pid, SIGINT);
  const CtlRun run = Wait(pid, start);
  EXPECT_EQ(run.status, 130) << run.err;
  EXPECT_EQ(run.err, "qv31ctl: discover stopped\n");  // ended by itself, not by the signal
  EXPECT_LT(run.ms, 3000);
}

}  // namespace
}  // namespace qv31

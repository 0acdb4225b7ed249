// qv31ctl apply: one gateway against a hundred at once, and an apply with nothing to change.
// The hundred gateways are simulators in this process, each with its own memory, UDP socket
// on 127.0.0.1 and thread; qv31ctl is the real program.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/factory_state.h"
#include "sim/sim_server.h"

namespace {

constexpr int kGateways = 100;
constexpr int kRuns = 4;  // an even count: each gateway ends where it began

struct Gateway {
  qv31::GatewayMemory memory = qv31::FactoryMemory();
  qv31::UdpListener listener;
  std::unique_ptr<qv31::SimServer> server;
  std::thread thread;
};

// Runs qv31ctl with its output dropped; its wall time in ms, or -1 when it failed.
double RunCtl(std::vector<std::string> args) {
  args.insert(args.begin(), QV31CTL_PATH);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = -1;
  int status = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), nullptr) == 0) {
    waitpid(pid, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

// The median over kRuns runs, alternating the two files so that every run writes.
double Median(std::vector<std::string> args, const std::string& a, const std::string& b,
              int& failures) {
  std::vector<double> ms;
  for (int i = 0; i < kRuns; ++i) {
    std::vector<std::string> run = args;
    run.push_back(i % 2 == 0 ? a : b);
    const double t = RunCtl(run);
    failures += t < 0;
    ms.push_back(t);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

}  // namespace

int main() {
  char dir[] = "/tmp/qv31-apply-bench-XXXXXX";
  if (mkdtemp(dir) == nullptr) return 1;
  int stop[2];
  if (pipe(stop) != 0) return 1;
  std::vector<std::unique_ptr<Gateway>> gateways;
  const std::string hosts = std::string(dir) + "/hosts";
  std::ofstream list(hosts);
  for (int i = 0; i < kGateways; ++i) {
    auto g = std::make_unique<Gateway>();
    std::string error;
    if (g->listener.Open("127.0.0.1", 0, error) < 0) return 1;
    g->server = std::make_unique<qv31::SimServer>(g->memory, qv31::SimSettings{});
    g->server->AddUdp(g->listener);
    g->thread = std::thread([&s = *g->server, fd = stop[0]] { s.Run(fd); });
    list << g->listener.Name() << "\n";
    gateways.push_back(std::move(g));
  }
  list.close();
  // The factory state has port 3 at 19200 baud and row 5 on COM4.
  const std::string change = std::string(dir) + "/change.json";
  const std::string back = std::string(dir) + "/back.json";
  std::ofstream(change) << R"({"keys": {"port3.baud": "9600"}, "table": [{"row": 5,
      "channel": "COM2", "slave": 3, "type": "03-R", "start": 10, "count": 4, "buffer": 100}]})";
  std::ofstream(back) << R"({"keys": {"port3.baud": "19200"}, "table": [{"row": 5,
      "channel": "COM4", "slave": 7, "type": "03/10-RW", "start": 200, "count": 8, "buffer": 40}]})";

  int failures = 0;
  const std::string one = gateways[0]->listener.Name();
  const double single = Median({"--udp", one, "apply"}, change, back, failures);
  const double all =
      Median({"--hosts", hosts, "--parallel", "100", "apply"}, change, back, failures);
  const double wave = Median({"--hosts", hosts, "apply"}, change, back, failures);
  const double nothing = Median({"--udp", one, "apply"}, back, back, failures);

  if (write(stop[1], "x", 1) != 1) return 1;
  for (auto& g : gateways) g->thread.join();
  std::remove(hosts.c_str());
  std::remove(change.c_str());
  std::remove(back.c_str());
  rmdir(dir);

  std::printf("qv31ctl apply (port 3 and a row), median of %d runs:\n", kRuns);
  std::printf("  one gateway: %.1f ms\n", single);
  std::printf("  %d gateways, --parallel 100: %.1f ms = %.2f x one (target at most 3 x)\n",
              kGateways, all, all / single);
  std::printf("  %d gateways, default --parallel 32: %.1f ms = %.2f x one\n", kGateways, wave,
              wave / single);
  std::printf("  one gateway, nothing to change (reads only): %.1f ms\n", nothing);
  std::printf("  %d runs failed\n", failures);
  return failures == 0 ? 0 : 1;
}

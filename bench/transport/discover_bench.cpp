// How long finding gateways takes. A /24 sweep of loopback addresses with three qv31-sim
// programs answering should end within two reply time-outs, and a serial scan that tries all
// 54 settings on a pseudo-terminal where nothing answers (the worst case) within 25 s.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "sim/sim_process.h"
#include "transport/gateway_search.h"
#include "transport/pty_pair.h"
#include "transport/serial_scan.h"

namespace {

using namespace qv31;
using simtest::Clock;

constexpr uint16_t BENCH_PORT = 47332;
constexpr double SERIAL_TARGET_S = 25.0;
constexpr int SWEEPS = 5;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool BenchSweep() {
  const std::string port = std::to_string(BENCH_PORT);
  simtest::SimProcess sims[3];
  const char* hosts[3] = {"127.0.0.2", "127.0.0.3", "127.0.0.9"};
  for (int i = 0; i < 3; ++i) {
    if (!sims[i].Start({"--udp", std::string(hosts[i]) + ":" + port})) {
      std::fprintf(stderr, "qv31-sim did not start on %s\n", hosts[i]);
      return false;
    }
  }
  std::vector<uint32_t> targets;
  ExpandAddressRange("127.0.0.0/24", targets);
  std::vector<double> took;
  size_t found = 0;
  for (int run = 0; run < SWEEPS; ++run) {
    GatewaySearch search;
    const auto start = Clock::now();
    RunGatewaySearch(search, targets, BENCH_PORT);
    took.push_back(MsSince(start));
    found = std::min(run == 0 ? search.Found().size() : found, search.Found().size());
  }
  const double worst = *std::max_element(took.begin(), took.end());
  const double target = 2.0 * UDP_REPLY_TIMEOUT_MS;
  std::printf(
      "gateway search, 127.0.0.0/24 (%zu addresses), 3 answering: worst of %d %.0f ms, "
      "fewest found %zu (target < %.0f ms, 2 x reply time-out) %s\n",
      targets.size(), SWEEPS, worst, found, target,
      worst < target && found == 3 ? "ok" : "BELOW TARGET");
  return worst < target && found == 3;
}

bool BenchSerialScan() {
  PtyPair pty;
  if (!pty.Ok()) {
    std::perror("pseudo-terminal");
    return false;
  }
  int32_t planned = 0;
  for (const LineTry& t : SerialScanOrder()) planned += ProbeTimeoutMs(t);
  SerialScan scan;
  const auto start = Clock::now();
  const ScanState state = RunSerialScan(scan, pty.slavePath);
  const double seconds = MsSince(start) / 1000.0;
  const bool ok = state == ScanState::NotFound && seconds < SERIAL_TARGET_S;
  std::printf(
      "serial scan, nothing answering: %d tries in %.2f s (probe time-outs add up to "
      "%.2f s; target < %.0f s) %s\n",
      scan.TryNumber(), seconds, planned / 1000.0, SERIAL_TARGET_S, ok ? "ok" : "BELOW TARGET");
  return ok;
}

}  // namespace

int main() {
  const bool sweep = BenchSweep();
  const bool serial = BenchSerialScan();
  return sweep && serial ? 0 : 1;
}

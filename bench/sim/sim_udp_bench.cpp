// Read requests per second that qv31-sim answers over UDP on 127.0.0.1 from one client, one
// request in flight at a time (as the tool sends them), and the median round trip.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "link/link_frame.h"
#include "sim/sim_process.h"

int main() {
  using namespace qv31;
  using namespace qv31::simtest;
  constexpr double TARGET_PER_SECOND = 20000;
  constexpr int WARM_UP = 2000;
  constexpr auto RUN_TIME = std::chrono::seconds(3);

  SimProcess sim;
  if (!sim.Start({"--udp", "127.0.0.1:0"})) {
    std::fprintf(stderr, "qv31-sim did not start\n");
    return 1;
  }
  const Client client = Client::Udp(sim.UdpPort());
  // The four requests a tool sends most: identity, whole image, a port, a table block.
  const std::vector<Bytes> requests = {
      EncodeFrame({AREA_IDENT, OP_READ, 0, 18}), EncodeFrame({AREA_PARAMS, OP_READ, 6, 320}),
      EncodeFrame({AREA_PARAMS, OP_READ, 6, 2}), EncodeFrame({AREA_TABLE, OP_READ, 0x200, 512})};

  std::vector<double> roundTripsUs;
  roundTripsUs.reserve(200000);
  long answered = 0;
  long lost = 0;
  Clock::time_point start;
  for (long i = 0;; ++i) {
    if (i == WARM_UP) start = Clock::now();
    if (i >= WARM_UP && Clock::now() - start >= RUN_TIME) break;
    const Bytes& request = requests[static_cast<size_t>(i) % requests.size()];
    const auto sent = Clock::now();
    const auto reply = client.Exchange(request, 2048, 1000);
    const auto took = std::chrono::duration<double, std::micro>(Clock::now() - sent).count();
    if (!reply) {
      ++lost;
      continue;
    }
    if (i >= WARM_UP) {
      ++answered;
      roundTripsUs.push_back(took);
    }
  }
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::sort(roundTripsUs.begin(), roundTripsUs.end());
  const double perSecond = static_cast<double>(answered) / seconds;
  const double median = roundTripsUs.empty() ? 0 : roundTripsUs[roundTripsUs.size() / 2];
  const double p99 = roundTripsUs.empty() ? 0 : roundTripsUs[roundTripsUs.size() * 99 / 100];
  std::printf("qv31-sim UDP reads: %.0f requests/s (target >= %.0f) %s\n", perSecond,
              TARGET_PER_SECOND, perSecond >= TARGET_PER_SECOND ? "ok" : "BELOW TARGET");
  std::printf("round trip: median %.1f us, 99th percentile %.1f us, %ld requests, %ld lost\n",
              median, p99, answered, lost);
  sim.Stop();
  return 0;
}

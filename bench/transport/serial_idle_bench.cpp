// CPU cost of an open SerialPort on a quiet line: its two threads poll every 10 to 20 ms and
// together must stay below 1 % of one core. Measured on a pseudo-terminal over 10 s (or the
// number of seconds given as the first argument).
#include <fcntl.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "transport/serial_port.h"

namespace {

double Seconds(clockid_t clock) {
  timespec t{};
  ::clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

constexpr double BUDGET_PERCENT = 1.0;

}  // namespace

int main(int argc, char** argv) {
  const double span = argc > 1 ? std::atof(argv[1]) : 10.0;
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  char name[128] = {};
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    std::perror("pseudo-terminal");
    return 2;
  }
  qv31::SerialPort port;
  if (!port.Open(name, 9600, qv31::LineFormat{})) {
    std::fprintf(stderr, "cannot open %s\n", name);
    return 2;
  }
  const double wall0 = Seconds(CLOCK_MONOTONIC);
  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  std::this_thread::sleep_for(std::chrono::duration<double>(span));
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  const double wall = Seconds(CLOCK_MONOTONIC) - wall0;
  port.Close();
  ::close(master);
  const double percent = 100.0 * cpu / wall;
  std::printf("serial port idle: %.3f %% of one core (%.1f ms CPU over %.1f s; budget %.0f %%)\n",
              percent, cpu * 1e3, wall, BUDGET_PERCENT);
  return percent < BUDGET_PERCENT ? 0 : 1;
}

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

#include "sim/sim_stop.h"

namespace {

int stopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

namespace qv31 {

bool InstallStopSignals(StopSource& stop) {
  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  stop.fd = stopPipe[0];
  return true;
}

}  // namespace qv31

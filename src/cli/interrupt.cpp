#include "cli/interrupt.h"

#include <csignal>

namespace qv31 {
namespace {

volatile std::sig_atomic_t caught = 0;

void OnSignal(int signal) {
  caught = signal;
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(SIGINT, &fallback, nullptr);
  sigaction(SIGTERM, &fallback, nullptr);
}

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

int CaughtSignal() { return caught; }

int InterruptedStatus() { return 128 + caught; }

}  // namespace qv31

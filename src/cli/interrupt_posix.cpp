#include <string.h>

#include <csignal>
#include <string>

#include "cli/interrupt.h"

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

std::string InterruptName() { return std::string("SIG") + sigabbrev_np(caught); }

}  // namespace qv31

#include <string.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <string>

#include "cli/interrupt.h"
#include "cli/removal_slots.h"

namespace qv31 {
namespace {

volatile std::sig_atomic_t caught = 0;
volatile std::sig_atomic_t count = 0;
RemovalSlots<char, PATH_MAX> removeOnKill;

void Restore(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
}

// Only async-signal-safe calls: unlink, sigaction, raise.
void OnSignal(int signal) {
  if (count >= 2) {
    removeOnKill.RemoveAll([](const char* path) { ::unlink(path); });
    Restore(SIGINT);
    Restore(SIGTERM);
    std::raise(signal);
    return;
  }
  if (count == 0) caught = signal;
  count = count + 1;
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

int CaughtSignalCount() { return count; }

int InterruptedStatus() { return 128 + caught; }

int RemoveWhenKilled(const char* path) {
  return path == nullptr ? -1 : removeOnKill.Arm(path, std::strlen(path));
}

void ForgetRemoval(int handle) { removeOnKill.Disarm(handle); }

std::string InterruptName() { return std::string("SIG") + sigabbrev_np(caught); }

}  // namespace qv31

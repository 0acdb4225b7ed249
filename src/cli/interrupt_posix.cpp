#include <string.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <string>

#include "cli/interrupt.h"
#include "cli/removal_slots.h"

namespace qv31 {
namespace {

// Set by the handler on the thread the signal lands on, read by the threads of a fleet: atomics,
// lock-free and so safe in a handler.
std::atomic<int> caught = 0;
std::atomic<int> count = 0;
static_assert(std::atomic<int>::is_always_lock_free);
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
  int none = 0;
  caught.compare_exchange_strong(none, signal);  // the first one is kept
  count.fetch_add(1);
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

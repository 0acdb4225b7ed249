#include <pthread.h>
#include <string.h>
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstring>
#include <string>

#include "cli/interrupt.h"

namespace qv31 {
namespace {

volatile std::sig_atomic_t caught = 0;
volatile std::sig_atomic_t count = 0;
// Written only while no signal is caught yet or between writes; read by the handler.
char removeOnKill[PATH_MAX] = {};

void Restore(int signal) {
  struct sigaction fallback {};
  fallback.sa_handler = SIG_DFL;
  sigemptyset(&fallback.sa_mask);
  sigaction(signal, &fallback, nullptr);
}

// Only async-signal-safe calls: unlink, sigaction, raise.
void OnSignal(int signal) {
  if (count >= 2) {
    if (removeOnKill[0] != '\0') ::unlink(removeOnKill);
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

void RemoveWhenKilled(const char* path) {
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &block, &old);
  if (path == nullptr || std::strlen(path) >= sizeof removeOnKill) {
    removeOnKill[0] = '\0';
  } else {
    std::strcpy(removeOnKill, path);
  }
  pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

std::string InterruptName() { return std::string("SIG") + sigabbrev_np(caught); }

}  // namespace qv31

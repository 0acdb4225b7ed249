#include <windows.h>

#include <atomic>

#include "sim/sim_stop.h"

namespace {

std::atomic<bool> stopAsked{false};

BOOL WINAPI OnConsoleEvent(DWORD) {
  stopAsked.store(true);
  // The console close and shutdown events end the process once this returns; the loop's own
  // wait is short, so it is given that long to save the state.
  Sleep(200);
  return TRUE;
}

}  // namespace

namespace qv31 {

bool InstallStopSignals(StopSource& stop) {
  if (!SetConsoleCtrlHandler(OnConsoleEvent, TRUE)) return false;
  stop.flag = &stopAsked;
  return true;
}

}  // namespace qv31

#include <windows.h>

#include <algorithm>
#include <csignal>
#include <string>

#include "cli/console_events.h"
#include "cli/interrupt.h"
#include "cli/removal_slots.h"
#include "text/wide_text.h"

namespace qv31 {
namespace {

volatile LONG caught = 0;
volatile LONG caughtEvent = 0;
volatile LONG count = 0;
// A temporary output to remove should a third event end the process.
RemovalSlots<wchar_t, MAX_PATH> removeOnKill;

// The system ends the process once the handler of a close, log-off or shutdown event returns:
// it waits here while the main thread ends the write at a frame boundary and exits, which
// Windows allows for about 5 s.
constexpr DWORD CLOSE_GRACE_MS = 4500;

BOOL WINAPI OnConsoleEvent(DWORD event) { return HandleConsoleEvent(event) ? TRUE : FALSE; }

// The tool writes UTF-8; the console shows it as such (and the manifest makes arguments and
// file names UTF-8).
struct Utf8Console {
  Utf8Console() { SetConsoleOutputCP(CP_UTF8); }
} utf8Console;

}  // namespace

int ConsoleEventSignal(unsigned long event) {
  return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? SIGINT : SIGTERM;
}

bool HandleConsoleEvent(unsigned long event) {
  // A third interrupt ends the process as usual.
  if (count >= 2) {
    removeOnKill.RemoveAll([](const wchar_t* path) { DeleteFileW(path); });
    return false;
  }
  if (InterlockedIncrement(&count) == 1) {
    InterlockedExchange(&caughtEvent, static_cast<LONG>(event));
    InterlockedExchange(&caught, ConsoleEventSignal(event));
  }
  if (ConsoleEventSignal(event) == SIGTERM) Sleep(CLOSE_GRACE_MS);
  return true;
}

void CatchInterrupts() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

int CaughtSignal() { return static_cast<int>(caught); }

int CaughtSignalCount() { return static_cast<int>(count); }

int RemoveWhenKilled(const char* path) {
  const std::wstring wide = path == nullptr ? std::wstring() : Utf8ToWide(path);
  return removeOnKill.Arm(wide.data(), wide.size());
}

void ForgetRemoval(int handle) { removeOnKill.Disarm(handle); }

int InterruptedStatus() { return 128 + static_cast<int>(caught); }

std::string InterruptName() {
  switch (caughtEvent) {
    case CTRL_C_EVENT:
      return "Ctrl-C";
    case CTRL_BREAK_EVENT:
      return "Ctrl-Break";
    case CTRL_CLOSE_EVENT:
      return "console closed";
    default:
      return "shutdown";
  }
}

}  // namespace qv31

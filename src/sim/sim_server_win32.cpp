#include <winsock2.h>

#include <algorithm>
#include <cstdio>

#include "sim/sim_server.h"

namespace qv31 {
namespace {

// How long one wait may last: the stop flag is looked at in between, and a serial line,
// which WSAPoll cannot watch, is read after every wait.
constexpr int STOP_CHECK_MS = 50;
constexpr int LINE_CHECK_MS = 2;

}  // namespace

std::string WallClockStamp() {
  SYSTEMTIME t{};
  GetLocalTime(&t);
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond,
                t.wMilliseconds);
  return text;
}

int SimServer::Run(const StopSource& stop) {
  std::vector<WSAPOLLFD> fds;
  while (stop.flag == nullptr || !stop.flag->load()) {
    Clock::time_point now = Clock::now();
    Tick(now);
    if (!AnyAlive()) return -1;
    const bool anyLine =
        std::any_of(lines_.begin(), lines_.end(), [](const LineState& s) { return s.alive; });
    int waitMs = anyLine ? LINE_CHECK_MS : STOP_CHECK_MS;
    Clock::time_point deadline;
    if (NextDeadline(now, deadline)) {
      const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
      waitMs = static_cast<int>(std::clamp<int64_t>(ms, 0, waitMs));
    }
    fds.clear();
    for (UdpListener* u : udp_) fds.push_back({static_cast<SOCKET>(u->Fd()), POLLRDNORM, 0});
    if (fds.empty()) {
      Sleep(static_cast<DWORD>(waitMs));
    } else if (WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), waitMs) == SOCKET_ERROR) {
      Log("poll failed: system error " + std::to_string(WSAGetLastError()));
      return -1;
    }
    now = Clock::now();
    for (size_t i = 0; i < fds.size(); ++i) {
      if (fds[i].revents & (POLLRDNORM | POLLERR)) ReadUdp(static_cast<int>(i));
    }
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].alive) ReadLine(static_cast<int>(i), now);
    }
  }
  return 0;
}

}  // namespace qv31

#include <poll.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "sim/sim_server.h"

namespace qv31 {

std::string WallClockStamp() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  localtime_r(&ts.tv_sec, &local);
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", local.tm_hour, local.tm_min,
                local.tm_sec, ts.tv_nsec / 1000000);
  return text;
}

int SimServer::Run(const StopSource& stop) {
  std::vector<pollfd> fds;
  while (true) {
    Clock::time_point now = Clock::now();
    Tick(now);
    if (!AnyAlive()) return -1;
    fds.clear();
    fds.push_back({stop.fd, POLLIN, 0});
    for (UdpListener* u : udp_) fds.push_back({static_cast<int>(u->Fd()), POLLIN, 0});
    for (const LineState& s : lines_) {
      const bool waitWrite = s.alive && !s.tx.empty() && settings_.paceBaud == 0;
      fds.push_back(
          {s.alive ? s.line->Fd() : -1, static_cast<short>(POLLIN | (waitWrite ? POLLOUT : 0)), 0});
    }

    Clock::time_point deadline;
    timespec timeout{};
    const bool timed = NextDeadline(now, deadline);
    if (timed) {
      const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - now).count();
      timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    }
    const int rc = ppoll(fds.data(), fds.size(), timed ? &timeout : nullptr, nullptr);
    if (rc < 0) {
      if (errno == EINTR) continue;
      Log(std::string("poll failed: ") + std::strerror(errno));
      return -1;
    }
    if (fds[0].revents != 0) return 0;
    now = Clock::now();
    size_t at = 1;
    for (size_t i = 0; i < udp_.size(); ++i, ++at) {
      if (fds[at].revents & POLLIN) ReadUdp(static_cast<int>(i));
    }
    for (size_t i = 0; i < lines_.size(); ++i, ++at) {
      if (fds[at].revents & (POLLIN | POLLHUP | POLLERR)) ReadLine(static_cast<int>(i), now);
      if ((fds[at].revents & POLLOUT) && lines_[i].alive) FlushLine(lines_[i], now);
    }
  }
}

}  // namespace qv31

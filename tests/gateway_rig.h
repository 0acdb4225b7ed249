#pragma once

// What the session's and the dialog's tests share: timers on a clock the test moves, and a
// gateway on a real UDP socket on 127.0.0.1 that answers from the simulator's memory between
// ticks.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <utility>
#include <vector>

#include "link/link_frame.h"
#include "session/timer_service.h"
#include "sim/factory_state.h"
#include "sim/gateway_memory.h"

namespace qv31 {

// Timers on a millisecond clock that only moves when the test says so. Before each timer
// fires, `beforeTick` runs (the gateway answers what it has received).
class FakeTimers final : public TimerService {
 public:
  void StartTimer(int id, uint32_t periodMs) override {
    timers[id] = {periodMs, now + periodMs};
    started.emplace_back(id, periodMs);
  }
  void KillTimer(int id) override { timers.erase(id); }
  bool Running(int id) const { return timers.count(id) != 0; }

  // Moves the clock by `ms`, firing every timer that falls due on the way, in time order.
  void Advance(uint32_t ms) {
    const uint64_t end = now + ms;
    while (true) {
      auto next = std::min_element(timers.begin(), timers.end(), [](const auto& a, const auto& b) {
        return a.second.due < b.second.due;
      });
      if (next == timers.end() || next->second.due > end) break;
      const int id = next->first;
      now = next->second.due;
      next->second.due += next->second.period;
      if (beforeTick) beforeTick();
      if (onTimer) onTimer(id);
    }
    now = end;
  }
  // Advances in 10 ms steps until `done` holds or `limitMs` passed; true when it held.
  bool AdvanceUntil(const std::function<bool()>& done, uint32_t limitMs) {
    for (uint32_t t = 0; t < limitMs; t += 10) {
      if (done()) return true;
      Advance(10);
    }
    return done();
  }
  uint32_t Now() const { return static_cast<uint32_t>(now); }

  struct Timer {
    uint32_t period;
    uint64_t due;
  };
  std::map<int, Timer> timers;
  std::vector<std::pair<int, uint32_t>> started;
  uint64_t now = 1000;
  std::function<void()> beforeTick;
  std::function<void(int)> onTimer;
};

// The simulator's memory behind a UDP socket on 127.0.0.1. Pump() answers every waiting
// datagram; loopback delivery is immediate, so a reply is there for the dialog's next tick.
class UdpGateway {
 public:
  UdpGateway() : memory(FactoryMemory()) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~UdpGateway() { ::close(fd_); }

  // `now`: the fake clock, for replies held back by delayMs.
  void Pump(uint64_t now = 0) {
    uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n;
    while ((n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                           &len)) > 0) {
      received.emplace_back(buffer, buffer + n);
      len = sizeof from;
      if (silent || answerLimit == 0) continue;
      if (answerLimit > 0) --answerLimit;
      const GatewayAnswer answer = memory.Answer({buffer, static_cast<size_t>(n)});
      if (!answer.reply.empty()) held_.push_back({now + delayMs, answer.reply, from});
    }
    while (!held_.empty() && held_.front().due <= now) {
      const Held& h = held_.front();
      ::sendto(fd_, h.reply.data(), h.reply.size(), 0, reinterpret_cast<const sockaddr*>(&h.to),
               sizeof h.to);
      held_.pop_front();
    }
  }

  GatewayMemory memory;
  std::vector<std::vector<uint8_t>> received;
  bool silent = false;
  int answerLimit = -1;  // requests still answered; -1: all
  uint32_t delayMs = 0;  // on the fake clock
  uint16_t port = 0;

 private:
  struct Held {
    uint64_t due;
    std::vector<uint8_t> reply;
    sockaddr_in to;
  };
  std::deque<Held> held_;
  int fd_ = -1;
};

// The bytes of an area that differ between two memories, as (offset, new value).
inline std::vector<std::pair<int, int>> Changed(const GatewayMemory& before,
                                                const GatewayMemory& after, uint8_t area) {
  std::vector<std::pair<int, int>> diff;
  const auto a = before.AreaBytes(area);
  const auto b = after.AreaBytes(area);
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) diff.emplace_back(static_cast<int>(i), b[i]);
  }
  return diff;
}

// The header of a frame as it went on the wire.
inline FrameHeader HeaderOf(const std::vector<uint8_t>& f) {
  return {f[8], f[9], static_cast<uint16_t>(f[10] | (f[11] << 8)),
          static_cast<uint16_t>(f[12] | (f[13] << 8))};
}

inline std::vector<FrameHeader> Headers(const std::vector<std::vector<uint8_t>>& frames) {
  std::vector<FrameHeader> h;
  for (const auto& f : frames) h.push_back(HeaderOf(f));
  return h;
}

}  // namespace qv31

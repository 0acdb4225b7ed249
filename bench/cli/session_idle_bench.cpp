// The CPU an open, idle UDP link costs the command line's session: connect to an in-process
// gateway on 127.0.0.1, then let the timer loop run with nothing to do.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "session/gateway_session.h"
#include "session/timer_loop.h"
#include "sim/factory_state.h"

namespace {

constexpr int IDLE_MS = 5000;
constexpr int TIMER_BENCH_END = 900;

double Seconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Listener final : qv31::SessionListener {
  void ReplyStored(const qv31::AcceptedReply&) override {}
  void ExchangeEnded(const qv31::ExchangeOutcome&) override {}
};

}  // namespace

int main() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  timeval wait{0, 200000};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  std::atomic<bool> running{true};
  std::thread gateway([&] {
    qv31::GatewayMemory memory = qv31::FactoryMemory();
    uint8_t buffer[2048];
    while (running) {
      sockaddr_in from{};
      socklen_t n = sizeof from;
      const ssize_t got =
          ::recvfrom(fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &n);
      if (got <= 0) continue;
      const auto answer = memory.Answer({buffer, static_cast<size_t>(got)});
      ::sendto(fd, answer.reply.data(), answer.reply.size(), 0, reinterpret_cast<sockaddr*>(&from),
               n);
    }
  });

  Listener listener;
  qv31::GatewaySession* session = nullptr;
  bool ended = false;
  qv31::TimerLoop loop([&](int id) {
    if (id == TIMER_BENCH_END) ended = true;
    session->OnTimer(id);
  });
  qv31::GatewaySession s(
      loop, [&] { return loop.NowMs(); }, listener);
  session = &s;
  s.Link().OpenUdp("127.0.0.1", ntohs(a.sin_port));
  s.Query(qv31::GroupId::Identity);
  s.StartConnect();
  loop.RunUntil([&] { return s.Engine().State() == qv31::ExchangeState::Idle; });

  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  loop.StartTimer(TIMER_BENCH_END, IDLE_MS);
  loop.RunUntil([&] { return ended; });
  const double cpu = Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0;
  running = false;
  gateway.join();
  ::close(fd);
  // The gateway thread's 200 ms receive time-outs are counted too: an upper bound.
  std::printf(
      "qv31ctl session open idle UDP link: %.3f %% of one core over %.0f s (target < 0.1)\n",
      100.0 * cpu / (IDLE_MS / 1000.0), IDLE_MS / 1000.0);
  return 0;
}

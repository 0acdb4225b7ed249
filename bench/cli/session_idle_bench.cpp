// The CPU an open, idle link costs the command line's session, over UDP and over a serial
// line: connect to an in-process gateway (on 127.0.0.1, or on the far end of a
// pseudo-terminal), then let the timer loop run with nothing to do. The serial figure
// includes the serial driver's own two threads, which poll the line.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <functional>
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

// A gateway answering every block that `receive` brings (it waits at most 200 ms) with
// `reply`, until `running` is cleared.
std::thread Gateway(std::atomic<bool>& running, std::function<ssize_t(uint8_t*, size_t)> receive,
                    std::function<void(const std::vector<uint8_t>&)> reply) {
  return std::thread([&running, receive, reply] {
    qv31::GatewayMemory memory = qv31::FactoryMemory();
    uint8_t buffer[2048];
    while (running) {
      const ssize_t got = receive(buffer, sizeof buffer);
      if (got > 0) reply(memory.Answer({buffer, static_cast<size_t>(got)}).reply);
    }
  });
}

// Opens the link with `open`, connects, then measures the idle loop; the share of one core.
double IdlePercent(const std::function<bool(qv31::LinkTransport&)>& open) {
  Listener listener;
  qv31::GatewaySession* session = nullptr;
  bool ended = false;
  qv31::TimerLoop loop(
      [&](int id) {
        if (id == TIMER_BENCH_END) ended = true;
        session->OnTimer(id);
      },
      [&] { session->Wake(); });
  qv31::GatewaySession s(
      loop, [&] { return loop.NowMs(); }, listener);
  session = &s;
  s.SetReceiverWake([&] { loop.Wake(); });
  if (!open(s.Link())) return -1;
  s.Query(qv31::GroupId::Identity);
  s.StartConnect();
  loop.RunUntil([&] { return s.Engine().State() == qv31::ExchangeState::Idle; });

  const double cpu0 = Seconds(CLOCK_PROCESS_CPUTIME_ID);
  loop.StartTimer(TIMER_BENCH_END, IDLE_MS);
  loop.RunUntil([&] { return ended; });
  return 100.0 * (Seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0) / (IDLE_MS / 1000.0);
}

double UdpIdle() {
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
  sockaddr_in from{};
  socklen_t fromLen = sizeof from;
  std::thread gateway = Gateway(
      running,
      [&](uint8_t* buffer, size_t size) {
        fromLen = sizeof from;
        return ::recvfrom(fd, buffer, size, 0, reinterpret_cast<sockaddr*>(&from), &fromLen);
      },
      [&](const std::vector<uint8_t>& r) {
        ::sendto(fd, r.data(), r.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
      });
  const double percent = IdlePercent(
      [&](qv31::LinkTransport& link) { return link.OpenUdp("127.0.0.1", ntohs(a.sin_port)); });
  running = false;
  gateway.join();
  ::close(fd);
  return percent;
}

double SerialIdle() {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  char name[128] = {};
  if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
      ::ptsname_r(master, name, sizeof name) != 0) {
    return -1;
  }
  std::atomic<bool> running{true};
  std::thread gateway = Gateway(
      running,
      [&](uint8_t* buffer, size_t size) -> ssize_t {
        pollfd p{master, POLLIN, 0};
        return ::poll(&p, 1, 200) > 0 ? ::read(master, buffer, size) : 0;
      },
      [&](const std::vector<uint8_t>& r) {
        if (::write(master, r.data(), r.size()) < 0) return;
      });
  const double percent = IdlePercent([&](qv31::LinkTransport& link) {
    return link.OpenSerial(qv31::SerialLinkFromTexts(name, "115200", "n,8,1", "0"));
  });
  running = false;
  gateway.join();
  ::close(master);
  return percent;
}

}  // namespace

int main() {
  // The gateway threads' 200 ms waits are counted too: upper bounds.
  std::printf(
      "qv31ctl session open idle UDP link: %.3f %% of one core over %.0f s (target < 0.1)\n",
      UdpIdle(), IDLE_MS / 1000.0);
  std::printf(
      "qv31ctl session open idle serial link: %.3f %% of one core over %.0f s (the serial "
      "driver's polling threads included)\n",
      SerialIdle(), IDLE_MS / 1000.0);
  return 0;
}

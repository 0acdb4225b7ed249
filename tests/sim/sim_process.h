#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sim/gateway_memory.h"
#include "sim/state_file.h"
#include "transport/line_termios.h"

extern char** environ;

namespace qv31::simtest {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<uint8_t>;

inline int MsLeft(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// The real qv31-sim program, started for one test and stopped by its process id.
class SimProcess {
 public:
  ~SimProcess() { Stop(SIGKILL); }

  // Starts the program and waits at most 10 s for its "ready" line; false when it ended
  // (Ended()) or timed out first.
  bool Start(std::vector<std::string> args) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return false;
    args.insert(args.begin(), QV31_SIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The simulator dies with its test: one left behind by a crashed test would keep the test
    // runner's output pipe open, and the runner would wait for it for ever.
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) {
      if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) _exit(127);
      if (dup2(out[1], 1) < 0) _exit(127);
      execve(QV31_SIM_PATH, argv.data(), environ);
      _exit(127);
    }
    close(out[1]);
    stdout_ = out[0];
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (pid_ > 0 && banner_.find("ready\n") == std::string::npos) {
      pollfd p{stdout_, POLLIN, 0};
      char chunk[512];
      if (poll(&p, 1, MsLeft(deadline)) <= 0) return false;
      const ssize_t n = read(stdout_, chunk, sizeof chunk);
      if (n <= 0) return ended_ = true, false;
      banner_.append(chunk, static_cast<size_t>(n));
    }
    return pid_ > 0;
  }
  bool Ended() const { return ended_; }
  // Sends `sig` without waiting (SIGSTOP, SIGCONT: a gateway that stops answering).
  bool Signal(int sig) const { return pid_ > 0 && kill(pid_, sig) == 0; }

  // Sends `sig` (0: none) and waits for the end: the exit status, or 128 + signal.
  int Stop(int sig = SIGTERM) {
    if (pid_ <= 0) return -1;
    if (sig != 0) kill(pid_, sig);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    close(stdout_);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  // The rest of the banner line that starts with `prefix` ("udp ", "pty ").
  std::string Listener(const std::string& prefix) const {
    const size_t at = banner_.find(prefix);
    if (at == std::string::npos) return "";
    const size_t from = at + prefix.size();
    return banner_.substr(from, banner_.find('\n', from) - from);
  }
  uint16_t UdpPort() const {
    const std::string udp = Listener("udp ");
    return static_cast<uint16_t>(std::stoi(udp.substr(udp.rfind(':') + 1)));
  }

 private:
  pid_t pid_ = -1;
  int stdout_ = -1;
  bool ended_ = false;
  std::string banner_;
};

// Runs the program to its end and gives its exit status (-1 when it started serving).
inline int RunSimToEnd(const std::vector<std::string>& args) {
  SimProcess sim;
  if (sim.Start(args)) return -1;
  return sim.Stop(sim.Ended() ? 0 : SIGKILL);
}

// The gateway memory a simulator saved in its state file (--state).
inline GatewayMemory StateMemory(const std::string& path) {
  GatewayMemory m;
  std::string error;
  EXPECT_EQ(LoadStateFile(path, m, error), 1) << error;
  return m;
}

// Positions (area, index) where two memories differ.
inline std::vector<std::pair<int, int>> Changed(const GatewayMemory& a, const GatewayMemory& b) {
  std::vector<std::pair<int, int>> diff;
  for (const uint8_t area : {AREA_PARAMS, AREA_TABLE, AREA_IDENT}) {
    const auto x = a.AreaBytes(area), y = b.AreaBytes(area);
    for (size_t i = 0; i < x.size(); ++i) {
      if (x[i] != y[i]) diff.emplace_back(area, static_cast<int>(i));
    }
  }
  return diff;
}

// A client: a UDP socket connected to the simulator, or a terminal (either side of a pty).
class Client {
 public:
  static Client Udp(uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Client c(socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0), true);
    connect(c.fd_, reinterpret_cast<sockaddr*>(&to), sizeof to);
    return c;
  }
  static Client Pty(const std::string& path) {
    return Raw(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  }
  static Client Raw(int terminal) {
    MakeRawTerminal(terminal);
    return Client(terminal, false);
  }
  Client(Client&& other) noexcept : fd_(other.fd_), datagrams_(other.datagrams_) { other.fd_ = -1; }
  ~Client() {
    if (fd_ >= 0) close(fd_);
  }

  void Send(const Bytes& bytes) const {
    [[maybe_unused]] const ssize_t n = write(fd_, bytes.data(), bytes.size());
  }
  // One datagram, or from a terminal `expect` bytes; nothing when none came in time.
  std::optional<Bytes> Receive(int timeoutMs, size_t expect = 2048) const {
    Bytes got;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd p{fd_, POLLIN, 0};
    while (got.size() < expect && poll(&p, 1, MsLeft(deadline)) > 0) {
      uint8_t chunk[4096];
      const ssize_t n = read(fd_, chunk, std::min(sizeof chunk, expect - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), chunk, chunk + n);
      if (datagrams_) break;
    }
    return got.empty() ? std::nullopt : std::optional<Bytes>(got);
  }
  std::optional<Bytes> Exchange(const Bytes& request, size_t expect, int timeoutMs = 2000) const {
    Send(request);
    return Receive(timeoutMs, expect);
  }

 private:
  Client(int fd, bool datagrams) : fd_(fd), datagrams_(datagrams) {}
  int fd_;
  bool datagrams_;
};

}  // namespace qv31::simtest

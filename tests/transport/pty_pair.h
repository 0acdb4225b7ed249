#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace qv31 {

using Bytes = std::vector<uint8_t>;

inline int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Waits for `condition` until `timeoutMs` passes; true when it held.
template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs) {
  for (const int64_t deadline = SteadyMs() + timeoutMs; !condition(); ::usleep(2000)) {
    if (SteadyMs() >= deadline) return false;
  }
  return true;
}

// A pseudo-terminal pair: the code under test opens slavePath, the test plays the far end of
// the line on the master side.
struct PtyPair {
  PtyPair() {
    char name[128] = {};
    if (master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 &&
        ::ptsname_r(master, name, sizeof name) == 0) {
      slavePath = name;
      // Held open so that the master never sees the slave side hang up between opens.
      slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
  }
  ~PtyPair() {
    CloseMaster();
    if (slave >= 0) ::close(slave);
  }
  bool Ok() const { return master >= 0 && slave >= 0; }
  void CloseMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  bool Send(const Bytes& bytes) {
    return ::write(master, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  }
  // Reads from the master until `count` bytes came or `timeoutMs` passed.
  Bytes Receive(size_t count, int timeoutMs) {
    Bytes got;
    uint8_t buffer[4096];
    for (const int64_t deadline = SteadyMs() + timeoutMs; got.size() < count;) {
      pollfd p{master, POLLIN, 0};
      const int64_t left = deadline - SteadyMs();
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      const ssize_t n = ::read(master, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

  int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  int slave = -1;
  std::string slavePath;
};

}  // namespace qv31

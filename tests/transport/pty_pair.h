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

inline int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// A pseudo-terminal pair: the driver under test opens SlavePath(), the test plays the far end
// of the line on the master side.
class PtyPair {
 public:
  PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) return;
    char name[128] = {};
    if (::ptsname_r(master_, name, sizeof name) != 0) return;
    slavePath_ = name;
    // Held open so that the master never sees the slave side hang up between opens.
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  ~PtyPair() {
    CloseMaster();
    if (slave_ >= 0) ::close(slave_);
  }
  PtyPair(const PtyPair&) = delete;
  PtyPair& operator=(const PtyPair&) = delete;

  bool Ok() const { return master_ >= 0 && slave_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }
  int Master() const { return master_; }
  void CloseMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  bool Send(const std::vector<uint8_t>& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }

  // Reads from the master until `count` bytes came or `timeoutMs` passed.
  std::vector<uint8_t> Receive(size_t count, int timeoutMs) {
    std::vector<uint8_t> got;
    const int64_t deadline = SteadyMs() + timeoutMs;
    while (got.size() < count) {
      const int64_t left = deadline - SteadyMs();
      pollfd p{master_, POLLIN, 0};
      if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0) break;
      uint8_t buffer[4096];
      const ssize_t n = ::read(master_, buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

// Waits for `condition` until `timeoutMs` passes; true when it held.
template <typename Condition>
bool WaitFor(Condition condition, int timeoutMs) {
  const int64_t deadline = SteadyMs() + timeoutMs;
  while (!condition()) {
    if (SteadyMs() >= deadline) return false;
    ::usleep(2000);
  }
  return true;
}

}  // namespace qv31

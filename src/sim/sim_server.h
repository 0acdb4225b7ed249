#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <queue>
#include <string>
#include <vector>

#include "sim/byte_line.h"
#include "sim/fault_plan.h"
#include "sim/gateway_memory.h"
#include "sim/stream_framer.h"
#include "sim/udp_listener.h"

namespace qv31 {

// What ends SimServer::Run: the read end of a pipe a signal handler writes to (POSIX), or a
// flag the console handler sets (Windows).
struct StopSource {
  int fd = -1;
  const std::atomic<bool>* flag = nullptr;
};

// The local time of day for the log, "13:02:07.123".
std::string WallClockStamp();

struct SimSettings {
  FaultOptions faults;
  uint32_t paceBaud = 0;  // 0: reply bytes go out at once; else 10 bits per byte at this rate
  std::string statePath;  // empty: memory lives and dies with the process
  bool verbose = false;   // every frame in and out, and what became of it
};

// The simulator's event loop: one thread, every listener polled together. Each UDP datagram
// is one frame and its reply goes back to the sender as one datagram; on a byte line frames
// are found by StreamFramer. Replies pass through the fault switches and are sent when due,
// so a delayed reply never holds up the next request.
class SimServer {
 public:
  SimServer(GatewayMemory& memory, const SimSettings& settings, std::FILE* log = stderr);

  // The listeners are borrowed and must outlive Run().
  void AddUdp(UdpListener& listener);
  void AddLine(ByteLine& line);

  // Serves until `stop` says so: 0. -1 when every listener has been lost.
  int Run(const StopSource& stop);

  // Writes the state file when there is one: 1 saved, 0 none configured, -1 failed (logged).
  int SaveState();

 private:
  using Clock = std::chrono::steady_clock;

  struct LineState {
    ByteLine* line;
    StreamFramer framer;
    std::deque<uint8_t> tx;
    Clock::time_point lineFreeAt;  // when the last paced byte has left the line
    Clock::time_point lastRead;
    uint64_t skippedLogged = 0;
    bool alive = true;
  };
  struct Scheduled {
    Clock::time_point due;
    uint64_t order;
    int udp;  // index into udp_, or -1 for a line
    int line;
    UdpPeer peer;
    std::vector<uint8_t> bytes;
    bool operator>(const Scheduled& other) const {
      return due != other.due ? due > other.due : order > other.order;
    }
  };

  // What is due without new input: scheduled replies, pending line output, stalled frames.
  void Tick(Clock::time_point now);
  bool AnyAlive() const;
  void ReadUdp(int index);
  void ReadLine(int index, Clock::time_point now);
  void TakeFrames(int index, Clock::time_point now);
  void Handle(int udp, int line, const UdpPeer& peer, std::span<const uint8_t> frame,
              Clock::time_point now);
  void Send(Scheduled& item);
  void RunDue(Clock::time_point now);
  void FlushLine(LineState& state, Clock::time_point now);
  void LoseLine(LineState& state, const char* why);
  // The earliest moment the loop has something to do without new input.
  bool NextDeadline(Clock::time_point now, Clock::time_point& deadline) const;
  uint64_t MsSinceStart(Clock::time_point t) const;
  std::string SourceName(int udp, int line, const UdpPeer& peer) const;
  void Log(const std::string& line);

  GatewayMemory& memory_;
  SimSettings settings_;
  std::FILE* log_;
  FaultPlan faults_;
  Clock::time_point start_;
  Clock::duration byteTime_{};
  std::vector<UdpListener*> udp_;
  std::vector<LineState> lines_;
  std::priority_queue<Scheduled, std::vector<Scheduled>, std::greater<>> schedule_;
  uint64_t scheduled_ = 0;
  Clock::time_point lastDue_;
  std::vector<uint8_t> rxBuffer_;
};

}  // namespace qv31

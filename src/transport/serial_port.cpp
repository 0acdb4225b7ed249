#include "transport/serial_port.h"

#include <algorithm>
#include <chrono>
#include <vector>

#include "transport/block_assembler.h"

namespace qv31 {
namespace {

struct GapStep {
  uint32_t fromBaud;
  uint32_t gapMs;
};

// Quiet time that ends a block, by baud rate: the first row whose rate the baud reaches.
constexpr GapStep GAP_STEPS[] = {
    {19200, 1},
    {4800, 5},
    {2400, 50},
    {0, 100},
};

// Receive polling period, and the transmit thread's wait while its queue is empty.
constexpr int RECEIVE_POLL_MS = 20;
constexpr uint64_t TRANSMIT_IDLE_MS = 20;
constexpr uint64_t WRITE_PAUSE_EXTRA_MS = 100;
constexpr uint64_t WRITE_SLICE_MS = 20;

uint32_t TickMs() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

uint32_t GapMsForBaud(uint32_t baud) {
  for (const auto& step : GAP_STEPS) {
    if (baud >= step.fromBaud) return step.gapMs;
  }
  return SerialPort::DEFAULT_GAP_MS;
}

SerialPort::~SerialPort() { Close(); }

bool SerialPort::Open(std::string_view portName, uint32_t baud, LineFormat format) {
  Close();
  if (!line_.Open(portName, baud, format)) return false;
  if (autoGap_.load()) gapMs_.store(GapMsForBaud(baud));
  line_.SetQuietGap(gapMs_.load());
  {
    std::lock_guard lock(stopMutex_);
    running_ = true;
  }
  receiver_ = std::thread(&SerialPort::ReceiveLoop, this);
  transmitter_ = std::thread(&SerialPort::TransmitLoop, this);
  return true;
}

void SerialPort::Close() {
  {
    std::lock_guard lock(stopMutex_);
    running_ = false;
  }
  stopSignal_.notify_all();
  if (receiver_.joinable()) receiver_.join();
  if (transmitter_.joinable()) transmitter_.join();
  line_.Close();
  txQueue_.Clear();
  rxQueue_.Clear();
}

bool SerialPort::ReadBlock(uint8_t* destination, int32_t maximum, int32_t& length) {
  length = rxQueue_.Pop(maximum, destination);
  return length > 0;
}

bool SerialPort::Pause(uint64_t ms) {
  std::unique_lock lock(stopMutex_);
  return !stopSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return !running_; });
}

bool SerialPort::Running() {
  std::lock_guard lock(stopMutex_);
  return running_;
}

void SerialPort::WriteBounded(const uint8_t* data, int32_t length, uint64_t budgetMs) {
  // Written in slices so that Close never waits for a stuck line longer than one slice.
  const uint64_t start = TickMs();
  int32_t done = 0;
  while (done < length) {
    const uint64_t spent = static_cast<uint32_t>(TickMs() - static_cast<uint32_t>(start));
    if (spent >= budgetMs && done > 0) break;
    const uint64_t slice =
        std::min<uint64_t>(budgetMs > spent ? budgetMs - spent : 0, WRITE_SLICE_MS);
    const int32_t n = line_.Write(data + done, length - done, static_cast<uint32_t>(slice));
    done += std::max(n, 0);
    if (n <= 0 && (line_.Lost() || slice == 0)) break;
    if (done < length && !Running()) break;
  }
}

void SerialPort::ReceiveLoop() {
  BlockAssembler block(BLOCK_SIZE);
  for (;;) {
    if (!Running()) break;
    const int32_t got = block.Room() > 0 ? line_.Read(block.Tail(), block.Room()) : 0;
    if (got > 0) {
      block.Commit(got, TickMs());
      if (line_.GapSeen()) block.Cut(rxQueue_);
    } else {
      block.CutIfQuiet(TickMs(), gapMs_.load(), rxQueue_);
    }
    // Waiting on the line wakes at once for new bytes. A full block must not wait there (the
    // pending bytes would wake it in a spin), nor may a lost line, whose poll returns at once.
    if (block.Room() > 0 && line_.WaitReadable(RECEIVE_POLL_MS) >= 0) continue;
    Pause(RECEIVE_POLL_MS);
  }
  // A block still being collected is dropped with the buffer.
}

void SerialPort::TransmitLoop() {
  std::vector<uint8_t> buffer(BLOCK_SIZE);
  for (;;) {
    const int32_t k = txQueue_.Pop(BLOCK_SIZE, buffer.data());
    if (k <= 0) {
      if (!Pause(TRANSMIT_IDLE_MS)) break;
      continue;
    }
    const uint64_t gap = gapMs_.load();
    // A failed or short write is not retried; the engine's time-out covers it.
    WriteBounded(buffer.data(), k, static_cast<uint64_t>(k) * gap);
    if (pauseAfterWrite_.load() ? !Pause(gap + WRITE_PAUSE_EXTRA_MS) : !Pause(0)) break;
  }
}

}  // namespace qv31

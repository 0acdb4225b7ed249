#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string_view>
#include <thread>

#include "link/frame_queue.h"
#include "transport/serial_line.h"

namespace qv31 {

// The quiet time that ends a received block, from the baud rate (used while AutoGap is set).
uint32_t GapMsForBaud(uint32_t baud);

// The serial driver: moves blocks between a serial line and two queues with a receive thread
// and a transmit thread, which run while the port is open and meet the caller only in the
// queues.
//
// Receive: bytes without a pause of GapMs() or more make one block (at most BLOCK_SIZE bytes),
// queued on RxQueue() at the first empty read after the pause (up to about 20 ms late).
// Transmit: blocks pushed on TxQueue() are written one per pass, in order, each write bounded
// by length x GapMs() ms and followed, while PauseAfterWrite() is set, by a pause of
// GapMs() + 100 ms.
//
// Open, Close and the setters belong to one owner thread. Close joins both threads: once it
// returns no worker touches a queue, a buffer or the device.
class SerialPort {
 public:
  static constexpr int32_t BLOCK_SIZE = 4096;
  static constexpr uint32_t DEFAULT_GAP_MS = 100;

  SerialPort() = default;
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Closes first when open; both queues start empty. `portName` is a device path or a bare
  // name under /dev. While AutoGap() is set the gap follows the baud rate. False when the
  // port cannot be opened; Error() says why.
  bool Open(std::string_view portName, uint32_t baud, LineFormat format);
  // Stops the threads, discards pending input and output, releases the device, empties both
  // queues. On a closed port it only empties the queues.
  void Close();
  // Takes the oldest received block, at most `maximum` bytes (the rest of a longer block is
  // lost). `length` receives the pop result (-1, 0 or the count); true when it is above 0.
  bool ReadBlock(uint8_t* destination, int32_t maximum, int32_t& length);

  FrameQueue& TxQueue() { return txQueue_; }
  FrameQueue& RxQueue() { return rxQueue_; }

  bool AutoGap() const { return autoGap_.load(); }
  void SetAutoGap(bool on) { autoGap_.store(on); }
  bool PauseAfterWrite() const { return pauseAfterWrite_.load(); }
  void SetPauseAfterWrite(bool on) { pauseAfterWrite_.store(on); }
  uint32_t GapMs() const { return gapMs_.load(); }
  void SetGapMs(uint32_t ms) { gapMs_.store(ms); }
  int32_t BlockSize() const { return BLOCK_SIZE; }

  bool IsOpen() const { return line_.IsOpen(); }
  // True once the open device has gone (unplugged adapter, closed pseudo-terminal). The port
  // stays open, reading nothing and dropping what is queued for sending, until Close.
  bool Lost() const { return line_.Lost(); }
  PortError Error() const { return line_.Error(); }
  const SerialLine& Line() const { return line_; }

 private:
  void ReceiveLoop();
  void TransmitLoop();
  bool Running();
  void WriteBounded(const uint8_t* data, int32_t length, uint64_t budgetMs);
  // Sleeps up to `ms`; returns false at once when the port is being closed.
  bool Pause(uint64_t ms);

  SerialLine line_;
  FrameQueue txQueue_;
  FrameQueue rxQueue_;
  std::atomic<bool> autoGap_{true};
  std::atomic<bool> pauseAfterWrite_{true};
  std::atomic<uint32_t> gapMs_{DEFAULT_GAP_MS};

  std::mutex stopMutex_;
  std::condition_variable stopSignal_;
  bool running_ = false;  // guarded by stopMutex_
  std::thread receiver_;
  std::thread transmitter_;
};

}  // namespace qv31

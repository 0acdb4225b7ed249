#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>

#include "link/accepted_replies.h"
#include "link/frame_queue.h"
#include "link/link_frame.h"
#include "link/link_observer.h"

namespace qv31 {

// Window timer IDs and periods.
constexpr int TIMER_ENGINE = 1;
constexpr int TIMER_CONNECT = 2;
constexpr int TIMER_STOP_SEND = 100;
constexpr int TIMER_STOP_DRAIN = 101;
constexpr int TIMER_STOP_END = 102;
constexpr uint32_t ENGINE_TICK_MS = 10;

constexpr std::string_view STATUS_DONE = "执行完成";
constexpr std::string_view STATUS_TIMEOUT = "通信超时";

// Millisecond tick counter: 32 bits, wrapping; differences are taken as unsigned.
using MsClock = std::function<uint32_t()>;

// The link as the engine sees it: one block in, one block out, never blocking.
class BlockTransport {
 public:
  virtual ~BlockTransport() = default;
  // Takes at most one block into `buffer` (LINK_BUFFER_SIZE bytes); true when one came.
  virtual bool ReceiveBlock(uint8_t* buffer, int32_t& length) = 0;
  virtual bool SendBlock(int32_t length, const uint8_t* data) = 0;
};

// Window timers, started and killed by ID.
class TimerService {
 public:
  virtual ~TimerService() = default;
  virtual void StartTimer(int id, uint32_t periodMs) = 0;
  virtual void KillTimer(int id) = 0;
};

// What the engine's results do to the rest of the program.
class EngineHost {
 public:
  virtual ~EngineHost() = default;
  // Store an accepted reply's payload (row.length bytes at `payload`; none for a write
  // acknowledgement) where the row says, then run the row's Show operations.
  virtual void StoreReply(const AcceptedReply& row, const uint8_t* payload) = 0;
  virtual void SetCommandButtonsEnabled(bool enabled) = 0;
  virtual void SetStatusText(std::string_view text) = 0;
  // The connect phase gave up: close the link as the Open/Close button does.
  virtual void CloseLink() = 0;
};

enum class ExchangeState : uint8_t { Idle = 0, Ready = 1, AwaitingReply = 2 };

// How far the exchange has got: frames answered of those queued since it started.
struct ExchangeProgress {
  int answered = 0;
  int total = 0;
  bool operator==(const ExchangeProgress&) const = default;
};

// Sends queued requests one at a time, matches replies, repeats a request twice after its
// reply time-out and gives up when the second repeat has gone unanswered for the time-out
// too (with 500 ms: sends at 0, ~510 and ~1020 ms, "通信超时" at ~1530 ms). Never blocks and
// never sleeps: it is ticked every 10 ms.
//
// A reply completes the exchange in flight only when it answers that very request (same
// area; a read reply with the read's address and length; a write acknowledgement while a
// write of that area is in flight). Any other accepted reply is still stored and shown, but
// completes nothing and writes no status text, so a late answer to an abandoned or repeated
// request can never report another request as done.
class RequestEngine {
 public:
  RequestEngine(BlockTransport& transport, TimerService& timers, EngineHost& host, MsClock clock);

  // Command builders push finished frames here and then call MarkReady().
  FrameQueue& PendingQueue() { return pending_; }
  int32_t Queue(std::span<const uint8_t> frame);
  void MarkReady();

  // Dialog start: queue emptied, Idle.
  void Reset();

  void SetReplyTimeoutMs(int32_t ms) { replyTimeoutMs_ = ms; }
  int32_t ReplyTimeoutMs() const { return replyTimeoutMs_; }

  // Routes a timer: TIMER_ENGINE and TIMER_CONNECT tick the engine; returns false for
  // other IDs.
  bool OnTimer(int id);
  void EngineTick();
  void ConnectTick();

  ExchangeState State() const { return state_; }
  uint8_t RepeatCount() const { return repeatCount_; }
  // While Idle, nothing runs: {0, 0}.
  ExchangeProgress Progress() const;

  // Told of every block sent and received (nullptr: nobody). The observer outlives its use.
  void SetObserver(LinkObserver* observer) { observer_ = observer; }

 private:
  enum class Received { Nothing, Examined, Completed };
  Received ReceiveAndDispatch(bool connectPhase);
  // Returns true when the exchange was abandoned.
  bool CheckTimeout();
  void SendNext(bool connectPhase);
  void Tell(bool sent, const uint8_t* bytes, int32_t length, BlockFate fate);

  BlockTransport& transport_;
  TimerService& timers_;
  EngineHost& host_;
  MsClock clock_;

  FrameQueue pending_;
  std::array<uint8_t, LINK_BUFFER_SIZE> frameInFlight_{};
  int32_t frameInFlightLength_ = 0;
  FrameHeader inFlight_;
  std::array<uint8_t, LINK_BUFFER_SIZE> receiveBuffer_{};
  int32_t receivedLength_ = 0;

  ExchangeState state_ = ExchangeState::Idle;
  uint8_t repeatCount_ = 0;
  uint32_t sendTick_ = 0;
  int32_t replyTimeoutMs_ = 500;
  int answered_ = 0;
  LinkObserver* observer_ = nullptr;
};

}  // namespace qv31

#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "link/accepted_replies.h"
#include "link/frame_queue.h"
#include "link/link_frame.h"
#include "link/link_observer.h"

namespace qv31 {

// The engine's tick period.
constexpr uint32_t ENGINE_TICK_MS = 10;

// Millisecond tick counter: 32 bits, wrapping; differences are taken as unsigned.
using MsClock = std::function<uint32_t()>;

// The link as the engine sees it: one block in, one block out, never blocking.
class BlockTransport {
 public:
  virtual ~BlockTransport() = default;
  // Takes at most one block into `buffer` (LINK_BUFFER_SIZE bytes); true when one came.
  virtual bool ReceiveBlock(uint8_t* buffer, int32_t& length) = 0;
  virtual bool SendBlock(int32_t length, const uint8_t* data) = 0;
  // The link has gone away under the engine (an unplugged serial adapter).
  virtual bool Lost() const { return false; }
};

// Connect: right after the link opens, only the identity reply counts and a give-up means
// the gateway is not there. Normal: every accepted reply is stored.
enum class EnginePhase : uint8_t { Connect, Normal };

enum class ExchangeEnd : uint8_t {
  Done,      // the queue drained, every frame answered
  TimedOut,  // a frame went unanswered after its repeats; the rest of the queue is dropped
  LinkLost,  // the transport went away; the owner closes the link
};

// How an exchange ended, with its frames answered of those queued since it started.
struct ExchangeOutcome {
  ExchangeEnd end;
  EnginePhase phase;
  int answered;
  int queued;
  // The frame after the answered ones was sent and never answered.
  bool unanswered = false;
  bool operator==(const ExchangeOutcome&) const = default;
};

// What the engine's results go to.
class EngineClient {
 public:
  virtual ~EngineClient() = default;
  // Store an accepted reply's payload (row.length bytes at `payload`; none for a write
  // acknowledgement) where the row says, and refresh what the row names.
  virtual void StoreReply(const AcceptedReply& row, const uint8_t* payload) = 0;
  virtual void ExchangeEnded(const ExchangeOutcome& outcome) = 0;
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
// too (with 500 ms: sends at 0, ~510 and ~1020 ms, time-out at ~1530 ms). Never blocks and
// never sleeps: it is ticked every 10 ms while it has work (HasWork), and once more whenever a
// block arrives.
//
// A reply completes the exchange in flight only when it answers that very request (same
// area; a read reply with the read's address and length; a write acknowledgement while a
// write of that area is in flight). Any other accepted reply is recorded as late and never
// stored: it would put older values over newer ones.
//
// Frames carry no sequence number, so a request sent k times may draw up to k answers, all
// with the same header. Those still to come are remembered, and a later request with that
// header waits until they have arrived, or until they can no longer be expected, before it
// goes out: a stale answer can then never complete it.
class RequestEngine {
 public:
  RequestEngine(BlockTransport& transport, EngineClient& client, MsClock clock);

  // Command builders push finished frames here and then call MarkReady().
  FrameQueue& PendingQueue() { return pending_; }
  int32_t Queue(std::span<const uint8_t> frame);
  void MarkReady();

  // Dialog start: queue emptied, Idle.
  void Reset();
  // The link has just opened: the connect phase begins.
  void StartConnect() { phase_ = EnginePhase::Connect; }

  void SetReplyTimeoutMs(int32_t ms) { replyTimeoutMs_ = ms; }
  int32_t ReplyTimeoutMs() const { return replyTimeoutMs_; }

  // One tick of the current phase.
  void Tick();
  // True while a tick can change something without a block arriving: the connect phase, a
  // frame queued or in flight, or an answered frame whose successor has not gone yet.
  bool HasWork() const { return phase_ == EnginePhase::Connect || state_ != ExchangeState::Idle; }

  EnginePhase Phase() const { return phase_; }
  ExchangeState State() const { return state_; }
  uint8_t RepeatCount() const { return repeatCount_; }
  // While Idle, nothing runs: {0, 0}.
  ExchangeProgress Progress() const;
  // Frames dropped from the queue since the exchange began (the held one included).
  void DropQueue();

  // Told of every block sent and received (nullptr: nobody). The observer outlives its use.
  void SetObserver(LinkObserver* observer) { observer_ = observer; }

 private:
  enum class Received { Nothing, Examined, Completed };
  Received ReceiveAndDispatch(bool connectPhase);
  Received DispatchConnect(const FrameHeader& header, const uint8_t* block, int32_t length,
                           const uint8_t* payload);
  // Returns true when the exchange was abandoned.
  bool CheckTimeout();
  void SendNext(bool connectPhase);
  void Tell(bool sent, const uint8_t* bytes, int32_t length, BlockFate fate);
  void EngineTick();
  void ConnectTick();
  void GiveUp();
  // Answers still to come for a request sent several times.
  struct Echo {
    FrameHeader request;
    int expected;
    uint32_t until;
  };
  void RememberEchoes(bool abandoned);
  bool TakeEcho(const FrameHeader& reply);
  bool EchoPending(const FrameHeader& request);
  ExchangeOutcome OutcomeOf(ExchangeEnd end) const;

  BlockTransport& transport_;
  EngineClient& client_;
  MsClock clock_;

  FrameQueue pending_;
  std::array<uint8_t, LINK_BUFFER_SIZE> frameInFlight_{};
  int32_t frameInFlightLength_ = 0;
  FrameHeader inFlight_;
  // The popped frame waits in frameInFlight_ for the echoes of an earlier one.
  bool held_ = false;
  uint32_t firstSendTick_ = 0;
  std::vector<Echo> echoes_;
  std::array<uint8_t, LINK_BUFFER_SIZE> receiveBuffer_{};
  int32_t receivedLength_ = 0;

  EnginePhase phase_ = EnginePhase::Normal;
  ExchangeState state_ = ExchangeState::Idle;
  uint8_t repeatCount_ = 0;
  uint32_t sendTick_ = 0;
  int32_t replyTimeoutMs_ = 500;
  int answered_ = 0;
  LinkObserver* observer_ = nullptr;
};

}  // namespace qv31

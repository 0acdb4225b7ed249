#include "link/request_engine.h"

#include <algorithm>
#include <utility>

namespace qv31 {

RequestEngine::RequestEngine(BlockTransport& transport, EngineClient& client, MsClock clock)
    : transport_(transport), client_(client), clock_(std::move(clock)) {}

int32_t RequestEngine::Queue(std::span<const uint8_t> frame) {
  return pending_.Push(static_cast<int32_t>(frame.size()), frame.data());
}

void RequestEngine::MarkReady() {
  if (state_ == ExchangeState::Idle) answered_ = 0;
  state_ = ExchangeState::Ready;
}

ExchangeProgress RequestEngine::Progress() const {
  if (state_ == ExchangeState::Idle) return {};
  const int inFlight = state_ == ExchangeState::AwaitingReply || held_ ? 1 : 0;
  return {answered_, answered_ + inFlight + pending_.Count()};
}

void RequestEngine::Tell(bool sent, const uint8_t* bytes, int32_t length, BlockFate fate) {
  if (observer_ == nullptr) return;
  observer_->OnLinkEvent({clock_(), sent, {bytes, static_cast<size_t>(length)}, fate});
}

void RequestEngine::Reset() {
  DropQueue();
  echoes_.clear();
  state_ = ExchangeState::Idle;
}

void RequestEngine::DropQueue() {
  pending_.Clear();
  held_ = false;
}

// A request answered after r repeats may still draw r answers; an abandoned one all of
// its sends. The first answer is taken to answer the first send, so the others are due one
// such delay after their own sends; a reply time-out on top covers a little jitter.
void RequestEngine::RememberEchoes(bool abandoned) {
  const int sends = repeatCount_ + 1;
  const int expected = abandoned ? sends : sends - 1;
  if (expected <= 0) return;
  const uint32_t now = clock_();
  const uint32_t delay = abandoned ? 0 : now - firstSendTick_;
  const uint32_t until =
      (abandoned ? now : sendTick_ + delay) + static_cast<uint32_t>(replyTimeoutMs_);
  for (Echo& e : echoes_) {
    if (e.request == inFlight_) {
      e.expected += expected;
      if (static_cast<int32_t>(until - e.until) > 0) e.until = until;
      return;
    }
  }
  echoes_.push_back({inFlight_, expected, until});
}

bool RequestEngine::TakeEcho(const FrameHeader& reply) {
  for (auto it = echoes_.begin(); it != echoes_.end(); ++it) {
    if (!ReplyAnswers(it->request, reply)) continue;
    if (--it->expected <= 0) echoes_.erase(it);
    return true;
  }
  return false;
}

bool RequestEngine::EchoPending(const FrameHeader& request) {
  const uint32_t now = clock_();
  std::erase_if(echoes_, [now](const Echo& e) { return static_cast<int32_t>(now - e.until) > 0; });
  return std::any_of(echoes_.begin(), echoes_.end(),
                     [&](const Echo& e) { return e.request == request; });
}

void RequestEngine::Tick() {
  if (transport_.Lost()) {
    client_.ExchangeEnded(OutcomeOf(ExchangeEnd::LinkLost));
    return;
  }
  if (phase_ == EnginePhase::Connect) {
    ConnectTick();
  } else {
    EngineTick();
  }
}

ExchangeOutcome RequestEngine::OutcomeOf(ExchangeEnd end) const {
  const ExchangeProgress p = Progress();
  const bool unanswered = end == ExchangeEnd::TimedOut ||
                          (end == ExchangeEnd::LinkLost && state_ == ExchangeState::AwaitingReply);
  return {end, phase_, p.answered, p.total, unanswered};
}

RequestEngine::Received RequestEngine::DispatchConnect(const FrameHeader& header,
                                                       const uint8_t* block, int32_t length,
                                                       const uint8_t* payload) {
  // Only the identity reply counts while connecting. Another identity-area read reply
  // ends the tick; every other block is dropped.
  const AcceptedReply* ident = header.area == AREA_IDENT && header.opCode == OP_READ_REPLY
                                   ? MatchAcceptedReply(header)
                                   : nullptr;
  if (ident == nullptr) {
    Tell(false, block, length, BlockFate::Unmatched);
    return header.area == AREA_IDENT && header.opCode == OP_READ_REPLY ? Received::Examined
                                                                       : Received::Nothing;
  }
  Tell(false, block, length, BlockFate::Completed);
  ++answered_;
  RememberEchoes(false);
  phase_ = EnginePhase::Normal;
  client_.StoreReply(*ident, payload);
  state_ = ExchangeState::Ready;
  return Received::Completed;
}

RequestEngine::Received RequestEngine::ReceiveAndDispatch(bool connectPhase) {
  receiveBuffer_.fill(0);
  receivedLength_ = 0;
  if (!transport_.ReceiveBlock(receiveBuffer_.data(), receivedLength_)) return Received::Nothing;
  if (receivedLength_ > LINK_BUFFER_SIZE) receivedLength_ = LINK_BUFFER_SIZE;
  const auto received = ReceivedBytes(receiveBuffer_.data(), receivedLength_);
  const uint8_t* block = received.data();
  const auto length = static_cast<int32_t>(received.size());
  if (receivedLength_ < 2) {
    Tell(false, block, length, BlockFate::TooShort);
    return Received::Examined;
  }

  const auto header = ValidateBlock(receiveBuffer_.data(), receivedLength_);
  if (!header) {
    Tell(false, block, length, CheckedFate(received));
    return Received::Nothing;
  }
  const uint8_t* payload = receiveBuffer_.data() + FRAME_HEADER_SIZE;

  if (connectPhase) return DispatchConnect(*header, block, length, payload);

  const AcceptedReply* row = MatchAcceptedReply(*header);
  if (row == nullptr) {
    Tell(false, block, length, BlockFate::Unmatched);
    return Received::Nothing;
  }
  // An echo of the very request in flight cannot be pending (it waited for them), so an
  // exact answer is its own; a loose write acknowledgement goes to an expected echo first.
  const bool inFlight = state_ == ExchangeState::AwaitingReply;
  const bool exact = inFlight && ReplyAnswers(inFlight_, *header) &&
                     header->address == inFlight_.address && header->length == inFlight_.length;
  const bool answers =
      exact || (!TakeEcho(*header) && inFlight && ReplyAnswers(inFlight_, *header));
  if (!answers) {
    // Recorded, not stored: the tick goes on as for any other block.
    Tell(false, block, length, BlockFate::Late);
    return Received::Nothing;
  }
  Tell(false, block, length, BlockFate::Completed);
  client_.StoreReply(*row, payload);
  ++answered_;
  RememberEchoes(false);
  state_ = ExchangeState::Ready;
  return Received::Completed;
}

bool RequestEngine::CheckTimeout() {
  if (state_ != ExchangeState::AwaitingReply) return false;
  const uint32_t now = clock_();
  if (now - sendTick_ <= static_cast<uint32_t>(replyTimeoutMs_)) return false;
  // The last repeat gets the same time to be answered as the first two sends: on a slow
  // serial line a reply takes tens of milliseconds to arrive.
  if (repeatCount_ >= 2) return true;
  ++repeatCount_;
  Tell(true, frameInFlight_.data(), frameInFlightLength_, BlockFate::Repeated);
  transport_.SendBlock(frameInFlightLength_, frameInFlight_.data());
  sendTick_ = clock_();
  return false;
}

void RequestEngine::SendNext(bool connectPhase) {
  if (state_ != ExchangeState::Ready) return;
  if (!held_) {
    if (pending_.Count() == 0) {
      if (connectPhase) return;
      const ExchangeOutcome done = OutcomeOf(ExchangeEnd::Done);
      state_ = ExchangeState::Idle;
      client_.ExchangeEnded(done);
      return;
    }
    frameInFlightLength_ = pending_.Pop(LINK_BUFFER_SIZE, frameInFlight_.data());
    if (frameInFlightLength_ < 1) return;
    // The header of what is in flight decides which reply completes it.
    if (frameInFlightLength_ >= FRAME_HEADER_SIZE) {
      const uint8_t* f = frameInFlight_.data();
      inFlight_ = {f[8], f[9], static_cast<uint16_t>(f[10] | (f[11] << 8)),
                   static_cast<uint16_t>(f[12] | (f[13] << 8))};
    } else {
      inFlight_ = {};
    }
  }
  held_ = EchoPending(inFlight_);
  if (held_) return;
  Tell(true, frameInFlight_.data(), frameInFlightLength_, BlockFate::Sent);
  transport_.SendBlock(frameInFlightLength_, frameInFlight_.data());
  state_ = ExchangeState::AwaitingReply;
  repeatCount_ = 0;
  sendTick_ = clock_();
  firstSendTick_ = sendTick_;
}

void RequestEngine::EngineTick() {
  if (ReceiveAndDispatch(false) != Received::Nothing) return;
  if (CheckTimeout()) {
    const ExchangeOutcome timedOut = OutcomeOf(ExchangeEnd::TimedOut);
    GiveUp();
    client_.ExchangeEnded(timedOut);
    return;
  }
  SendNext(false);
}

void RequestEngine::GiveUp() {
  RememberEchoes(true);
  state_ = ExchangeState::Idle;
  DropQueue();
}

void RequestEngine::ConnectTick() {
  if (ReceiveAndDispatch(true) != Received::Nothing) return;
  if (CheckTimeout()) {
    const ExchangeOutcome timedOut = OutcomeOf(ExchangeEnd::TimedOut);
    GiveUp();
    phase_ = EnginePhase::Normal;
    client_.ExchangeEnded(timedOut);
    return;
  }
  SendNext(true);
}

}  // namespace qv31

#include "cli/gateway_session.h"

#include <thread>

#include "params/four_g_group.h"
#include "params/param_frames.h"

namespace qv31 {

GatewaySession::GatewaySession(BlockTransport& link, int32_t replyTimeoutMs,
                               std::function<bool()> lost, std::function<bool()> stop)
    : lost_(std::move(lost)),
      stop_(std::move(stop)),
      gate_(link),
      replyTimeoutMs_(replyTimeoutMs),
      epoch_(std::chrono::steady_clock::now()),
      nextTick_(epoch_),
      engine_(gate_, *this, *this, [this] { return NowMs(); }) {
  engine_.SetReplyTimeoutMs(replyTimeoutMs);
  engine_.SetObserver(this);
}

void GatewaySession::OnLinkEvent(const LinkEvent& event) {
  // The engine tells of a send before the gate refuses it.
  if (observer_ == nullptr || (event.sent && gate_.closed)) return;
  observer_->OnLinkEvent(event);
}

bool GatewaySession::Gate::SendBlock(int32_t length, const uint8_t* data) {
  if (closed) return false;
  lastSend = std::chrono::steady_clock::now();
  return inner_.SendBlock(length, data);
}

uint32_t GatewaySession::NowMs() const {
  const auto elapsed = std::chrono::steady_clock::now() - epoch_;
  return static_cast<uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void GatewaySession::StoreReply(const AcceptedReply& row, const uint8_t* payload) {
  switch (row.target) {
    case ReplyTarget::Params:
      params_.StoreReply(row, payload);
      break;
    case ReplyTarget::Table:
      table_.StoreReply(row, payload);
      grid_.RefreshAcqBlock(table_, row.tableBlock);
      break;
    case ReplyTarget::Ident:
      // The whole text, not the window's first 12 bytes.
      identity_ = VersionText({payload, IDENT_SIZE}, IDENT_SIZE);
      break;
    case ReplyTarget::None:
      break;
  }
}

void GatewaySession::SetStatusText(std::string_view text) { status_ = text; }

void GatewaySession::CloseLink() {
  linkClosed_ = true;
  timers_.clear();
}

void GatewaySession::StartTimer(int id, uint32_t) { timers_.insert(id); }
void GatewaySession::KillTimer(int id) { timers_.erase(id); }

GatewaySession::Outcome GatewaySession::Tick(const std::function<bool()>& finished) {
  // Ticks on a fixed 10 ms grid that runs on across calls, so the tick that completes one
  // run and the first send of the next are never the same tick.
  while (true) {
    std::this_thread::sleep_until(nextTick_);
    nextTick_ += std::chrono::milliseconds(ENGINE_TICK_MS);
    const auto now = std::chrono::steady_clock::now();
    if (nextTick_ < now) nextTick_ = now;
    if (lost_ && lost_()) return Outcome::LinkLost;
    if (!gate_.closed && stop_ && stop_()) {
      gate_.closed = true;
      engine_.PendingQueue().Clear();
    }
    const bool awaiting = engine_.State() == ExchangeState::AwaitingReply;
    if (gate_.closed &&
        (!awaiting || now - gate_.lastSend > std::chrono::milliseconds(replyTimeoutMs_))) {
      return Outcome::Stopped;
    }
    if (timers_.count(TIMER_CONNECT)) {
      engine_.ConnectTick();
    } else if (timers_.count(TIMER_ENGINE)) {
      engine_.EngineTick();
    }
    // One tick takes a frame from the queue or completes the one in flight, never both.
    const bool awaitingNow = engine_.State() == ExchangeState::AwaitingReply;
    if (!awaiting && awaitingNow) ++started_;
    if (awaiting && engine_.State() == ExchangeState::Ready) ++answered_;
    if (linkClosed_) return Outcome::TimedOut;
    if (finished()) return status_ == STATUS_TIMEOUT ? Outcome::TimedOut : Outcome::Done;
  }
}

GatewaySession::Outcome GatewaySession::Connect() {
  for (const auto& frame : QueryVersionFrames()) engine_.Queue(frame);
  engine_.MarkReady();
  status_.clear();
  StartTimer(TIMER_CONNECT, ENGINE_TICK_MS);
  return Tick([this] { return !timers_.count(TIMER_CONNECT); });
}

GatewaySession::Outcome GatewaySession::Run(const std::vector<std::vector<uint8_t>>& frames) {
  for (const auto& frame : frames) engine_.Queue(frame);
  engine_.MarkReady();
  status_.clear();
  answered_ = started_ = 0;
  return Tick([this] { return !status_.empty(); });
}

}  // namespace qv31

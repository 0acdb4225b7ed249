#include "session/gateway_session.h"

#include <utility>

#include "acq/acq_frames.h"
#include "params/four_g_group.h"

namespace qv31 {

GatewaySession::GatewaySession(TimerService& timers, MsClock clock, SessionListener& listener)
    : timers_(timers),
      clock_(std::move(clock)),
      listener_(listener),
      gate_(link_, clock_),
      relay_(*this),
      engine_(gate_, *this, clock_) {
  engine_.SetObserver(&relay_);
}

// Leaving with the link open closes the port or socket without the close sequence.
GatewaySession::~GatewaySession() = default;

bool GatewaySession::Gate::SendBlock(int32_t length, const uint8_t* data) {
  if (closed) return false;
  lastSend = clock_();
  return link_.SendBlock(length, data);
}

void GatewaySession::Relay::OnLinkEvent(const LinkEvent& event) {
  // The engine tells of a send before the gate refuses it.
  if (s_.observer_ == nullptr || (event.sent && s_.gate_.closed)) return;
  s_.observer_->OnLinkEvent(event);
}

void GatewaySession::Tell(bool sent, std::span<const uint8_t> bytes, BlockFate fate) {
  if (observer_ != nullptr) observer_->OnLinkEvent({clock_(), sent, bytes, fate});
}

void GatewaySession::StartConnect() {
  engine_.SetReplyTimeoutMs(link_.ReplyTimeoutMs());
  engine_.StartConnect();
  open_ = true;
  UpdateTicking();
}

void GatewaySession::Close() {
  link_.Close();
  open_ = false;
  UpdateTicking();
}

Frames GatewaySession::QueryFrames(GroupId group) {
  Frames frames;
  for (const FrameHeader& h : Group(group).query.Span()) frames.push_back(EncodeFrame(h));
  return frames;
}

Frames GatewaySession::SetFrames(GroupId group) {
  if (group == GroupId::Acq) grid_.BuildAcqImage(table_);
  return ImageSetFrames(group);
}

Frames GatewaySession::ImageSetFrames(GroupId group) {
  Frames frames;
  for (const FrameHeader& h : Group(group).set.Span()) {
    if (h.opCode != OP_WRITE) {
      frames.push_back(EncodeFrame(h));
      // The 4G write carries word13 as it is now, before the read's reply, and the fixed
      // bytes the gateway expects.
      if (group == GroupId::FourG) params_.SetFixed4G();
    } else if (h.area == AREA_TABLE) {
      frames.push_back(EncodeFrame(h, table_.Bytes().subspan(h.address, h.length)));
    } else {
      frames.push_back(EncodeFrame(h, params_.Window(h.address, h.length)));
    }
  }
  return frames;
}

void GatewaySession::Send(const Frames& frames) {
  for (const auto& f : frames) engine_.Queue(f);
  engine_.MarkReady();
  UpdateTicking();
}

void GatewaySession::QueryAll() {
  Frames frames = QueryFrames(GroupId::Identity);
  for (auto& f : QueryFrames(GroupId::Params)) frames.push_back(std::move(f));
  Send(frames);
  Query(GroupId::Acq);
}

void GatewaySession::SetAll() {
  Frames frames;
  for (const GroupEntry& g : Groups()) {
    for (auto& f : SetFrames(g.id)) frames.push_back(std::move(f));
  }
  Send(frames);
}

void GatewaySession::Halt() {
  gate_.closed = true;
  engine_.DropQueue();
}

bool GatewaySession::Halted() const {
  if (!gate_.closed) return false;
  if (engine_.State() != ExchangeState::AwaitingReply) return true;
  return clock_() - gate_.lastSend > static_cast<uint32_t>(engine_.ReplyTimeoutMs());
}

void GatewaySession::StoreReply(const AcceptedReply& row, const uint8_t* payload) {
  switch (row.target) {
    case ReplyTarget::Params:
      if (params_.StoreReply(row, payload) < 0) return;
      break;
    case ReplyTarget::Table:
      if (table_.StoreReply(row, payload) < 0) return;
      grid_.RefreshAcqBlock(table_, row.tableBlock);
      break;
    case ReplyTarget::Ident:
      std::copy_n(payload, IDENT_SIZE, ident_.begin());
      break;
    case ReplyTarget::None:
      break;
  }
  listener_.ReplyStored(row);
}

void GatewaySession::ExchangeEnded(const ExchangeOutcome& outcome) {
  listener_.ExchangeEnded(outcome);
}

std::string GatewaySession::Identity() const { return VersionText(ident_, IDENT_SIZE); }

// ---- Ticks -----------------------------------------------------------------------------

// A serial line keeps its tick: its receive thread has no way to wake the session yet, and
// a lost adapter is noticed on a tick.
void GatewaySession::UpdateTicking() {
  const bool serial = link_.CurrentKind() == LinkTransport::Kind::Serial;
  const bool wanted = open_ && (engine_.HasWork() || serial);
  if (wanted == ticking_) return;
  ticking_ = wanted;
  if (wanted) {
    timers_.StartTimer(TIMER_ENGINE, ENGINE_TICK_MS);
  } else {
    timers_.KillTimer(TIMER_ENGINE);
  }
}

void GatewaySession::Wake() {
  if (!open_ || ticking_) return;
  ticking_ = true;
  timers_.StartTimer(TIMER_ENGINE, ENGINE_TICK_MS);
}

void GatewaySession::EngineTick() {
  if (!open_) return;
  engine_.Tick();
  UpdateTicking();
}

bool GatewaySession::OnTimer(int id) {
  switch (id) {
    case TIMER_ENGINE:
      EngineTick();
      return true;
    case TIMER_STOP_SEND:
    case TIMER_STOP_DRAIN:
    case TIMER_STOP_END:
      StopTick(id);
      return true;
    default:
      return false;
  }
}

// ---- Stop sequence ---------------------------------------------------------------------

void GatewaySession::StartStop() {
  stopAcknowledged_ = false;
  timers_.StartTimer(TIMER_STOP_SEND, STOP_SEND_MS);
  timers_.StartTimer(TIMER_STOP_DRAIN, STOP_DRAIN_MS);
  timers_.StartTimer(TIMER_STOP_END, STOP_END_MS);
}

// No engine runs during the sequence, so the observer is told what it would have been: the
// frame sent, each block checked and dropped.
void GatewaySession::StopTick(int id) {
  if (id == TIMER_STOP_SEND) {
    const auto frame = StopAcqFrame();
    link_.SendBlock(static_cast<int32_t>(frame.size()), frame.data());
    Tell(true, frame, BlockFate::Sent);
    timers_.KillTimer(TIMER_STOP_SEND);
  } else if (id == TIMER_STOP_DRAIN) {
    std::array<uint8_t, LINK_BUFFER_SIZE> drained{};
    int32_t length = 0;
    if (link_.ReceiveBlock(drained.data(), length)) {
      const auto block = ReceivedBytes(drained.data(), length);
      const auto header = ValidateBlock(drained.data(), static_cast<int32_t>(block.size()));
      // The gateway acknowledges the stop frame with a table-area write acknowledgement.
      const bool ack = header && header->area == AREA_TABLE && header->opCode == OP_WRITE_ACK;
      stopAcknowledged_ = stopAcknowledged_ || ack;
      Tell(false, block, ack ? BlockFate::StopAnswer : DrainedFate(block));
    }
  } else {
    for (const int t : {TIMER_STOP_SEND, TIMER_STOP_DRAIN, TIMER_STOP_END}) timers_.KillTimer(t);
    link_.Close();
    listener_.StopFinished();
  }
}

}  // namespace qv31

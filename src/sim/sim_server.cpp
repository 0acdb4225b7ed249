#include "sim/sim_server.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "link/link_observer.h"
#include "sim/state_file.h"

namespace qv31 {
namespace {

// One UDP datagram larger than a link buffer must still be recognised as too long.
constexpr size_t RX_BUFFER_SIZE = LINK_BUFFER_SIZE + 1;
constexpr int32_t LINE_READ_CHUNK = 4096;
constexpr int UDP_DATAGRAMS_PER_WAKE = 64;
// Replies waiting for a line that nobody reads are bounded; a client that only writes must
// not grow the simulator without end.
constexpr size_t LINE_TX_MAX = size_t{64} * 1024;

}  // namespace

SimServer::SimServer(GatewayMemory& memory, const SimSettings& settings, std::FILE* log)
    : memory_(memory),
      settings_(settings),
      log_(log),
      faults_(settings.faults),
      start_(Clock::now()),
      rxBuffer_(std::max<size_t>(RX_BUFFER_SIZE, LINE_READ_CHUNK)) {
  if (settings_.paceBaud != 0) {
    // 10 bits per byte: start bit, 8 data bits, stop bit.
    byteTime_ = std::chrono::duration_cast<Clock::duration>(
        std::chrono::nanoseconds(10'000'000'000LL / settings_.paceBaud));
  }
}

void SimServer::AddUdp(UdpListener& listener) { udp_.push_back(&listener); }

void SimServer::AddLine(ByteLine& line) {
  lines_.push_back(LineState{&line, StreamFramer(), {}, {}, {}, 0, true});
}

uint64_t SimServer::MsSinceStart(Clock::time_point t) const {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(t - start_).count());
}

void SimServer::Log(const std::string& line) {
  if (log_ == nullptr) return;
  std::fprintf(log_, "%s %s\n", WallClockStamp().c_str(), line.c_str());
  std::fflush(log_);
}

int SimServer::SaveState() {
  if (settings_.statePath.empty()) return 0;
  std::string error;
  if (SaveStateFile(settings_.statePath, memory_, error) < 0) {
    Log("cannot save the state: " + error);
    return -1;
  }
  return 1;
}

std::string SimServer::SourceName(int udp, int line, const UdpPeer& peer) const {
  if (udp >= 0) return "udp " + udp_[udp]->Name() + " peer " + peer.Text();
  return lines_[line].line->Name();
}

void SimServer::Handle(int udp, int line, const UdpPeer& peer, std::span<const uint8_t> frame,
                       Clock::time_point now) {
  const std::string source = settings_.verbose ? SourceName(udp, line, peer) : std::string();
  if (settings_.verbose) Log("in  " + source + ": " + HexText(frame));
  GatewayAnswer answer = memory_.Answer(frame);
  if (answer.reply.empty()) {
    if (settings_.verbose) Log("    refused: " + std::string(VerdictText(answer.verdict)));
    return;
  }
  if (answer.stored) SaveState();
  ShapedReply shaped = faults_.Shape(std::move(answer.reply));
  if (settings_.verbose) {
    const std::string faults = shaped.Describe(faults_.Options());
    if (shaped.action != FaultAction::Send) {
      Log("    " + faults);
    } else {
      Log(std::string("    answered ") + (answer.stored ? "write" : "read") +
          (faults.empty() ? "" : " (" + faults + ")"));
    }
  }
  for (ReplyPart& part : shaped.parts) {
    // Never before anything already scheduled: the second half of a split reply must not be
    // overtaken by the next reply.
    lastDue_ = std::max(lastDue_, now + std::chrono::milliseconds(part.afterMs));
    Scheduled item{lastDue_, scheduled_++, udp, line, peer, std::move(part.bytes)};
    if (lastDue_ <= now && schedule_.empty()) {
      Send(item);
    } else {
      schedule_.push(std::move(item));
    }
  }
}

void SimServer::Send(Scheduled& item) {
  if (settings_.verbose) {
    Log("out " + SourceName(item.udp, item.line, item.peer) + ": " + HexText(item.bytes));
  }
  if (item.udp >= 0) {
    if (!udp_[item.udp]->Send(item.peer, item.bytes) && settings_.verbose) {
      Log("    not sent: the socket refused the datagram");
    }
    return;
  }
  LineState& state = lines_[item.line];
  if (!state.alive) return;
  if (state.tx.size() + item.bytes.size() > LINE_TX_MAX) {
    Log(state.line->Name() + ": reply discarded, nobody is reading the line");
    return;
  }
  if (state.tx.empty()) state.lineFreeAt = std::max(state.lineFreeAt, Clock::now());
  state.tx.insert(state.tx.end(), item.bytes.begin(), item.bytes.end());
  FlushLine(state, Clock::now());
}

void SimServer::RunDue(Clock::time_point now) {
  while (!schedule_.empty() && schedule_.top().due <= now) {
    Scheduled item = schedule_.top();
    schedule_.pop();
    Send(item);
  }
}

void SimServer::FlushLine(LineState& state, Clock::time_point now) {
  while (state.alive && !state.tx.empty()) {
    size_t allowed = state.tx.size();
    if (settings_.paceBaud != 0) {
      // A byte may go once the line has had time to send the one before it.
      if (now < state.lineFreeAt + byteTime_) return;
      allowed =
          std::min<size_t>(allowed, static_cast<size_t>((now - state.lineFreeAt) / byteTime_));
    }
    uint8_t chunk[LINE_READ_CHUNK];
    const size_t n = std::min(allowed, sizeof chunk);
    std::copy_n(state.tx.begin(), n, chunk);
    const int32_t written = state.line->Write(chunk, static_cast<int32_t>(n));
    if (written < 0) {
      LoseLine(state, "write failed");
      return;
    }
    if (written == 0) return;  // the line is full; poll says when it drains
    state.tx.erase(state.tx.begin(), state.tx.begin() + written);
    state.lineFreeAt += byteTime_ * written;
  }
}

void SimServer::LoseLine(LineState& state, const char* why) {
  if (!state.alive) return;
  state.alive = false;
  state.tx.clear();
  Log(state.line->Name() + " lost (" + why + "); no longer served");
}

void SimServer::ReadUdp(int index) {
  for (int k = 0; k < UDP_DATAGRAMS_PER_WAKE; ++k) {
    UdpPeer peer;
    const int32_t n =
        udp_[index]->Receive(std::span<uint8_t>(rxBuffer_.data(), RX_BUFFER_SIZE), peer);
    if (n <= 0) return;
    const auto size = std::min<size_t>(static_cast<size_t>(n), RX_BUFFER_SIZE);
    Handle(index, -1, peer, std::span<const uint8_t>(rxBuffer_.data(), size), Clock::now());
  }
}

void SimServer::ReadLine(int index, Clock::time_point now) {
  LineState& state = lines_[index];
  const int32_t n = state.line->Read(rxBuffer_.data(), LINE_READ_CHUNK);
  if (n < 0) {
    LoseLine(state, "read failed or hung up");
    return;
  }
  if (n == 0) return;
  state.lastRead = now;
  state.framer.Feed(std::span<const uint8_t>(rxBuffer_.data(), static_cast<size_t>(n)),
                    MsSinceStart(now));
  TakeFrames(index, now);
}

void SimServer::TakeFrames(int index, Clock::time_point now) {
  LineState& state = lines_[index];
  while (auto frame = state.framer.Next(MsSinceStart(now))) {
    Handle(-1, index, UdpPeer{}, *frame, now);
  }
  if (settings_.verbose && state.framer.SkippedBytes() != state.skippedLogged) {
    Log("    " + state.line->Name() + ": skipped " +
        std::to_string(state.framer.SkippedBytes() - state.skippedLogged) +
        " bytes that start no frame");
    state.skippedLogged = state.framer.SkippedBytes();
  }
}

bool SimServer::NextDeadline(Clock::time_point now, Clock::time_point& deadline) const {
  bool any = false;
  auto consider = [&](Clock::time_point t) {
    if (!any || t < deadline) deadline = t;
    any = true;
  };
  if (!schedule_.empty()) consider(schedule_.top().due);
  for (const LineState& s : lines_) {
    if (!s.alive) continue;
    if (settings_.paceBaud != 0 && !s.tx.empty()) consider(s.lineFreeAt + byteTime_);
    if (s.framer.BufferedBytes() > 0) {
      consider(s.lastRead + std::chrono::milliseconds(STREAM_STALL_MS + 1));
    }
  }
  if (any && deadline < now) deadline = now;
  return any;
}

void SimServer::Tick(Clock::time_point now) {
  RunDue(now);
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (!lines_[i].alive) continue;
    FlushLine(lines_[i], now);
    if (lines_[i].framer.BufferedBytes() > 0) TakeFrames(static_cast<int>(i), now);
  }
}

bool SimServer::AnyAlive() const {
  return !udp_.empty() ||
         std::any_of(lines_.begin(), lines_.end(), [](const LineState& s) { return s.alive; });
}

}  // namespace qv31

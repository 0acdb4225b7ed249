#include "transport/gateway_search.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>

#include "link/link_frame.h"
#include "transport/identity_probe.h"

namespace qv31 {
namespace {

constexpr uint32_t MAX_RANGE_SIZE = 65536;  // a /16
constexpr int32_t POLL_SLICE_MS = 50;
constexpr int32_t NO_BUFFERS_PAUSE_MS = 10;

// A dotted quad of four decimal numbers 0 to 255, nothing else.
bool ParseIpv4(std::string_view text, uint32_t& out) {
  out = 0;
  size_t at = 0;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && (at >= text.size() || text[at++] != '.')) return false;
    const size_t start = at;
    uint32_t value = 0;
    while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
    }
    if (at == start || value > 255) return false;
    out = out << 8 | value;
  }
  return at == text.size();
}

bool ParsePrefix(std::string_view text, int& prefix) {
  if (text.empty() || text.size() > 2) return false;
  prefix = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
    prefix = prefix * 10 + (c - '0');
  }
  return prefix >= 16 && prefix <= 32;
}

// Whether `a` was reached by the time `now` (a wrapping millisecond clock).
bool Reached(uint32_t now, uint32_t a) { return static_cast<int32_t>(now - a) >= 0; }

}  // namespace

int32_t ExpandAddressRange(std::string_view text, std::vector<uint32_t>& out) {
  uint32_t first = 0;
  uint32_t last = 0;
  if (const size_t slash = text.find('/'); slash != std::string_view::npos) {
    int prefix = 0;
    if (!ParseIpv4(text.substr(0, slash), first) || !ParsePrefix(text.substr(slash + 1), prefix)) {
      return -1;
    }
    const uint32_t hostBits = prefix == 32 ? 0 : (uint32_t{1} << (32 - prefix)) - 1;
    first &= ~hostBits;
    last = first | hostBits;
    if (prefix <= 30) ++first, --last;
  } else if (const size_t dash = text.find('-'); dash != std::string_view::npos) {
    if (!ParseIpv4(text.substr(0, dash), first) || !ParseIpv4(text.substr(dash + 1), last) ||
        last < first || last - first >= MAX_RANGE_SIZE) {
      return -1;
    }
  } else if (!ParseIpv4(text, first)) {
    return -1;
  } else {
    last = first;
  }
  for (uint32_t a = first;; ++a) {
    out.push_back(a);
    if (a == last) break;
  }
  return static_cast<int32_t>(last - first + 1);
}

std::vector<uint32_t> LocalBroadcastTargets() {
  std::vector<uint32_t> targets;
  for (const uint32_t address : InterfaceBroadcastAddresses()) {
    if (std::find(targets.begin(), targets.end(), address) == targets.end()) {
      targets.push_back(address);
    }
  }
  targets.push_back(0xFFFFFFFF);
  return targets;
}

std::string Ipv4Text(uint32_t address) {
  char text[16];
  std::snprintf(text, sizeof text, "%u.%u.%u.%u", address >> 24, (address >> 16) & 0xFF,
                (address >> 8) & 0xFF, address & 0xFF);
  return text;
}

GatewaySearch::~GatewaySearch() { socket_.Close(); }

bool GatewaySearch::Start(std::vector<uint32_t> targets, uint16_t port, uint32_t nowMs,
                          SearchTiming timing) {
  found_.clear();
  answered_.clear();
  errorText_.clear();
  sent_ = 0;
  phase_ = Phase::Done;
  if (!socket_.Open(errorText_)) return false;
  std::sort(targets.begin(), targets.end());
  targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
  targets_ = std::move(targets);
  port_ = port;
  timing_ = timing;
  round_ = 0;
  next_ = 0;
  phase_ = Phase::Sending;
  Step(nowMs);
  return true;
}

void GatewaySearch::TakeReplies() {
  std::array<uint8_t, LINK_BUFFER_SIZE> buffer{};
  FoundGateway gateway;
  for (int32_t n; (n = socket_.Receive(buffer, gateway.address, gateway.port)) > 0;) {
    if (n > LINK_BUFFER_SIZE) continue;
    auto identity = IdentityFromReply({buffer.data(), static_cast<size_t>(n)});
    if (!identity) continue;
    gateway.identity = std::move(*identity);
    answered_.insert(gateway.address);
    const auto at = std::lower_bound(
        found_.begin(), found_.end(), gateway, [](const FoundGateway& a, const FoundGateway& b) {
          return a.address != b.address ? a.address < b.address : a.port < b.port;
        });
    if (at != found_.end() && at->address == gateway.address && at->port == gateway.port) continue;
    found_.insert(at, gateway);
  }
}

void GatewaySearch::SendRound(uint32_t nowMs) {
  static const std::vector<uint8_t> request = IdentityRequest();
  held_ = SearchSocket::Sent::Done;
  for (; next_ < targets_.size(); ++next_) {
    const uint32_t target = targets_[next_];
    if (round_ > 0 && answered_.count(target) != 0) continue;
    const SearchSocket::Sent result = socket_.SendTo(target, port_, request);
    if (result == SearchSocket::Sent::Full || result == SearchSocket::Sent::NoBuffers) {
      held_ = result;
      return;
    }
    // An address the system refuses (no route, a broadcast it will not send) is skipped.
    if (result == SearchSocket::Sent::Done) ++sent_;
  }
  if (round_ == 0) {
    phase_ = Phase::Pausing;
    phaseEndsMs_ = nowMs + static_cast<uint32_t>(timing_.repeatAfterMs);
  } else {
    phase_ = Phase::Collecting;
    phaseEndsMs_ = nowMs + static_cast<uint32_t>(timing_.replyTimeoutMs);
  }
}

bool GatewaySearch::Step(uint32_t nowMs) {
  if (phase_ == Phase::Done) return false;
  TakeReplies();
  if (phase_ == Phase::Pausing && Reached(nowMs, phaseEndsMs_)) {
    round_ = 1;
    next_ = 0;
    phase_ = Phase::Sending;
  }
  if (phase_ == Phase::Sending) SendRound(nowMs);
  if (phase_ == Phase::Collecting && Reached(nowMs, phaseEndsMs_)) Stop();
  return phase_ != Phase::Done;
}

void GatewaySearch::Stop() {
  if (socket_.IsOpen()) TakeReplies();
  phase_ = Phase::Done;
  socket_.Close();
}

void GatewaySearch::Wait(int32_t ms) const {
  if (socket_.IsOpen())
    socket_.Wait(ms, phase_ == Phase::Sending && held_ == SearchSocket::Sent::Full);
}

int32_t GatewaySearch::WaitMs(uint32_t nowMs) const {
  if (phase_ == Phase::Done) return 0;
  if (phase_ == Phase::Sending) {
    if (held_ == SearchSocket::Sent::Full) return POLL_SLICE_MS;
    return held_ == SearchSocket::Sent::NoBuffers ? NO_BUFFERS_PAUSE_MS : 0;
  }
  const auto left = static_cast<int32_t>(phaseEndsMs_ - nowMs);
  return std::max(left, 0);
}

uint32_t SteadyMs32() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool RunGatewaySearch(GatewaySearch& search, std::vector<uint32_t> targets, uint16_t port,
                      SearchTiming timing, const std::function<bool()>& keepGoing) {
  if (!search.Start(std::move(targets), port, SteadyMs32(), timing)) return false;
  while (search.Running()) {
    if (keepGoing && !keepGoing()) {
      search.Stop();
      break;
    }
    search.Wait(std::min(search.WaitMs(SteadyMs32()), POLL_SLICE_MS));
    search.Step(SteadyMs32());
  }
  return true;
}

}  // namespace qv31

#include "transport/gateway_search.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "link/link_frame.h"
#include "transport/identity_probe.h"

namespace qv31 {
namespace {

constexpr uint32_t MAX_RANGE_SIZE = 65536;  // a /16
constexpr int SEND_BUFFER_BYTES = 1 << 20;  // the system clamps it to its own limit
constexpr int32_t POLL_SLICE_MS = 50;

bool ParseIpv4(std::string_view text, uint32_t& out) {
  const std::string s(text);
  in_addr a{};
  if (inet_pton(AF_INET, s.c_str(), &a) != 1) return false;
  out = ntohl(a.s_addr);
  return true;
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
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) == 0) {
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
      const unsigned flags = i->ifa_flags;
      if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || i->ifa_addr == nullptr ||
          i->ifa_addr->sa_family != AF_INET || i->ifa_broadaddr == nullptr) {
        continue;
      }
      const auto* b = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
      const uint32_t address = ntohl(b->sin_addr.s_addr);
      if (std::find(targets.begin(), targets.end(), address) == targets.end()) {
        targets.push_back(address);
      }
    }
    freeifaddrs(list);
  }
  targets.push_back(INADDR_BROADCAST);
  return targets;
}

std::string Ipv4Text(uint32_t address) {
  in_addr a{htonl(address)};
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a, text, sizeof text);
  return text;
}

GatewaySearch::~GatewaySearch() { Close(); }

void GatewaySearch::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool GatewaySearch::Start(std::vector<uint32_t> targets, uint16_t port, uint32_t nowMs,
                          SearchTiming timing) {
  Close();
  found_.clear();
  answered_.clear();
  errorText_.clear();
  sent_ = 0;
  phase_ = Phase::Done;
  fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (fd_ < 0 || ::bind(fd_, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    errorText_ = std::strerror(errno);
    Close();
    return false;
  }
  const int on = 1;
  ::setsockopt(fd_, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &SEND_BUFFER_BYTES, sizeof SEND_BUFFER_BYTES);
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
  for (;;) {
    sockaddr_in from{};
    socklen_t size = sizeof from;
    const ssize_t n = ::recvfrom(fd_, buffer.data(), buffer.size(), MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&from), &size);
    if (n < 0 && (errno == EINTR || errno == ECONNREFUSED)) continue;
    if (n < 0) return;
    if (static_cast<size_t>(n) > buffer.size()) continue;
    auto identity = IdentityFromReply({buffer.data(), static_cast<size_t>(n)});
    if (!identity) continue;
    FoundGateway gateway{ntohl(from.sin_addr.s_addr), ntohs(from.sin_port), std::move(*identity)};
    answered_.insert(gateway.address);
    const auto at = std::lower_bound(
        found_.begin(), found_.end(), gateway, [](const FoundGateway& a, const FoundGateway& b) {
          return a.address != b.address ? a.address < b.address : a.port < b.port;
        });
    if (at != found_.end() && at->address == gateway.address && at->port == gateway.port) continue;
    found_.insert(at, std::move(gateway));
  }
}

void GatewaySearch::SendRound(uint32_t nowMs) {
  static const std::vector<uint8_t> request = IdentityRequest();
  blocked_ = false;
  for (; next_ < targets_.size(); ++next_) {
    const uint32_t target = targets_[next_];
    if (round_ > 0 && answered_.count(target) != 0) continue;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(target);
    to.sin_port = htons(port_);
    const ssize_t n = ::sendto(fd_, request.data(), request.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
      blocked_ = true;
      return;
    }
    if (n < 0 && errno == EINTR) {
      --next_;
      continue;
    }
    // Any other refusal (no route, a broadcast the system will not send) skips the address.
    if (n > 0) ++sent_;
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
  if (fd_ >= 0) TakeReplies();
  phase_ = Phase::Done;
  Close();
}

short GatewaySearch::PollEvents() const {
  return static_cast<short>(POLLIN | (phase_ == Phase::Sending && blocked_ ? POLLOUT : 0));
}

int32_t GatewaySearch::WaitMs(uint32_t nowMs) const {
  if (phase_ == Phase::Done) return 0;
  if (phase_ == Phase::Sending) return blocked_ ? POLL_SLICE_MS : 0;
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
    pollfd p{search.Fd(), search.PollEvents(), 0};
    ::poll(&p, 1, std::min(search.WaitMs(SteadyMs32()), POLL_SLICE_MS));
    search.Step(SteadyMs32());
  }
  return true;
}

}  // namespace qv31

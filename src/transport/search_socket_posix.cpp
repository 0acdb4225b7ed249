#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "transport/search_socket.h"
#include "transport/udp_address.h"

namespace qv31 {
namespace {

constexpr int SEND_BUFFER_BYTES = 1 << 20;  // the system clamps it to its own limit

}  // namespace

SearchSocket::~SearchSocket() { Close(); }

bool SearchSocket::Open(std::string& error) {
  Close();
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  socket_ = fd;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    error = std::strerror(errno);
    Close();
    return false;
  }
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &SEND_BUFFER_BYTES, sizeof SEND_BUFFER_BYTES);
  return true;
}

void SearchSocket::Close() {
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
  socket_ = -1;
}

SearchSocket::Sent SearchSocket::SendTo(uint32_t address, uint16_t port,
                                        std::span<const uint8_t> bytes) {
  const sockaddr_in to = Ipv4Endpoint(htonl(address), htons(port));
  for (;;) {
    const ssize_t n = ::sendto(static_cast<int>(socket_), bytes.data(), bytes.size(), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n >= 0) return Sent::Done;
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return Sent::Full;
    if (errno == ENOBUFS) return Sent::NoBuffers;
    return Sent::Refused;  // no route, a broadcast the system will not send, ...
  }
}

int32_t SearchSocket::Receive(std::span<uint8_t> buffer, uint32_t& fromAddress,
                              uint16_t& fromPort) {
  for (;;) {
    sockaddr_in from{};
    socklen_t size = sizeof from;
    // MSG_TRUNC: the result is the datagram's full size, so one that did not fit is known.
    const ssize_t n = ::recvfrom(static_cast<int>(socket_), buffer.data(), buffer.size(), MSG_TRUNC,
                                 reinterpret_cast<sockaddr*>(&from), &size);
    // A "port unreachable" from an earlier send is not a datagram.
    if (n < 0 && (errno == EINTR || errno == ECONNREFUSED)) continue;
    if (n <= 0) return 0;
    fromAddress = ntohl(from.sin_addr.s_addr);
    fromPort = ntohs(from.sin_port);
    return static_cast<int32_t>(std::min<ssize_t>(n, INT32_MAX));
  }
}

void SearchSocket::Wait(int32_t ms, bool forSending) const {
  pollfd p{static_cast<int>(socket_), static_cast<short>(POLLIN | (forSending ? POLLOUT : 0)), 0};
  ::poll(&p, 1, std::max(ms, 0));
}

std::vector<uint32_t> InterfaceBroadcastAddresses() {
  std::vector<uint32_t> found;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return found;
  for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
    const unsigned flags = i->ifa_flags;
    if ((flags & IFF_UP) == 0 || (flags & IFF_BROADCAST) == 0 || i->ifa_addr == nullptr ||
        i->ifa_addr->sa_family != AF_INET || i->ifa_broadaddr == nullptr) {
      continue;
    }
    const auto* b = reinterpret_cast<const sockaddr_in*>(i->ifa_broadaddr);
    found.push_back(ntohl(b->sin_addr.s_addr));
  }
  freeifaddrs(list);
  return found;
}

}  // namespace qv31

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/udp_listener.h"
#include "transport/udp_address.h"

namespace qv31 {

void UdpListener::Close() {
  if (fd_ >= 0) close(static_cast<int>(fd_));
  fd_ = -1;
}

int UdpListener::Open(const std::string& host, uint16_t port, std::string& error) {
  Close();
  sockaddr_in want = Ipv4Endpoint(0, htons(port));
  if (const int rc = ResolveIpv4(host, want.sin_addr); rc != 0) {
    error = "cannot resolve " + host + ": " + gai_strerror(rc);
    return -1;
  }
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return -1;
  }
  if (bind(static_cast<int>(fd_), reinterpret_cast<const sockaddr*>(&want), sizeof want) != 0) {
    error = "cannot listen on UDP " + EndpointText(want) + ": " + std::strerror(errno);
    Close();
    return -1;
  }
  socklen_t len = sizeof bound_;
  getsockname(static_cast<int>(fd_), reinterpret_cast<sockaddr*>(&bound_), &len);
  return 1;
}

int32_t UdpListener::Receive(std::span<uint8_t> buffer, UdpPeer& from) {
  socklen_t len = sizeof from.address;
  // MSG_TRUNC makes the result the datagram's real size, so an oversized one is recognised.
  const ssize_t n = recvfrom(static_cast<int>(fd_), buffer.data(), buffer.size(), MSG_TRUNC,
                             reinterpret_cast<sockaddr*>(&from.address), &len);
  if (n >= 0) return static_cast<int32_t>(std::min<ssize_t>(n, INT32_MAX));
  // A refused earlier reply (ICMP port unreachable) surfaces here; it is not our error.
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNREFUSED) return 0;
  return -1;
}

bool UdpListener::Send(const UdpPeer& to, std::span<const uint8_t> bytes) {
  const ssize_t n = sendto(static_cast<int>(fd_), bytes.data(), bytes.size(), 0,
                           reinterpret_cast<const sockaddr*>(&to.address), sizeof to.address);
  return n == static_cast<ssize_t>(bytes.size());
}

}  // namespace qv31

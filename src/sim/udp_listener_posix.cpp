#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "sim/udp_listener.h"

namespace qv31 {
namespace {

std::string AddressText(const sockaddr_in& a) {
  char host[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a.sin_addr, host, sizeof host);
  return std::string(host) + ":" + std::to_string(ntohs(a.sin_port));
}

bool Resolve(const std::string& host, in_addr& out, std::string& error) {
  if (inet_pton(AF_INET, host.c_str(), &out) == 1) return true;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    error = "cannot resolve " + host + ": " + gai_strerror(rc);
    return false;
  }
  out = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return true;
}

}  // namespace

std::string UdpPeer::Text() const { return AddressText(address); }

UdpListener::~UdpListener() { Close(); }

void UdpListener::Close() {
  if (fd_ >= 0) close(static_cast<int>(fd_));
  fd_ = -1;
}

int UdpListener::Open(const std::string& host, uint16_t port, std::string& error) {
  Close();
  sockaddr_in want{};
  want.sin_family = AF_INET;
  want.sin_port = htons(port);
  if (!Resolve(host, want.sin_addr, error)) return -1;
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    error = std::string("cannot create a UDP socket: ") + std::strerror(errno);
    return -1;
  }
  if (bind(static_cast<int>(fd_), reinterpret_cast<const sockaddr*>(&want), sizeof want) != 0) {
    error = "cannot listen on UDP " + AddressText(want) + ": " + std::strerror(errno);
    Close();
    return -1;
  }
  socklen_t len = sizeof bound_;
  getsockname(static_cast<int>(fd_), reinterpret_cast<sockaddr*>(&bound_), &len);
  return 1;
}

std::string UdpListener::Name() const { return AddressText(bound_); }
uint16_t UdpListener::Port() const { return ntohs(bound_.sin_port); }

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

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "transport/udp_link.h"

namespace qv31 {
UdpLink::~UdpLink() { Close(); }

bool UdpLink::IsOpen() const { return socket_ >= 0; }

void UdpLink::Fail(UdpError error, int errorNumber) {
  error_ = error;
  errorNumber_ = errorNumber;
}

bool UdpLink::Open(std::string_view addressText, int32_t port) {
  Close();
  Fail(UdpError::None, 0);
  socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    Fail(UdpError::Socket, errno);
    return false;
  }
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = 0;
  if (::bind(Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int e = errno;
    Close();
    Fail(UdpError::Socket, e);
    return false;
  }
  Resolve(addressText, port);
  return true;
}

bool UdpLink::Resolve(std::string_view addressText, int32_t port) {
  if (port < 1 || port > 65535) {
    Fail(UdpError::BadPort, 0);
    return false;
  }
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const std::string host(addressText);
  const int rc = host.empty() ? EAI_NONAME : ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0 || found == nullptr) {
    Fail(UdpError::Unresolved, 0);
    return false;
  }
  targetAddress_ = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
  ::freeaddrinfo(found);
  targetPort_ = htons(static_cast<uint16_t>(port));
  hasTarget_ = true;
  return true;
}

void UdpLink::Close() {
  if (socket_ >= 0) ::close(Fd());
  socket_ = -1;
  hasTarget_ = false;
}

int32_t UdpLink::Send(const uint8_t* data, int32_t length) {
  if (data == nullptr || length < 1) return -1;
  if (socket_ < 0 || !hasTarget_) return 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = targetAddress_;
  to.sin_port = targetPort_;
  const ssize_t n = ::sendto(Fd(), data, static_cast<size_t>(length), 0,
                             reinterpret_cast<const sockaddr*>(&to), sizeof to);
  return n == length ? length : 0;
}

int32_t UdpLink::Receive(uint8_t* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity < 1) return -1;
  if (socket_ < 0) return 0;
  iovec io{buffer, static_cast<size_t>(capacity)};
  msghdr message{};
  message.msg_iov = &io;
  message.msg_iovlen = 1;
  for (;;) {
    const ssize_t n = ::recvmsg(Fd(), &message, 0);
    if (n < 0 && errno == EINTR) continue;
    // Nothing waiting, an ICMP "port unreachable" (ECONNREFUSED) or another error: no block.
    if (n <= 0) return 0;
    // A datagram longer than the buffer is dropped whole rather than delivered cut.
    if ((message.msg_flags & MSG_TRUNC) != 0) return 0;
    return static_cast<int32_t>(n);
  }
}

uint16_t UdpLink::LocalPort() const {
  if (socket_ < 0) return 0;
  sockaddr_in local{};
  socklen_t size = sizeof local;
  if (::getsockname(Fd(), reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

}  // namespace qv31

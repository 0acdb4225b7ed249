#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "transport/udp_address.h"
#include "transport/udp_link.h"

namespace qv31 {

bool UdpLink::IsOpen() const { return socket_ >= 0; }

bool UdpLink::OpenSocket(int& errorNumber) {
  socket_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket_ < 0) {
    errorNumber = errno;
    return false;
  }
  const sockaddr_in local = Ipv4Endpoint(htonl(INADDR_ANY), 0);
  if (::bind(Fd(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    errorNumber = errno;
    Close();
    return false;
  }
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
  const sockaddr_in to = Ipv4Endpoint(targetAddress_, targetPort_);
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

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv31 {

// A datagram socket towards one target: bound to 0.0.0.0 on a port the system chooses,
// non-blocking, one block per datagram. Replies are taken from any sender.
class UdpLink {
 public:
  UdpLink() = default;
  ~UdpLink();
  UdpLink(const UdpLink&) = delete;
  UdpLink& operator=(const UdpLink&) = delete;

  // Creates and binds the socket (closing an open one first) and resolves the target once:
  // `addressText` is an IPv4 literal or a host name, `port` 1 to 65535. False only when the
  // socket cannot be created; an unusable target leaves the socket open, makes every Send
  // fail and is explained by TargetError().
  bool Open(std::string_view addressText, int32_t port);
  void Close();
  bool IsOpen() const { return fd_ >= 0; }
  // The socket, for a readiness notifier; -1 while closed.
  int Fd() const { return fd_; }

  // Sends one datagram. -1 for a bad argument; 0 when nothing was sent (closed, no target,
  // send error); else `length`.
  int32_t Send(const uint8_t* data, int32_t length);
  // Takes at most one waiting datagram, from any sender, without waiting. -1 for a bad
  // argument; 0 when none is waiting, on an error (a "port unreachable" report included) or
  // when the datagram did not fit in `capacity` (it is dropped whole, never cut); else its
  // length.
  int32_t Receive(uint8_t* buffer, int32_t capacity);

  // The local port the system chose; 0 when closed.
  uint16_t LocalPort() const;
  bool HasTarget() const { return hasTarget_; }
  // Why the last Open failed or left no target; empty when all is well.
  const std::string& ErrorText() const { return errorText_; }

 private:
  int fd_ = -1;
  bool hasTarget_ = false;
  uint32_t targetAddress_ = 0;  // network byte order
  uint16_t targetPort_ = 0;     // network byte order
  std::string errorText_;
};

}  // namespace qv31

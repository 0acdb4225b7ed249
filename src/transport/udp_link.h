#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qv31 {

// Why a UDP link cannot reach its target.
enum class UdpError : uint8_t {
  None = 0,
  Socket,      // the socket could not be created or bound (ErrorNumber says why)
  BadPort,     // the target port is outside 1..65535
  Unresolved,  // the target address is empty or does not resolve
};

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
  // fail and is told by Error().
  bool Open(std::string_view addressText, int32_t port);
  void Close();
  bool IsOpen() const;
  // The socket, for a readiness notifier: a descriptor, or a SOCKET on Windows; -1 while closed.
  int Fd() const { return static_cast<int>(socket_); }

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
  // Why the last Open failed or left no target; None when all is well.
  UdpError Error() const { return error_; }
  // The system's error code behind UdpError::Socket (errno, or WSAGetLastError on Windows).
  int ErrorNumber() const { return errorNumber_; }

 private:
  // The system's part of Open: creates the socket and binds it. False, with the socket closed
  // and the system's error code in `errorNumber`, when either fails.
  bool OpenSocket(int& errorNumber);
  bool Resolve(std::string_view addressText, int32_t port);
  void Fail(UdpError error, int errorNumber);

  // The socket: a descriptor on Linux, a SOCKET on Windows; -1 (INVALID_SOCKET) when closed.
  intptr_t socket_ = -1;
  bool hasTarget_ = false;
  uint32_t targetAddress_ = 0;  // network byte order
  uint16_t targetPort_ = 0;     // network byte order
  UdpError error_ = UdpError::None;
  int errorNumber_ = 0;
};

}  // namespace qv31

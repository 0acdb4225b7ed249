#pragma once

#ifdef _WIN32
#include <winsock2.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qv31 {

// Where a datagram came from, and so where its reply goes.
struct UdpPeer {
  sockaddr_in address{};
  std::string Text() const;  // "127.0.0.1:40000"
};

// One UDP socket the simulator listens on (IPv4, non-blocking).
class UdpListener {
 public:
  UdpListener() = default;
  ~UdpListener();
  UdpListener(const UdpListener&) = delete;
  UdpListener& operator=(const UdpListener&) = delete;

  // Binds to `host` (an IPv4 literal or a name that resolves to one) and `port` (0: the
  // system picks one). 1 on success, -1 with `error` set.
  int Open(const std::string& host, uint16_t port, std::string& error);
  void Close();

  // The socket, for poll: a descriptor, or a SOCKET on Windows; -1 while closed.
  intptr_t Fd() const { return fd_; }
  // The bound address, "127.0.0.1:2332", with the real port when 0 was asked for.
  std::string Name() const;
  uint16_t Port() const;

  // Takes one datagram into `buffer`. Returns the datagram's full size, which is larger than
  // `buffer` when it did not fit (the tail is then lost); 0 when none is waiting; -1 on error.
  int32_t Receive(std::span<uint8_t> buffer, UdpPeer& from);
  // One datagram; true when the system took it whole.
  bool Send(const UdpPeer& to, std::span<const uint8_t> bytes);

 private:
  intptr_t fd_ = -1;
  sockaddr_in bound_{};
};

}  // namespace qv31

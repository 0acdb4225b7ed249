#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv31 {

// The datagram socket a gateway search sends from: IPv4, non-blocking, broadcasts allowed,
// bound to every local address on a port the system chooses. Addresses in host byte order.
// One implementation per system (search_socket_posix.cpp, search_socket_win32.cpp).
class SearchSocket {
 public:
  // Full: the socket's buffer is full, send again when there is room (Wait forSending).
  // NoBuffers: the system is short of memory for now (a neighbour table filling up while many
  // addresses are resolved at once); send again a little later.
  enum class Sent : uint8_t { Done, Full, NoBuffers, Refused };

  SearchSocket() = default;
  ~SearchSocket();
  SearchSocket(const SearchSocket&) = delete;
  SearchSocket& operator=(const SearchSocket&) = delete;

  // False when the socket cannot be created; `error` then says why.
  bool Open(std::string& error);
  void Close();
  bool IsOpen() const { return socket_ != -1; }

  Sent SendTo(uint32_t address, uint16_t port, std::span<const uint8_t> bytes);
  // Takes one waiting datagram from any sender: its full length (more than the buffer when
  // it did not fit), 0 when none is waiting.
  int32_t Receive(std::span<uint8_t> buffer, uint32_t& fromAddress, uint16_t& fromPort);
  // Waits up to `ms` for a datagram, or with `forSending` also for room to send.
  void Wait(int32_t ms, bool forSending) const;

 private:
  intptr_t socket_ = -1;  // a descriptor, or a Winsock SOCKET
};

// The broadcast address of every IPv4 interface that is up.
std::vector<uint32_t> InterfaceBroadcastAddresses();

}  // namespace qv31

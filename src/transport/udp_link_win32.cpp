#include <winsock2.h>
#include <ws2tcpip.h>
// After the Winsock headers, which it builds on.
#include <mstcpip.h>

#include "transport/udp_address.h"
#include "transport/udp_link.h"
#include "transport/winsock_win32.h"

// <mstcpip.h> of some mingw-w64 releases lacks it.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace qv31 {

bool UdpLink::IsOpen() const { return Socket(socket_) != INVALID_SOCKET; }

bool UdpLink::OpenSocket(int& errorNumber) {
  if (!StartWinsock()) {
    errorNumber = WSAGetLastError();
    return false;
  }
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    errorNumber = WSAGetLastError();
    return false;
  }
  socket_ = static_cast<intptr_t>(s);
  u_long nonBlocking = 1;
  // Windows reports an ICMP "port unreachable" as WSAECONNRESET on the next receive by
  // default; a gateway that is not listening yet is no error of the socket.
  BOOL report = FALSE;
  DWORD returned = 0;
  const sockaddr_in local = Ipv4Endpoint(htonl(INADDR_ANY), 0);
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      ::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                 nullptr) != 0 ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    errorNumber = WSAGetLastError();
    Close();
    return false;
  }
  return true;
}

void UdpLink::Close() {
  if (IsOpen()) ::closesocket(Socket(socket_));
  socket_ = static_cast<intptr_t>(INVALID_SOCKET);
  hasTarget_ = false;
}

int32_t UdpLink::Send(const uint8_t* data, int32_t length) {
  if (data == nullptr || length < 1) return -1;
  if (!IsOpen() || !hasTarget_) return 0;
  const sockaddr_in to = Ipv4Endpoint(targetAddress_, targetPort_);
  const int n = ::sendto(Socket(socket_), reinterpret_cast<const char*>(data), length, 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to);
  return n == length ? length : 0;
}

int32_t UdpLink::Receive(uint8_t* buffer, int32_t capacity) {
  if (buffer == nullptr || capacity < 1) return -1;
  if (!IsOpen()) return 0;
  const int n = ::recv(Socket(socket_), reinterpret_cast<char*>(buffer), capacity, 0);
  // WSAEMSGSIZE: the datagram was longer than the buffer; it is dropped whole, never cut.
  if (n <= 0) return 0;
  return n;
}

uint16_t UdpLink::LocalPort() const {
  if (!IsOpen()) return 0;
  sockaddr_in local{};
  int size = sizeof local;
  if (::getsockname(Socket(socket_), reinterpret_cast<sockaddr*>(&local), &size) != 0) return 0;
  return ntohs(local.sin_port);
}

}  // namespace qv31

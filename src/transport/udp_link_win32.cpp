#include <winsock2.h>
#include <ws2tcpip.h>
// After the Winsock headers, which it builds on.
#include <mstcpip.h>

#include <mutex>

#include "transport/udp_link.h"
#include "transport/winsock_win32.h"

// <mstcpip.h> of some mingw-w64 releases lacks it.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace qv31 {
namespace {}  // namespace

UdpLink::~UdpLink() { Close(); }

bool UdpLink::IsOpen() const { return Socket(socket_) != INVALID_SOCKET; }

void UdpLink::Fail(UdpError error, int errorNumber) {
  error_ = error;
  errorNumber_ = errorNumber;
}

bool UdpLink::Open(std::string_view addressText, int32_t port) {
  Close();
  Fail(UdpError::None, 0);
  if (!StartWinsock()) {
    Fail(UdpError::Socket, WSAGetLastError());
    return false;
  }
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    Fail(UdpError::Socket, WSAGetLastError());
    return false;
  }
  socket_ = static_cast<intptr_t>(s);
  u_long nonBlocking = 1;
  // Windows reports an ICMP "port unreachable" as WSAECONNRESET on the next receive by
  // default; a gateway that is not listening yet is no error of the socket.
  BOOL report = FALSE;
  DWORD returned = 0;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      ::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                 nullptr) != 0 ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    const int e = WSAGetLastError();
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
  if (IsOpen()) ::closesocket(Socket(socket_));
  socket_ = static_cast<intptr_t>(INVALID_SOCKET);
  hasTarget_ = false;
}

int32_t UdpLink::Send(const uint8_t* data, int32_t length) {
  if (data == nullptr || length < 1) return -1;
  if (!IsOpen() || !hasTarget_) return 0;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = targetAddress_;
  to.sin_port = targetPort_;
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

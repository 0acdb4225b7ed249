#include <winsock2.h>
#include <ws2tcpip.h>
// After the Winsock headers, which it builds on.
#include <mstcpip.h>

#include <algorithm>
#include <mutex>

#include "sim/udp_listener.h"
#include "transport/udp_address.h"
#include "transport/winsock_win32.h"

// <mstcpip.h> of some mingw-w64 releases lacks it.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace qv31 {
namespace {

std::string ErrorText(int code) { return "system error " + std::to_string(code); }

}  // namespace

void UdpListener::Close() {
  if (Socket(fd_) != INVALID_SOCKET) closesocket(Socket(fd_));
  fd_ = -1;
}

int UdpListener::Open(const std::string& host, uint16_t port, std::string& error) {
  Close();
  if (!StartWinsock()) {
    error = "cannot start Winsock";
    return -1;
  }
  sockaddr_in want = Ipv4Endpoint(0, htons(port));
  if (const int rc = ResolveIpv4(host, want.sin_addr); rc != 0) {
    error = "cannot resolve " + host + ": " + ErrorText(rc);
    return -1;
  }
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    error = "cannot create a UDP socket: " + ErrorText(WSAGetLastError());
    return -1;
  }
  fd_ = static_cast<intptr_t>(s);
  u_long nonBlocking = 1;
  ioctlsocket(s, FIONBIO, &nonBlocking);
  // Otherwise a reply to a client that has gone makes the next receive fail with
  // WSAECONNRESET.
  BOOL report = FALSE;
  DWORD returned = 0;
  WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr, nullptr);
  if (bind(s, reinterpret_cast<const sockaddr*>(&want), sizeof want) != 0) {
    error = "cannot listen on UDP " + EndpointText(want) + ": " + ErrorText(WSAGetLastError());
    Close();
    return -1;
  }
  int len = sizeof bound_;
  getsockname(s, reinterpret_cast<sockaddr*>(&bound_), &len);
  return 1;
}

int32_t UdpListener::Receive(std::span<uint8_t> buffer, UdpPeer& from) {
  int len = sizeof from.address;
  const int capacity = static_cast<int>(std::min<size_t>(buffer.size(), INT32_MAX - 1));
  const int n = recvfrom(Socket(fd_), reinterpret_cast<char*>(buffer.data()), capacity, 0,
                         reinterpret_cast<sockaddr*>(&from.address), &len);
  if (n >= 0) return n;
  const int code = WSAGetLastError();
  // Winsock has no MSG_TRUNC: a datagram that did not fit is cut and reported so; one byte
  // more than the buffer is enough for the caller to know it was too long.
  if (code == WSAEMSGSIZE) return capacity + 1;
  if (code == WSAEWOULDBLOCK || code == WSAECONNRESET || code == WSAEINTR) return 0;
  return -1;
}

bool UdpListener::Send(const UdpPeer& to, std::span<const uint8_t> bytes) {
  const int n = sendto(Socket(fd_), reinterpret_cast<const char*>(bytes.data()),
                       static_cast<int>(bytes.size()), 0,
                       reinterpret_cast<const sockaddr*>(&to.address), sizeof to.address);
  return n == static_cast<int>(bytes.size());
}

}  // namespace qv31

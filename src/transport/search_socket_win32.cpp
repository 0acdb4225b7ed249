#include <winsock2.h>
#include <ws2tcpip.h>
// After the Winsock headers, which they build on.
#include <iphlpapi.h>
#include <mstcpip.h>

#include <algorithm>
#include <mutex>
#include <vector>

#include "transport/search_socket.h"
#include "transport/udp_address.h"
#include "transport/winsock_win32.h"

// <mstcpip.h> of some mingw-w64 releases lacks it.
#ifndef SIO_UDP_CONNRESET
#define SIO_UDP_CONNRESET _WSAIOW(IOC_VENDOR, 12)
#endif

namespace qv31 {
namespace {

constexpr int SEND_BUFFER_BYTES = 1 << 20;

std::string ErrorText(int code) { return "Winsock error " + std::to_string(code); }

}  // namespace

SearchSocket::~SearchSocket() { Close(); }

bool SearchSocket::Open(std::string& error) {
  Close();
  if (!StartWinsock()) {
    error = ErrorText(WSAGetLastError());
    return false;
  }
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (s == INVALID_SOCKET) {
    error = ErrorText(WSAGetLastError());
    return false;
  }
  socket_ = static_cast<intptr_t>(s);
  u_long nonBlocking = 1;
  // An ICMP "port unreachable" from an address without a gateway is no error of the search.
  BOOL report = FALSE;
  DWORD returned = 0;
  const BOOL on = TRUE;
  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0 ||
      ::WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
                 nullptr) != 0 ||
      ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) !=
          0 ||
      ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
    error = ErrorText(WSAGetLastError());
    Close();
    return false;
  }
  ::setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<const char*>(&SEND_BUFFER_BYTES),
               sizeof SEND_BUFFER_BYTES);
  return true;
}

void SearchSocket::Close() {
  if (IsOpen()) ::closesocket(Socket(socket_));
  socket_ = -1;
}

SearchSocket::Sent SearchSocket::SendTo(uint32_t address, uint16_t port,
                                        std::span<const uint8_t> bytes) {
  const sockaddr_in to = Ipv4Endpoint(htonl(address), htons(port));
  const int n = ::sendto(Socket(socket_), reinterpret_cast<const char*>(bytes.data()),
                         static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to);
  if (n >= 0) return Sent::Done;
  const int e = WSAGetLastError();
  if (e == WSAEWOULDBLOCK) return Sent::Full;
  if (e == WSAENOBUFS) return Sent::NoBuffers;
  return Sent::Refused;
}

int32_t SearchSocket::Receive(std::span<uint8_t> buffer, uint32_t& fromAddress,
                              uint16_t& fromPort) {
  for (;;) {
    sockaddr_in from{};
    int size = sizeof from;
    const int n =
        ::recvfrom(Socket(socket_), reinterpret_cast<char*>(buffer.data()),
                   static_cast<int>(buffer.size()), 0, reinterpret_cast<sockaddr*>(&from), &size);
    const int e = n < 0 ? WSAGetLastError() : 0;
    if (e == WSAECONNRESET) continue;
    if (n < 0 && e != WSAEMSGSIZE) return 0;
    fromAddress = ntohl(from.sin_addr.s_addr);
    fromPort = ntohs(from.sin_port);
    // A datagram longer than the buffer arrives cut with WSAEMSGSIZE: say it did not fit.
    return e == WSAEMSGSIZE ? static_cast<int32_t>(buffer.size()) + 1 : n;
  }
}

void SearchSocket::Wait(int32_t ms, bool forSending) const {
  fd_set readable;
  fd_set writable;
  FD_ZERO(&readable);
  FD_ZERO(&writable);
  FD_SET(Socket(socket_), &readable);
  if (forSending) FD_SET(Socket(socket_), &writable);
  ms = std::max(ms, 0);
  timeval timeout{ms / 1000, (ms % 1000) * 1000};
  ::select(0, &readable, &writable, nullptr, &timeout);
}

// For each IPv4 address of an interface that is up: the address with its host bits set.
std::vector<uint32_t> InterfaceBroadcastAddresses() {
  std::vector<uint32_t> found;
  ULONG size = 16 * 1024;
  std::vector<unsigned char> buffer;
  ULONG rc = ERROR_BUFFER_OVERFLOW;
  for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.resize(size);
    rc = ::GetAdaptersAddresses(
        AF_INET, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER,
        nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()), &size);
  }
  if (rc != NO_ERROR) return found;
  for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.data()); a != nullptr;
       a = a->Next) {
    if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
    for (auto* u = a->FirstUnicastAddress; u != nullptr; u = u->Next) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(u->Address.lpSockaddr);
      const unsigned prefix = u->OnLinkPrefixLength;
      if (in->sin_family != AF_INET || prefix == 0 || prefix >= 31) continue;
      found.push_back(ntohl(in->sin_addr.s_addr) | (0xFFFFFFFFu >> prefix));
    }
  }
  return found;
}

}  // namespace qv31

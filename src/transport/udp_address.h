#pragma once

// The system's socket headers and what every IPv4 datagram user of both systems does alike
// with addresses: the UDP link, and the simulator's listener beside it.
#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

#include <cstdint>
#include <string>

namespace qv31 {

// The first IPv4 address of `host`, an IPv4 literal or a name; a literal is taken as it
// stands. 0 when found, else the resolver's error code (EAI_NONAME and the like). On Windows
// Winsock must be started first.
int ResolveIpv4(const std::string& host, in_addr& address);

// An IPv4 socket address; `address` and `port` in network byte order.
sockaddr_in Ipv4Endpoint(uint32_t address, uint16_t port);

// "127.0.0.1:40000".
std::string EndpointText(const sockaddr_in& endpoint);

}  // namespace qv31

#include "transport/udp_address.h"

namespace qv31 {

int ResolveIpv4(const std::string& host, in_addr& address) {
  if (inet_pton(AF_INET, host.c_str(), &address) == 1) return 0;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  const int rc = getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (rc != 0) return rc;
  if (found == nullptr) return EAI_NONAME;
  address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr;
  freeaddrinfo(found);
  return 0;
}

sockaddr_in Ipv4Endpoint(uint32_t address, uint16_t port) {
  sockaddr_in endpoint{};
  endpoint.sin_family = AF_INET;
  endpoint.sin_addr.s_addr = address;
  endpoint.sin_port = port;
  return endpoint;
}

std::string EndpointText(const sockaddr_in& endpoint) {
  char host[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &endpoint.sin_addr, host, sizeof host);
  return std::string(host) + ":" + std::to_string(ntohs(endpoint.sin_port));
}

}  // namespace qv31

#include "transport/udp_link.h"

#include <string>

#include "transport/udp_address.h"

namespace qv31 {

UdpLink::~UdpLink() { Close(); }

void UdpLink::Fail(UdpError error, int errorNumber) {
  error_ = error;
  errorNumber_ = errorNumber;
}

bool UdpLink::Open(std::string_view addressText, int32_t port) {
  Close();
  Fail(UdpError::None, 0);
  int errorNumber = 0;
  if (!OpenSocket(errorNumber)) {
    Fail(UdpError::Socket, errorNumber);
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
  const std::string host(addressText);
  in_addr address{};
  // An empty name is no target (Windows' resolver would answer with this machine).
  if (host.empty() || ResolveIpv4(host, address) != 0) {
    Fail(UdpError::Unresolved, 0);
    return false;
  }
  targetAddress_ = address.s_addr;
  targetPort_ = htons(static_cast<uint16_t>(port));
  hasTarget_ = true;
  return true;
}

}  // namespace qv31

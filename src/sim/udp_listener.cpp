#include "sim/udp_listener.h"

#include "transport/udp_address.h"

namespace qv31 {

std::string UdpPeer::Text() const { return EndpointText(address); }

UdpListener::~UdpListener() { Close(); }

std::string UdpListener::Name() const { return EndpointText(bound_); }
uint16_t UdpListener::Port() const { return ntohs(bound_.sin_port); }

}  // namespace qv31

#pragma once

#include <string>
#include <string_view>

#include "params/param_block.h"

namespace qv31 {

// The "网口参数" group as texts, ticks and list positions. A default-constructed value is the
// cleared group (ClearNetwork): boxes unticked, texts empty, protocols without selection.
struct NetworkControls {
  bool dhcp = false;  // "自动获取IP"
  std::string localIp;
  std::string subnetMask;
  std::string gateway;
  std::string dnsServer;
  bool ch1Enabled = false;
  int ch1Protocol = -1;
  std::string ch1Target;  // a.b.c.d or a host name
  std::string ch1Port;
  bool ch2Enabled = false;
  int ch2Protocol = -1;
  std::string ch2Target;  // a.b.c.d only
  std::string ch2Port;
  std::string mac;  // read only
  bool operator==(const NetworkControls&) const = default;
};

// Four numbers of a dotted IPv4 text. Only exactly four fields of one to three decimal digits,
// each 0 to 255, joined by single dots with nothing before, between or after, give their
// numbers; every other text (a host name, an empty text, "1.2.3", "300.1.1.1", " 1.2.3.4",
// "1.2.3.4x") gives 0.0.0.0, so a partly valid text on channel 1 is taken as a host name.
Ipv4 ParseDottedAddress(std::string_view text);
std::string FormatDottedAddress(const Ipv4& ip);
// "%02X-%02X-%02X-%02X-%02X-%02X", first byte first.
std::string MacText(const std::array<uint8_t, 6>& mac);

// Controls to image (netFlags from zero with the three boxes, the four addresses, the
// protocols, the channel-1 target as an address or a host name, the ports cut to 16 bits,
// channel 2's address). A protocol without a selection keeps the stored byte.
void StoreNetworkControls(const NetworkControls& controls, ParamBlock& block);
// Image to controls; the channel-1 target comes from the domain field when its address is
// 0.0.0.0, and reads "0.0.0.0" when that field is empty too.
NetworkControls NetworkControlsOf(const ParamBlock& block);

// The channel-1 target rule alone: returns the number of domain bytes stored, or -1 when the
// text was taken as an address (the domain fields are then left as they were).
int32_t ReadChannel1Target(std::string_view target, ParamBlock& block);
std::string ShowChannel1Target(const ParamBlock& block);

}  // namespace qv31

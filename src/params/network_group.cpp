#include "params/network_group.h"

#include <algorithm>
#include <cstdio>

#include "params/param_codes.h"
#include "text/gbk.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

void ReadProtocol(int position, int32_t offset, ParamBlock& block) {
  const int32_t code = ChannelProtocols().CodeOf(position);
  if (code >= 0) block.Put8(offset, static_cast<uint8_t>(code));
}

bool IsZero(const Ipv4& ip) {
  return std::all_of(ip.begin(), ip.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

Ipv4 ParseDottedAddress(std::string_view text) {
  Ipv4 ip{};
  size_t i = 0;
  for (int field = 0; field < 4; ++field) {
    if (field > 0) {
      if (i >= text.size() || text[i] != '.') return {};
      ++i;
    }
    int value = 0;
    size_t digits = 0;
    while (i < text.size() && IsDigit(text[i]) && digits < 4) {
      value = value * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || digits > 3 || value > 255) return {};
    ip[static_cast<size_t>(field)] = static_cast<uint8_t>(value);
  }
  if (i != text.size()) return {};
  return ip;
}

std::string FormatDottedAddress(const Ipv4& ip) {
  char text[16];
  std::snprintf(text, sizeof text, "%d.%d.%d.%d", ip[0], ip[1], ip[2], ip[3]);
  return text;
}

std::string MacText(const std::array<uint8_t, 6>& m) {
  char text[18];
  std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", m[0], m[1], m[2], m[3], m[4],
                m[5]);
  return text;
}

int32_t ReadChannel1Target(std::string_view target, ParamBlock& block) {
  const Ipv4 ip = ParseDottedAddress(target);
  if (target == "0.0.0.0" || !IsZero(ip)) {
    block.PutIpv4(OFFSET_CH1_TARGET_IP, ip);
    return -1;
  }
  block.PutIpv4(OFFSET_CH1_TARGET_IP, Ipv4{});
  // The field holds GBK without a terminator; a cut never leaves half a character behind.
  const std::string gbk = Utf8ToGbk(target);
  const auto n = static_cast<int32_t>(GbkPrefixLength(gbk, DOMAIN_MAX));
  block.Put8(OFFSET_CH1_DOMAIN_LEN, static_cast<uint8_t>(n));
  block.Store(OFFSET_CH1_DOMAIN, reinterpret_cast<const uint8_t*>(gbk.data()), n);
  return n;
}

std::string ShowChannel1Target(const ParamBlock& block) {
  const Ipv4 ip = block.GetIpv4(OFFSET_CH1_TARGET_IP);
  if (!IsZero(ip)) return FormatDottedAddress(ip);
  const std::span<const uint8_t> field = block.Ch1DomainField();
  const size_t limit = std::min<size_t>(block.Ch1DomainLen(), field.size());
  const auto end = std::find(field.begin(), field.begin() + static_cast<ptrdiff_t>(limit), 0);
  const std::string_view gbk(reinterpret_cast<const char*>(field.data()),
                             static_cast<size_t>(end - field.begin()));
  return gbk.empty() ? "0.0.0.0" : GbkToUtf8(gbk);
}

void StoreNetworkControls(const NetworkControls& c, ParamBlock& block) {
  uint8_t flags = 0;
  if (c.dhcp) flags |= NET_DHCP;
  if (c.ch1Enabled) flags |= NET_CH1_ENABLE;
  if (c.ch2Enabled) flags |= NET_CH2_ENABLE;
  block.SetNetFlags(flags);
  block.PutIpv4(OFFSET_LOCAL_IP, ParseDottedAddress(c.localIp));
  block.PutIpv4(OFFSET_SUBNET_MASK, ParseDottedAddress(c.subnetMask));
  block.PutIpv4(OFFSET_GATEWAY, ParseDottedAddress(c.gateway));
  block.PutIpv4(OFFSET_DNS_SERVER, ParseDottedAddress(c.dnsServer));
  ReadProtocol(c.ch1Protocol, OFFSET_CH1_PROTOCOL, block);
  ReadProtocol(c.ch2Protocol, OFFSET_CH2_PROTOCOL, block);
  ReadChannel1Target(c.ch1Target, block);
  block.PutU16LE(OFFSET_CH1_TARGET_PORT, LeadingDecimal16(c.ch1Port));
  block.PutIpv4(OFFSET_CH2_TARGET_IP, ParseDottedAddress(c.ch2Target));
  block.PutU16LE(OFFSET_CH2_TARGET_PORT, LeadingDecimal16(c.ch2Port));
}

NetworkControls NetworkControlsOf(const ParamBlock& block) {
  NetworkControls c;
  c.mac = MacText(block.Mac());
  const uint8_t flags = block.NetFlags();
  c.dhcp = (flags & NET_DHCP) != 0;
  c.ch1Enabled = (flags & NET_CH1_ENABLE) != 0;
  c.ch2Enabled = (flags & NET_CH2_ENABLE) != 0;
  c.localIp = FormatDottedAddress(block.GetIpv4(OFFSET_LOCAL_IP));
  c.subnetMask = FormatDottedAddress(block.GetIpv4(OFFSET_SUBNET_MASK));
  c.gateway = FormatDottedAddress(block.GetIpv4(OFFSET_GATEWAY));
  c.dnsServer = FormatDottedAddress(block.GetIpv4(OFFSET_DNS_SERVER));
  c.ch1Protocol = ChannelProtocols().PositionOf(block.Get8(OFFSET_CH1_PROTOCOL));
  c.ch2Protocol = ChannelProtocols().PositionOf(block.Get8(OFFSET_CH2_PROTOCOL));
  c.ch1Target = ShowChannel1Target(block);
  c.ch1Port = std::to_string(block.GetU16LE(OFFSET_CH1_TARGET_PORT));
  c.ch2Target = FormatDottedAddress(block.GetIpv4(OFFSET_CH2_TARGET_IP));
  c.ch2Port = std::to_string(block.GetU16LE(OFFSET_CH2_TARGET_PORT));
  return c;
}

}  // namespace qv31

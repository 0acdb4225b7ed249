#include "params/param_keys.h"

#include "params/four_g_group.h"
#include "params/network_group.h"
#include "params/param_codes.h"
#include "params/port_group.h"

namespace qv31 {
namespace {

constexpr std::string_view kOn = "on";
constexpr std::string_view kOff = "off";

// Show and Read of each group behind one shape, so the key table can name a control by its
// member.
struct FourGGroup {
  using Controls = FourGControls;
  static Controls Show(const ParamBlock& b, int) { return FourGControlsOf(b); }
  static void Read(const Controls& c, ParamBlock& b, int) { Store4GControls(c, b); }
};
struct PortGroup {
  using Controls = PortControls;
  static Controls Show(const ParamBlock& b, int port) { return PortControlsOf(b, port); }
  static void Read(const Controls& c, ParamBlock& b, int port) { StorePortControls(c, b, port); }
};
struct NetworkGroup {
  using Controls = NetworkControls;
  static Controls Show(const ParamBlock& b, int) { return NetworkControlsOf(b); }
  static void Read(const Controls& c, ParamBlock& b, int) { StoreNetworkControls(c, b); }
};

template <typename G, std::string G::Controls::*M>
std::string GetText(const ParamBlock& b, int port) {
  return G::Show(b, port).*M;
}
template <typename G, std::string G::Controls::*M>
int32_t SetText(ParamBlock& b, int port, std::string_view v) {
  auto c = G::Show(b, port);
  c.*M = std::string(v);
  G::Read(c, b, port);
  return 1;
}

template <typename G, bool G::Controls::*M>
std::string GetTick(const ParamBlock& b, int port) {
  return std::string(G::Show(b, port).*M ? kOn : kOff);
}
template <typename G, bool G::Controls::*M>
int32_t SetTick(ParamBlock& b, int port, std::string_view v) {
  if (v != kOn && v != kOff) return -1;
  auto c = G::Show(b, port);
  c.*M = v == kOn;
  G::Read(c, b, port);
  return 1;
}

template <typename G, int G::Controls::*M, const CodeTable& (*T)()>
std::string GetChoice(const ParamBlock& b, int port) {
  return std::string(T().TextOf(G::Show(b, port).*M));
}
template <typename G, int G::Controls::*M, const CodeTable& (*T)()>
int32_t SetChoice(ParamBlock& b, int port, std::string_view v) {
  const int32_t position = T().PositionOfText(v);
  if (position < 0) return -1;
  auto c = G::Show(b, port);
  c.*M = position;
  G::Read(c, b, port);
  return 1;
}

int32_t ReadOnly(ParamBlock&, int, std::string_view) { return -1; }

using N = NetworkGroup;
using NC = NetworkControls;
constexpr auto kBaudGet = &GetChoice<PortGroup, &PortControls::baudPosition, BaudCodes>;
constexpr auto kBaudSet = &SetChoice<PortGroup, &PortControls::baudPosition, BaudCodes>;
constexpr auto kFormatGet = &GetChoice<PortGroup, &PortControls::formatPosition, FormatCodes>;
constexpr auto kFormatSet = &SetChoice<PortGroup, &PortControls::formatPosition, FormatCodes>;

constexpr ParamGroup G4 = ParamGroup::FourG;
constexpr ParamGroup GP = ParamGroup::Port;
constexpr ParamGroup GN = ParamGroup::Network;

const ParamKey kKeys[] = {
    {"4g.group", G4, 0, false, GetText<FourGGroup, &FourGControls::group>,
     SetText<FourGGroup, &FourGControls::group>},
    {"4g.station", G4, 0, false, GetText<FourGGroup, &FourGControls::station>,
     SetText<FourGGroup, &FourGControls::station>},
    {"4g.log", G4, 0, false, GetTick<FourGGroup, &FourGControls::logTicked>,
     SetTick<FourGGroup, &FourGControls::logTicked>},
    {"port1.baud", GP, 1, false, kBaudGet, kBaudSet},
    {"port2.baud", GP, 2, false, kBaudGet, kBaudSet},
    {"port3.baud", GP, 3, false, kBaudGet, kBaudSet},
    {"port4.baud", GP, 4, false, kBaudGet, kBaudSet},
    {"port1.format", GP, 1, false, kFormatGet, kFormatSet},
    {"port2.format", GP, 2, false, kFormatGet, kFormatSet},
    {"port3.format", GP, 3, false, kFormatGet, kFormatSet},
    {"port4.format", GP, 4, false, kFormatGet, kFormatSet},
    {"net.dhcp", GN, 0, false, GetTick<N, &NC::dhcp>, SetTick<N, &NC::dhcp>},
    {"net.ip", GN, 0, false, GetText<N, &NC::localIp>, SetText<N, &NC::localIp>},
    {"net.mask", GN, 0, false, GetText<N, &NC::subnetMask>, SetText<N, &NC::subnetMask>},
    {"net.gateway", GN, 0, false, GetText<N, &NC::gateway>, SetText<N, &NC::gateway>},
    {"net.dns", GN, 0, false, GetText<N, &NC::dnsServer>, SetText<N, &NC::dnsServer>},
    {"net.mac", GN, 0, true, GetText<N, &NC::mac>, ReadOnly},
    {"net.ch1.enable", GN, 0, false, GetTick<N, &NC::ch1Enabled>, SetTick<N, &NC::ch1Enabled>},
    {"net.ch2.enable", GN, 0, false, GetTick<N, &NC::ch2Enabled>, SetTick<N, &NC::ch2Enabled>},
    {"net.ch1.protocol", GN, 0, false, GetChoice<N, &NC::ch1Protocol, ChannelProtocols>,
     SetChoice<N, &NC::ch1Protocol, ChannelProtocols>},
    {"net.ch2.protocol", GN, 0, false, GetChoice<N, &NC::ch2Protocol, ChannelProtocols>,
     SetChoice<N, &NC::ch2Protocol, ChannelProtocols>},
    {"net.ch1.target", GN, 0, false, GetText<N, &NC::ch1Target>, SetText<N, &NC::ch1Target>},
    {"net.ch2.target", GN, 0, false, GetText<N, &NC::ch2Target>, SetText<N, &NC::ch2Target>},
    {"net.ch1.port", GN, 0, false, GetText<N, &NC::ch1Port>, SetText<N, &NC::ch1Port>},
    {"net.ch2.port", GN, 0, false, GetText<N, &NC::ch2Port>, SetText<N, &NC::ch2Port>},
};

}  // namespace

std::span<const ParamKey> ParamKeys() { return kKeys; }

const ParamKey* FindParamKey(std::string_view key) {
  for (const ParamKey& k : kKeys) {
    if (k.key == key) return &k;
  }
  return nullptr;
}

std::optional<std::string> GetParamText(const ParamBlock& block, std::string_view key) {
  const ParamKey* k = FindParamKey(key);
  if (k == nullptr) return std::nullopt;
  return k->get(block, k->port);
}

int32_t SetParamText(ParamBlock& block, std::string_view key, std::string_view value) {
  const ParamKey* k = FindParamKey(key);
  if (k == nullptr || k->readOnly) return -1;
  return k->set(block, k->port, value);
}

}  // namespace qv31

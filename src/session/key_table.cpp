#include "session/key_table.h"

#include <type_traits>
#include <utility>

#include "params/four_g_group.h"
#include "params/network_group.h"
#include "params/param_codes.h"
#include "params/port_group.h"

namespace qv31 {
namespace {

constexpr std::string_view kOn = "on";
constexpr std::string_view kOff = "off";

// Show and Read of each parameter group behind one shape, so a key can name its control by
// the member.
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
// The acquisition settings above the list are held as texts already.
struct AcqSettingsGroup {
  using Controls = AcqSettingsTexts;
};

// Reads the key's control from its group as shown, or from the grid's settings.
template <typename G, typename T, T G::Controls::*M>
T ControlOf(const CtlKey& k, const KeySources& from) {
  if constexpr (std::is_same_v<G, AcqSettingsGroup>) {
    return from.grid.Settings().*M;
  } else {
    return G::Show(from.params, PortOf(k.group)).*M;
  }
}

template <typename G, typename T, T G::Controls::*M>
void ChangeControl(const CtlKey& k, ParamBlock& params, AcqGrid& grid, T value) {
  if constexpr (std::is_same_v<G, AcqSettingsGroup>) {
    grid.Settings().*M = std::move(value);
  } else {
    auto c = G::Show(params, PortOf(k.group));
    c.*M = std::move(value);
    G::Read(c, params, PortOf(k.group));
  }
}

template <typename G, std::string G::Controls::*M>
std::string GetText(const CtlKey& k, const KeySources& from) {
  return ControlOf<G, std::string, M>(k, from);
}
template <typename G, std::string G::Controls::*M>
int32_t SetText(const CtlKey& k, ParamBlock& params, AcqGrid& grid, std::string_view v) {
  ChangeControl<G, std::string, M>(k, params, grid, std::string(v));
  return 1;
}

template <typename G, bool G::Controls::*M>
std::string GetTick(const CtlKey& k, const KeySources& from) {
  return std::string(ControlOf<G, bool, M>(k, from) ? kOn : kOff);
}
template <typename G, bool G::Controls::*M>
int32_t SetTick(const CtlKey& k, ParamBlock& params, AcqGrid& grid, std::string_view v) {
  if (v != kOn && v != kOff) return -1;
  ChangeControl<G, bool, M>(k, params, grid, v == kOn);
  return 1;
}

template <typename G, int G::Controls::*M, const CodeTable& (*T)()>
std::string GetChoice(const CtlKey& k, const KeySources& from) {
  return std::string(T().TextOf(ControlOf<G, int, M>(k, from)));
}
template <typename G, int G::Controls::*M, const CodeTable& (*T)()>
int32_t SetChoice(const CtlKey& k, ParamBlock& params, AcqGrid& grid, std::string_view v) {
  const int32_t position = T().PositionOfText(v);
  if (position < 0) return -1;
  ChangeControl<G, int, M>(k, params, grid, position);
  return 1;
}

std::string GetIdentity(const CtlKey&, const KeySources& from) {
  return std::string(from.identity);
}

using K = ValueKind;
using G = KeyGroup;
using F = FourGGroup;
using FC = FourGControls;
using P = PortGroup;
using PC = PortControls;
using N = NetworkGroup;
using NC = NetworkControls;
using A = AcqSettingsGroup;
using AC = AcqSettingsTexts;

constexpr auto kBaudGet = &GetChoice<P, &PC::baudPosition, BaudCodes>;
constexpr auto kBaudSet = &SetChoice<P, &PC::baudPosition, BaudCodes>;
constexpr auto kFormatGet = &GetChoice<P, &PC::formatPosition, FormatCodes>;
constexpr auto kFormatSet = &SetChoice<P, &PC::formatPosition, FormatCodes>;
constexpr auto kProtocol1Get = &GetChoice<N, &NC::ch1Protocol, ChannelProtocols>;
constexpr auto kProtocol1Set = &SetChoice<N, &NC::ch1Protocol, ChannelProtocols>;
constexpr auto kProtocol2Get = &GetChoice<N, &NC::ch2Protocol, ChannelProtocols>;
constexpr auto kProtocol2Set = &SetChoice<N, &NC::ch2Protocol, ChannelProtocols>;

// The code tables are constant-initialised, so their texts are there before this table.
const auto baud = BaudCodes().texts;
const auto format = FormatCodes().texts;
const auto protocol = ChannelProtocols().texts;

const CtlKey kKeys[] = {
    {"identity", G::Identity, K::ReadOnly, 0, 0, 1, {}, GetIdentity},
    {"4g.group",
     G::FourG,
     K::Number,
     0,
     2147483647,
     1,
     {},
     GetText<F, &FC::group>,
     SetText<F, &FC::group>},
    {"4g.station",
     G::FourG,
     K::Number,
     0,
     65535,
     1,
     {},
     GetText<F, &FC::station>,
     SetText<F, &FC::station>},
    {"4g.log",
     G::FourG,
     K::OnOff,
     0,
     0,
     1,
     {},
     GetTick<F, &FC::logTicked>,
     SetTick<F, &FC::logTicked>},
    {"port1.baud", G::Port1, K::Choice, 0, 0, 1, baud, kBaudGet, kBaudSet},
    {"port2.baud", G::Port2, K::Choice, 0, 0, 1, baud, kBaudGet, kBaudSet},
    {"port3.baud", G::Port3, K::Choice, 0, 0, 1, baud, kBaudGet, kBaudSet},
    {"port4.baud", G::Port4, K::Choice, 0, 0, 1, baud, kBaudGet, kBaudSet},
    {"port1.format", G::Port1, K::Choice, 0, 0, 1, format, kFormatGet, kFormatSet},
    {"port2.format", G::Port2, K::Choice, 0, 0, 1, format, kFormatGet, kFormatSet},
    {"port3.format", G::Port3, K::Choice, 0, 0, 1, format, kFormatGet, kFormatSet},
    {"port4.format", G::Port4, K::Choice, 0, 0, 1, format, kFormatGet, kFormatSet},
    {"net.dhcp", G::Network, K::OnOff, 0, 0, 1, {}, GetTick<N, &NC::dhcp>, SetTick<N, &NC::dhcp>},
    {"net.ip",
     G::Network,
     K::Ipv4,
     0,
     0,
     1,
     {},
     GetText<N, &NC::localIp>,
     SetText<N, &NC::localIp>},
    {"net.mask",
     G::Network,
     K::Ipv4,
     0,
     0,
     1,
     {},
     GetText<N, &NC::subnetMask>,
     SetText<N, &NC::subnetMask>},
    {"net.gateway",
     G::Network,
     K::Ipv4,
     0,
     0,
     1,
     {},
     GetText<N, &NC::gateway>,
     SetText<N, &NC::gateway>},
    {"net.dns",
     G::Network,
     K::Ipv4,
     0,
     0,
     1,
     {},
     GetText<N, &NC::dnsServer>,
     SetText<N, &NC::dnsServer>},
    {"net.mac", G::Network, K::ReadOnly, 0, 0, 1, {}, GetText<N, &NC::mac>},
    {"net.ch1.enable",
     G::Network,
     K::OnOff,
     0,
     0,
     1,
     {},
     GetTick<N, &NC::ch1Enabled>,
     SetTick<N, &NC::ch1Enabled>},
    {"net.ch2.enable",
     G::Network,
     K::OnOff,
     0,
     0,
     1,
     {},
     GetTick<N, &NC::ch2Enabled>,
     SetTick<N, &NC::ch2Enabled>},
    {"net.ch1.protocol", G::Network, K::Choice, 0, 0, 1, protocol, kProtocol1Get, kProtocol1Set},
    {"net.ch2.protocol", G::Network, K::Choice, 0, 0, 1, protocol, kProtocol2Get, kProtocol2Set},
    {"net.ch1.target",
     G::Network,
     K::Ipv4OrHost,
     0,
     0,
     1,
     {},
     GetText<N, &NC::ch1Target>,
     SetText<N, &NC::ch1Target>},
    {"net.ch2.target",
     G::Network,
     K::Ipv4,
     0,
     0,
     1,
     {},
     GetText<N, &NC::ch2Target>,
     SetText<N, &NC::ch2Target>},
    {"net.ch1.port",
     G::Network,
     K::Number,
     0,
     65535,
     1,
     {},
     GetText<N, &NC::ch1Port>,
     SetText<N, &NC::ch1Port>},
    {"net.ch2.port",
     G::Network,
     K::Number,
     0,
     65535,
     1,
     {},
     GetText<N, &NC::ch2Port>,
     SetText<N, &NC::ch2Port>},
    {"acq.enable",
     G::Acq,
     K::OnOff,
     0,
     0,
     1,
     {},
     GetTick<A, &AC::enableTicked>,
     SetTick<A, &AC::enableTicked>},
    {"acq.timeout_ms",
     G::Acq,
     K::Number,
     0,
     2550,
     10,
     {},
     GetText<A, &AC::timeout>,
     SetText<A, &AC::timeout>},
    {"acq.timeout_count",
     G::Acq,
     K::Number,
     0,
     255,
     1,
     {},
     GetText<A, &AC::timeoutCount>,
     SetText<A, &AC::timeoutCount>},
    {"acq.interval_ms",
     G::Acq,
     K::Number,
     0,
     255,
     1,
     {},
     GetText<A, &AC::interval>,
     SetText<A, &AC::interval>},
};

}  // namespace

std::span<const CtlKey> CtlKeys() { return kKeys; }

const CtlKey* FindCtlKey(std::string_view name) {
  for (const CtlKey& k : CtlKeys()) {
    if (k.name == name) return &k;
  }
  return nullptr;
}

int PortOf(KeyGroup group) {
  const int port = static_cast<int>(group) - static_cast<int>(KeyGroup::Port1) + 1;
  return port >= 1 && port <= 4 ? port : 0;
}

std::string GetKeyText(const CtlKey& key, const KeySources& from) { return key.get(key, from); }

int32_t SetKeyText(const CtlKey& key, ParamBlock& params, AcqGrid& grid, std::string_view value) {
  if (key.kind == ValueKind::ReadOnly || key.set == nullptr) return -1;
  return key.set(key, params, grid, value);
}

void RoundTripGroup(KeyGroup group, ParamBlock& params) {
  if (group == KeyGroup::FourG) {
    FourGGroup::Read(FourGGroup::Show(params, 0), params, 0);
  } else if (group == KeyGroup::Network) {
    NetworkGroup::Read(NetworkGroup::Show(params, 0), params, 0);
  } else if (const int port = PortOf(group); port != 0) {
    PortGroup::Read(PortGroup::Show(params, port), params, port);
  }
}

}  // namespace qv31

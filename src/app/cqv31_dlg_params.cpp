#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "params/four_g_group.h"
#include "params/network_group.h"
#include "params/port_group.h"

// The commands of the parameter groups: identity and 4G, the gateway's serial ports, the
// network.
namespace qv31 {
// ---- Identity and 4G -------------------------------------------------------------------

void CQV31Dlg::QueryVersion() {
  SetCommandButtonsEnabled(false);
  SetStatus("");
  view_.SetText(IDC_VERSION, "");
  session_.Query(GroupId::Identity);
}

void CQV31Dlg::Query4G() {
  SetCommandButtonsEnabled(false);
  SetStatus("");
  view_.SetText(IDC_GROUP, "");
  view_.SetText(IDC_STATION, "");
  view_.SetChecked(IDC_LOG, false);
  MarkBlank(GroupId::FourG);
  session_.Query(GroupId::FourG);
}

void CQV31Dlg::Set4G() { WriteGroups({GroupId::FourG}); }

void CQV31Dlg::Copy4GControls() {
  Store4GControls({view_.Text(IDC_GROUP), view_.Text(IDC_STATION), view_.Checked(IDC_LOG)},
                  session_.Params());
}

void CQV31Dlg::Show4G() {
  const FourGControls c = FourGControlsOf(session_.Params());
  view_.SetText(IDC_STATION, c.station);
  view_.SetText(IDC_GROUP, c.group);
  view_.SetChecked(IDC_LOG, c.logTicked);
}

// ---- Gateway serial ports --------------------------------------------------------------

namespace {
GroupId PortGroup(int port) {
  return static_cast<GroupId>(static_cast<int>(GroupId::Port1) + port - 1);
}
}  // namespace

void CQV31Dlg::QueryPort(int port) {
  if (port < 1 || port > GATEWAY_PORT_COUNT) return;
  const GatewayPortIds& ids = GATEWAY_PORT_CONTROLS[static_cast<size_t>(port - 1)];
  SetCommandButtonsEnabled(false);
  SetStatus("");
  view_.ComboSelect(ids.baud, -1);
  view_.ComboSelect(ids.format, -1);
  MarkBlank(PortGroup(port));
  session_.Query(PortGroup(port));
}

void CQV31Dlg::SetPort(int port) {
  if (port < 1 || port > GATEWAY_PORT_COUNT) return;
  WriteGroups({PortGroup(port)});
}

void CQV31Dlg::CopyPortControls(int port) {
  const GatewayPortIds& ids = GATEWAY_PORT_CONTROLS[static_cast<size_t>(port - 1)];
  StorePortControls({view_.ComboSelected(ids.baud), view_.ComboSelected(ids.format)},
                    session_.Params(), port);
}

void CQV31Dlg::ShowPort(int port) {
  const GatewayPortIds& ids = GATEWAY_PORT_CONTROLS[static_cast<size_t>(port - 1)];
  const PortControls c = PortControlsOf(session_.Params(), port);
  view_.ComboSelect(ids.baud, c.baudPosition);
  view_.ComboSelect(ids.format, c.formatPosition);
}

// ---- Network ---------------------------------------------------------------------------

void CQV31Dlg::QueryNetwork() {
  SetCommandButtonsEnabled(false);
  SetStatus("");
  ClearNetwork();
  MarkBlank(GroupId::Network);
  session_.Query(GroupId::Network);
}

void CQV31Dlg::SetNetwork() { WriteGroups({GroupId::Network}); }

void CQV31Dlg::CopyNetworkControls() {
  NetworkControls c;
  c.dhcp = view_.Checked(IDC_DHCP);
  c.localIp = view_.Text(IDC_LOCAL_IP);
  c.subnetMask = view_.Text(IDC_SUBNET_MASK);
  c.gateway = view_.Text(IDC_GATEWAY);
  c.dnsServer = view_.Text(IDC_DNS);
  c.ch1Enabled = view_.Checked(IDC_CH1_ENABLE);
  c.ch1Protocol = view_.ComboSelected(IDC_CH1_PROTOCOL);
  c.ch1Target = view_.Text(IDC_CH1_TARGET);
  c.ch1Port = view_.Text(IDC_CH1_PORT);
  c.ch2Enabled = view_.Checked(IDC_CH2_ENABLE);
  c.ch2Protocol = view_.ComboSelected(IDC_CH2_PROTOCOL);
  c.ch2Target = view_.Text(IDC_CH2_TARGET);
  c.ch2Port = view_.Text(IDC_CH2_PORT);
  StoreNetworkControls(c, session_.Params());
}

void CQV31Dlg::ShowNetwork() {
  const NetworkControls c = NetworkControlsOf(session_.Params());
  view_.SetText(IDC_MAC, c.mac);
  view_.SetChecked(IDC_DHCP, c.dhcp);
  view_.SetChecked(IDC_CH1_ENABLE, c.ch1Enabled);
  view_.SetChecked(IDC_CH2_ENABLE, c.ch2Enabled);
  view_.SetText(IDC_LOCAL_IP, c.localIp);
  view_.SetText(IDC_SUBNET_MASK, c.subnetMask);
  view_.SetText(IDC_GATEWAY, c.gateway);
  view_.SetText(IDC_DNS, c.dnsServer);
  view_.ComboSelect(IDC_CH1_PROTOCOL, c.ch1Protocol);
  view_.ComboSelect(IDC_CH2_PROTOCOL, c.ch2Protocol);
  view_.SetText(IDC_CH1_TARGET, c.ch1Target);
  view_.SetText(IDC_CH1_PORT, c.ch1Port);
  view_.SetText(IDC_CH2_TARGET, c.ch2Target);
  view_.SetText(IDC_CH2_PORT, c.ch2Port);
}

void CQV31Dlg::ClearNetwork() {
  view_.SetChecked(IDC_DHCP, false);
  for (const int id : {IDC_LOCAL_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS}) view_.SetText(id, "");
  view_.SetChecked(IDC_CH1_ENABLE, false);
  view_.ComboSelect(IDC_CH1_PROTOCOL, -1);
  view_.SetText(IDC_CH1_TARGET, "");
  view_.SetText(IDC_CH1_PORT, "");
  view_.SetChecked(IDC_CH2_ENABLE, false);
  view_.ComboSelect(IDC_CH2_PROTOCOL, -1);
  for (const int id : {IDC_CH2_TARGET, IDC_CH2_PORT, IDC_MAC}) view_.SetText(id, "");
}

}  // namespace qv31

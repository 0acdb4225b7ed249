#include "app/cqv31_dlg.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <utility>

#include "acq/acq_frames.h"
#include "app/control_ids.h"
#include "params/four_g_group.h"
#include "settings/settings_directory.h"
#include "text/choice_texts.h"
#include "transport/choice_lists.h"
#include "transport/port_discovery.h"

namespace qv31 {
namespace {

constexpr std::string_view TEXT_OPEN = "打开";
constexpr std::string_view TEXT_CLOSE = "关闭";
constexpr std::string_view TEXT_SERIAL = "串口";
constexpr std::string_view TEXT_NETWORK = "网口";
constexpr std::string_view MODE_SERIAL = "TRUE";
constexpr std::string_view MODE_NETWORK = "FALSE";
constexpr std::string_view UDP_OPEN_FAILED = "无法打开UDP端口！";

constexpr ControlRect OPEN_BUTTON_SERIAL = {21, 151, 88, 25};
constexpr ControlRect OPEN_BUTTON_NETWORK = {70, 151, 88, 25};

constexpr std::array<std::string_view, 4> CHANNEL_PROTOCOLS = {"TCP Server", "TCP Client",
                                                               "UDP Server", "UDP Client"};
constexpr std::array<std::string_view, 3> LINK_PROTOCOLS = {"TCP Server", "TCP Client", "UDP"};

// The link settings the serial and the network mode show in the same place.
constexpr std::array<int, 6> SERIAL_SET = {IDC_LABEL_PORT, IDC_LABEL_BAUD, IDC_LABEL_FORMAT,
                                           IDC_LINK_PORT,  IDC_LINK_BAUD,  IDC_LINK_FORMAT};
constexpr std::array<int, 6> NETWORK_SET = {IDC_LABEL_PROTOCOL,    IDC_LABEL_ADDRESS,
                                            IDC_LABEL_TARGET_PORT, IDC_LINK_PROTOCOL,
                                            IDC_LINK_ADDRESS,      IDC_LINK_TARGET_PORT};
// Locked while the link is open.
constexpr std::array<int, 5> LINK_CONTROLS = {IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD,
                                              IDC_LINK_FORMAT, IDC_LINK_ADDRESS};

bool IsCharacterDevice(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

template <typename Texts>
void FillList(DialogView& view, int id, const Texts& texts) {
  for (const auto& t : texts) view.ComboAdd(id, t);
  view.ComboSelect(id, 0);
}

}  // namespace

CQV31Dlg::CQV31Dlg(DialogEnvironment env)
    : view_(*env.view),
      timers_(*env.timers),
      clock_(std::move(env.clock)),
      discoverPorts_(std::move(env.discoverPorts)),
      wallClock_(std::move(env.wallClock)),
      settingsDir_(std::move(env.settingsDir)),
      version_(std::move(env.version)),
      engine_(link_, timers_, *this, clock_) {
  if (!discoverPorts_) discoverPorts_ = [] { return DiscoverSerialPorts(); };
  if (!wallClock_) wallClock_ = [] { return std::time(nullptr); };
}

// Leaving with the link open closes the port or socket without the close sequence.
CQV31Dlg::~CQV31Dlg() = default;

void CQV31Dlg::OnInitDialog() {
  linkOpen_ = 0;
  FillPortList();
  FillList(view_, IDC_LINK_BAUD, BAUD_TEXTS);
  FillList(view_, IDC_LINK_FORMAT, FORMAT_TEXTS);
  for (const GatewayPortIds& p : GATEWAY_PORT_CONTROLS) {
    FillList(view_, p.baud, BAUD_TEXTS);
    FillList(view_, p.format, FORMAT_TEXTS);
  }
  FillNetworkLists();
  LoadSettings();
  InitAcqList();
  for (const int id : LINK_CONTROLS) view_.Enable(id, true);
  view_.SetText(IDC_OPEN_CLOSE, TEXT_OPEN);
  SetCommandButtonsEnabled(false);
  engine_.Reset();
  comboShown_ = 0;
}

void CQV31Dlg::FillPortList() {
  for (const std::string& path : discoverPorts_()) view_.ComboAdd(IDC_LINK_PORT, path);
  view_.ComboSelect(IDC_LINK_PORT, 0);
}

// A port that discovery does not list (a pseudo-terminal, a virtual port) can still be
// chosen when it names a character device.
void CQV31Dlg::AddPortIfPresent(const std::string& path) {
  const auto items = view_.ComboItems(IDC_LINK_PORT);
  if (std::find(items.begin(), items.end(), path) != items.end()) return;
  if (IsCharacterDevice(path)) view_.ComboAdd(IDC_LINK_PORT, path);
}

void CQV31Dlg::OnPortListOpening() {
  const std::string selected = view_.Text(IDC_LINK_PORT);
  view_.ComboClear(IDC_LINK_PORT);
  for (const std::string& path : discoverPorts_()) view_.ComboAdd(IDC_LINK_PORT, path);
  AddPortIfPresent(selected);
  if (selected != settings_.portText) AddPortIfPresent(settings_.portText);
  SelectText(IDC_LINK_PORT, selected);
}

void CQV31Dlg::FillNetworkLists() {
  FillList(view_, IDC_CH1_PROTOCOL, CHANNEL_PROTOCOLS);
  FillList(view_, IDC_CH2_PROTOCOL, CHANNEL_PROTOCOLS);
  FillList(view_, IDC_LINK_PROTOCOL, LINK_PROTOCOLS);
  view_.Enable(IDC_LINK_PROTOCOL, false);
  view_.Enable(IDC_LINK_TARGET_PORT, false);
}

void CQV31Dlg::SelectText(int id, std::string_view text) {
  view_.ComboSelect(id, SelectComboText(view_.ComboItems(id), text));
}

void CQV31Dlg::LoadSettings() {
  if (settingsDir_.empty()) {
    ini_.SetFile(std::string(SETTINGS_FILE));
  } else {
    ini_.SetFileIn(settingsDir_, std::string(SETTINGS_FILE));
  }
  settings_ = LoadLinkSettings(ini_);
  AddPortIfPresent(settings_.portText);
  SelectText(IDC_LINK_PORT, settings_.portText);
  SelectText(IDC_LINK_BAUD, settings_.baudText);
  SelectText(IDC_LINK_FORMAT, settings_.formatText);
  SelectText(IDC_LINK_PROTOCOL, settings_.protocolText);
  view_.SetText(IDC_LINK_ADDRESS, settings_.addressText);
  view_.SetText(IDC_LINK_TARGET_PORT, settings_.targetPortText);
  view_.SetChecked(IDC_MODE, settings_.serialMode == MODE_SERIAL);
  OnModeCheck();
}

// A failed write is not reported: the link is open and works; the next open saves again.
void CQV31Dlg::SaveSettings() { SaveLinkSettings(ini_, settings_); }

void CQV31Dlg::InitAcqList() { view_.CellsChanged(0, ACQ_ROW_COUNT - 1); }

void CQV31Dlg::OnModeCheck() {
  const bool serial = view_.Checked(IDC_MODE);
  view_.SetText(IDC_MODE, serial ? TEXT_SERIAL : TEXT_NETWORK);
  settings_.serialMode = serial ? MODE_SERIAL : MODE_NETWORK;
  for (const int id : SERIAL_SET) view_.Show(id, serial);
  for (const int id : NETWORK_SET) view_.Show(id, !serial);
  view_.Move(IDC_OPEN_CLOSE, serial ? OPEN_BUTTON_SERIAL : OPEN_BUTTON_NETWORK);
  view_.Show(IDC_STOP_ACQ, serial);
}

void CQV31Dlg::OnCommand(int id) {
  using Handler = void (CQV31Dlg::*)();
  struct Route {
    int id;
    Handler handler;
  };
  static constexpr Route ROUTES[] = {
      {IDC_OPEN_CLOSE, &CQV31Dlg::ToggleLink},  {IDC_STOP_ACQ, &CQV31Dlg::StopAcquisition},
      {IDC_MODE, &CQV31Dlg::OnModeCheck},       {IDC_VERSION_QUERY, &CQV31Dlg::QueryVersion},
      {IDC_4G_QUERY, &CQV31Dlg::Query4G},       {IDC_4G_SET, &CQV31Dlg::Set4G},
      {IDC_NET_QUERY, &CQV31Dlg::QueryNetwork}, {IDC_NET_SET, &CQV31Dlg::SetNetwork},
      {IDC_ACQ_QUERY, &CQV31Dlg::QueryAcq},     {IDC_ACQ_SET, &CQV31Dlg::SetAcq},
      {IDC_QUERY_ALL, &CQV31Dlg::QueryAll},     {IDC_SET_ALL, &CQV31Dlg::SetAll},
      {IDC_SAVE_CSV, &CQV31Dlg::SaveCsv},       {IDC_LOAD_CSV, &CQV31Dlg::LoadCsv},
  };
  for (const Route& r : ROUTES) {
    if (r.id == id) {
      (this->*r.handler)();
      return;
    }
  }
  for (int p = 0; p < GATEWAY_PORT_COUNT; ++p) {
    if (id == GATEWAY_PORT_CONTROLS[static_cast<size_t>(p)].query) QueryPort(p + 1);
    if (id == GATEWAY_PORT_CONTROLS[static_cast<size_t>(p)].set) SetPort(p + 1);
  }
  // Enter (IDC_OK) and the check boxes of the groups only change their own state.
}

// ---- Link control ----------------------------------------------------------------------

void CQV31Dlg::CopyLinkControls() {
  settings_.portText = view_.Text(IDC_LINK_PORT);
  settings_.baudText = view_.Text(IDC_LINK_BAUD);
  settings_.formatText = view_.Text(IDC_LINK_FORMAT);
}

void CQV31Dlg::ToggleLink() {
  CopyLinkControls();
  settings_.serialMode = view_.Checked(IDC_MODE) ? MODE_SERIAL : MODE_NETWORK;
  settings_.protocolText = view_.Text(IDC_LINK_PROTOCOL);
  settings_.addressText = view_.Text(IDC_LINK_ADDRESS);
  settings_.targetPortText = view_.Text(IDC_LINK_TARGET_PORT);
  if (linkOpen_ != 0) {
    CloseLinkNow();
  } else {
    OpenLink();
  }
}

void CQV31Dlg::ShowOpenFailure(std::string_view firstLine) {
  std::string text(firstLine);
  const std::string reason = link_.OpenErrorText();
  if (!reason.empty()) text += "\n" + reason;
  view_.MessageBox(text);
}

void CQV31Dlg::OpenLink() {
  const bool serial = settings_.serialMode == MODE_SERIAL;
  if (serial) {
    view_.SetText(IDC_VERSION, "");
    const bool opened = link_.OpenSerial(settings_.portText, settings_.baudText,
                                         settings_.formatText, settings_.delayText);
    engine_.SetReplyTimeoutMs(link_.ReplyTimeoutMs());
    if (!opened) {
      ShowOpenFailure("无法打开 " + settings_.portText + " 串口！");
      return;
    }
  } else {
    if (!link_.OpenUdp(settings_.addressText, settings_.targetPortText)) {
      ShowOpenFailure(UDP_OPEN_FAILED);
      return;
    }
    engine_.SetReplyTimeoutMs(UDP_REPLY_TIMEOUT_MS);
  }
  SaveSettings();
  view_.SetText(IDC_OPEN_CLOSE, TEXT_CLOSE);
  linkOpen_ = ~linkOpen_;
  QueryVersion();
  QueryAll();
  QueryAcq();
  for (const int id : LINK_CONTROLS) view_.Enable(id, false);
  if (serial) view_.Enable(IDC_STOP_ACQ, false);
  timers_.StartTimer(TIMER_CONNECT, ENGINE_TICK_MS);
}

void CQV31Dlg::CloseLinkNow() {
  const bool serial = settings_.serialMode == MODE_SERIAL;
  link_.Close();
  view_.SetText(IDC_OPEN_CLOSE, TEXT_OPEN);
  linkOpen_ = ~linkOpen_;
  SetCommandButtonsEnabled(linkOpen_ != 0);
  for (const int id : LINK_CONTROLS) view_.Enable(id, true);
  timers_.KillTimer(TIMER_ENGINE);
  timers_.KillTimer(TIMER_CONNECT);
  StartReopenPause(serial ? SERIAL_CLOSE_PAUSE_MS : UDP_CLOSE_PAUSE_MS);
}

// The pause after a close keeps only the two buttons that open the line again disabled; the
// window goes on being usable.
void CQV31Dlg::StartReopenPause(uint32_t ms) {
  view_.Enable(IDC_OPEN_CLOSE, false);
  view_.Enable(IDC_STOP_ACQ, false);
  timers_.StartTimer(TIMER_REOPEN, ms);
}

void CQV31Dlg::CloseLink() { ToggleLink(); }

// An unplugged adapter: close the link as the button does and say why, instead of letting
// every request time out on a port that is gone.
void CQV31Dlg::CheckPortLost() {
  if (linkOpen_ == 0 || !link_.PortLost()) return;
  const std::string reason = link_.OpenErrorText();
  ToggleLink();
  view_.MessageBox(settings_.portText + "\n" + reason);
}

void CQV31Dlg::StopAcquisition() {
  CopyLinkControls();
  view_.SetText(IDC_VERSION, "");
  const bool opened = link_.OpenSerial(settings_.portText, settings_.baudText, settings_.formatText,
                                       settings_.delayText);
  engine_.SetReplyTimeoutMs(link_.ReplyTimeoutMs());
  if (!opened) {
    ShowOpenFailure("无法打开 " + settings_.portText + " 串口！");
    return;
  }
  timers_.StartTimer(TIMER_STOP_SEND, STOP_SEND_MS);
  timers_.StartTimer(TIMER_STOP_DRAIN, STOP_DRAIN_MS);
  timers_.StartTimer(TIMER_STOP_END, STOP_END_MS);
  view_.Enable(IDC_OPEN_CLOSE, false);
  view_.Enable(IDC_STOP_ACQ, false);
}

void CQV31Dlg::StopTick(int id) {
  if (id == TIMER_STOP_SEND) {
    const auto frame = StopAcqFrame();
    link_.Serial().TxQueue().Push(static_cast<int32_t>(frame.size()), frame.data());
    timers_.KillTimer(TIMER_STOP_SEND);
  } else if (id == TIMER_STOP_DRAIN) {
    std::array<uint8_t, LINK_BUFFER_SIZE> drained{};
    int32_t length = 0;
    link_.ReceiveBlock(drained.data(), length);
  } else {
    timers_.KillTimer(TIMER_STOP_SEND);
    timers_.KillTimer(TIMER_STOP_DRAIN);
    timers_.KillTimer(TIMER_STOP_END);
    link_.Close();
    view_.Enable(IDC_OPEN_CLOSE, true);
    view_.Enable(IDC_STOP_ACQ, true);
  }
}

void CQV31Dlg::OnTimer(int id) {
  switch (id) {
    case TIMER_ENGINE:
    case TIMER_CONNECT:
      CheckPortLost();
      if (linkOpen_ != 0) engine_.OnTimer(id);
      break;
    case TIMER_STOP_SEND:
    case TIMER_STOP_DRAIN:
    case TIMER_STOP_END:
      StopTick(id);
      break;
    case TIMER_REOPEN:
      timers_.KillTimer(TIMER_REOPEN);
      view_.Enable(IDC_OPEN_CLOSE, true);
      view_.Enable(IDC_STOP_ACQ, true);
      break;
    default:
      timers_.KillTimer(id);
  }
}

// ---- Engine host -----------------------------------------------------------------------

void CQV31Dlg::StoreReply(const AcceptedReply& row, const uint8_t* payload) {
  switch (row.target) {
    case ReplyTarget::Params:
      if (params_.StoreReply(row, payload) < 0) return;
      if (row.show & SHOW_4G) Show4GControls();
      for (int p = 1; p <= GATEWAY_PORT_COUNT; ++p) {
        if (row.show & (SHOW_PORT1 << (p - 1))) ShowPortControls(p);
      }
      if (row.show & SHOW_NETWORK) ShowNetworkControls();
      break;
    case ReplyTarget::Table: {
      if (table_.StoreReply(row, payload) < 0) return;
      grid_.RefreshAcqBlock(table_, row.tableBlock);
      if (row.tableBlock == 0) ShowAcqSettings();
      const int first = AcqTable::FirstRowOfBlock(row.tableBlock);
      view_.CellsChanged(first, first + AcqTable::RowCountOfBlock(row.tableBlock) - 1);
      break;
    }
    case ReplyTarget::Ident:
      view_.SetText(IDC_VERSION, VersionText({payload, IDENT_SIZE}));
      break;
    case ReplyTarget::None:
      break;
  }
}

void CQV31Dlg::SetCommandButtonsEnabled(bool enabled) {
  for (const int id : COMMAND_BUTTONS) view_.Enable(id, enabled);
}

void CQV31Dlg::SetStatusText(std::string_view text) { SetStatus(text); }

void CQV31Dlg::SetStatus(std::string_view text, std::string_view toolTip) {
  view_.SetText(IDC_STATUS, text);
  view_.SetToolTip(IDC_STATUS, toolTip);
}

void CQV31Dlg::Queue(const std::vector<std::vector<uint8_t>>& frames) {
  for (const auto& f : frames) engine_.Queue(f);
}

// ---- About -----------------------------------------------------------------------------

std::string CQV31Dlg::AboutText() const { return "QV31，" + version_ + " 版"; }

void CQV31Dlg::OnAbout() { view_.ShowAbout(AboutText()); }

}  // namespace qv31

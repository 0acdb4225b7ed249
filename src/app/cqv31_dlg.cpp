#include "app/cqv31_dlg.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <utility>

#include "app/control_ids.h"
#include "app/dialog_texts.h"
#include "params/four_g_group.h"
#include "settings/settings_directory.h"
#include "text/choice_texts.h"
#include "transport/choice_lists.h"
#include "transport/port_discovery.h"

namespace qv31 {

using namespace dialog;

namespace {

constexpr std::array<std::string_view, 4> CHANNEL_PROTOCOLS = {"TCP Server", "TCP Client",
                                                               "UDP Server", "UDP Client"};
constexpr std::array<std::string_view, 3> LINK_PROTOCOLS = {"TCP Server", "TCP Client", "UDP"};

// The Open/Close button: at the left beside "停止采集" in serial mode, alone and centred in the
// link's group in network mode (the group is 249 pixels wide, from 12).
constexpr ControlRect OPEN_BUTTON_SERIAL = {21, 151, 88, 25};
constexpr ControlRect OPEN_BUTTON_NETWORK = {93, 151, 88, 25};

// The link settings the serial and the network mode show in the same place.
constexpr std::array<int, 7> SERIAL_SET = {IDC_LABEL_PORT, IDC_LABEL_BAUD, IDC_LABEL_FORMAT,
                                           IDC_LINK_PORT,  IDC_LINK_BAUD,  IDC_LINK_FORMAT,
                                           IDC_DETECT_LINE};
constexpr std::array<int, 7> NETWORK_SET = {
    IDC_LABEL_PROTOCOL, IDC_LABEL_ADDRESS,    IDC_LABEL_TARGET_PORT, IDC_LINK_PROTOCOL,
    IDC_LINK_ADDRESS,   IDC_LINK_TARGET_PORT, IDC_FIND_GATEWAYS};

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
      watchSocket_(std::move(env.watchSocket)),
      settingsDir_(std::move(env.settingsDir)),
      version_(std::move(env.version)),
      session_(timers_, clock_, *this),
      finder_(view_, timers_, clock_) {
  if (!discoverPorts_) discoverPorts_ = [] { return DiscoverSerialPorts(); };
  if (!wallClock_) wallClock_ = [] { return std::time(nullptr); };
  if (!watchSocket_) watchSocket_ = [](int) {};
  session_.SetObserver(&traffic_);
}

CQV31Dlg::~CQV31Dlg() { watchSocket_(-1); }

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
  comboShown_ = 0;
}

void CQV31Dlg::FillPortList() {
  for (const std::string& path : discoverPorts_()) AddPort(path);
  view_.ComboSelect(IDC_LINK_PORT, 0);
}

// Each adapter with its description (manufacturer, product, serial number) as tool tip.
void CQV31Dlg::AddPort(const std::string& path) {
  view_.ComboAdd(IDC_LINK_PORT, path);
  const int index = static_cast<int>(view_.ComboItems(IDC_LINK_PORT).size()) - 1;
  view_.SetComboItemToolTip(IDC_LINK_PORT, index, PortDescription(path));
}

// A port that discovery does not list (a pseudo-terminal, a virtual port) can still be
// chosen when it names a character device.
void CQV31Dlg::AddPortIfPresent(const std::string& path) {
  const auto items = view_.ComboItems(IDC_LINK_PORT);
  if (std::find(items.begin(), items.end(), path) != items.end()) return;
  if (IsCharacterDevice(path)) AddPort(path);
}

void CQV31Dlg::OnPortListOpening() {
  const std::string selected = view_.Text(IDC_LINK_PORT);
  view_.ComboClear(IDC_LINK_PORT);
  for (const std::string& path : discoverPorts_()) AddPort(path);
  AddPortIfPresent(selected);
  if (selected != settings_.portText) AddPortIfPresent(settings_.portText);
  SelectText(IDC_LINK_PORT, selected);
  // A typed path that names no device yet stays as typed.
  if (view_.ComboSelected(IDC_LINK_PORT) < 0 && !selected.empty()) {
    view_.SetText(IDC_LINK_PORT, selected);
  }
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
  std::string language;
  ini_.ReadString(SETTINGS_SECTION, LANGUAGE_KEY, "", language);
  chosenLanguage_ = ParseLanguage(language);
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

void CQV31Dlg::InitAcqList() { TableChanged(0, ACQ_ROW_COUNT - 1); }

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
      {IDC_OPEN_CLOSE, &CQV31Dlg::OnOpenClose}, {IDC_STOP_ACQ, &CQV31Dlg::StopAcquisition},
      {IDC_MODE, &CQV31Dlg::OnModeCheck},       {IDC_VERSION_QUERY, &CQV31Dlg::QueryVersion},
      {IDC_4G_QUERY, &CQV31Dlg::Query4G},       {IDC_4G_SET, &CQV31Dlg::Set4G},
      {IDC_NET_QUERY, &CQV31Dlg::QueryNetwork}, {IDC_NET_SET, &CQV31Dlg::SetNetwork},
      {IDC_ACQ_QUERY, &CQV31Dlg::QueryAcq},     {IDC_ACQ_SET, &CQV31Dlg::SetAcq},
      {IDC_QUERY_ALL, &CQV31Dlg::QueryAll},     {IDC_SET_ALL, &CQV31Dlg::SetAll},
      {IDC_SAVE_CSV, &CQV31Dlg::SaveCsv},       {IDC_LOAD_CSV, &CQV31Dlg::LoadCsv},
  };
  if (finder_.OnCommand(id)) return;
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

// ---- Session listener ------------------------------------------------------------------

void CQV31Dlg::ReplyStored(const AcceptedReply& row) {
  ClearBlank(row);
  switch (row.target) {
    case ReplyTarget::Params:
      if (row.show & SHOW_4G) Show4G();
      for (int p = 1; p <= GATEWAY_PORT_COUNT; ++p) {
        if (row.show & (SHOW_PORT1 << (p - 1))) ShowPort(p);
      }
      if (row.show & SHOW_NETWORK) ShowNetwork();
      break;
    case ReplyTarget::Table: {
      if (row.tableBlock == 0) ShowAcqSettings();
      const int first = AcqTable::FirstRowOfBlock(row.tableBlock);
      TableChanged(first, first + AcqTable::RowCountOfBlock(row.tableBlock) - 1);
      break;
    }
    case ReplyTarget::Ident:
      view_.SetText(IDC_VERSION, VersionText(session_.IdentityBytes()));
      break;
    case ReplyTarget::None:
      break;
  }
}

// The connect phase without an answer closes the link; a lost port closes it and says why.
void CQV31Dlg::ExchangeEnded(const ExchangeOutcome& outcome) {
  if (outcome.end == ExchangeEnd::LinkLost) {
    ClosePortLost(outcome);
  } else if (outcome.phase == EnginePhase::Connect) {
    ToggleLink();
    SetStatus(STATUS_TIMEOUT);
  } else {
    SetStatus(outcome.end == ExchangeEnd::Done ? STATUS_DONE : STATUS_TIMEOUT);
    SetCommandButtonsEnabled(true);
    TellWriteAccount(outcome, STATUS_TIMEOUT);
  }
}

void CQV31Dlg::TableChanged(int firstRow, int lastRow) {
  view_.CellsChanged(firstRow, lastRow);
  std::vector<AcqFinding> findings = CheckAcqGrid(session_.Grid());
  if (findings == findings_) return;
  findings_ = std::move(findings);
  view_.MarkCells(findings_);
}

void CQV31Dlg::UpdateProgress() {
  const ExchangeProgress progress =
      linkOpen_ != 0 ? session_.Engine().Progress() : ExchangeProgress{};
  if (progress == shownProgress_) return;
  shownProgress_ = progress;
  view_.ShowProgress(progress.answered, progress.total);
}

void CQV31Dlg::SetCommandButtonsEnabled(bool enabled) {
  for (const int id : COMMAND_BUTTONS) view_.Enable(id, enabled);
}

void CQV31Dlg::SetStatus(std::string_view text, std::string_view toolTip) {
  view_.SetText(IDC_STATUS, text);
  view_.SetToolTip(IDC_STATUS, toolTip);
}

// ---- About -----------------------------------------------------------------------------

std::string CQV31Dlg::AboutText() const { return "QV31，" + version_ + " 版"; }

void CQV31Dlg::OnAbout() { view_.ShowAbout(AboutText()); }

bool CQV31Dlg::ChooseLanguage(Language language) {
  chosenLanguage_ = language;
  return ini_.WriteString(SETTINGS_SECTION, LANGUAGE_KEY, LanguageCode(language)) > 0;
}

}  // namespace qv31

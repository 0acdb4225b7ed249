#include <algorithm>

#include "app/control_checks.h"
#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "app/dialog_texts.h"

// What keeps the window from writing what the operator did not mean, and tells what became
// of writes that did not finish.
namespace qv31 {

using namespace dialog;

namespace {
uint32_t Bit(GroupId g) { return 1u << static_cast<unsigned>(g); }
constexpr uint32_t ALL_TABLE_BLOCKS = 0xF;
}  // namespace

void CQV31Dlg::OnOpenClose() {
  if (linkOpen_ != 0 && clock_() - openedAt_ < DOUBLE_CLICK_MS) return;
  ToggleLink();
  if (linkOpen_ != 0) openedAt_ = clock_();
}

void CQV31Dlg::MarkBlank(GroupId group) {
  blank_ |= Bit(group);
  if (group == GroupId::Acq) acqBlank_ = ALL_TABLE_BLOCKS;
}

void CQV31Dlg::ClearBlank(const AcceptedReply& row) {
  if (row.target == ReplyTarget::Table) {
    acqBlank_ &= ~(1u << row.tableBlock);
    if (acqBlank_ == 0) blank_ &= ~Bit(GroupId::Acq);
    return;
  }
  if (row.target != ReplyTarget::Params) return;
  if (row.show & SHOW_4G) blank_ &= ~Bit(GroupId::FourG);
  if (row.show & SHOW_NETWORK) blank_ &= ~Bit(GroupId::Network);
  for (int p = 0; p < GATEWAY_PORT_COUNT; ++p) {
    if (row.show & (SHOW_PORT1 << p))
      blank_ &= ~Bit(static_cast<GroupId>(static_cast<int>(GroupId::Port1) + p));
  }
}

// Typing or choosing in a group fills it; so the group is still blank only while every one
// of its controls shows what the query emptied it to.
bool CQV31Dlg::ControlsEmpty(GroupId group) const {
  const auto allEmpty = [this](std::initializer_list<int> ids) {
    for (const int id : ids) {
      if (!view_.Text(id).empty()) return false;
    }
    return true;
  };
  switch (group) {
    case GroupId::FourG:
      return allEmpty({IDC_GROUP, IDC_STATION}) && !view_.Checked(IDC_LOG);
    case GroupId::Network:
      return allEmpty({IDC_LOCAL_IP, IDC_SUBNET_MASK, IDC_GATEWAY, IDC_DNS, IDC_CH1_TARGET,
                       IDC_CH1_PORT, IDC_CH2_TARGET, IDC_CH2_PORT}) &&
             view_.ComboSelected(IDC_CH1_PROTOCOL) < 0 && view_.ComboSelected(IDC_CH2_PROTOCOL) < 0;
    case GroupId::Acq:
      // Rows typed or loaded from a file clear the table's blocks; the settings count here.
      return (acqBlank_ & ~1u) != 0 ||
             (allEmpty({IDC_ACQ_TIMEOUT, IDC_ACQ_TIMEOUT_COUNT, IDC_ACQ_INTERVAL}) &&
              !view_.Checked(IDC_ACQ_ENABLE));
    default: {
      const int p = static_cast<int>(group) - static_cast<int>(GroupId::Port1);
      if (p < 0 || p >= GATEWAY_PORT_COUNT) return false;
      const GatewayPortIds& ids = GATEWAY_PORT_CONTROLS[static_cast<size_t>(p)];
      return view_.ComboSelected(ids.baud) < 0 && view_.ComboSelected(ids.format) < 0;
    }
  }
}

bool CQV31Dlg::StillBlank(GroupId group) const {
  return (blank_ & Bit(group)) != 0 && ControlsEmpty(group);
}

void CQV31Dlg::CopyGroupControls(GroupId group) {
  switch (group) {
    case GroupId::FourG:
      Copy4GControls();
      break;
    case GroupId::Network:
      CopyNetworkControls();
      break;
    case GroupId::Acq:
      CopyAcqSettings();
      break;
    default:
      CopyPortControls(static_cast<int>(group) - static_cast<int>(GroupId::Port1) + 1);
      break;
  }
}

bool CQV31Dlg::WriteGroups(const std::vector<GroupId>& groups) {
  std::vector<GroupId> blank;
  for (const GroupId g : groups) {
    if (StillBlank(g)) blank.push_back(g);
  }
  if (!blank.empty() && !view_.AskYesNo(std::string(ASK_BLANK_HEAD) + "\n" + GroupList(blank) +
                                        "\n" + std::string(ASK_BLANK_TAIL))) {
    return false;
  }
  // A group the operator has just agreed to write empty is written as it stands.
  const auto textOf = [this](int id) { return view_.Text(id); };
  for (const GroupId g : groups) {
    if (std::find(blank.begin(), blank.end(), g) != blank.end()) continue;
    if (const auto refusal = CheckGroupControls(g, textOf)) {
      view_.MessageBox(refusal->text);
      view_.Focus(refusal->id);
      return false;
    }
  }
  SetCommandButtonsEnabled(false);
  // Every group's controls are taken before the first frame is sent.
  for (const GroupId g : groups) CopyGroupControls(g);
  Frames frames;
  for (const GroupId g : groups) {
    for (auto& f : session_.SetFrames(g)) frames.push_back(std::move(f));
  }
  writes_ = frames;
  session_.Send(frames);
  return true;
}

void CQV31Dlg::TellWriteAccount(const ExchangeOutcome& outcome, std::string_view head) {
  Frames writes = std::move(writes_);
  writes_.clear();
  if (writes.empty() || outcome.end == ExchangeEnd::Done) return;
  const auto entries = AccountWrites(writes, outcome.answered, outcome.unanswered);
  view_.MessageBox(std::string(head) + "\n" + WriteAccountText(entries));
}

bool CQV31Dlg::MayClose() {
  if (linkOpen_ == 0 || session_.Engine().State() == ExchangeState::Idle) return true;
  std::string text(CLOSE_BUSY);
  text += "\n";
  if (!writes_.empty()) {
    const bool inFlight = session_.Engine().State() == ExchangeState::AwaitingReply;
    text +=
        WriteAccountText(AccountWrites(writes_, session_.Engine().Progress().answered, inFlight));
  }
  text += CLOSE_ASK;
  return view_.AskYesNo(text);
}

}  // namespace qv31

#include "app/gateway_finder.h"

#include <array>

#include "app/control_ids.h"
#include "app/dialog_texts.h"
#include "app/link_error_text.h"
#include "link/link_frame.h"
#include "text/number_text.h"
#include "transport/choice_lists.h"

namespace qv31 {
namespace {

using namespace dialog;

// Held while a scan uses the port: nothing may open it, change it or start another search.
constexpr std::array<int, 8> SCAN_LOCKED = {IDC_OPEN_CLOSE,    IDC_STOP_ACQ,    IDC_MODE,
                                            IDC_LINK_PORT,     IDC_LINK_BAUD,   IDC_LINK_FORMAT,
                                            IDC_FIND_GATEWAYS, IDC_LINK_ADDRESS};

// Ranges as the operator types them, separated by blanks, commas or semicolons. False with the
// first bad one in `bad`.
bool ExpandRanges(std::string_view text, std::vector<uint32_t>& targets, std::string& bad) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t start = text.find_first_not_of(" \t,;", at);
    if (start == std::string_view::npos) break;
    const size_t end = std::min(text.find_first_of(" \t,;", start), text.size());
    const std::string_view range = text.substr(start, end - start);
    if (ExpandAddressRange(range, targets) < 0) {
      bad = range;
      return false;
    }
    at = end;
  }
  return true;
}

}  // namespace

namespace dialog {

std::string SearchFoundText(size_t count) { return "找到 " + std::to_string(count) + " 个网关"; }
std::string SearchBadRangeText(std::string_view range) {
  return "搜索范围无效：" + std::string(range);
}
std::string DetectingText(std::string_view baud, std::string_view format, int number, int total) {
  return "检测 " + std::string(baud) + " " + std::string(format) + "（" + std::to_string(number) +
         "/" + std::to_string(total) + "）";
}
std::string DetectDoneText(std::string_view baud, std::string_view format,
                           std::string_view identity) {
  return "检测完成：" + std::string(baud) + " " + std::string(format) + " " + std::string(identity);
}

}  // namespace dialog

bool GatewayFinder::OnCommand(int id) {
  switch (id) {
    case IDC_FIND_GATEWAYS:
      OpenSearchDialog();
      return true;
    case IDC_SEARCH_START:
      StartSearch();
      return true;
    case IDC_SEARCH_USE:
      UseChosenGateway();
      return true;
    case IDC_DETECT_LINE:
      StartOrCancelScan();
      return true;
    default:
      return false;
  }
}

void GatewayFinder::OpenSearchDialog() { view_.Show(IDC_SEARCH_DIALOG, true); }

void GatewayFinder::StartSearch() {
  if (search_.Running()) return;
  std::vector<uint32_t> targets;
  std::string bad;
  const std::string rangeText = view_.Text(IDC_SEARCH_RANGE);
  if (!ExpandRanges(rangeText, targets, bad)) {
    view_.SetText(IDC_SEARCH_STATUS, SearchBadRangeText(bad));
    return;
  }
  if (targets.empty()) targets = LocalBroadcastTargets();
  const int64_t port = LeadingDecimal(view_.Text(IDC_LINK_TARGET_PORT));
  const auto targetPort =
      port >= 1 && port <= 65535 ? static_cast<uint16_t>(port) : GATEWAY_UDP_PORT;
  view_.ComboClear(IDC_SEARCH_LIST);
  listed_ = 0;
  if (!search_.Start(std::move(targets), targetPort, clock_())) {
    view_.SetText(IDC_SEARCH_STATUS, std::string(UDP_OPEN_FAILED) + search_.ErrorText());
    return;
  }
  view_.SetText(IDC_SEARCH_STATUS, SEARCHING);
  view_.Enable(IDC_SEARCH_START, false);
  timers_.StartTimer(TIMER_FINDER, FINDER_TICK_MS);
}

// The list is rebuilt when a gateway joins it, since answers arrive in any order and the list
// is sorted by address.
void GatewayFinder::ShowSearchResults() {
  const auto& found = search_.Found();
  if (found.size() != listed_) {
    const int chosen = view_.ComboSelected(IDC_SEARCH_LIST);
    view_.ComboClear(IDC_SEARCH_LIST);
    for (const FoundGateway& g : found) {
      view_.ComboAdd(IDC_SEARCH_LIST,
                     Ipv4Text(g.address) + ":" + std::to_string(g.port) + "  " + g.identity);
    }
    view_.ComboSelect(IDC_SEARCH_LIST, chosen >= 0 ? chosen : 0);
    listed_ = found.size();
  }
  if (search_.Running()) return;
  timers_.KillTimer(TIMER_FINDER);
  view_.Enable(IDC_SEARCH_START, true);
  view_.SetText(IDC_SEARCH_STATUS,
                found.empty() ? std::string(SEARCH_NONE) : SearchFoundText(found.size()));
}

void GatewayFinder::UseChosenGateway() {
  const int chosen = view_.ComboSelected(IDC_SEARCH_LIST);
  const auto& found = search_.Found();
  if (chosen < 0 || static_cast<size_t>(chosen) >= found.size()) return;
  const FoundGateway gateway = found[static_cast<size_t>(chosen)];
  view_.SetText(IDC_LINK_ADDRESS, Ipv4Text(gateway.address));
  view_.SetText(IDC_LINK_TARGET_PORT, std::to_string(gateway.port));
  OnSearchDialogClosed();
}

void GatewayFinder::OnSearchDialogClosed() {
  if (search_.Running()) {
    search_.Stop();
    ShowSearchResults();
  }
  view_.Show(IDC_SEARCH_DIALOG, false);
}

void GatewayFinder::StartOrCancelScan() {
  if (scan_.Running()) {
    scan_.Cancel();
    EndScan();
    return;
  }
  const std::string port = view_.Text(IDC_LINK_PORT);
  if (!scan_.Start(port, clock_())) {
    const std::string reason = LinkErrorText(scan_.OpenError());
    view_.MessageBox(SerialOpenFailedText(port) + (reason.empty() ? "" : "\n" + reason));
    return;
  }
  LockLinkControls(true);
  view_.SetText(IDC_DETECT_LINE, TEXT_CANCEL);
  shownTry_ = 0;
  ShowScanTry();
  timers_.StartTimer(TIMER_FINDER, FINDER_TICK_MS);
}

void GatewayFinder::ShowScanTry() {
  if (scan_.TryNumber() == shownTry_) return;
  shownTry_ = scan_.TryNumber();
  const LineTry t = scan_.Current();
  view_.ShowProgress(shownTry_, scan_.TryCount());
  view_.SetText(IDC_STATUS,
                DetectingText(std::to_string(t.baud), t.format, shownTry_, scan_.TryCount()));
}

void GatewayFinder::EndScan() {
  timers_.KillTimer(TIMER_FINDER);
  LockLinkControls(false);
  view_.SetText(IDC_DETECT_LINE, TEXT_DETECT);
  view_.ShowProgress(0, 0);
  const LineTry t = scan_.Current();
  switch (scan_.State()) {
    case ScanState::Found:
      view_.ComboSelect(IDC_LINK_BAUD,
                        SelectComboText(view_.ComboItems(IDC_LINK_BAUD), std::to_string(t.baud)));
      view_.ComboSelect(IDC_LINK_FORMAT,
                        SelectComboText(view_.ComboItems(IDC_LINK_FORMAT), t.format));
      view_.SetText(IDC_STATUS, DetectDoneText(std::to_string(t.baud), t.format, scan_.Identity()));
      break;
    case ScanState::Cancelled:
      view_.SetText(IDC_STATUS, DETECT_CANCELLED);
      break;
    case ScanState::Lost:
      view_.SetText(IDC_STATUS, LinkErrorText(scan_.OpenError()));
      break;
    default:
      view_.SetText(IDC_STATUS, DETECT_NONE);
  }
}

void GatewayFinder::LockLinkControls(bool locked) {
  if (locked) {
    for (size_t i = 0; i < SCAN_LOCKED.size(); ++i) {
      wasEnabled_[i] = view_.IsEnabled(SCAN_LOCKED[i]);
      view_.Enable(SCAN_LOCKED[i], false);
    }
    return;
  }
  for (size_t i = 0; i < SCAN_LOCKED.size(); ++i) view_.Enable(SCAN_LOCKED[i], wasEnabled_[i]);
}

void GatewayFinder::EnableLinkControl(int id, bool enabled) {
  for (size_t i = 0; i < SCAN_LOCKED.size(); ++i) {
    if (SCAN_LOCKED[i] == id && scan_.Running()) {
      wasEnabled_[i] = enabled;
      return;
    }
  }
  view_.Enable(id, enabled);
}

void GatewayFinder::OnTimer() {
  if (search_.Running()) {
    search_.Step(clock_());
    ShowSearchResults();
  } else if (scan_.Running()) {
    if (scan_.Step(clock_())) {
      ShowScanTry();
    } else {
      EndScan();
    }
  } else {
    timers_.KillTimer(TIMER_FINDER);
  }
}

}  // namespace qv31

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "app/dialog_view.h"
#include "link/request_engine.h"
#include "session/timer_service.h"
#include "transport/gateway_search.h"
#include "transport/serial_scan.h"

namespace qv31 {

// Steps a running search or scan; it never waits, so the window stays responsive.
constexpr int TIMER_FINDER = 104;
constexpr uint32_t FINDER_TICK_MS = 10;

// The window's "搜索" (network mode: find gateways, fill "目标地址" and "目标端口" with the one
// chosen) and "检测" (serial mode: find the chosen port's baud and format, select them). The
// search runs in a small dialog of its own (IDC_SEARCH_DIALOG and its controls); the scan shows
// its tries in the progress bar and turns its button into a cancel. Both are driven from
// TIMER_FINDER; the dialog routes the timer and the controls' commands here.
class GatewayFinder {
 public:
  GatewayFinder(DialogView& view, TimerService& timers, MsClock clock)
      : view_(view), timers_(timers), clock_(std::move(clock)) {}

  // Routes a command of the finder's controls; false for any other control.
  bool OnCommand(int id);
  void OnTimer();
  // The search dialog was closed without choosing: any search ends.
  void OnSearchDialogClosed();
  // A scan holds the serial port: the link must not be opened meanwhile.
  bool Scanning() const { return scan_.Running(); }
  // Enables or disables a control the scan locks: now, or when the scan ends if one runs.
  void EnableLinkControl(int id, bool enabled);

 private:
  void OpenSearchDialog();
  void StartSearch();
  void ShowSearchResults();
  void UseChosenGateway();
  void StartOrCancelScan();
  void ShowScanTry();
  void EndScan();
  void LockLinkControls(bool locked);

  DialogView& view_;
  TimerService& timers_;
  MsClock clock_;
  GatewaySearch search_;
  size_t listed_ = 0;
  SerialScan scan_;
  int shownTry_ = 0;
  std::array<bool, 8> wasEnabled_{};
};

}  // namespace qv31

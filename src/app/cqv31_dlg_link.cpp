#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "app/dialog_texts.h"
#include "app/link_error_text.h"
#include "text/number_text.h"

namespace qv31 {

using namespace dialog;

// ---- Link control ----------------------------------------------------------------------

void CQV31Dlg::CopyLinkControls() {
  settings_.portText = view_.Text(IDC_LINK_PORT);
  settings_.baudText = view_.Text(IDC_LINK_BAUD);
  settings_.formatText = view_.Text(IDC_LINK_FORMAT);
}

void CQV31Dlg::ToggleLink() {
  if (finder_.Scanning()) return;
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
  const std::string reason = LinkErrorText(session_.Link().OpenError());
  if (!reason.empty()) text += "\n" + reason;
  view_.MessageBox(text);
}

void CQV31Dlg::OpenLink() {
  const bool serial = settings_.serialMode == MODE_SERIAL;
  if (serial) {
    view_.SetText(IDC_VERSION, "");
    if (!session_.Link().OpenSerial(SerialLinkFromTexts(
            settings_.portText, settings_.baudText, settings_.formatText, settings_.delayText))) {
      ShowOpenFailure(SerialOpenFailedText(settings_.portText));
      return;
    }
  } else {
    if (!session_.Link().OpenUdp(settings_.addressText,
                                 LeadingDecimal32(settings_.targetPortText))) {
      ShowOpenFailure(UDP_OPEN_FAILED);
      return;
    }
    watchSocket_(session_.Link().Udp().Fd());
  }
  SaveSettings();
  traffic_.SetEpoch(clock_());
  view_.SetText(IDC_OPEN_CLOSE, TEXT_CLOSE);
  linkOpen_ = ~linkOpen_;
  QueryVersion();
  QueryAll();
  QueryAcq();
  for (const int id : LINK_CONTROLS) view_.Enable(id, false);
  if (serial) view_.Enable(IDC_STOP_ACQ, false);
  session_.StartConnect();
}

void CQV31Dlg::CloseLinkNow() {
  const bool serial = settings_.serialMode == MODE_SERIAL;
  watchSocket_(-1);
  session_.Close();
  writes_.clear();
  view_.SetText(IDC_OPEN_CLOSE, TEXT_OPEN);
  linkOpen_ = ~linkOpen_;
  SetCommandButtonsEnabled(linkOpen_ != 0);
  for (const int id : LINK_CONTROLS) view_.Enable(id, true);
  UpdateProgress();
  StartReopenPause(serial ? SERIAL_CLOSE_PAUSE_MS : UDP_CLOSE_PAUSE_MS);
}

// The pause after a close keeps only the two buttons that open the line again disabled; the
// window goes on being usable.
void CQV31Dlg::StartReopenPause(uint32_t ms) {
  view_.Enable(IDC_OPEN_CLOSE, false);
  view_.Enable(IDC_STOP_ACQ, false);
  timers_.StartTimer(TIMER_REOPEN, ms);
}

// An unplugged adapter: close the link as the button does and say why, instead of letting
// every request time out on a port that is gone.
void CQV31Dlg::ClosePortLost(const ExchangeOutcome& outcome) {
  if (linkOpen_ == 0) return;
  const std::string reason = LinkErrorText(session_.Link().OpenError());
  Frames writes = std::move(writes_);
  ToggleLink();
  SetStatus(STATUS_PORT_LOST);
  const std::string head = settings_.portText + "\n" + reason;
  if (writes.empty()) {
    view_.MessageBox(head);
    return;
  }
  writes_ = std::move(writes);
  TellWriteAccount(outcome, head);
}

void CQV31Dlg::StopAcquisition() {
  if (finder_.Scanning()) return;
  CopyLinkControls();
  view_.SetText(IDC_VERSION, "");
  if (!session_.Link().OpenSerial(SerialLinkFromTexts(settings_.portText, settings_.baudText,
                                                      settings_.formatText, settings_.delayText))) {
    ShowOpenFailure(SerialOpenFailedText(settings_.portText));
    return;
  }
  traffic_.SetEpoch(clock_());
  session_.StartStop();
  view_.Enable(IDC_OPEN_CLOSE, false);
  view_.Enable(IDC_STOP_ACQ, false);
}

void CQV31Dlg::StopFinished() {
  SetStatus(session_.StopAcknowledged() ? STATUS_STOP_ACKED : STATUS_STOP_SILENT);
  view_.Enable(IDC_OPEN_CLOSE, true);
  view_.Enable(IDC_STOP_ACQ, true);
}

void CQV31Dlg::OnTimer(int id) {
  if (session_.OnTimer(id)) {
    UpdateProgress();
  } else if (id == TIMER_REOPEN) {
    timers_.KillTimer(TIMER_REOPEN);
    finder_.EnableLinkControl(IDC_OPEN_CLOSE, true);
    finder_.EnableLinkControl(IDC_STOP_ACQ, true);
  } else if (id == TIMER_FINDER) {
    finder_.OnTimer();
  } else {
    timers_.KillTimer(id);
  }
}

}  // namespace qv31

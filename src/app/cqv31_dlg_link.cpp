#include <array>
#include <span>

#include "acq/acq_frames.h"
#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "app/dialog_texts.h"

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
  traffic_.SetEpoch(clock_());
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
  if (finder_.Scanning()) return;
  CopyLinkControls();
  view_.SetText(IDC_VERSION, "");
  const bool opened = link_.OpenSerial(settings_.portText, settings_.baudText, settings_.formatText,
                                       settings_.delayText);
  engine_.SetReplyTimeoutMs(link_.ReplyTimeoutMs());
  if (!opened) {
    ShowOpenFailure("无法打开 " + settings_.portText + " 串口！");
    return;
  }
  traffic_.SetEpoch(clock_());
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
    traffic_.OnLinkEvent({clock_(), true, frame, BlockFate::Sent});
    timers_.KillTimer(TIMER_STOP_SEND);
  } else if (id == TIMER_STOP_DRAIN) {
    std::array<uint8_t, LINK_BUFFER_SIZE> drained{};
    int32_t length = 0;
    if (link_.ReceiveBlock(drained.data(), length)) {
      const auto block = ReceivedBytes(drained.data(), length);
      traffic_.OnLinkEvent({clock_(), false, block, DrainedFate(block)});
    }
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
      UpdateProgress();
      break;
    case TIMER_STOP_SEND:
    case TIMER_STOP_DRAIN:
    case TIMER_STOP_END:
      StopTick(id);
      break;
    case TIMER_REOPEN:
      timers_.KillTimer(TIMER_REOPEN);
      finder_.EnableLinkControl(IDC_OPEN_CLOSE, true);
      finder_.EnableLinkControl(IDC_STOP_ACQ, true);
      break;
    case TIMER_FINDER:
      finder_.OnTimer();
      break;
    default:
      timers_.KillTimer(id);
  }
}

}  // namespace qv31

#include "cli/ctl_context.h"

#include <unistd.h>

#include <cstring>

#include "cli/ctl_keys.h"
#include "cli/interrupt.h"
#include "settings/ckx_file_ini.h"
#include "settings/link_settings.h"

namespace qv31 {

int CtlContext::Fail(int status, const std::string& message) const {
  return ReportCtlError(o_.json, status, message, out_, err_);
}

int CtlContext::OpenLink(bool serialOnly) {
  std::string port = o_.device, baud = o_.baud, format = o_.format, delay = o_.delay;
  std::string host = o_.host, udpPort = o_.udpPort;
  bool serial = o_.link == CtlOptions::Link::Serial;
  if (o_.link == CtlOptions::Link::Settings) {
    CKXFileIni ini;
    ini.SetFile(std::string(SETTINGS_FILE));
    std::string problem;
    const LinkSettings s = LoadLinkSettings(ini, problem);
    if (!problem.empty()) {
      std::fprintf(err_, "qv31ctl: settings file %s; using the defaults\n", problem.c_str());
    } else if (ini.FilePath().empty() || ::access(ini.FilePath().c_str(), F_OK) != 0) {
      return Fail(EXIT_USAGE, "no connection given (--udp or --serial) and no settings file at " +
                                  ini.FilePath());
    }
    serial = s.serialMode == "TRUE";
    port = s.portText, baud = s.baudText, format = s.formatText, delay = s.delayText;
    host = s.addressText, udpPort = s.targetPortText;
  }
  if (serialOnly && !serial) {
    return Fail(EXIT_USAGE, "stop works over a serial line only (--serial DEVICE)");
  }
  std::string error;
  if (!CheckLinkTexts(serial, baud, format, delay, udpPort, error)) return Fail(EXIT_USAGE, error);
  if (serial) {
    if (!link_.OpenSerial(port, baud, format, delay)) {
      return Fail(EXIT_OPEN, "无法打开 " + port + " 串口！ " + link_.OpenErrorText());
    }
  } else if (!link_.OpenUdp(host, udpPort) || !link_.OpenErrorText().empty()) {
    return Fail(EXIT_OPEN, "无法打开UDP端口！ " + link_.OpenErrorText());
  }
  return EXIT_DONE;
}

int CtlContext::OpenAndConnect() {
  if (const int rc = OpenLink(false)) return rc;
  session_ = std::make_unique<GatewaySession>(
      link_, link_.ReplyTimeoutMs(), [this] { return link_.PortLost(); },
      [] { return CaughtSignal() != 0; });
  session_->SetObserver(Trace());
  lastOutcome_ = session_->Connect();
  return lastOutcome_ == GatewaySession::Outcome::Done ? EXIT_DONE : GatewayFailure();
}

int CtlContext::GatewayFailure() {
  int status = EXIT_GATEWAY;
  switch (lastOutcome_) {
    case GatewaySession::Outcome::LinkLost:
      Fail(status, "the serial port went away: " + link_.OpenErrorText());
      break;
    case GatewaySession::Outcome::Stopped:
      status = InterruptedStatus();
      Fail(status,
           std::string("stopped by SIG") + sigabbrev_np(CaughtSignal()) + " at a frame boundary");
      break;
    default:
      Fail(status, std::string(STATUS_TIMEOUT) + " (the gateway did not answer)");
      break;
  }
  if (!writeState_.empty()) std::fprintf(err_, "%s", writeState_.c_str());
  return status;
}

bool CtlContext::Exchange(const FrameList& frames) {
  lastOutcome_ = session_->Run(frames);
  // A signal caught while a run ended otherwise still ends the command here.
  if (CaughtSignal() != 0) lastOutcome_ = GatewaySession::Outcome::Stopped;
  return lastOutcome_ == GatewaySession::Outcome::Done;
}

}  // namespace qv31

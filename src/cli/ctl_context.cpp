#include "cli/ctl_context.h"

#include <unistd.h>

#include <cstring>

#include "cli/interrupt.h"
#include "session/key_table.h"
#include "settings/ckx_file_ini.h"
#include "settings/link_settings.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

struct PortReasonWords {
  PortError error;
  const char* words;
};

constexpr PortReasonWords PORT_REASON_WORDS[] = {
    {PortError::Missing, "no such device (unplugged or misnamed)"},
    {PortError::Busy, "in use by another program"},
    {PortError::PermissionDenied,
     "permission denied (add the user to the dialout group, then log in again)"},
    {PortError::NotSerial, "not a serial device"},
    {PortError::Other, "system error"},
    {PortError::Lost, "the device went away (unplugged or closed)"},
};

// Every open failure and lost port of qv31ctl is worded here, with the system's own code for
// whoever reads logs against the operating system's documentation.
std::string LinkErrorLine(const LinkOpenError& e) {
  std::string line;
  if (e.link == LinkOpenError::Link::Serial) {
    line = "serial port " + e.target + ": ";
    for (const auto& r : PORT_REASON_WORDS) {
      if (r.error == e.port) line += r.words;
    }
    for (const std::string& holder : e.holders) line += ", held by " + holder;
  } else if (e.udp == UdpError::Socket) {
    line = "cannot create a UDP socket";
  } else if (e.udp == UdpError::BadPort) {
    line = "UDP target port is not 1..65535";
  } else {
    line = "UDP target " + e.target + " does not resolve";
  }
  if (e.systemCode != 0) line += " (system error " + std::to_string(e.systemCode) + ")";
  return line;
}

}  // namespace

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
    if (!link_.OpenSerial(SerialLinkFromTexts(port, baud, format, delay))) {
      return Fail(EXIT_OPEN, "cannot open " + LinkErrorLine(link_.OpenError()));
    }
  } else if (!link_.OpenUdp(host, LeadingDecimal32(udpPort)) || link_.OpenError().Any()) {
    return Fail(EXIT_OPEN, "cannot open " + LinkErrorLine(link_.OpenError()));
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
      Fail(status, "the serial port went away: " + LinkErrorLine(link_.OpenError()));
      break;
    case GatewaySession::Outcome::Stopped:
      status = InterruptedStatus();
      Fail(status, "stopped by " + InterruptName() + " at a frame boundary");
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

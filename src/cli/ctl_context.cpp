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

}  // namespace

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

CtlContext::CtlContext(const CtlOptions& o, std::FILE* out, std::FILE* err)
    : o_(o),
      out_(out),
      err_(err),
      loop_([this](int id) { session_.OnTimer(id); }, [this] { session_.Wake(); }),
      session_(
          loop_, [this] { return loop_.NowMs(); }, *this) {
  session_.SetReceiverWake([this] { loop_.Wake(); });
}

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
      std::fprintf(err_, "qv31ctl: settings file %s\n", problem.c_str());
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
  LinkTransport& link = session_.Link();
  if (serial) {
    if (!link.OpenSerial(SerialLinkFromTexts(port, baud, format, delay))) {
      return Fail(EXIT_OPEN, "cannot open " + LinkErrorLine(link.OpenError()));
    }
  } else if (!link.OpenUdp(host, LeadingDecimal32(udpPort)) || link.OpenError().Any()) {
    return Fail(EXIT_OPEN, "cannot open " + LinkErrorLine(link.OpenError()));
  }
  // The trace counts time from the moment the link opened.
  trace_.SetSince(loop_.NowMs());
  session_.SetObserver(Trace());
  return EXIT_DONE;
}

int CtlContext::OpenAndConnect() {
  if (const int rc = OpenLink(false)) return rc;
  session_.Query(GroupId::Identity);
  session_.StartConnect();
  lastOutcome_ = Run([this] { return session_.Engine().Phase() == EnginePhase::Normal; });
  return lastOutcome_ == Outcome::Done ? EXIT_DONE : GatewayFailure();
}

CtlContext::Outcome CtlContext::Run(const std::function<bool()>& finished) {
  ended_.reset();
  loop_.RunUntil([&] {
    if (CaughtSignal() != 0) {
      session_.Halt();
      // A second signal gives up the frame in flight; the account still says it was sent.
      return session_.Halted() || CaughtSignalCount() >= 2;
    }
    return ended_.has_value() || finished();
  });
  if (CaughtSignal() != 0) return Outcome::Stopped;
  if (!ended_) return Outcome::Done;
  if (ended_->end == ExchangeEnd::LinkLost) return Outcome::LinkLost;
  return ended_->end == ExchangeEnd::Done ? Outcome::Done : Outcome::TimedOut;
}

int CtlContext::GatewayFailure() {
  int status = EXIT_GATEWAY;
  switch (lastOutcome_) {
    case Outcome::LinkLost:
      Fail(status, "the serial port went away: " + LinkErrorLine(Link().OpenError()));
      break;
    case Outcome::Stopped:
      status = InterruptedStatus();
      Fail(status, CaughtSignalCount() >= 2
                       ? std::string("stopped by a second signal without waiting for the answer "
                                     "to the frame in flight")
                       : "stopped by " + InterruptName() + " at a frame boundary");
      break;
    default:
      Fail(status, "通信超时 (the gateway did not answer)");
      break;
  }
  if (!writeState_.empty()) std::fprintf(err_, "%s", writeState_.c_str());
  return status;
}

bool CtlContext::Exchange(const FrameList& frames) {
  const int before = session_.Engine().Progress().answered;
  session_.Send(frames);
  lastOutcome_ = Run([] { return false; });
  const ExchangeProgress now = session_.Engine().Progress();
  answered_ = (ended_ ? ended_->answered : now.answered) - before;
  inFlight_ = (ended_ && ended_->end == ExchangeEnd::TimedOut) ||
              session_.Engine().State() == ExchangeState::AwaitingReply;
  return lastOutcome_ == Outcome::Done;
}

void CtlContext::RunStopSequence() {
  stopFinished_ = false;
  session_.StartStop();
  loop_.RunUntil([this] { return stopFinished_; });
}

}  // namespace qv31

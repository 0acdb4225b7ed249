#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cli/ctl_options.h"
#include "cli/gateway_session.h"
#include "cli/trace_printer.h"
#include "transport/link_transport.h"

namespace qv31 {

using FrameList = std::vector<std::vector<uint8_t>>;

// What every qv31ctl command shares: its options and output streams, the link, and the
// session with the gateway once connected.
class CtlContext {
 public:
  CtlContext(const CtlOptions& o, std::FILE* out, std::FILE* err) : o_(o), out_(out), err_(err) {}

  const CtlOptions& Options() const { return o_; }
  std::FILE* Out() const { return out_; }
  std::FILE* Err() const { return err_; }

  // "qv31ctl: message" on stderr; returns `status`.
  int Fail(int status, const std::string& message) const;

  // Opens the link given on the command line, else the one in the settings file.
  int OpenLink(bool serialOnly);
  // OpenLink, then the connect phase; the session exists afterwards.
  int OpenAndConnect();
  // Runs frames through the session; false unless every one was answered.
  bool Exchange(const FrameList& frames);
  // The message and status for the last exchange that did not end with "执行完成".
  int GatewayFailure();
  GatewaySession::Outcome LastOutcome() const { return lastOutcome_; }
  // For the commands that write: what the gateway holds of the write so far, printed under
  // every gateway failure (empty for the commands that only read).
  void SetWriteState(std::string text) { writeState_ = std::move(text); }

  // The --trace printer; nullptr without --trace.
  LinkObserver* Trace() { return o_.trace ? &trace_ : nullptr; }

  GatewaySession& Session() { return *session_; }
  LinkTransport& Link() { return link_; }

 private:
  const CtlOptions& o_;
  std::FILE* out_;
  std::FILE* err_;
  LinkTransport link_;
  TracePrinter trace_{err_};
  std::unique_ptr<GatewaySession> session_;
  GatewaySession::Outcome lastOutcome_ = GatewaySession::Outcome::Done;
  std::string writeState_;
};

}  // namespace qv31

#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/ctl_options.h"
#include "cli/trace_printer.h"
#include "session/gateway_session.h"
#include "session/timer_loop.h"

namespace qv31 {

// Every open failure and lost port of qv31ctl in words: "serial port X: in use by another
// program, held by ModemManager (pid 812) (system error 16)".
std::string LinkErrorLine(const LinkOpenError& e);

using FrameList = Frames;

// What every qv31ctl command shares: its options and output streams, and the session with
// the gateway, its ticks run by a loop of its own.
class CtlContext final : private SessionListener {
 public:
  enum class Outcome : uint8_t { Done, TimedOut, LinkLost, Stopped };

  CtlContext(const CtlOptions& o, std::FILE* out, std::FILE* err);

  const CtlOptions& Options() const { return o_; }
  std::FILE* Out() const { return out_; }
  std::FILE* Err() const { return err_; }

  // "qv31ctl: message" on stderr; returns `status`.
  int Fail(int status, const std::string& message) const;

  // Opens the link given on the command line, else the one in the settings file.
  int OpenLink(bool serialOnly);
  // OpenLink, then the connect phase; the session exists afterwards.
  int OpenAndConnect();
  // Runs frames through the session; false unless every one was answered. A signal stops it
  // at a frame boundary: nothing more is sent, the frame in flight gets its reply time-out.
  bool Exchange(const FrameList& frames);
  // Of the frames of the last exchange: how many were answered (always the first ones, in
  // order), and whether the one after them was sent and left unanswered when it ended.
  int AnsweredFrames() const { return answered_; }
  bool UnansweredInFlight() const { return inFlight_; }
  // The message and status for the last exchange that did not end done.
  int GatewayFailure();
  Outcome LastOutcome() const { return lastOutcome_; }
  // The stop sequence over the serial line opened by OpenLink(true).
  void RunStopSequence();
  // For the commands that write: what the gateway holds of the write so far, printed under
  // every gateway failure (empty for the commands that only read).
  void SetWriteState(std::string text) { writeState_ = std::move(text); }

  // The --trace printer; nullptr without --trace.
  LinkObserver* Trace() { return o_.trace ? &trace_ : nullptr; }

  GatewaySession& Session() { return session_; }
  LinkTransport& Link() { return session_.Link(); }

 private:
  void ReplyStored(const AcceptedReply&) override {}
  void ExchangeEnded(const ExchangeOutcome& outcome) override { ended_ = outcome; }
  void StopFinished() override { stopFinished_ = true; }
  // Runs the session's timers until `finished` holds or an exchange ends.
  Outcome Run(const std::function<bool()>& finished);

  const CtlOptions& o_;
  std::FILE* out_;
  std::FILE* err_;
  TracePrinter trace_{err_};
  TimerLoop loop_;
  GatewaySession session_;
  std::optional<ExchangeOutcome> ended_;
  bool stopFinished_ = false;
  int answered_ = 0;
  bool inFlight_ = false;
  Outcome lastOutcome_ = Outcome::Done;
  std::string writeState_;
};

}  // namespace qv31

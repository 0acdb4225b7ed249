#pragma once

#include <string>

namespace qv31 {

// SIGINT and SIGTERM, once caught, end a write at a frame boundary instead of killing the
// process; a second one of either kills it as usual. On Windows the console's Ctrl-C and
// Ctrl-Break count as SIGINT, closing the console window, logging off and shutting down as
// SIGTERM, so the exit statuses are the same.
void CatchInterrupts();
// The signal caught, or 0.
int CaughtSignal();
// The exit status for a caught signal: 128 + its number (130 for SIGINT, 143 for SIGTERM).
int InterruptedStatus();
// What was caught, for the operator: "SIGINT", "Ctrl-C", "console closed".
std::string InterruptName();

}  // namespace qv31

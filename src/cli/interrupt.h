#pragma once

#include <string>

namespace qv31 {

// SIGINT and SIGTERM, once caught, end a write at a frame boundary instead of killing the
// process; a second one of either stops waiting for the frame in flight, so the account is
// still printed; a third kills the process as usual. On Windows the console's Ctrl-C and
// Ctrl-Break count as SIGINT, closing the console window, logging off and shutting down as
// SIGTERM, so the exit statuses are the same.
void CatchInterrupts();
// The first signal caught, or 0.
int CaughtSignal();
// How many of them were caught (0, 1 or 2).
int CaughtSignalCount();
// The exit status for a caught signal: 128 + its number (130 for SIGINT, 143 for SIGTERM).
int InterruptedStatus();
// A file removed should the third signal kill the process (a temporary output). Several may be
// remembered at once (one per gateway of a fleet); gives the handle for ForgetRemoval, or -1
// when the path is empty, longer than the system's limit, or 128 are remembered already.
int RemoveWhenKilled(const char* path);
// The file of `handle` (from RemoveWhenKilled; -1 is ignored) is no longer to be removed.
void ForgetRemoval(int handle);
// What was caught, for the operator: "SIGINT", "Ctrl-C", "console closed".
std::string InterruptName();

}  // namespace qv31

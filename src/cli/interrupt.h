#pragma once

namespace qv31 {

// SIGINT and SIGTERM, once caught, end a write at a frame boundary instead of killing the
// process; a second one of either kills it as usual.
void CatchInterrupts();
// The signal caught, or 0.
int CaughtSignal();
// The exit status for a caught signal: 128 + its number (130 for SIGINT, 143 for SIGTERM).
int InterruptedStatus();

}  // namespace qv31

#pragma once

#include "sim/sim_server.h"

namespace qv31 {

// Makes an interrupt (Ctrl-C, a termination request, the console closing) end the server's
// Run so the state is saved. False when that cannot be arranged.
bool InstallStopSignals(StopSource& stop);

}  // namespace qv31

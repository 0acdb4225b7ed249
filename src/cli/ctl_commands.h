#pragma once

#include <cstdio>

#include "cli/ctl_options.h"

namespace qv31 {

// Runs one qv31ctl command; results go to `out`, messages and the trace to `err`.
// Returns the exit status (CtlExit).
int RunCtlCommand(const CtlOptions& options, std::FILE* out, std::FILE* err);

}  // namespace qv31

#pragma once

#include <cstdio>

#include "cli/ctl_options.h"

namespace qv31 {

// Several gateways named (--udp more than once, or --hosts).
bool IsFleet(const CtlOptions& options);

// Runs the command against each gateway, at most --parallel at a time, each in a thread of
// its own with its own session; one gateway's silence or refusal does not stop the others.
// Prints a block per gateway, or {"gateways": [...]} under --json, in the order named.
// Returns 0 when every gateway succeeded, else the highest status.
int RunFleet(const CtlOptions& options, std::FILE* out, std::FILE* err);

}  // namespace qv31

#pragma once

#include "cli/ctl_context.h"

namespace qv31 {

// apply [--check] [--diff] FILE: the keys and rows FILE names, compared with the gateway's;
// only the groups and table blocks that differ are written (nothing under --check).
int ApplyCommand(CtlContext& ctx);

}  // namespace qv31

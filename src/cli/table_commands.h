#pragma once

#include "cli/ctl_context.h"

namespace qv31 {

// table show [--all] | export FILE | import [--strict] FILE | check [FILE]
int TableCommand(CtlContext& ctx);

}  // namespace qv31

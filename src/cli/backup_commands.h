#pragma once

#include <string>

#include "cli/ctl_context.h"

namespace qv31 {

// The file's text; false with `error` saying why it cannot be read.
bool ReadText(const std::string& file, std::string& text, std::string& error);

// backup FILE: every key, every table row and both images into one JSON file.
int BackupCommand(CtlContext& ctx, const std::string& file);
// restore [--force] FILE: the backup checked whole, then written group by group and read
// back; a backup of another identity only with `force`.
int RestoreCommand(CtlContext& ctx, const std::string& file, bool force);

}  // namespace qv31

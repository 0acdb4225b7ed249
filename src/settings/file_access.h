#pragma once

#include <string>

// The settings file's few dealings with the file system, one file per system.
namespace qv31 {

// Writes `data` to a new file beside `path` and puts it in place of `path` in one step, so that
// a reader sees the old file or the new one, never a part. A symbolic link is followed.
bool ReplaceFileAtomically(const std::string& path, const std::string& data);

// The running program's file name without its folder ("qv31ctl", "qv31ctl.exe").
std::string ExecutableName();

}  // namespace qv31

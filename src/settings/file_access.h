#pragma once

#include <string>

// The settings file's few dealings with the file system, one file per system.
namespace qv31 {

enum class ReadResult { Ok, Missing, Failed };

// The whole file into `out`. `reason` (when given) says why a file that is there cannot be
// read ("is a directory", the system's text).
ReadResult ReadWholeFile(const std::string& path, std::string& out, std::string* reason = nullptr);

// Writes `data` to a new file beside `path` and puts it in place of `path` in one step, so that
// a reader sees the old file or the new one, never a part. A symbolic link is followed.
bool ReplaceFileAtomically(const std::string& path, const std::string& data);

// The running program's file name without its folder ("qv31ctl", "qv31ctl.exe").
std::string ExecutableName();

}  // namespace qv31

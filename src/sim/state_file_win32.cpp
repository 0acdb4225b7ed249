#include <windows.h>

#include "settings/file_access.h"
#include "sim/state_file.h"
#include "text/bounded_file.h"

namespace qv31 {

int LoadStateFile(const std::string& path, GatewayMemory& memory, std::string& error) {
  std::string text;
  std::string reason;
  switch (ReadBoundedFile(path, STATE_FILE_MAX_BYTES, text, reason)) {
    case FileReadResult::Missing:
      return 0;
    case FileReadResult::Refused:
      error = "cannot read " + path + ": " + reason;
      return -1;
    case FileReadResult::Read:
      break;
  }
  if (StateFromJson(text, memory, error) < 0) {
    error = path + ": " + error;
    return -1;
  }
  return 1;
}

int SaveStateFile(const std::string& path, const GatewayMemory& memory, std::string& error) {
  // A temporary file beside it, flushed, then moved over it in one step (MoveFileExW).
  if (ReplaceFileAtomically(path, StateToJson(memory))) return 1;
  error = "cannot replace " + path + " (system error " + std::to_string(GetLastError()) + ")";
  return -1;
}

}  // namespace qv31

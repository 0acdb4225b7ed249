#include <windows.h>

#include "sim/state_file.h"
#include "text/bounded_file.h"
#include "text/wide_text.h"

namespace qv31 {
namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + " (system error " + std::to_string(GetLastError()) + ")";
}

}  // namespace

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
  const std::string text = StateToJson(memory);
  const std::wstring target = Utf8ToWide(path);
  const std::wstring temp = target + L".qv31-sim-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = SystemError("cannot create a file beside", path);
    return -1;
  }
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
      written == text.size() && FlushFileBuffers(file);
  if (!ok) error = SystemError("cannot write beside", path);
  CloseHandle(file);
  // On the same volume MOVEFILE_REPLACE_EXISTING puts the new file in place in one step.
  if (!ok || !MoveFileExW(temp.c_str(), target.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    if (ok) error = SystemError("cannot replace", path);
    DeleteFileW(temp.c_str());
    return -1;
  }
  return 1;
}

}  // namespace qv31

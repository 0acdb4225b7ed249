#include <windows.h>

#include <atomic>

#include "settings/file_access.h"
#include "text/wide_text.h"

namespace qv31 {
namespace {

bool WriteAll(HANDLE file, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(data.size() - done, 1u << 20));
    if (!WriteFile(file, data.data() + done, chunk, &n, nullptr) || n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::string& path, const std::string& data) {
  static std::atomic<unsigned> serial{0};
  const std::wstring target = Utf8ToWide(path);
  const std::wstring temp = target + L".qv31-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                            std::to_wstring(serial.fetch_add(1)) + L".tmp";
  const HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = WriteAll(file, data) && FlushFileBuffers(file);
  ok = CloseHandle(file) && ok;
  // MOVEFILE_REPLACE_EXISTING puts the new file in place in one step on the same volume.
  ok = ok && MoveFileExW(temp.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temp.c_str());
  return ok;
}

std::string ExecutableName() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  if (n == 0 || n >= MAX_PATH * 4) return "qv31";
  const std::string path = WideToUtf8(std::wstring_view(buffer, n));
  return path.substr(path.find_last_of("\\/") + 1);
}

}  // namespace qv31

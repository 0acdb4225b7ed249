#include <windows.h>

#include <atomic>

#include "settings/file_access.h"
#include "text/wide_text.h"

namespace qv31 {
namespace {

std::string ErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 ? std::wstring(text, n) : L"system error " + std::to_wstring(code);
  if (text != nullptr) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
  return WideToUtf8(wide);
}

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

ReadResult ReadWholeFile(const std::string& path, std::string& out, std::string* reason) {
  out.clear();
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    if (reason != nullptr) *reason = "is a directory";
    return ReadResult::Failed;
  }
  const HANDLE file = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD e = GetLastError();
    if (e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND) return ReadResult::Missing;
    if (reason != nullptr) *reason = ErrorText(e);
    return ReadResult::Failed;
  }
  char buffer[65536];
  DWORD n = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr)) && n > 0) out.append(buffer, n);
  if (!ok && reason != nullptr) *reason = ErrorText(GetLastError());
  CloseHandle(file);
  return ok ? ReadResult::Ok : ReadResult::Failed;
}

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

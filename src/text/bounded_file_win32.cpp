#include <windows.h>

#include <algorithm>

#include "text/bounded_file.h"
#include "text/wide_text.h"

namespace qv31 {
namespace {

// The system's own words for an error code.
std::string SystemErrorText(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD n = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring wide = n > 0 ? std::wstring(text, n) : L"system error " + std::to_wstring(code);
  if (text != nullptr) LocalFree(text);
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r')) wide.pop_back();
  return WideToUtf8(wide);
}

const char* KindOf(DWORD type) {
  if (type == FILE_TYPE_PIPE) return "is a pipe, not a regular file";
  if (type == FILE_TYPE_CHAR) return "is a device, not a regular file";
  return "is not a regular file";
}

}  // namespace

FileReadResult ReadBoundedFile(const std::string& path, size_t maxBytes, std::string& out,
                               std::string& reason) {
  out.clear();
  reason.clear();
  const std::wstring wide = Utf8ToWide(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    reason = "is a directory";
    return FileReadResult::Refused;
  }
  const HANDLE file = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) {
      return FileReadResult::Missing;
    }
    reason = SystemErrorText(code);
    return FileReadResult::Refused;
  }
  bool ok = true;
  const DWORD type = GetFileType(file);
  LARGE_INTEGER size{};
  if (type != FILE_TYPE_DISK) {
    reason = KindOf(type);
    ok = false;
  } else if (GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) > maxBytes) {
    ok = false;
  }
  // Read with a bound as well: a file may grow while it is read.
  char buffer[16384];
  while (ok && out.size() <= maxBytes) {
    const DWORD want = static_cast<DWORD>(std::min(sizeof buffer, maxBytes + 1 - out.size()));
    DWORD got = 0;
    if (!ReadFile(file, buffer, want, &got, nullptr)) {
      reason = SystemErrorText(GetLastError());
      ok = false;
    }
    if (got == 0) break;
    out.append(buffer, got);
  }
  CloseHandle(file);
  if (ok && out.size() <= maxBytes) return FileReadResult::Read;
  if (reason.empty()) reason = "is larger than " + SizeText(maxBytes);
  out.clear();
  return FileReadResult::Refused;
}

}  // namespace qv31

#include <windows.h>

#include <cstdlib>

#include "settings/settings_directory.h"
#include "text/wide_text.h"

namespace qv31 {
namespace {

constexpr std::string_view APP_FOLDER = "qv31";

// Whether a file may be created in `dir`: the only sure test on Windows, where access rights
// come from ACLs and virtualised folders.
bool CanCreateIn(const std::string& dir) {
  const std::wstring probe =
      Utf8ToWide(dir) + L"\\.qv31-probe-" + std::to_wstring(GetCurrentProcessId());
  const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

std::string Environment(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? WideToUtf8(value) : std::string();
}

}  // namespace

std::string ExecutableDirectory() {
  wchar_t buffer[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH * 4);
  if (n == 0 || n >= MAX_PATH * 4) return {};
  const std::string path = WideToUtf8(std::wstring_view(buffer, n));
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string ChooseWindowsSettingsDirectory(std::string_view exeDir, bool exeDirWritable,
                                           std::string_view appData) {
  if (!exeDir.empty() && exeDirWritable) return std::string(exeDir);
  if (!appData.empty()) return std::string(appData) + "\\" + std::string(APP_FOLDER);
  return {};
}

std::string SettingsDirectory() {
  const std::string exeDir = ExecutableDirectory();
  return ChooseWindowsSettingsDirectory(exeDir, !exeDir.empty() && CanCreateIn(exeDir),
                                        Environment(L"APPDATA"));
}

bool MakeSettingsDirectory(const std::string& path) {
  // SHCreateDirectoryExW would pull in the shell; the parents (%APPDATA%) exist already, so
  // each missing level is made in turn.
  for (size_t at = path.find_first_of("\\/", 3);; at = path.find_first_of("\\/", at + 1)) {
    CreateDirectoryW(Utf8ToWide(path.substr(0, at)).c_str(), nullptr);
    if (at == std::string::npos) break;
  }
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace qv31

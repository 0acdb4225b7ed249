#include "settings/settings_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

namespace qv31 {
namespace {

constexpr std::string_view kAppDir = "qv31";

// mkdir -p; true when the directory exists afterwards.
bool MakeDirectories(const std::string& path, mode_t mode) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0 || static_cast<size_t>(n) >= buffer.size() - 1) return {};
  const std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsSystemFolder(std::string_view dir, bool ownedByUser) {
  for (const std::string_view root : {std::string_view("/usr"), std::string_view("/opt")}) {
    if (dir.starts_with(root) && (dir.size() == root.size() || dir[root.size()] == '/')) {
      return true;
    }
  }
  return !ownedByUser;
}

std::string ChooseSettingsDirectory(std::string_view exeDir, bool exeDirWritable,
                                    const char* xdgConfigHome, const char* home) {
  if (!exeDir.empty() && exeDirWritable) return std::string(exeDir);
  if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
    return std::string(xdgConfigHome) + "/" + std::string(kAppDir);
  }
  if (home != nullptr && home[0] == '/') {
    return std::string(home) + "/.config/" + std::string(kAppDir);
  }
  return {};
}

std::string SettingsDirectory() {
  const std::string exeDir = ExecutableDirectory();
  struct stat st {};
  const bool owned = ::stat(exeDir.c_str(), &st) == 0 && st.st_uid == ::geteuid();
  const bool writable =
      !exeDir.empty() && ::access(exeDir.c_str(), W_OK) == 0 && !IsSystemFolder(exeDir, owned);
  return ChooseSettingsDirectory(exeDir, writable, std::getenv("XDG_CONFIG_HOME"),
                                 std::getenv("HOME"));
}

bool MakeSettingsDirectory(const std::string& path) { return MakeDirectories(path, 0700); }

}  // namespace qv31

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "text/number_text.h"
#include "transport/port_discovery.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The serial core's "type" attribute holds the UART type; 0 (PORT_UNKNOWN) marks an entry
// reserved for a UART that is not there, as the 8250 driver makes for ttyS0..ttyS31.
bool UartMissing(const fs::path& entry) {
  std::ifstream type(entry / "type");
  if (!type) return false;
  std::string text;
  std::getline(type, text);
  return LeadingDecimal(text) == 0;
}

}  // namespace

std::vector<std::string> DiscoverSerialPorts(std::string_view sysRoot) {
  std::vector<std::string> names;
  std::error_code error;
  const fs::path classDir = fs::path(sysRoot) / "class" / "tty";
  for (fs::directory_iterator it(classDir, error), end; !error && it != end; it.increment(error)) {
    const fs::path entry = it->path();
    // Virtual consoles, pseudo-terminals and the console have no device behind them.
    if (!fs::exists(entry / "device", error) || UartMissing(entry)) continue;
    names.push_back(entry.filename().string());
  }
  std::sort(names.begin(), names.end(), NaturalLess);
  for (auto& name : names) name = "/dev/" + name;
  return names;
}

namespace {

std::string FirstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

std::string PortDescription(std::string_view devicePath, std::string_view sysRoot) {
  const std::string name = fs::path(devicePath).filename().string();
  std::error_code error;
  fs::path dir = fs::canonical(fs::path(sysRoot) / "class" / "tty" / name / "device", error);
  if (error) return {};
  // The interface sits below the USB device that carries the strings; a few levels suffice.
  for (int level = 0; level < 4 && !dir.empty() && dir != dir.root_path(); ++level) {
    std::string text;
    for (const char* attribute : {"manufacturer", "product", "serial"}) {
      const std::string value = FirstLine(dir / attribute);
      if (value.empty()) continue;
      if (!text.empty()) text += ' ';
      text += value;
    }
    if (!text.empty()) return text;
    dir = dir.parent_path();
  }
  return {};
}

std::vector<std::string> PortHolders(std::string_view devicePath, std::string_view procRoot) {
  std::vector<std::string> holders;
  std::error_code error;
  const fs::path target = fs::weakly_canonical(fs::path(devicePath), error);
  if (error) return holders;
  for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error)) {
    const std::string pid = it->path().filename().string();
    if (pid.empty() || !std::all_of(pid.begin(), pid.end(), IsDigit)) continue;
    std::error_code fdError;
    for (fs::directory_iterator fd(it->path() / "fd", fdError), fdEnd; !fdError && fd != fdEnd;
         fd.increment(fdError)) {
      std::error_code linkError;
      if (fs::read_symlink(fd->path(), linkError) == target) {
        holders.push_back(FirstLine(it->path() / "comm") + " (pid " + pid + ")");
        break;
      }
    }
  }
  return holders;
}

DeviceGroupAccess DeviceGroupOf(const std::string& devicePath) {
  DeviceGroupAccess access{{}, false, false};
  struct stat st {};
  if (::stat(devicePath.c_str(), &st) != 0) return access;
  if (const group* g = ::getgrgid(st.st_gid)) access.group = g->gr_name;
  std::vector<gid_t> held(static_cast<size_t>(std::max(::getgroups(0, nullptr), 0)) + 1);
  const int n = ::getgroups(static_cast<int>(held.size()), held.data());
  held.resize(static_cast<size_t>(std::max(n, 0)));
  held.push_back(::getegid());
  access.inSession = std::find(held.begin(), held.end(), st.st_gid) != held.end();
  access.inUserDatabase = access.inSession;
  if (const passwd* pw = ::getpwuid(::getuid())) {
    int count = 64;
    std::vector<gid_t> all(static_cast<size_t>(count));
    if (::getgrouplist(pw->pw_name, pw->pw_gid, all.data(), &count) >= 0) {
      all.resize(static_cast<size_t>(count));
      access.inUserDatabase =
          access.inUserDatabase || std::find(all.begin(), all.end(), st.st_gid) != all.end();
    }
  }
  return access;
}

}  // namespace qv31

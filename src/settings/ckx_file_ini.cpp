#include "settings/ckx_file_ini.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "settings/ini_text.h"
#include "settings/settings_directory.h"
#include "text/bounded_file.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

enum class ReadResult { Ok, Missing, Failed };

// `reason` says why a file that is there cannot be read. A device, a FIFO or a file far
// larger than any settings file is refused without reading it all.
ReadResult ReadWholeFile(const std::string& path, std::string& out, std::string* reason = nullptr) {
  std::string why;
  const FileReadResult r = ReadBoundedFile(path, INI_FILE_MAX, out, why);
  if (r == FileReadResult::Missing) return ReadResult::Missing;
  if (r == FileReadResult::Read) return ReadResult::Ok;
  if (why.rfind("is larger", 0) == 0) why += " (the settings need under 3 KB)";
  if (reason != nullptr) *reason = why;
  return ReadResult::Failed;
}

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

// The file's bytes when it exists and can be used; nullopt otherwise.
std::optional<std::string> UsableFile(const std::string& path, std::string* reason = nullptr) {
  std::string file;
  if (path.empty() || ReadWholeFile(path, file, reason) != ReadResult::Ok) return std::nullopt;
  // Saved as UTF-8 by an editor: the names would not match their GBK bytes anyway.
  if (file.starts_with(UTF8_BOM)) {
    if (reason != nullptr) *reason = "begins with a UTF-8 byte-order mark; it must be GBK text";
    return std::nullopt;
  }
  if (!IsValidGbk(file)) {
    if (reason != nullptr) *reason = "is not valid GBK text";
    return std::nullopt;
  }
  return file;
}

bool WriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// A symbolic link is followed, so the file it names is replaced rather than the link.
std::string ResolvedPath(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  char resolved[PATH_MAX];
  return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& data) {
  const std::string target = ResolvedPath(path);
  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  std::string temp = (slash == std::string::npos ? std::string() : dir) + ".qv31-ini-XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) return false;
  temp = name.data();
  struct stat st {};
  const mode_t mode = ::stat(target.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && WriteAll(fd, data) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

std::string ExecutableName() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return "qv31";
  const std::string path(buffer, static_cast<size_t>(n));
  return path.substr(path.rfind('/') + 1);
}

}  // namespace

std::string CKXFileIni::FileProblem(const std::string& fileName) const {
  const std::string& path = fileName.empty() ? filePath_ : fileName;
  std::string reason;
  if (path.empty() || UsableFile(path, &reason) || reason.empty()) return {};
  return reason;
}

std::string CKXFileIni::SectionProblem(std::string_view section) const {
  if (filePath_.empty()) return {};
  std::string reason;
  const std::optional<std::string> file = UsableFile(filePath_, &reason);
  if (!file) return reason;
  if (file->empty()) return "is empty";
  if (!IniHasSection(*file, Utf8ToGbk(section)))
    return "has no [" + std::string(section) + "] section";
  return {};
}

void CKXFileIni::SetFile(const std::string& name) {
  if (name.empty()) {
    std::string base = ExecutableName();
    if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) {
      base.resize(dot);
    }
    SetFileIn(SettingsDirectory(), base + ".ini");
  } else if (name.find('/') == std::string::npos) {
    SetFileIn(SettingsDirectory(), name);
  } else {
    filePath_ = name;
  }
}

void CKXFileIni::SetFileIn(const std::string& directory, const std::string& name) {
  dirPath_ = directory;
  // Without a directory there is nowhere to keep the file: reads give the defaults and
  // writes fail.
  filePath_ = directory.empty() ? std::string() : directory + "/" + name;
}

int32_t CKXFileIni::ReadString(std::string_view section, std::string_view key,
                               std::string_view defaultValue, std::string& out,
                               const std::string& fileName) const {
  const std::string& path = fileName.empty() ? filePath_ : fileName;
  const std::optional<std::string> file = UsableFile(path);
  std::optional<std::string_view> value;
  if (file) value = IniLookup(*file, Utf8ToGbk(section), Utf8ToGbk(key));
  if (value) {
    out = GbkToUtf8(value->substr(0, GbkPrefixLength(*value, INI_VALUE_MAX)));
  } else {
    out = Utf8CutToGbkBytes(defaultValue, INI_VALUE_MAX);
  }
  return static_cast<int32_t>(out.size());
}

int32_t CKXFileIni::WriteStrings(
    std::string_view section,
    std::span<const std::pair<std::string_view, std::string_view>> entries,
    const std::string& fileName) const {
  const std::string& path = fileName.empty() ? filePath_ : fileName;
  if (path.empty()) return -1;
  // Reading never creates the settings directory; the first save does.
  if (const size_t slash = path.rfind('/'); slash != std::string::npos && slash > 0) {
    if (!MakeSettingsDirectory(path.substr(0, slash))) return -1;
  }
  std::string file;
  // An unreadable file is left alone rather than replaced by one holding only our keys.
  if (ReadWholeFile(path, file) == ReadResult::Failed) return -1;
  std::vector<std::string> gbk;
  gbk.reserve(entries.size() * 2);
  for (const auto& [key, value] : entries) {
    gbk.push_back(Utf8ToGbk(key));
    gbk.push_back(Utf8ToGbk(value));
  }
  std::vector<IniEntry> gbkEntries;
  for (size_t i = 0; i < entries.size(); ++i) gbkEntries.emplace_back(gbk[2 * i], gbk[2 * i + 1]);
  const std::string updated = IniReplace(file, Utf8ToGbk(section), gbkEntries);
  if (!ReplaceFileAtomically(path, updated)) return -1;
  return static_cast<int32_t>(entries.size());
}

int32_t CKXFileIni::WriteString(std::string_view section, std::string_view key,
                                std::string_view value, const std::string& fileName) const {
  const std::pair<std::string_view, std::string_view> entry{key, value};
  return WriteStrings(section, std::span(&entry, 1), fileName);
}

}  // namespace qv31

#include "settings/ckx_file_ini.h"

#include <optional>
#include <vector>

#include "settings/file_access.h"
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

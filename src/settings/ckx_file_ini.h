#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qv31 {

// A value read from the file holds at most this many GBK bytes.
constexpr int32_t INI_VALUE_MAX = 259;
// A larger file is refused unread: the settings at their longest take under 3 KB, and the
// bound leaves room for other sections and comments.
constexpr size_t INI_FILE_MAX = size_t{64} << 10;

// The settings file: private-profile INI in GBK. Section names, keys and values are UTF-8 in
// the program and GBK in the file.
class CKXFileIni {
 public:
  CKXFileIni() = default;
  virtual ~CKXFileIni() = default;

  // An empty name: the executable's name with ".ini" in the settings directory. A name
  // without '/': that name in the settings directory (SettingsDirectory()), which also
  // becomes dirPath. Any other name is the file's path; dirPath is not changed.
  void SetFile(const std::string& name);
  // As SetFile with a bare name, in a given directory instead of SettingsDirectory().
  void SetFileIn(const std::string& directory, const std::string& name);

  const std::string& DirPath() const { return dirPath_; }
  const std::string& FilePath() const { return filePath_; }

  // The value of key in section, or `defaultValue` when the file, the section or the key is
  // missing; at most INI_VALUE_MAX GBK bytes, never half a character. `fileName` empty means
  // FilePath(). Returns the byte count of `out`.
  int32_t ReadString(std::string_view section, std::string_view key, std::string_view defaultValue,
                     std::string& out, const std::string& fileName = {}) const;

  // Why a file that exists cannot be used ("is a directory", "Permission denied", "Too many
  // levels of symbolic links", "is not valid GBK text"); empty when it can be used or is
  // missing. Reads of such a file give the defaults.
  std::string FileProblem(const std::string& fileName = {}) const;

  // FileProblem(), else "is empty" or "has no [section] section" for a file that exists;
  // empty when the section can be read or the file is missing.
  std::string SectionProblem(std::string_view section) const;

  // Sets keys in a section in one atomic rewrite (temporary file in the same directory,
  // fsync, rename), keeping every other byte of the file; creates the file, and its
  // directory (mode 0700), when missing.
  // Returns -1 when the file cannot be read or written, else the number of keys written.
  int32_t WriteStrings(std::string_view section,
                       std::span<const std::pair<std::string_view, std::string_view>> entries,
                       const std::string& fileName = {}) const;
  int32_t WriteString(std::string_view section, std::string_view key, std::string_view value,
                      const std::string& fileName = {}) const;

 private:
  std::string dirPath_;
  std::string filePath_;
};

}  // namespace qv31

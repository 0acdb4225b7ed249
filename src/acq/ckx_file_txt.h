#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace qv31 {

// A table file larger than this is refused unread: a whole export is about 12 KB, and two
// exports within one second share a name and append.
constexpr size_t CSV_FILE_MAX = size_t{1} << 20;

// The table's text file: lines end with CR LF on disk and without a line end in memory.
// Bytes pass unchanged otherwise (the CSV layer does the GBK conversion).
class CKXFileTxt {
 public:
  enum class Mode : uint8_t {
    Read,         // an existing file, read only
    AppendWrite,  // read and write, created when missing, never truncated
  };

  CKXFileTxt() = default;
  ~CKXFileTxt();
  CKXFileTxt(const CKXFileTxt&) = delete;
  CKXFileTxt& operator=(const CKXFileTxt&) = delete;

  // False for anything but a regular file (a FIFO or a device), and for reading a file over
  // CSV_FILE_MAX.
  bool Open(const std::string& path, Mode mode);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Appends a line feed when the text holds none, moves to the end of the file, writes the
  // text with every line feed as CR LF, and flushes. -1 when not open or the write failed,
  // else the bytes written.
  int32_t WriteString(std::string_view text);
  // The next line without its line end (LF, or CR LF); false at the end of the file.
  bool ReadString(std::string& line);
  bool Flush();

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace qv31

#include "acq/ckx_file_txt.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace qv31 {

CKXFileTxt::~CKXFileTxt() { Close(); }

bool CKXFileTxt::Open(const std::string& path, Mode mode) {
  Close();
  // A FIFO or a device would block or never end: only a regular file, or a new one to write.
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  const bool exists = !error && std::filesystem::exists(status);
  // errno says why, as it would after a failed open.
  if (exists && !std::filesystem::is_regular_file(status)) {
    errno = std::filesystem::is_directory(status) ? EISDIR : EINVAL;
    return false;
  }
  if (mode == Mode::Read && !exists) {
    errno = ENOENT;
    return false;
  }
  if (mode == Mode::Read && (std::filesystem::file_size(path, error) > CSV_FILE_MAX || error)) {
    errno = EFBIG;
    return false;
  }
  // Binary: the file's CR LF line ends are written and read as they stand on every system.
  file_ = std::fopen(path.c_str(), mode == Mode::Read ? "rb" : "r+b");
  if (file_ == nullptr && mode != Mode::Read) file_ = std::fopen(path.c_str(), "w+b");
  return file_ != nullptr;
}

void CKXFileTxt::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
}

int32_t CKXFileTxt::WriteString(std::string_view text) {
  if (file_ == nullptr) return -1;
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\n') out.push_back('\r');
    out.push_back(c);
  }
  if (text.find('\n') == std::string_view::npos) out += "\r\n";
  if (std::fseek(file_, 0, SEEK_END) != 0) return -1;
  if (std::fwrite(out.data(), 1, out.size(), file_) != out.size()) return -1;
  if (!Flush()) return -1;
  return static_cast<int32_t>(out.size());
}

bool CKXFileTxt::ReadString(std::string& line) {
  line.clear();
  if (file_ == nullptr) return false;
  bool any = false;
  for (int c = std::fgetc(file_); c != EOF; c = std::fgetc(file_)) {
    any = true;
    if (c == '\n') break;
    line.push_back(static_cast<char>(c));
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return any;
}

bool CKXFileTxt::Flush() { return file_ != nullptr && std::fflush(file_) == 0; }

}  // namespace qv31

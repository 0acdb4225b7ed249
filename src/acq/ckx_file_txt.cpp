#include "acq/ckx_file_txt.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

namespace qv31 {

CKXFileTxt::~CKXFileTxt() { Close(); }

bool CKXFileTxt::Open(const std::string& path, Mode mode) {
  Close();
  // O_NONBLOCK: opening a FIFO would otherwise wait for a writer; it is refused below.
  const int flags = mode == Mode::Read ? O_RDONLY : (O_RDWR | O_CREAT);
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  struct stat st {};
  const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (!regular || (mode == Mode::Read && static_cast<uintmax_t>(st.st_size) > CSV_FILE_MAX) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    ::close(fd);
    return false;
  }
  file_ = ::fdopen(fd, mode == Mode::Read ? "r" : "r+");
  if (file_ == nullptr) {
    ::close(fd);
    return false;
  }
  return true;
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
  char* buffer = nullptr;
  size_t capacity = 0;
  const ssize_t n = ::getline(&buffer, &capacity, file_);
  if (n > 0) {
    line.assign(buffer, static_cast<size_t>(n));
    if (line.back() == '\n') {
      line.pop_back();
      if (!line.empty() && line.back() == '\r') line.pop_back();
    }
  }
  std::free(buffer);
  return n > 0;
}

bool CKXFileTxt::Flush() { return file_ != nullptr && std::fflush(file_) == 0; }

}  // namespace qv31

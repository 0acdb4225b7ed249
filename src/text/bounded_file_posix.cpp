#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "text/bounded_file.h"

namespace qv31 {
namespace {

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "is a directory";
  if (S_ISFIFO(mode)) return "is a FIFO, not a regular file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device, not a regular file";
  if (S_ISSOCK(mode)) return "is a socket, not a regular file";
  return "is not a regular file";
}

}  // namespace

FileReadResult ReadBoundedFile(const std::string& path, size_t maxBytes, std::string& out,
                               std::string& reason) {
  out.clear();
  reason.clear();
  // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return FileReadResult::Missing;
    reason = std::strerror(errno);
    return FileReadResult::Refused;
  }
  struct stat st {};
  bool ok = ::fstat(fd, &st) == 0;
  if (!ok) {
    reason = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    reason = KindOf(st.st_mode);
    ok = false;
  } else if (static_cast<uintmax_t>(st.st_size) > maxBytes) {
    ok = false;
  }
  // The size is read with a bound too: files in /proc report 0, others grow while read.
  char buffer[16384];
  while (ok && out.size() <= maxBytes) {
    const size_t want = std::min(sizeof buffer, maxBytes + 1 - out.size());
    const ssize_t n = ::read(fd, buffer, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      reason = std::strerror(errno);
      ok = false;
    }
    if (n <= 0) break;
    out.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  if (ok && out.size() <= maxBytes) return FileReadResult::Read;
  if (reason.empty()) reason = "is larger than " + SizeText(maxBytes);
  out.clear();
  return FileReadResult::Refused;
}

}  // namespace qv31

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "sim/state_file.h"

namespace qv31 {
namespace {

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

int LoadStateFile(const std::string& path, GatewayMemory& memory, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return 0;
    error = ErrnoText("cannot read", path);
    return -1;
  }
  std::string text;
  std::array<char, 16384> chunk{};
  ssize_t n = 0;
  while ((n = read(fd, chunk.data(), chunk.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text.size() > STATE_FILE_MAX_BYTES) break;
    text.append(chunk.data(), static_cast<size_t>(n));
  }
  const int readErrno = errno;
  close(fd);
  if (n < 0) {
    errno = readErrno;
    error = ErrnoText("cannot read", path);
    return -1;
  }
  if (text.size() > STATE_FILE_MAX_BYTES) {
    error = path + ": too large for a simulator state";
    return -1;
  }
  if (StateFromJson(text, memory, error) < 0) {
    error = path + ": " + error;
    return -1;
  }
  return 1;
}

int SaveStateFile(const std::string& path, const GatewayMemory& memory, std::string& error) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = (slash == std::string::npos ? "" : dir) + "." + base + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText("cannot create a file in", dir);
    return -1;
  }
  fchmod(fd, 0644);  // mkostemp makes it 0600; a state is not secret
  const std::string text = StateToJson(memory);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == text.size() && fsync(fd) == 0;
  if (!written) error = ErrnoText("cannot write", temp);
  close(fd);
  if (!written || rename(temp.c_str(), path.c_str()) != 0) {
    if (written) error = ErrnoText("cannot replace", path);
    unlink(temp.c_str());
    return -1;
  }
  // The rename itself is durable only once the directory is.
  const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return 1;
}

}  // namespace qv31

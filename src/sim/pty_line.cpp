#include "sim/pty_line.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "transport/line_termios.h"

namespace qv31 {
namespace {

std::string Failure(const std::string& what) { return what + ": " + std::strerror(errno); }

// Points `linkPath` at `target` by renaming a fresh link over it, so there is never a moment
// without a link, and refuses to replace anything but a symbolic link.
bool MakeLink(const std::string& target, const std::string& linkPath, std::string& error) {
  struct stat st {};
  if (lstat(linkPath.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    error = linkPath + " exists and is not a symbolic link";
    return false;
  }
  const std::string temp = linkPath + ".tmp" + std::to_string(getpid());
  unlink(temp.c_str());
  if (symlink(target.c_str(), temp.c_str()) != 0) {
    error = Failure("cannot create link " + linkPath);
    return false;
  }
  if (rename(temp.c_str(), linkPath.c_str()) != 0) {
    error = Failure("cannot create link " + linkPath);
    unlink(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

PtyLine::~PtyLine() { Close(); }

int PtyLine::Open(const std::string& linkPath, std::string& error) {
  Close();
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    error = Failure("cannot create a pseudo-terminal");
    return -1;
  }
  const char* name = nullptr;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 || (name = ptsname(master_)) == nullptr) {
    error = Failure("cannot prepare the pseudo-terminal");
    Close();
    return -1;
  }
  slavePath_ = name;
  slaveHold_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  // No echo, no line editing, no translation: frames are binary.
  if (slaveHold_ < 0 || !MakeRawTerminal(slaveHold_)) {
    error = Failure("cannot open " + slavePath_);
    Close();
    return -1;
  }
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  if (!linkPath.empty()) {
    if (!MakeLink(slavePath_, linkPath, error)) {
      Close();
      return -1;
    }
    linkPath_ = linkPath;
  }
  return 1;
}

void PtyLine::Close() {
  if (!linkPath_.empty()) {
    char target[4096] = {};
    const ssize_t n = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (n > 0 && slavePath_ == std::string(target, static_cast<size_t>(n))) {
      unlink(linkPath_.c_str());
    }
    linkPath_.clear();
  }
  if (slaveHold_ >= 0) close(slaveHold_);
  if (master_ >= 0) close(master_);
  slaveHold_ = master_ = -1;
}

int32_t PtyLine::Read(uint8_t* buffer, int32_t maximum) {
  const ssize_t n = read(master_, buffer, static_cast<size_t>(maximum));
  if (n > 0) return static_cast<int32_t>(n);
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  return -1;
}

int32_t PtyLine::Write(const uint8_t* data, int32_t length) {
  const ssize_t n = write(master_, data, static_cast<size_t>(length));
  if (n >= 0) return static_cast<int32_t>(n);
  if (errno == EAGAIN || errno == EINTR) return 0;
  return -1;
}

}  // namespace qv31

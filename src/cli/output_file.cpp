#include "cli/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "cli/interrupt.h"

namespace qv31 {

OutputFile::~OutputFile() {
  if (temp_.empty()) return;
  ::unlink(temp_.c_str());
  ForgetRemoval(removal_);
}

bool OutputFile::Open(std::string& error) {
  if (path_.empty()) {
    error = "an empty file name cannot be written";
    return false;
  }
  struct stat st {};
  if (::stat(path_.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    error = path_ + " is a directory";
    return false;
  }
  std::string pattern = path_ + ".tmp-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error = "cannot write " + path_ + ": " + std::strerror(errno);
    return false;
  }
  ::close(fd);
  temp_ = name.data();
  removal_ = RemoveWhenKilled(temp_.c_str());
  return true;
}

bool OutputFile::Write(const std::string& bytes) {
  std::ofstream f(temp_, std::ios::binary | std::ios::trunc);
  return f && f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush();
}

bool OutputFile::Commit() {
  // mkstemp made it 0600; the file gets the usual mode for a new file.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::chmod(temp_.c_str(), 0666 & ~mask);
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) return false;
  temp_.clear();
  ForgetRemoval(removal_);
  removal_ = -1;
  return true;
}

}  // namespace qv31

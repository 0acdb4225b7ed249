#pragma once

#include <cstdio>
#include <string>

namespace qv31 {

// A stream a command prints into, its text taken when it is closed; one per gateway when
// several run at once. In memory on POSIX, a temporary file deleted on close on Windows.
class MemoryStream {
 public:
  MemoryStream();
  ~MemoryStream();
  MemoryStream(const MemoryStream&) = delete;
  MemoryStream& operator=(const MemoryStream&) = delete;

  // The stream; stderr when it could not be made, so nothing printed is lost.
  std::FILE* File() const { return file_ != nullptr ? file_ : stderr; }
  // Closes the stream and returns what was printed into it.
  std::string Close();

 private:
  std::FILE* file_ = nullptr;
  char* data_ = nullptr;
  size_t size_ = 0;
};

}  // namespace qv31

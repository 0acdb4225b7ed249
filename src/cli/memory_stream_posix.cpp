#include <cstdlib>

#include "cli/memory_stream.h"

namespace qv31 {

MemoryStream::MemoryStream() : file_(open_memstream(&data_, &size_)) {}

MemoryStream::~MemoryStream() {
  Close();
  std::free(data_);
}

std::string MemoryStream::Close() {
  if (file_ != nullptr) std::fclose(file_);
  file_ = nullptr;
  return data_ != nullptr ? std::string(data_, size_) : std::string();
}

}  // namespace qv31

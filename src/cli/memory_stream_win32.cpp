#include <windows.h>

#include <cstdio>
#include <string>

#include "cli/memory_stream.h"

namespace qv31 {

// msvcrt has no memory stream: a file in the temporary folder, "T" kept in the cache where it
// can be, "D" deleted when closed.
MemoryStream::MemoryStream() {
  wchar_t folder[MAX_PATH + 1] = {};
  wchar_t name[MAX_PATH + 1] = {};
  if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"q31", 0, name) == 0) {
    return;
  }
  file_ = _wfopen(name, L"w+bTD");
  if (file_ == nullptr) DeleteFileW(name);
}

MemoryStream::~MemoryStream() { Close(); }

std::string MemoryStream::Close() {
  std::string text;
  if (file_ == nullptr) return text;
  std::fflush(file_);
  std::rewind(file_);
  char chunk[4096];
  for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, file_)) > 0;) text.append(chunk, n);
  std::fclose(file_);
  file_ = nullptr;
  return text;
}

}  // namespace qv31

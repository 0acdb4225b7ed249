#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace qv31 {

// A whole file as bytes; empty when it cannot be read.
inline std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace qv31

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace qv31 {

enum class FileReadResult : uint8_t { Read, Missing, Refused };

// Reads a whole file that must be a regular file of at most `maxBytes` bytes. A FIFO, a
// device, a socket or a directory is refused without waiting for it, and so is a file that
// is larger, or grows larger while it is read; at most `maxBytes` + 1 bytes are ever read.
// On Refused `reason` says why ("is a FIFO, not a regular file", "is larger than 64 KiB"),
// without the path; on Missing the file does not exist.
FileReadResult ReadBoundedFile(const std::string& path, size_t maxBytes, std::string& out,
                               std::string& reason);

// "64 KiB", "1 MiB": a bound for a message.
std::string SizeText(size_t bytes);

}  // namespace qv31

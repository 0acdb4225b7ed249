#pragma once

#include <string>

#include "sim/gateway_memory.h"

namespace qv31 {

// A state is about 10 kB; anything far larger is not one and is not read whole.
constexpr size_t STATE_FILE_MAX_BYTES = size_t{1} << 20;

// The simulator's memory on disk, as JSON a person can read and diff:
//   {"format": "qv31-sim state", "version": 1,
//    "params": {"address": 6, "bytes": ["FF 06 00 01 ...", ...]},
//    "table":  {"address": 0, "bytes": [...]},
//    "ident":  {"address": 0, "bytes": [...]}}
// Each string holds 16 bytes in hexadecimal (the last one fewer); string k starts at device
// address "address" + 16 k.

// 1 when loaded, 0 when there is no file, -1 when the file cannot be read or is not a whole
// state (`error` says why); on 0 and -1 memory is left as it was.
int LoadStateFile(const std::string& path, GatewayMemory& memory, std::string& error);

// Replaces the file atomically (a temporary file in the same directory, flushed to disk, then
// renamed over it), so an interrupted save leaves the old or the new state, never a mix.
// 1 when saved, -1 on failure (`error` says why).
int SaveStateFile(const std::string& path, const GatewayMemory& memory, std::string& error);

std::string StateToJson(const GatewayMemory& memory);
// 1 when `text` is a whole state, else -1 with `error`; memory changes only on 1.
int StateFromJson(const std::string& text, GatewayMemory& memory, std::string& error);

}  // namespace qv31

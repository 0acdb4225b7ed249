#include "sim/pty_line.h"

namespace qv31 {

// Windows has no pseudo-terminals; a virtual COM pair driver and --serial take their place.
PtyLine::~PtyLine() = default;

int PtyLine::Open(const std::string&, std::string& error) {
  error = "--pty is not available on Windows; use --serial COMn with a virtual COM port pair";
  return -1;
}

void PtyLine::Close() {}

int32_t PtyLine::Read(uint8_t*, int32_t) { return -1; }

int32_t PtyLine::Write(const uint8_t*, int32_t) { return -1; }

}  // namespace qv31

#pragma once

// Windows builds only: what every Winsock user of the program shares.
#include <winsock2.h>

#include <cstdint>

namespace qv31 {

// Winsock is started once per process and left running until it ends.
bool StartWinsock();

// The socket behind a handle that portable headers keep as an integer.
inline SOCKET Socket(intptr_t s) { return static_cast<SOCKET>(s); }

}  // namespace qv31

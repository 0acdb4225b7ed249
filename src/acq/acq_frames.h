#pragma once

#include <cstdint>
#include <vector>

#include "acq/acq_table.h"

namespace qv31 {

// The 17-byte write of one zero byte at table address 0: the gateway's enable byte, which
// switches its acquisition off. The tool's own table image is not changed.
std::vector<uint8_t> StopAcqFrame();

}  // namespace qv31

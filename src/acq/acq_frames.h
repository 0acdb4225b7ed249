#pragma once

#include <cstdint>
#include <vector>

#include "acq/acq_table.h"

namespace qv31 {

// The four 16-byte reads of the table blocks, block 0 first.
std::vector<std::vector<uint8_t>> QueryAcqFrames();
// The 17-byte write of one zero byte at table address 0: the gateway's enable byte, which
// switches its acquisition off. The tool's own table image is not changed.
std::vector<uint8_t> StopAcqFrame();
// The four 528-byte writes of the table blocks as they are now, block 0 first.
std::vector<std::vector<uint8_t>> SetAcqFrames(const AcqTable& table);

}  // namespace qv31

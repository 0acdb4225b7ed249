#pragma once

#include <cstdint>
#include <vector>

#include "acq/acq_table.h"

namespace qv31 {

// The four 16-byte reads of the table blocks, block 0 first.
std::vector<std::vector<uint8_t>> QueryAcqFrames();
// The four 528-byte writes of the table blocks as they are now, block 0 first.
std::vector<std::vector<uint8_t>> SetAcqFrames(const AcqTable& table);

}  // namespace qv31

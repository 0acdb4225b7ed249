#pragma once

#include <cstdint>
#include <vector>

#include "params/param_block.h"

namespace qv31 {

using Frames = std::vector<std::vector<uint8_t>>;

// The frames of each command of the parameter groups, in queue order, built from the image at
// the moment of the call: a write carries the bytes as they are now, and nothing stored later
// reaches it. The window's buttons and the command-line tool send exactly these.

Frames QueryVersionFrames();   // identity read: Area 3, address 0, length 18
Frames QueryAllParamFrames();  // identity read, then the whole image (6, 320)
Frames Query4GFrames();        // read 8, 12
// The read of address 13 (word13), then fixed4G set to 05 03 32 and the write of address 8,
// length 15. The write carries word13 as it was before the read's reply.
Frames Set4GFrames(ParamBlock& block);
Frames QueryPortFrames(int port);  // ports 1 to 4; empty for another port
Frames SetPortFrames(const ParamBlock& block, int port);
Frames QueryNetworkFrames();                       // read 158, 104 (mac included)
Frames SetNetworkFrames(const ParamBlock& block);  // write 164, 98 (mac never written)

}  // namespace qv31

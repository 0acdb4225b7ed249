#include "acq/acq_frames.h"

#include <array>

#include "link/link_frame.h"

namespace qv31 {

std::vector<uint8_t> StopAcqFrame() {
  constexpr std::array<uint8_t, 1> off = {0};
  return EncodeFrame({AREA_TABLE, OP_WRITE, 0, 1}, off);
}

}  // namespace qv31

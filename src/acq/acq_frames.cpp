#include "acq/acq_frames.h"

#include <array>

#include "link/link_frame.h"

namespace qv31 {

std::vector<std::vector<uint8_t>> QueryAcqFrames() {
  std::vector<std::vector<uint8_t>> frames;
  frames.reserve(ACQ_BLOCK_COUNT);
  for (int k = 0; k < ACQ_BLOCK_COUNT; ++k) {
    frames.push_back(EncodeFrame({AREA_TABLE, OP_READ, AcqBlockAddress(k), ACQ_BLOCK_SIZE}));
  }
  return frames;
}

std::vector<uint8_t> StopAcqFrame() {
  constexpr std::array<uint8_t, 1> off = {0};
  return EncodeFrame({AREA_TABLE, OP_WRITE, 0, 1}, off);
}

std::vector<std::vector<uint8_t>> SetAcqFrames(const AcqTable& table) {
  std::vector<std::vector<uint8_t>> frames;
  frames.reserve(ACQ_BLOCK_COUNT);
  for (int k = 0; k < ACQ_BLOCK_COUNT; ++k) {
    frames.push_back(
        EncodeFrame({AREA_TABLE, OP_WRITE, AcqBlockAddress(k), ACQ_BLOCK_SIZE}, table.Block(k)));
  }
  return frames;
}

}  // namespace qv31

#include "params/param_frames.h"

#include <string>

#include "link/link_frame.h"

namespace qv31 {
namespace {

std::vector<uint8_t> ReadFrame(const ParamWindow& w) {
  return EncodeFrame({AREA_PARAMS, OP_READ, w.address, w.length});
}

std::vector<uint8_t> WriteFrame(const ParamWindow& w, const ParamBlock& block) {
  return EncodeFrame({AREA_PARAMS, OP_WRITE, w.address, w.length},
                     block.Window(w.address, w.length));
}

const ParamWindow& Window(const char* name) { return *FindParamWindow(name); }

std::string PortWindowName(int port) { return "port" + std::to_string(port); }

}  // namespace

Frames QueryVersionFrames() { return {EncodeFrame({AREA_IDENT, OP_READ, 0, IDENT_SIZE})}; }

Frames QueryAllParamFrames() {
  return {EncodeFrame({AREA_IDENT, OP_READ, 0, IDENT_SIZE}), ReadFrame(Window("whole"))};
}

Frames Query4GFrames() { return {ReadFrame(Window("4g_read"))}; }

Frames Set4GFrames(ParamBlock& block) {
  Frames frames{ReadFrame(Window("4g_preread"))};
  block.SetFixed4G();
  frames.push_back(WriteFrame(Window("4g_write"), block));
  return frames;
}

Frames QueryPortFrames(int port) {
  if (PortAddress(port) < 0) return {};
  return {ReadFrame(*FindParamWindow(PortWindowName(port)))};
}

Frames SetPortFrames(const ParamBlock& block, int port) {
  if (PortAddress(port) < 0) return {};
  return {WriteFrame(*FindParamWindow(PortWindowName(port)), block)};
}

Frames QueryNetworkFrames() { return {ReadFrame(Window("net_read"))}; }

Frames SetNetworkFrames(const ParamBlock& block) {
  return {WriteFrame(Window("net_write"), block)};
}

}  // namespace qv31

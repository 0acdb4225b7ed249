#pragma once

#include <cstdint>

#include "params/param_block.h"

namespace qv31 {

// One "串口N" group: the selected list positions of its two combos, -1 for no selection.
struct PortControls {
  int baudPosition = -1;
  int formatPosition = -1;
  bool operator==(const PortControls&) const = default;
};

// Controls to image for gateway port 1 to 4. A combo without a selection (or with a position
// outside its list) has no code, so the byte already in the image is kept and written back
// unchanged. Returns -1 for a bad port, else the number of bytes taken from the controls.
int32_t StorePortControls(const PortControls& controls, ParamBlock& block, int port);
// Image to controls; codes without a list entry show no selection. A bad port shows nothing.
PortControls PortControlsOf(const ParamBlock& block, int port);

}  // namespace qv31

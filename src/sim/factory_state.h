#pragma once

#include <string_view>

#include "sim/gateway_memory.h"

namespace qv31 {

// The identity text of the factory state; 12 bytes, so the window shows all of it.
constexpr std::string_view FACTORY_IDENTITY = "QV31-SIM 1.0";

// A plausible configured gateway, made up from the field layouts (no byte comes from a real
// device). docs/simulator.md lists every value.
GatewayMemory FactoryMemory();

}  // namespace qv31

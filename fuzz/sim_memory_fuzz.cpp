// Feeds arbitrary frames to the simulator's memory: no crash, and nothing but an accepted
// write changes memory.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "sim/factory_state.h"
#include "sim/gateway_memory.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const qv31::GatewayMemory kFactory = qv31::FactoryMemory();
  qv31::GatewayMemory memory = kFactory;
  const qv31::GatewayAnswer answer = memory.Answer(std::span<const uint8_t>(data, size));
  if (!answer.stored && !(memory == kFactory)) std::abort();
  if (answer.reply.empty() != (answer.verdict != qv31::Verdict::Answered)) std::abort();
  return 0;
}

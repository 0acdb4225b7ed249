#include "sim/fault_plan.h"

namespace qv31 {

ShapedReply FaultPlan::Shape(std::vector<uint8_t> reply) {
  ShapedReply shaped;
  if (options_.silent) {
    shaped.action = FaultAction::Silent;
    return shaped;
  }
  shaped.requestNumber = ++requests_;
  if (options_.drop != 0 && requests_ % options_.drop == 0) {
    shaped.action = FaultAction::Dropped;
    return shaped;
  }
  ++repliesSent_;
  if (options_.corrupt != 0 && repliesSent_ % options_.corrupt == 0 && !reply.empty()) {
    reply.back() ^= 0xFF;  // the CRC's high byte
    shaped.corrupted = true;
  }
  if (options_.strayByte) reply.push_back(STRAY_BYTE);
  if (!options_.splitMs) {
    shaped.parts.push_back({options_.delayMs, std::move(reply)});
    return shaped;
  }
  const auto half = static_cast<std::ptrdiff_t>(reply.size() / 2);
  shaped.parts.push_back({options_.delayMs, {reply.begin(), reply.begin() + half}});
  shaped.parts.push_back(
      {options_.delayMs + *options_.splitMs, {reply.begin() + half, reply.end()}});
  return shaped;
}

std::string ShapedReply::Describe(const FaultOptions& options) const {
  if (action == FaultAction::Silent) return "not answered (--silent)";
  if (action == FaultAction::Dropped) {
    return "dropped (--drop " + std::to_string(options.drop) + ", request " +
           std::to_string(requestNumber) + ")";
  }
  std::string text;
  auto add = [&text](const std::string& s) { text += (text.empty() ? "" : ", ") + s; };
  if (corrupted) add("wrong CRC (--corrupt " + std::to_string(options.corrupt) + ")");
  if (options.strayByte) add("stray byte");
  if (options.delayMs != 0) add("delayed " + std::to_string(options.delayMs) + " ms");
  if (options.splitMs) add("split, " + std::to_string(*options.splitMs) + " ms apart");
  return text;
}

}  // namespace qv31

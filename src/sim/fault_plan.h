#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv31 {

// Behind a reply this byte breaks the CRC check; 0x00 would not (the CRC over a frame and its
// low CRC byte ends in the high CRC byte and 0x00).
constexpr uint8_t STRAY_BYTE = 0x55;

// The named misbehaviours. Counts are 1-based periods (0: off).
struct FaultOptions {
  uint32_t drop = 0;                // no reply to every Nth answerable request
  uint32_t delayMs = 0;             // each reply sent this long after its request
  std::optional<uint32_t> splitMs;  // each reply in two parts, this long apart
  uint32_t corrupt = 0;             // every Nth reply sent with a wrong CRC
  bool strayByte = false;           // one byte behind every reply
  bool silent = false;              // never reply
};

enum class FaultAction : uint8_t { Send, Dropped, Silent };

struct ReplyPart {
  uint32_t afterMs = 0;  // counted from the request's arrival
  std::vector<uint8_t> bytes;
};

struct ShapedReply {
  FaultAction action = FaultAction::Send;
  uint64_t requestNumber = 0;  // answerable requests so far, this one included
  bool corrupted = false;
  std::vector<ReplyPart> parts;  // one, or two with --split; none unless Send

  // For logs: "dropped (--drop 3, request 6)", "corrupted CRC, stray byte, split", "".
  std::string Describe(const FaultOptions& options) const;
};

// Applies the fault switches to the replies of one simulator, counting from its start:
// requests are counted when the memory would answer them, replies when they are sent.
class FaultPlan {
 public:
  explicit FaultPlan(const FaultOptions& options) : options_(options) {}

  ShapedReply Shape(std::vector<uint8_t> reply);
  const FaultOptions& Options() const { return options_; }

 private:
  FaultOptions options_;
  uint64_t requests_ = 0;
  uint64_t repliesSent_ = 0;
};

}  // namespace qv31

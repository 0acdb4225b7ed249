#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "link/hex_codec.h"
#include "link/link_frame.h"

namespace qv31 {

// What became of a block the engine sent or received.
enum class BlockFate : uint8_t {
  Sent,      // a frame taken from the queue
  Repeated,  // the frame in flight sent again after its reply time-out
  TooShort,  // fewer than 2 bytes: not examined
  BadCrc,    // the check over all but the last two bytes failed
  BadPreamble,
  Completed,   // a valid reply that completed the request in flight
  Late,        // a valid reply to no request in flight (a repeat's second answer, an abandoned
               // request's answer, unasked): recorded, never stored
  Unmatched,   // a valid frame that no accepted reply matches: dropped
  StopAnswer,  // the gateway's acknowledgement of the stop frame
};

// One block on the link, as the engine saw it. `bytes` is valid during the call only.
struct LinkEvent {
  uint32_t ms;  // the engine's clock
  bool sent;
  std::span<const uint8_t> bytes;
  BlockFate fate;
};

// Told of every block the engine sends and receives. Called on the engine's thread, inside
// its tick; it must not call back into the engine.
class LinkObserver {
 public:
  virtual ~LinkObserver() = default;
  virtual void OnLinkEvent(const LinkEvent& event) = 0;
};

// Why a received block fails the engine's checks (TooShort, BadCrc, BadPreamble), or
// Completed when it passes them (the caller decides between Completed, Late, Unmatched).
BlockFate CheckedFate(std::span<const uint8_t> block);

// A received block as the transport reported it, its length held to 0..LINK_BUFFER_SIZE.
std::span<const uint8_t> ReceivedBytes(const uint8_t* buffer, int32_t length);
// A block received while nothing takes replies (the stop sequence drains the line): why it
// fails the checks, else Unmatched, since it is dropped whatever it is.
BlockFate DrainedFate(std::span<const uint8_t> block);

}  // namespace qv31

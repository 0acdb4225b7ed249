#pragma once

#include <cstdint>
#include <span>

#include "link/link_frame.h"

namespace qv31 {

// Where an accepted reply's payload goes.
enum class ReplyTarget : uint8_t { None, Params, Table, Ident };

// What is refreshed after the payload is stored.
enum ReplyShow : uint16_t {
  SHOW_NONE = 0,
  SHOW_4G = 1 << 0,
  SHOW_PORT1 = 1 << 1,
  SHOW_PORT2 = 1 << 2,
  SHOW_PORT3 = 1 << 3,
  SHOW_PORT4 = 1 << 4,
  SHOW_NETWORK = 1 << 5,
  SHOW_ACQ_BLOCK = 1 << 6,  // RefreshAcqBlock(tableBlock)
  SHOW_VERSION = 1 << 7,
};

constexpr uint32_t MATCH_ANY = 0x10000;  // address or length not compared

// One row of the table of replies the tool accepts. Order of the Show operations when several
// are named: 4G, ports 1 to 4, network.
struct AcceptedReply {
  uint8_t area;
  uint8_t opCode;
  uint32_t address;  // or MATCH_ANY
  uint32_t length;   // or MATCH_ANY
  ReplyTarget target;
  uint16_t offset;  // into the parameter image (address - 6) or the table image (block * 512)
  uint16_t show;
  uint8_t tableBlock;
};

// Identity text area: 18 bytes at address 0; the window shows at most 12 of them.
constexpr uint16_t IDENT_SIZE = 18;
constexpr uint16_t VERSION_TEXT_MAX = 12;

std::span<const AcceptedReply> AcceptedReplies();

// The row a valid reply header matches exactly, or nullptr.
const AcceptedReply* MatchAcceptedReply(const FrameHeader& header);

// True when `reply` answers the request `request`: a read reply with the same area, address
// and length as a read; a write acknowledgement of the same area as a write that carries the
// write's address and length, or an address and length that name none of the tool's writes
// (a gateway that does not echo them). An acknowledgement carrying another write's address
// and length is a late answer to that write and answers nothing else.
bool ReplyAnswers(const FrameHeader& request, const FrameHeader& reply);

// The writes the tool sends (area, OP_WRITE, address, length).
std::span<const FrameHeader> ToolWrites();
// True when an acknowledgement's area, address and length are those of one of ToolWrites().
bool NamesToolWrite(const FrameHeader& ack);

}  // namespace qv31

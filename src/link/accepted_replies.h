#pragma once

#include <cstdint>
#include <span>

#include "link/group_table.h"
#include "link/link_frame.h"

namespace qv31 {

// Where an accepted reply's payload goes.
enum class ReplyTarget : uint8_t { None, Params, Table, Ident };

constexpr uint32_t MATCH_ANY = 0x10000;  // address or length not compared

// One row of the table of replies the tool accepts, derived from the group table: a read reply
// for every read a group sends, any acknowledgement in an area the tool writes. Order of the
// Show operations when several are named: 4G, ports 1 to 4, network.
struct AcceptedReply {
  uint8_t area;
  uint8_t opCode;
  uint32_t address;  // or MATCH_ANY
  uint32_t length;   // or MATCH_ANY
  ReplyTarget target;
  uint16_t offset;  // into the parameter image (address - 6) or the table image (address)
  uint16_t show;
  uint8_t tableBlock;
};

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

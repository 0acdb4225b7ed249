#include "link/accepted_replies.h"

#include <algorithm>
#include <vector>

namespace qv31 {
namespace {

AcceptedReply ReadReplyRow(const GroupEntry& g, const FrameHeader& read) {
  AcceptedReply row{
      read.area, OP_READ_REPLY, read.address, read.length, ReplyTarget::None, 0, g.show, 0};
  if (read.area == AREA_PARAMS) {
    row.target = ReplyTarget::Params;
    row.offset = static_cast<uint16_t>(read.address - PARAM_IMAGE_BASE);
  } else if (read.area == AREA_TABLE) {
    row.target = ReplyTarget::Table;
    row.offset = read.address;
    row.tableBlock = static_cast<uint8_t>(read.address / TABLE_BLOCK_BYTES);
  } else {
    row.target = ReplyTarget::Ident;
  }
  return row;
}

struct Tables {
  std::vector<AcceptedReply> rows;
  std::vector<FrameHeader> writes;
};

void AddRow(std::vector<AcceptedReply>& rows, const AcceptedReply& row) {
  const bool known = std::any_of(rows.begin(), rows.end(), [&](const AcceptedReply& r) {
    return r.area == row.area && r.opCode == row.opCode && r.address == row.address &&
           r.length == row.length;
  });
  if (!known) rows.push_back(row);
}

Tables BuildTables() {
  Tables t;
  for (const GroupEntry& g : Groups()) {
    for (const GroupFrames* frames : {&g.query, &g.set}) {
      for (const FrameHeader& h : frames->Span()) {
        if (h.opCode == OP_READ) AddRow(t.rows, ReadReplyRow(g, h));
      }
    }
  }
  // A write is acknowledged with any address and length: only the area is checked.
  for (const GroupEntry& g : Groups()) {
    for (const FrameHeader& h : g.set.Span()) {
      if (h.opCode != OP_WRITE) continue;
      t.writes.push_back(h);
      AddRow(t.rows,
             {h.area, OP_WRITE_ACK, MATCH_ANY, MATCH_ANY, ReplyTarget::None, 0, SHOW_NONE, 0});
    }
  }
  return t;
}

const Tables& TheTables() {
  static const Tables tables = BuildTables();
  return tables;
}

bool FieldMatches(uint32_t expected, uint16_t actual) {
  return expected == MATCH_ANY || expected == actual;
}

}  // namespace

std::span<const AcceptedReply> AcceptedReplies() { return TheTables().rows; }

const AcceptedReply* MatchAcceptedReply(const FrameHeader& h) {
  for (const AcceptedReply& row : TheTables().rows) {
    if (row.area == h.area && row.opCode == h.opCode && FieldMatches(row.address, h.address) &&
        FieldMatches(row.length, h.length)) {
      return &row;
    }
  }
  return nullptr;
}

bool ReplyAnswers(const FrameHeader& request, const FrameHeader& reply) {
  if (request.area != reply.area) return false;
  if (request.opCode == OP_READ) {
    return reply.opCode == OP_READ_REPLY && reply.address == request.address &&
           reply.length == request.length;
  }
  if (request.opCode != OP_WRITE || reply.opCode != OP_WRITE_ACK) return false;
  if (reply.address == request.address && reply.length == request.length) return true;
  // Gateways that do not echo the window answer with any address and length; only an echo
  // of another write is a late answer to that write.
  return !NamesToolWrite(reply);
}

std::span<const FrameHeader> ToolWrites() { return TheTables().writes; }

bool NamesToolWrite(const FrameHeader& ack) {
  const auto& writes = TheTables().writes;
  return std::any_of(writes.begin(), writes.end(), [&](const FrameHeader& w) {
    return w.area == ack.area && w.address == ack.address && w.length == ack.length;
  });
}

}  // namespace qv31

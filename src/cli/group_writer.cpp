#include "cli/group_writer.h"

#include <algorithm>
#include <map>

#include "cli/ctl_output.h"
#include "link/group_table.h"
#include "session/key_table.h"
#include "session/write_account.h"

namespace qv31 {
namespace {

// The name of each write frame in the account of an unfinished write: its group's, and for
// the table its block's.
constexpr const char* kTableBlockNames[] = {
    "table block 1 (acq settings, rows 1-63)",
    "table block 2 (rows 64-127)",
    "table block 3 (rows 128-191)",
    "table block 4 (rows 192-255)",
};

std::string EntryName(const WriteEntry& e) {
  return e.tableBlock >= 0 ? kTableBlockNames[e.tableBlock] : std::string(Group(e.group).name);
}

std::map<std::string, std::string> GroupTexts(GatewaySession& session, KeyGroup g) {
  std::map<std::string, std::string> texts;
  for (const CtlKey& k : CtlKeys()) {
    if (k.group == g && k.kind != ValueKind::ReadOnly) {
      texts[std::string(k.name)] = KeyText(session, k);
    }
  }
  return texts;
}

std::vector<std::string> Differences(GatewaySession& session, KeyGroup g,
                                     const std::map<std::string, std::string>& want,
                                     const std::vector<uint8_t>& wantTable) {
  std::vector<std::string> diff;
  for (const auto& [name, text] : GroupTexts(session, g)) {
    const auto it = want.find(name);
    if (it != want.end() && it->second != text) {
      diff.push_back(name + " (wrote " + it->second + ", reads " + text + ")");
    }
  }
  if (g == KeyGroup::Acq) {
    const auto bytes = session.Table().Bytes();
    for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
      const size_t at = ACQ_HEADER_SIZE + static_cast<size_t>(r) * ACQ_RECORD_SIZE;
      if (!std::equal(bytes.begin() + at, bytes.begin() + at + ACQ_RECORD_SIZE,
                      wantTable.begin() + at)) {
        diff.push_back("table row " + std::to_string(r + 1));
      }
    }
  }
  return diff;
}

}  // namespace

std::vector<KeyGroup> WriteOrder() {
  std::vector<KeyGroup> order;
  for (const GroupEntry& g : Groups()) {
    if (!g.set.Span().empty()) order.push_back(g.id);
  }
  return order;
}

void ApplyKey(GatewaySession& session, const CtlKey& key, const std::string& value) {
  SetKeyText(key, session.Params(), session.Grid(), value);
}

std::string WriteNameOf(const std::vector<uint8_t>& frame) {
  const auto entries = AccountWrites({frame}, 1, false);
  return entries.empty() ? std::string() : EntryName(entries.front());
}

std::string WriteAccount(const FrameList& writes, int answered, bool inFlight) {
  std::vector<std::string> lists[3];  // by WriteFate: written, perhaps written, not written
  for (const WriteEntry& e : AccountWrites(writes, answered, inFlight)) {
    lists[static_cast<size_t>(e.fate)].push_back(EntryName(e));
  }
  static constexpr const char* kHeads[] = {
      "  written: ", "  sent without acknowledgement (perhaps written): ", "  not written: "};
  std::string text;
  for (size_t l = 0; l < 3; ++l) {
    if (lists[l].empty()) continue;
    text += kHeads[l];
    for (size_t n = 0; n < lists[l].size(); ++n) text += (n ? ", " : "") + lists[l][n];
    text += '\n';
  }
  return text;
}

int WriteGroupsAndVerify(CtlContext& ctx, const std::vector<KeyGroup>& groups) {
  FrameList writes;
  for (const KeyGroup g : groups) {
    for (auto& f : ctx.Session().SetFrames(g)) writes.push_back(std::move(f));
  }
  return WriteAndVerify(ctx, groups, writes);
}

int WriteAndVerify(CtlContext& ctx, const std::vector<KeyGroup>& groups, const FrameList& writes) {
  GatewaySession& session = ctx.Session();
  std::map<KeyGroup, std::map<std::string, std::string>> want;
  for (const KeyGroup g : groups) want[g] = GroupTexts(session, g);
  const auto bytes = session.Table().Bytes();
  const std::vector<uint8_t> wantTable(bytes.begin(), bytes.end());
  if (!ctx.Exchange(writes)) {
    ctx.SetWriteState(WriteAccount(writes, ctx.AnsweredFrames(), ctx.UnansweredInFlight()));
    return ctx.GatewayFailure();
  }
  ctx.SetWriteState("  everything was written; the read-back did not finish\n");
  FrameList reads;
  for (const KeyGroup g : groups) {
    for (auto& f : GatewaySession::QueryFrames(g)) reads.push_back(std::move(f));
  }
  if (!ctx.Exchange(reads)) return ctx.GatewayFailure();
  ctx.SetWriteState({});
  std::vector<std::string> diff;
  for (const KeyGroup g : groups) {
    for (auto& d : Differences(session, g, want[g], wantTable)) diff.push_back(std::move(d));
  }
  if (diff.empty()) return EXIT_DONE;
  std::string list;
  for (const auto& d : diff) list += "\n  " + d;
  return ctx.Fail(EXIT_GATEWAY, "the gateway reads back differently:" + list);
}

}  // namespace qv31

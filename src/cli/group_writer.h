#pragma once

#include <string>
#include <vector>

#include "cli/ctl_context.h"
#include "session/key_table.h"

namespace qv31 {

// The groups that can be written, in the order of the window's "设置全部".
std::vector<KeyGroup> WriteOrder();
// Changes one key in the session's images as the window's control would.
void ApplyKey(GatewaySession& session, const CtlKey& key, const std::string& value);

// What a partly finished write left in the gateway, from the write frames sent: the first
// `answered` were acknowledged, the next one was sent without an answer when `inFlight`.
// Lines naming the groups and table blocks written, perhaps written and not written.
std::string WriteAccount(const FrameList& writes, int answered, bool inFlight);

// Writes each group with exactly its "设置" frames, then reads every group back and compares.
// A write that does not finish (no answer, lost port, a signal) says which groups and table
// blocks reached the gateway.
int WriteGroupsAndVerify(CtlContext& ctx, const std::vector<KeyGroup>& groups);
// The same with the write frames already built from the images.
int WriteAndVerify(CtlContext& ctx, const std::vector<KeyGroup>& groups, const FrameList& writes);

// A write frame's name in an account ("端口3", "table block 2 (rows 64-127)"), or empty for a
// frame that writes nothing (the 4G "设置" reads first).
std::string WriteNameOf(const std::vector<uint8_t>& frame);

}  // namespace qv31

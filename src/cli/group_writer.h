#pragma once

#include <string>
#include <vector>

#include "cli/ctl_context.h"
#include "session/key_table.h"

namespace qv31 {

// The order in which groups are written: the window's "设置全部".
constexpr KeyGroup WRITE_ORDER[] = {KeyGroup::Port1, KeyGroup::Port2, KeyGroup::Port3,
                                    KeyGroup::Port4, KeyGroup::FourG, KeyGroup::Network,
                                    KeyGroup::Acq};

// The frames of a group's "查询".
FrameList QueryFrames(KeyGroup group);
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

}  // namespace qv31

#pragma once

#include <string>
#include <vector>

#include "cli/backup_file.h"
#include "cli/ctl_context.h"
#include "cli/ctl_output.h"
#include "session/key_table.h"

namespace qv31 {

// A key or table row whose value differs from what the gateway holds.
struct FieldChange {
  std::string name;  // the key's name, or "table row N"
  int row = -1;      // 0 to 254 for a table row
  std::string before, after;
  Json beforeJson, afterJson;  // as --json info prints the key, or the row's object
};

// What writing named keys and rows would change, with the images patched.
struct WritePlan {
  std::vector<FieldChange> changes;
  std::vector<KeyGroup> groups;            // groups with a change, in write order
  bool tableBlocks[ACQ_BLOCK_COUNT] = {};  // table blocks with a changed byte
};

// Patches the named keys and rows into the session's images as last read: every byte that
// no named field owns stays as read, codes the window would show as "无效" included. A
// field's bytes are those its change alters beyond what showing and reading back its group
// unchanged alters. The grid is refreshed from the patched table.
WritePlan PatchNamedFields(GatewaySession& session, const std::vector<Assignment>& keys,
                           const std::vector<BackupContent::Row>& rows);

// The write frames for `groups` from the images as they are, each group with its "设置"
// frames; of the table's frames only the blocks marked in `blocks` (nullptr: all four).
FrameList ImageWriteFrames(GatewaySession& session, const std::vector<KeyGroup>& groups,
                           const bool* blocks);

}  // namespace qv31

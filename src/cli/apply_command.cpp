#include "cli/apply_command.h"

#include "cli/backup_commands.h"
#include "cli/backup_file.h"
#include "cli/block_writer.h"
#include "cli/ctl_output.h"
#include "cli/group_writer.h"
#include "cli/interrupt.h"

namespace qv31 {
namespace {

struct ApplyArgs {
  bool check = false;
  bool diff = false;
  std::string file;
};

bool ParseApplyArgs(const std::vector<std::string>& args, ApplyArgs& out, std::string& error) {
  for (const std::string& a : args) {
    if (a == "--check") {
      out.check = true;
    } else if (a == "--diff") {
      out.diff = true;
    } else if (a.size() > 1 && a[0] == '-') {
      error = "apply takes --check, --diff and FILE, not " + a;
    } else if (!out.file.empty()) {
      error = "apply takes one FILE";
    } else {
      out.file = a;
    }
  }
  if (error.empty() && out.file.empty()) error = "apply needs FILE";
  return error.empty();
}

// The reads that cover what the file names: the whole parameter image for any key of it,
// the table for an acquisition key or a row.
FrameList ReadsFor(const BackupContent& content) {
  bool params = false, table = !content.rows.empty();
  for (const Assignment& a : content.keys) {
    (a.key->group == KeyGroup::Acq ? table : params) = true;
  }
  FrameList reads;
  if (params) reads = GatewaySession::QueryFrames(GroupId::Params);
  if (table) {
    for (auto& f : GatewaySession::QueryFrames(GroupId::Acq)) reads.push_back(std::move(f));
  }
  return reads;
}

void Report(CtlContext& ctx, const ApplyArgs& a, const WritePlan& plan, const FrameList& writes) {
  if (ctx.Options().json) {
    Json before = Json::object(), after = Json::object();
    Json rowsBefore = Json::array(), rowsAfter = Json::array();
    for (const FieldChange& c : plan.changes) {
      if (c.row < 0) {
        before[c.name] = c.beforeJson;
        after[c.name] = c.afterJson;
      } else {
        rowsBefore.push_back(c.beforeJson);
        rowsAfter.push_back(c.afterJson);
      }
    }
    if (!rowsBefore.empty()) before["table"] = rowsBefore, after["table"] = rowsAfter;
    Json written = Json::array();
    for (const auto& f : writes) {
      if (std::string name = WriteNameOf(f); !name.empty()) written.push_back(name);
    }
    Emit(ctx, {{"changed", !plan.changes.empty()},
               {"check", a.check},
               {"diff", {{"before", before}, {"after", after}}},
               {"written", written}});
    return;
  }
  for (const FieldChange& c : plan.changes) {
    if (c.row >= 0 && !a.diff) {
      std::fprintf(ctx.Out(), "%s: changed\n", c.name.c_str());
    } else {
      std::fprintf(ctx.Out(), "%s: %s -> %s\n", c.name.c_str(), c.before.c_str(), c.after.c_str());
    }
  }
  if (plan.changes.empty()) std::fputs("unchanged\n", ctx.Out());
  if (a.check && !plan.changes.empty()) std::fputs("(--check: nothing written)\n", ctx.Out());
}

}  // namespace

int ApplyCommand(CtlContext& ctx) {
  ApplyArgs a;
  std::string text, error;
  if (!ParseApplyArgs(ctx.Options().args, a, error)) {
    return ctx.Fail(EXIT_USAGE, error + "; see qv31ctl --help");
  }
  if (!ReadText(a.file, text, error)) return ctx.Fail(EXIT_FILE, error);
  const auto content = ReadApplyFile(text, error);
  if (!content) return ctx.Fail(EXIT_FILE, a.file + " is refused: " + error);

  if (!a.check) CatchInterrupts();
  ctx.SetWriteState("  nothing was written\n");
  if (const int rc = ctx.OpenAndConnect()) return rc;
  if (const FrameList reads = ReadsFor(*content); !reads.empty() && !ctx.Exchange(reads)) {
    return ctx.GatewayFailure();
  }
  const WritePlan plan = PatchNamedFields(ctx.Session(), content->keys, content->rows);
  FrameList writes;
  if (!a.check && !plan.groups.empty()) {
    writes = ImageWriteFrames(ctx.Session(), plan.groups, plan.tableBlocks);
    if (const int rc = WriteAndVerify(ctx, plan.groups, writes)) return rc;
  }
  Report(ctx, a, plan, writes);
  return EXIT_DONE;
}

}  // namespace qv31

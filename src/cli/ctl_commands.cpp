#include "cli/ctl_commands.h"

#include "cli/apply_command.h"
#include "cli/backup_commands.h"
#include "cli/block_writer.h"
#include "cli/ctl_context.h"
#include "cli/ctl_output.h"
#include "cli/ctl_usage.h"
#include "cli/discover_command.h"
#include "cli/fleet.h"
#include "cli/group_writer.h"
#include "cli/interrupt.h"
#include "cli/table_commands.h"

namespace qv31 {
namespace {

int Info(CtlContext& ctx) {
  if (const int rc = ctx.OpenAndConnect()) return rc;
  FrameList frames = GatewaySession::QueryFrames(GroupId::Params);  // identity: the connect
  for (auto& f : GatewaySession::QueryFrames(GroupId::Acq)) frames.push_back(std::move(f));
  if (!ctx.Exchange(frames)) return ctx.GatewayFailure();
  Json doc = Json::object();
  std::vector<const CtlKey*> keys;
  for (const CtlKey& k : CtlKeys()) keys.push_back(&k);
  PrintKeys(ctx, keys, doc);
  if (!ctx.Options().json) std::fputc('\n', ctx.Out());
  PrintRows(ctx, false, doc);
  Emit(ctx, doc);
  return EXIT_DONE;
}

int Get(CtlContext& ctx) {
  std::vector<const CtlKey*> keys;
  bool params = false, acq = false;
  for (const std::string& name : ctx.Options().args) {
    const CtlKey* k = FindCtlKey(name);
    if (k == nullptr) return ctx.Fail(EXIT_USAGE, UnknownKey(name) + "; see qv31ctl --help");
    keys.push_back(k);
    params |= k->group != KeyGroup::Identity && k->group != KeyGroup::Acq;
    acq |= k->group == KeyGroup::Acq;
  }
  if (const int rc = ctx.OpenAndConnect()) return rc;
  FrameList frames;
  if (params) frames = GatewaySession::QueryFrames(GroupId::Params);
  if (acq) {
    for (auto& f : GatewaySession::QueryFrames(GroupId::Acq)) frames.push_back(std::move(f));
  }
  if (!frames.empty() && !ctx.Exchange(frames)) return ctx.GatewayFailure();
  Json doc = Json::object();
  PrintKeys(ctx, keys, doc);
  Emit(ctx, doc);
  return EXIT_DONE;
}

int Set(CtlContext& ctx) {
  std::string error;
  const auto changes = ParseAssignments(ctx.Options().args, error);
  if (!changes) return ctx.Fail(EXIT_USAGE, error);
  std::vector<KeyGroup> groups;
  for (const KeyGroup g : WriteOrder()) {
    for (const Assignment& c : *changes) {
      if (c.key->group == g) {
        groups.push_back(g);
        break;
      }
    }
  }
  CatchInterrupts();
  ctx.SetWriteState("  nothing was written\n");
  if (const int rc = ctx.OpenAndConnect()) return rc;
  // Each group as its own button would do it: read it, change only the named fields,
  // write it with exactly that button's frames, read it back. Every byte no named key owns
  // goes back as read.
  FrameList reads;
  for (const KeyGroup g : groups) {
    for (auto& f : GatewaySession::QueryFrames(g)) reads.push_back(std::move(f));
  }
  if (!ctx.Exchange(reads)) return ctx.GatewayFailure();
  PatchNamedFields(ctx.Session(), *changes, {});
  if (const int rc = WriteAndVerify(ctx, groups, ImageWriteFrames(ctx.Session(), groups, nullptr)))
    return rc;
  Json doc = Json::object();
  std::vector<const CtlKey*> keys;
  keys.reserve(changes->size());
  for (const Assignment& c : *changes) keys.push_back(c.key);
  PrintKeys(ctx, keys, doc);
  Emit(ctx, doc);
  return EXIT_DONE;
}

// The window's stop sequence: the stop frame after 100 ms, one received block dropped every
// 100 ms, the port closed after one second.
int Stop(CtlContext& ctx) {
  if (const int rc = ctx.OpenLink(true)) return rc;
  ctx.RunStopSequence();
  if (!ctx.Session().StopAcknowledged()) {
    return ctx.Fail(EXIT_GATEWAY, "the gateway did not acknowledge the stop frame");
  }
  return EXIT_DONE;
}

}  // namespace

int RunCtlCommand(const CtlOptions& options, std::FILE* out, std::FILE* err) {
  if (IsFleet(options)) return RunFleet(options, out, err);
  CtlContext ctx(options, out, err);
  const std::string& c = options.command;
  const auto& args = options.args;
  if (c == "info" && args.empty()) return Info(ctx);
  if (c == "get" && !args.empty()) return Get(ctx);
  if (c == "set" && !args.empty()) return Set(ctx);
  if (c == "table") return TableCommand(ctx);
  if (c == "stop" && args.empty()) return Stop(ctx);
  if (c == "backup" && args.size() == 1) return BackupCommand(ctx, args[0]);
  if (c == "restore" && args.size() == 1) return RestoreCommand(ctx, args[0], false);
  if (c == "restore" && args.size() == 2 && args[0] == "--force") {
    return RestoreCommand(ctx, args[1], true);
  }
  if (c == "discover") return DiscoverCommand(options, out, err);
  if (c == "apply" && !args.empty()) return ApplyCommand(ctx);
  return ctx.Fail(EXIT_USAGE, "bad arguments for " + c + "; see qv31ctl --help");
}

}  // namespace qv31

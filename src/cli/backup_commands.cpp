#include "cli/backup_commands.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "cli/backup_file.h"
#include "cli/ctl_output.h"
#include "cli/group_writer.h"
#include "cli/interrupt.h"
#include "cli/output_file.h"
#include "link/hex_codec.h"
#include "text/bounded_file.h"

namespace qv31 {
namespace {

FrameList ReadEverythingFrames() {
  FrameList frames = GatewaySession::QueryFrames(GroupId::Params);  // identity: the connect
  for (auto& f : GatewaySession::QueryFrames(GroupId::Acq)) frames.push_back(std::move(f));
  return frames;
}

}  // namespace

bool ReadText(const std::string& file, std::string& text, std::string& error) {
  std::string reason;
  switch (ReadBoundedFile(file, BACKUP_FILE_MAX, text, reason)) {
    case FileReadResult::Read:
      return true;
    case FileReadResult::Missing:
      error = "cannot read " + file + ": " + std::strerror(ENOENT);
      return false;
    case FileReadResult::Refused:
      if (reason.rfind("is larger", 0) == 0) reason += " (a backup is about 60 KB)";
      error = file + " " + reason;
      return false;
  }
  return false;
}

int BackupCommand(CtlContext& ctx, const std::string& file) {
  // An interrupt ends the reads at a frame boundary, so the temporary file is removed.
  CatchInterrupts();
  OutputFile out(file);
  std::string error;
  if (!out.Open(error)) return ctx.Fail(EXIT_FILE, error);
  if (const int rc = ctx.OpenAndConnect()) return rc;
  if (!ctx.Exchange(ReadEverythingFrames())) return ctx.GatewayFailure();
  GatewaySession& session = ctx.Session();
  Json doc = {{"format", BACKUP_FORMAT}, {"version", BACKUP_VERSION}};
  Json keys = Json::object();
  for (const CtlKey& k : CtlKeys()) keys[std::string(k.name)] = KeyJson(session, k);
  doc["keys"] = keys;
  Json rows = Json::array();
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) rows.push_back(RowJson(session.Grid(), r));
  doc["table"] = rows;
  doc["images"] = {{"params", HexText(session.Params().Bytes(), "")},
                   {"table", HexText(session.Table().Bytes(), "")}};
  if (!out.Write(doc.dump(2) + "\n") || !out.Commit()) {
    return ctx.Fail(EXIT_FILE, "cannot write " + file);
  }
  return EXIT_DONE;
}

int RestoreCommand(CtlContext& ctx, const std::string& file, bool force) {
  std::string text, error;
  if (!ReadText(file, text, error)) return ctx.Fail(EXIT_FILE, error);
  const auto backup = ReadBackup(text, error);
  if (!backup) return ctx.Fail(EXIT_FILE, file + " is refused: " + error);

  CatchInterrupts();
  ctx.SetWriteState("  nothing was written\n");
  if (const int rc = ctx.OpenAndConnect()) return rc;
  GatewaySession& session = ctx.Session();
  if (backup->identity && *backup->identity != session.Identity()) {
    const std::string differs = "the backup is of another gateway: its identity is \"" +
                                *backup->identity + "\", this gateway's \"" + session.Identity() +
                                "\"";
    if (!force) return ctx.Fail(EXIT_FILE, differs + "; restore --force writes it anyway");
    std::fprintf(ctx.Err(), "qv31ctl: %s; restoring it (--force)\n", differs.c_str());
  }
  // Start from the backed-up images, so the bytes the tool carries without showing them
  // (reserved fields inside the groups' write windows, table header bytes 4 to 7) go back as
  // they were; without images, from what the gateway holds now. Parameter bytes outside
  // every group's write window (the MAC address among them) are never written.
  if (backup->hasImages) {
    session.Params().Store(0, backup->params.data(), PARAM_SIZE);
    session.Table().Store(0, backup->table.data(), ACQ_IMAGE_SIZE);
  } else if (!ctx.Exchange(ReadEverythingFrames())) {
    return ctx.GatewayFailure();
  }
  AcqGrid& grid = session.Grid();
  for (int b = 0; b < ACQ_BLOCK_COUNT; ++b) grid.RefreshAcqBlock(session.Table(), b);
  for (const BackupContent::Row& row : backup->rows) {
    std::array<std::string_view, ACQ_STORED_COUNT> cells;
    std::copy(row.cells.begin(), row.cells.end(), cells.begin());
    grid.SetStoredCells(row.row, cells);
  }
  for (const Assignment& a : backup->keys) ApplyKey(session, *a.key, a.value);
  return WriteGroupsAndVerify(ctx, WriteOrder());
}

}  // namespace qv31

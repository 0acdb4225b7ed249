#include "cli/backup_commands.h"

#include <sys/stat.h>

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

namespace qv31 {
namespace {

FrameList ReadEverythingFrames() {
  FrameList frames = GatewaySession::QueryFrames(GroupId::Params);  // identity: the connect
  for (auto& f : GatewaySession::QueryFrames(GroupId::Acq)) frames.push_back(std::move(f));
  return frames;
}

// The file's text; false with `error` saying why it cannot be read.
bool ReadText(const std::string& file, std::string& text, std::string& error) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) {
    error = "cannot read " + file + ": " + std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    error = file + " is a directory";
    return false;
  }
  std::ifstream f(file, std::ios::binary);
  text.assign(std::istreambuf_iterator<char>(f), {});
  if (!f.good() && !f.eof()) {
    error = "cannot read " + file;
    return false;
  }
  return true;
}

}  // namespace

int BackupCommand(CtlContext& ctx, const std::string& file) {
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

int RestoreCommand(CtlContext& ctx, const std::string& file) {
  std::string text, error;
  if (!ReadText(file, text, error)) return ctx.Fail(EXIT_FILE, error);
  const auto backup = ReadBackup(text, error);
  if (!backup) return ctx.Fail(EXIT_FILE, file + " is refused: " + error);

  CatchInterrupts();
  ctx.SetWriteState("  nothing was written\n");
  if (const int rc = ctx.OpenAndConnect()) return rc;
  GatewaySession& session = ctx.Session();
  // Start from the backed-up images, so the bytes the tool carries without showing them
  // (reserved fields, header bytes 4 to 7) go back as they were; without images, from what
  // the gateway holds now.
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

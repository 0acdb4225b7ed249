#include "cli/table_commands.h"

#include <cerrno>
#include <cstring>

#include "acq/acq_checks.h"
#include "acq/csv_file.h"
#include "acq/csv_warnings.h"
#include "cli/ctl_output.h"
#include "cli/group_writer.h"
#include "cli/interrupt.h"
#include "cli/output_file.h"
#include "text/bounded_file.h"

namespace qv31 {
namespace {

// A table file as read: its lines, what the import rules will do that its author probably
// does not mean, and what the table checks find in its rows alone.
struct TableFile {
  std::vector<std::string> lines;
  std::vector<std::string> warnings;
  std::vector<AcqFinding> findings;
};

// The import rules over lines already read.
CsvResult ImportLines(AcqGrid& grid, const std::vector<std::string>& lines) {
  size_t next = 0;
  return ImportCsvLines(grid, [&](std::string& line) {
    if (next == lines.size()) return false;
    line = lines[next++];
    return true;
  });
}

// Reads `file` (a regular file within CSV_FILE_MAX) and applies the import rules to an empty
// table: 0 when it may be imported, else the refusal's exit status.
int ReadTableFile(CtlContext& ctx, const std::string& file, TableFile& table) {
  std::string bytes, reason;
  switch (ReadBoundedFile(file, CSV_FILE_MAX, bytes, reason)) {
    case FileReadResult::Missing:
      return ctx.Fail(EXIT_FILE, "cannot read " + file + ": " + std::strerror(ENOENT));
    case FileReadResult::Refused:
      if (reason.rfind("is larger", 0) == 0) reason += " (a whole table file is about 12 KB)";
      return ctx.Fail(EXIT_FILE, file + " " + reason);
    case FileReadResult::Read:
      break;
  }
  table.lines = SplitCsvLines(bytes);
  AcqGrid grid;
  if (ImportLines(grid, table.lines) == CsvResult::Mismatch) {
    return ctx.Fail(EXIT_FILE, file + ": " + std::string(STATUS_MISMATCH));
  }
  // The warnings read the lines as the import does: UTF-8 behind a UTF-8 header.
  const CsvEncoding encoding = CsvFileEncoding(table.lines.front());
  for (size_t i = 1; i < table.lines.size(); ++i) {
    for (auto& w : CsvLineWarnings(table.lines[i], static_cast<int>(i + 1), encoding)) {
      table.warnings.push_back(std::move(w));
    }
  }
  table.findings = CheckAcqGrid(grid);
  return EXIT_DONE;
}

int Show(CtlContext& ctx, bool all) {
  if (const int rc = ctx.OpenAndConnect()) return rc;
  if (!ctx.Exchange(GatewaySession::QueryFrames(GroupId::Acq))) return ctx.GatewayFailure();
  Json doc = Json::object();
  PrintRows(ctx, all, doc);
  Emit(ctx, doc);
  return EXIT_DONE;
}

int Export(CtlContext& ctx, const std::string& file) {
  // An interrupt ends the reads at a frame boundary, so the temporary file is removed.
  CatchInterrupts();
  OutputFile out(file);
  std::string error;
  if (!out.Open(error)) return ctx.Fail(EXIT_FILE, error);
  if (const int rc = ctx.OpenAndConnect()) return rc;
  if (!ctx.Exchange(GatewaySession::QueryFrames(GroupId::Acq))) return ctx.GatewayFailure();
  if (ExportCsv(ctx.Session().Grid(), out.TempPath()) != CsvResult::Exported || !out.Commit()) {
    return ctx.Fail(EXIT_FILE, "cannot write " + file);
  }
  return EXIT_DONE;
}

// Without --strict the warnings are printed and the file is imported as the window would;
// with it, a warning or a finding of `table check FILE` refuses the file.
int Import(CtlContext& ctx, const std::string& file, bool strict) {
  TableFile table;
  if (const int rc = ReadTableFile(ctx, file, table)) return rc;
  for (const std::string& w : table.warnings)
    std::fprintf(ctx.Err(), "qv31ctl: %s: %s\n", file.c_str(), w.c_str());
  if (strict) {
    for (const AcqFinding& f : table.findings)
      std::fprintf(ctx.Err(), "qv31ctl: %s: %s\n", file.c_str(), FindingLine(f).c_str());
  }
  if (strict && (!table.warnings.empty() || !table.findings.empty())) {
    return ctx.Fail(EXIT_FILE,
                    file + " is refused (--strict): " + std::to_string(table.warnings.size()) +
                        " warning(s) and " + std::to_string(table.findings.size()) +
                        " finding(s) of table check above");
  }
  CatchInterrupts();
  ctx.SetWriteState("  nothing was written\n");
  if (const int rc = ctx.OpenAndConnect()) return rc;
  if (!ctx.Exchange(GatewaySession::QueryFrames(GroupId::Acq))) return ctx.GatewayFailure();
  ImportLines(ctx.Session().Grid(), table.lines);
  return WriteGroupsAndVerify(ctx, {KeyGroup::Acq});
}

// The table checks over the gateway's table, or over FILE read into an empty table (no
// link opened) with the import's warnings first, exactly what import --strict refuses: a line
// per warning or finding, exit 1 when there is any.
int Check(CtlContext& ctx, const std::string* file) {
  TableFile table;
  if (file != nullptr) {
    if (const int rc = ReadTableFile(ctx, *file, table)) return rc;
  } else {
    if (const int rc = ctx.OpenAndConnect()) return rc;
    if (!ctx.Exchange(GatewaySession::QueryFrames(GroupId::Acq))) return ctx.GatewayFailure();
    table.findings = CheckAcqGrid(ctx.Session().Grid());
  }
  Json list = Json::array();
  for (const std::string& w : table.warnings) {
    if (!ctx.Options().json) std::fprintf(ctx.Out(), "%s: %s\n", file->c_str(), w.c_str());
  }
  for (const AcqFinding& f : table.findings) {
    if (ctx.Options().json) {
      list.push_back({{"row", f.row + 1}, {"column", ColumnKey(f.column)}, {"text", f.text}});
    } else {
      std::fprintf(ctx.Out(), "%s\n", FindingLine(f).c_str());
    }
  }
  Json doc{{"findings", list}};
  if (file != nullptr) doc["warnings"] = table.warnings;
  Emit(ctx, doc);
  return table.findings.empty() && table.warnings.empty() ? EXIT_DONE : EXIT_FINDINGS;
}

}  // namespace

int TableCommand(CtlContext& ctx) {
  const auto& a = ctx.Options().args;
  if (!a.empty() && a[0] == "show" && (a.size() == 1 || (a.size() == 2 && a[1] == "--all"))) {
    return Show(ctx, a.size() == 2);
  }
  if (a.size() == 2 && a[0] == "export") return Export(ctx, a[1]);
  if (a.size() == 2 && a[0] == "import") return Import(ctx, a[1], false);
  if (a.size() == 3 && a[0] == "import" && a[1] == "--strict") return Import(ctx, a[2], true);
  if (!a.empty() && a[0] == "check" && a.size() <= 2) {
    return Check(ctx, a.size() == 2 ? &a[1] : nullptr);
  }
  return ctx.Fail(EXIT_USAGE,
                  "table takes show [--all], export FILE, import [--strict] FILE or check [FILE]");
}

}  // namespace qv31

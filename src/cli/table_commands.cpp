#include "cli/table_commands.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "acq/acq_checks.h"
#include "acq/ckx_file_txt.h"
#include "acq/csv_file.h"
#include "cli/ctl_output.h"
#include "cli/group_writer.h"
#include "cli/interrupt.h"
#include "cli/output_file.h"

namespace qv31 {
namespace {

// What the window's rules will do to one data line that the operator may not expect.
void CheckLine(const std::string& gbkLine, int lineNumber, std::vector<std::string>& warnings) {
  const std::string at = "line " + std::to_string(lineNumber);
  AcqGrid scratch;
  const int row = ApplyCsvLine(scratch, gbkLine);
  if (row < 0) {
    warnings.push_back(at + ": no row number from 1 to 255 at its start; it changes nothing");
    return;
  }
  for (const int column : AcqStoredColumns()) {
    const std::string& text = scratch.Cell(row, column);
    if (AcqColumns()[static_cast<size_t>(column)].fieldMax == 0 || FitsAcqField(column, text)) {
      continue;
    }
    warnings.push_back(at + " (row " + std::to_string(row + 1) +
                       "): " + std::string(AcqColumns()[static_cast<size_t>(column)].jsonName) +
                       " \"" + text + "\" does not fit its field and is written as " +
                       std::to_string(CutToAcqField(column, text)));
  }
}

// The import rules over `file` into `grid`, collecting warnings: 0 when it may be imported,
// else the refusal's exit status.
int ReadTableFile(CtlContext& ctx, const std::string& file, AcqGrid& grid,
                  std::vector<std::string>& warnings) {
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    return ctx.Fail(EXIT_FILE, file + " is a directory");
  }
  CKXFileTxt in;
  if (!in.Open(file, CKXFileTxt::Mode::Read)) {
    return ctx.Fail(EXIT_FILE, "cannot read " + file + ": " + std::strerror(errno));
  }
  int lineNumber = 0;
  const CsvResult r = ImportCsvLines(grid, [&](std::string& line) {
    if (!in.ReadString(line)) return false;
    if (++lineNumber > 1) CheckLine(line, lineNumber, warnings);
    return true;
  });
  in.Close();
  if (r == CsvResult::Mismatch)
    return ctx.Fail(EXIT_FILE, file + ": " + std::string(STATUS_MISMATCH));
  return r == CsvResult::Imported ? EXIT_DONE : ctx.Fail(EXIT_FILE, "cannot read " + file);
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

int Import(CtlContext& ctx, const std::string& file, bool strict) {
  std::vector<std::string> warnings;
  AcqGrid scratch;
  if (const int rc = ReadTableFile(ctx, file, scratch, warnings)) return rc;
  for (const std::string& w : warnings)
    std::fprintf(ctx.Err(), "qv31ctl: %s: %s\n", file.c_str(), w.c_str());
  if (strict && !warnings.empty()) {
    return ctx.Fail(EXIT_FILE, file + " is refused (--strict): " + std::to_string(warnings.size()) +
                                   " warning(s) above");
  }
  CatchInterrupts();
  ctx.SetWriteState("  nothing was written\n");
  if (const int rc = ctx.OpenAndConnect()) return rc;
  if (!ctx.Exchange(GatewaySession::QueryFrames(GroupId::Acq))) return ctx.GatewayFailure();
  if (ImportCsv(ctx.Session().Grid(), file) != CsvResult::Imported) {
    return ctx.Fail(EXIT_FILE, "cannot read " + file);
  }
  return WriteGroupsAndVerify(ctx, {KeyGroup::Acq});
}

// The table checks over the gateway's table, or over FILE read into an empty table (no
// link opened): a line per finding, exit 1 when there is any.
int Check(CtlContext& ctx, const std::string* file) {
  AcqGrid fromFile;
  const AcqGrid* grid = &fromFile;
  if (file != nullptr) {
    std::vector<std::string> warnings;  // what the checks find too, or lines that change nothing
    if (const int rc = ReadTableFile(ctx, *file, fromFile, warnings)) return rc;
  } else {
    if (const int rc = ctx.OpenAndConnect()) return rc;
    if (!ctx.Exchange(GatewaySession::QueryFrames(GroupId::Acq))) return ctx.GatewayFailure();
    grid = &ctx.Session().Grid();
  }
  const std::vector<AcqFinding> findings = CheckAcqGrid(*grid);
  Json list = Json::array();
  for (const AcqFinding& f : findings) {
    if (ctx.Options().json) {
      list.push_back({{"row", f.row + 1}, {"column", ColumnKey(f.column)}, {"text", f.text}});
    } else {
      std::fprintf(ctx.Out(), "%s\n", FindingLine(f).c_str());
    }
  }
  Emit(ctx, Json{{"findings", list}});
  return findings.empty() ? EXIT_DONE : EXIT_FINDINGS;
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

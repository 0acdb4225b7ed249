#include <cerrno>
#include <cstring>

#include "acq/acq_codes.h"
#include "acq/csv_file.h"
#include "app/control_checks.h"
#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "app/dialog_texts.h"
#include "app/text_catalogue.h"
#include "transport/choice_lists.h"

// The acquisition table: its commands, the whole-gateway commands that end with it, its CSV
// files and the in-place editing of its cells.
namespace qv31 {

using namespace dialog;

namespace {

// Entries of the drop-down list over a cell, by column.
std::vector<std::string> CellComboEntries(int column) {
  std::vector<std::string> entries;
  if (column == COL_CHANNEL) {
    for (int code = 0; code < GATEWAY_PORT_COUNT; ++code) {
      entries.push_back(ChannelText(static_cast<uint8_t>(code)));
    }
    entries.emplace_back(INVALID_TEXT);
  } else if (column == COL_TYPE) {
    for (const VarType& t : VarTypes()) entries.emplace_back(t.text);
  }
  return entries;
}

bool OpensEditBox(int column) {
  return column == COL_SLAVE || column == COL_START || column == COL_COUNT || column == COL_BUFFER;
}

}  // namespace

// ---- Acquisition table -----------------------------------------------------------------

void CQV31Dlg::ShowAcqSettings() {
  const AcqSettingsTexts& s = session_.Grid().Settings();
  view_.SetChecked(IDC_ACQ_ENABLE, s.enableTicked);
  view_.SetText(IDC_ACQ_TIMEOUT, s.timeout);
  view_.SetText(IDC_ACQ_TIMEOUT_COUNT, s.timeoutCount);
  view_.SetText(IDC_ACQ_INTERVAL, s.interval);
}

void CQV31Dlg::CopyAcqSettings() {
  AcqSettingsTexts& s = session_.Grid().Settings();
  s.enableTicked = view_.Checked(IDC_ACQ_ENABLE);
  s.timeout = view_.Text(IDC_ACQ_TIMEOUT);
  s.timeoutCount = view_.Text(IDC_ACQ_TIMEOUT_COUNT);
  s.interval = view_.Text(IDC_ACQ_INTERVAL);
}

void CQV31Dlg::ClearAcqView() {
  session_.Grid().ClearAcqView();
  ShowAcqSettings();
  TableChanged(0, ACQ_ROW_COUNT - 1);
}

void CQV31Dlg::QueryAcq() {
  SetCommandButtonsEnabled(false);
  ClearAcqView();
  MarkBlank(GroupId::Acq);
  session_.Query(GroupId::Acq);
}

void CQV31Dlg::SetAcq() { WriteGroups({GroupId::Acq}); }

void CQV31Dlg::QueryAll() {
  SetCommandButtonsEnabled(false);
  SetStatus("");
  for (const int id : {IDC_VERSION, IDC_GROUP, IDC_STATION}) view_.SetText(id, "");
  view_.SetChecked(IDC_LOG, false);
  for (const GatewayPortIds& p : GATEWAY_PORT_CONTROLS) {
    view_.ComboSelect(p.baud, -1);
    view_.ComboSelect(p.format, -1);
  }
  ClearNetwork();
  ClearAcqView();
  for (const GroupEntry& g : Groups()) {
    if (!g.set.Span().empty()) MarkBlank(g.id);
  }
  session_.QueryAll();
}

void CQV31Dlg::SetAll() {
  std::vector<GroupId> groups;
  for (const GroupEntry& g : Groups()) {
    if (!g.set.Span().empty()) groups.push_back(g.id);
  }
  WriteGroups(groups);
}

// ---- CSV files -------------------------------------------------------------------------

void CQV31Dlg::SaveCsv() {
  const std::time_t now = wallClock_();
  SetCommandButtonsEnabled(false);
  SetStatus("");
  const std::string path = CsvExportPath(ini_.DirPath(), now);
  errno = 0;
  const CsvResult result = ExportCsv(session_.Grid(), path);
  const int error = errno;
  if (result == CsvResult::Exported) {
    // The tool tip tells the operator where the file went.
    SetStatus(CsvStatusText(result), path);
  } else {
    std::string text = Compose(EXPORT_FAILED, {path});
    if (error != 0) text += "\n" + std::string(std::strerror(error));
    SetStatus("", text);
    view_.MessageBox(text);
  }
  SetCommandButtonsEnabled(true);
}

void CQV31Dlg::LoadCsv() {
  SetStatus("");
  SetCommandButtonsEnabled(false);
  const auto path = view_.ChooseOpenFile(CSV_FILTER_NAME, CSV_FILTER_PATTERN, ini_.DirPath());
  if (path) {
    CsvImportNotes notes;
    const CsvResult result = ImportCsv(session_.Grid(), *path, &notes);
    if (result == CsvResult::Imported) {
      SetStatus(ImportedText(CsvStatusText(result), notes.skipped), *path);
      acqBlank_ = 0;
      blank_ &= ~(1u << static_cast<unsigned>(GroupId::Acq));
      TableChanged(0, ACQ_ROW_COUNT - 1);
    } else if (result == CsvResult::Mismatch) {
      SetStatus(CsvStatusText(result), *path);
      view_.MessageBox(CsvRefusalText(*path, notes.firstLine));
    }
  }
  SetCommandButtonsEnabled(true);
}

// ---- In-place editing ------------------------------------------------------------------

void CQV31Dlg::SetCellText(int row, int column, std::string_view text) {
  if (session_.Grid().SetCell(row, column, text) < 0) return;
  acqBlank_ = 0;
  blank_ &= ~(1u << static_cast<unsigned>(GroupId::Acq));
  session_.Grid().RecalcAcqRow(row);
  TableChanged(row, row);
}

void CQV31Dlg::CommitCellEdit() {
  if (!editOpen_) return;
  editOpen_ = false;
  view_.HideCellEditors();
  SetCellText(editRow_, editColumn_, view_.Text(IDC_CELL_EDIT));
}

void CQV31Dlg::OnClickAcqList(int row, int column) {
  // An edit box still open commits into the cell it was opened on before the click is
  // recorded, as its focus loss would.
  CommitCellEdit();
  editRow_ = row;
  editColumn_ = column;
  if (comboShown_ == 1) {
    comboShown_ = 0;
    view_.HideCellEditors();
  }
  if (row < 0 || row >= ACQ_ROW_COUNT) return;
  const std::string& text = session_.Grid().Cell(row, column);
  if (column == COL_CHANNEL || column == COL_TYPE) {
    const auto entries = CellComboEntries(column);
    comboShown_ = 1;
    view_.OpenCellCombo(row, column, entries, SelectComboText(entries, text));
  } else if (OpensEditBox(column)) {
    editOpen_ = true;
    view_.OpenCellEdit(row, column, text);
  }
}

void CQV31Dlg::OnSelChangeCellCombo() {
  view_.HideCellEditors();
  SetCellText(editRow_, editColumn_, view_.Text(IDC_CELL_COMBO));
}

void CQV31Dlg::OnKillFocusCellEdit() { CommitCellEdit(); }

void CQV31Dlg::OnLButtonUp() {
  // The typed text is kept: a hidden box that still held the focus would take later typing
  // into a cell the operator cannot see.
  CommitCellEdit();
  comboShown_ = 0;
  view_.HideCellEditors();
}

void CQV31Dlg::OnCancelCellEditor() {
  editOpen_ = false;
  comboShown_ = 0;
  view_.HideCellEditors();
}

}  // namespace qv31

#include "acq/acq_codes.h"
#include "acq/csv_file.h"
#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "transport/choice_lists.h"

// The acquisition table: its commands, the whole-gateway commands that end with it, its CSV
// files and the in-place editing of its cells.
namespace qv31 {
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
  session_.Query(GroupId::Acq);
}

void CQV31Dlg::SetAcq() {
  SetCommandButtonsEnabled(false);
  CopyAcqSettings();
  session_.Set(GroupId::Acq);
}

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
  session_.QueryAll();
}

// Every group's controls are taken before the first frame is sent.
void CQV31Dlg::SetAll() {
  SetCommandButtonsEnabled(false);
  for (int p = 1; p <= GATEWAY_PORT_COUNT; ++p) CopyPortControls(p);
  Copy4GControls();
  CopyNetworkControls();
  CopyAcqSettings();
  session_.SetAll();
}

// ---- CSV files -------------------------------------------------------------------------

void CQV31Dlg::SaveCsv() {
  const std::time_t now = wallClock_();
  SetCommandButtonsEnabled(false);
  SetStatus("");
  const std::string path = CsvExportPath(ini_.DirPath(), now);
  const CsvResult result = ExportCsv(session_.Grid(), path);
  if (result == CsvResult::Exported) {
    // The tool tip tells the operator where the file went.
    SetStatus(CsvStatusText(result), path);
  } else {
    SetStatus("", "无法写入 " + path);
  }
  SetCommandButtonsEnabled(true);
}

void CQV31Dlg::LoadCsv() {
  SetStatus("");
  SetCommandButtonsEnabled(false);
  const auto path = view_.ChooseOpenFile(CSV_FILTER_NAME, CSV_FILTER_PATTERN, ini_.DirPath());
  if (path) {
    const CsvResult result = ImportCsv(session_.Grid(), *path);
    if (result == CsvResult::Imported || result == CsvResult::Mismatch) {
      SetStatus(CsvStatusText(result), *path);
    }
    if (result == CsvResult::Imported) TableChanged(0, ACQ_ROW_COUNT - 1);
  }
  SetCommandButtonsEnabled(true);
}

// ---- In-place editing ------------------------------------------------------------------

void CQV31Dlg::SetCellText(int row, int column, std::string_view text) {
  if (session_.Grid().SetCell(row, column, text) < 0) return;
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

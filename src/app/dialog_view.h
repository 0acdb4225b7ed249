#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_checks.h"

namespace qv31 {

// A control's rectangle in the dialog's client area, in pixels at 96 dpi.
struct ControlRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const ControlRect&) const = default;
};

// The main dialog's window as its behaviour sees it: controls addressed by control ID (see
// control_ids.h), texts in UTF-8, no toolkit types. The Qt window implements it with widgets;
// the tests with an in-memory table. Every call is made on the window's own thread.
class DialogView {
 public:
  virtual ~DialogView() = default;

  // Window text of an edit, label, button or check box; the selected text of a combo.
  virtual std::string Text(int id) const = 0;
  virtual void SetText(int id, std::string_view text) = 0;
  // The tool tip of a control (empty removes it).
  virtual void SetToolTip(int id, std::string_view text) = 0;

  virtual bool Checked(int id) const = 0;
  virtual void SetChecked(int id, bool checked) = 0;

  // Drop-down lists: items in the order added, no sorting. Only the ports' list 1000 also
  // takes a typed device path; Text gives what it shows.
  virtual std::vector<std::string> ComboItems(int id) const = 0;
  virtual void ComboAdd(int id, std::string_view text) = 0;
  virtual void ComboClear(int id) = 0;
  // The selected position, -1 for none.
  virtual int ComboSelected(int id) const = 0;
  // Selects a position; -1, or a position outside the list, removes the selection.
  virtual void ComboSelect(int id, int index) = 0;
  // The tool tip of one item (the ports' list: the adapter's description).
  virtual void SetComboItemToolTip(int id, int index, std::string_view text) = 0;

  virtual void Enable(int id, bool enabled) = 0;
  virtual bool IsEnabled(int id) const = 0;
  virtual void Show(int id, bool visible) = 0;
  virtual bool IsVisible(int id) const = 0;
  // Places a control (the dialog moves only the Open/Close button).
  virtual void Move(int id, const ControlRect& rect) = 0;

  // The acquisition list 1041 reads its cells from the dialog; this says which rows changed.
  virtual void CellsChanged(int firstRow, int lastRow) = 0;
  // The cells that will not work as the operator probably means, each with why; replaces
  // the marks shown before (none: no marks).
  virtual void MarkCells(std::span<const AcqFinding> findings) = 0;

  // Beside the status box: frames answered of those queued while an exchange runs; a total
  // of 0 hides it.
  virtual void ShowProgress(int answered, int total) = 0;

  // The in-place editors over a cell of the list: the drop-down list 1051 with its entries,
  // the one at `selected` chosen and its list opened at once; the edit box 1050 with `text`,
  // all of it selected and focused. Hide takes both away without committing anything.
  virtual void OpenCellCombo(int row, int column, std::span<const std::string> entries,
                             int selected) = 0;
  virtual void OpenCellEdit(int row, int column, std::string_view text) = 0;
  virtual void HideCellEditors() = 0;

  // A modal message box with only an OK button.
  virtual void MessageBox(std::string_view text) = 0;
  // A modal question with Yes and No, No the default answer; true for Yes.
  virtual bool AskYesNo(std::string_view text) = 0;
  // Puts the keyboard focus on a control.
  virtual void Focus(int id) = 0;
  // A modal open-file chooser for existing files: `filterName` ("参数文件 (*.csv)") with
  // `pattern` ("*.csv"), starting in `directory`. The chosen path, or nothing on cancel.
  virtual std::optional<std::string> ChooseOpenFile(std::string_view filterName,
                                                    std::string_view pattern,
                                                    std::string_view directory) = 0;
  // The about box, modal, with its version line.
  virtual void ShowAbout(std::string_view versionLine) = 0;
};

}  // namespace qv31

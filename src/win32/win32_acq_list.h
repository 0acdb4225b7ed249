#pragma once

#include <functional>
#include <map>
#include <span>
#include <string>
#include <utility>

#include "acq/acq_checks.h"
#include "acq/acq_grid.h"
#include "win32/win32_api.h"

namespace qv31 {

// The acquisition list 1041: a report list view in owner-data mode that reads its cells from
// the dialog's grid, draws the cells the table checks marked in another colour and names
// the reason in a tool tip over the cell.
class Win32AcqList {
 public:
  explicit Win32AcqList(HWND list);
  ~Win32AcqList();
  Win32AcqList(const Win32AcqList&) = delete;
  Win32AcqList& operator=(const Win32AcqList&) = delete;

  HWND Hwnd() const { return list_; }
  // Columns, colours, grid lines and the 255 rows; the cells come from `grid`.
  void Init(const AcqGrid* grid);
  void Redraw(int firstRow, int lastRow);
  void SetMarks(std::span<const AcqFinding> findings);
  // The reason a cell is marked, empty when it is not.
  std::wstring MarkText(int row, int column) const;
  // A cell's label rectangle in the list's client coordinates, the row scrolled into view.
  RECT CellRect(int row, int column) const;

  // The current cell: the focused row, and a column of the list's own that the left and right
  // arrows move; F2 and Enter on it call the edit handler.
  static bool Editable(int column);
  int CurrentRow() const;
  int CurrentColumn() const { return column_; }
  void SetCurrent(int row, int column);
  void SetEditHandler(std::function<void(int row, int column)> edit) { edit_ = std::move(edit); }
  // The notifications the list sends its parent (cell texts, custom draw); true when handled,
  // with the result in `result`.
  bool OnNotify(const NMHDR* header, LRESULT* result);

 private:
  static LRESULT CALLBACK ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                   UINT_PTR id, DWORD_PTR self);
  void OnMouseMove(LPARAM lParam);
  bool OnKey(WPARAM key);
  void SubItemColours(NMLVCUSTOMDRAW* draw) const;
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW* draw) const;
  void FillCell(NMLVDISPINFOW* info) const;

  HWND list_;
  HWND tip_ = nullptr;
  const AcqGrid* grid_ = nullptr;
  std::map<std::pair<int, int>, std::wstring> marks_;
  std::pair<int, int> tipCell_{-1, -1};
  std::wstring tipText_;
  int column_ = 1;
  std::function<void(int, int)> edit_;
};

}  // namespace qv31

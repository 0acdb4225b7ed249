// The two in-place editors of the acquisition list, the dialog's controls 1050 and 1051: laid
// over a cell, and the keys and notifications that commit or cancel them.
#include <algorithm>

#include "app/control_ids.h"
#include "win32/win32_dialog_view.h"
#include "win32/win32_text.h"

namespace qv31 {
namespace {

constexpr UINT_PTR SUBCLASS_ID = 1;
// The edit box reaches 5 pixels above its cell and 2 below (pixels at 96 dpi), so its text
// has room; the drop-down shows every entry of the type column at once.
constexpr int EDIT_ABOVE = 5;
constexpr int EDIT_BELOW = 2;
constexpr int COMBO_VISIBLE_ENTRIES = 12;

}  // namespace

void Win32DialogView::SetCellEditorHandlers(std::function<void()> commit,
                                            std::function<void()> cancel,
                                            std::function<void()> choose,
                                            std::function<void(int step)> move) {
  commitEdit_ = std::move(commit);
  cancelEdit_ = std::move(cancel);
  chooseEntry_ = std::move(choose);
  moveEditor_ = std::move(move);
}

void Win32DialogView::MakeEditors() {
  for (const int id : {IDC_CELL_EDIT, IDC_CELL_COMBO}) {
    SetWindowSubclass(Control(id), EditorProc, SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this));
  }
  SendMessageW(Control(IDC_CELL_COMBO), CB_SETMINVISIBLE, COMBO_VISIBLE_ENTRIES, 0);
}

RECT Win32DialogView::CellInDialog(int row, int column) const {
  RECT cell = const_cast<Win32AcqList&>(list_).CellRect(row, column);
  MapWindowPoints(list_.Hwnd(), dialog_, reinterpret_cast<POINT*>(&cell), 2);
  return cell;
}

void Win32DialogView::OpenCellCombo(int row, int column, std::span<const std::string> entries,
                                    int selected) {
  HideCellEditors();
  HWND combo = Control(IDC_CELL_COMBO);
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  HDC dc = GetDC(combo);
  HGDIOBJ oldFont =
      SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(combo, WM_GETFONT, 0, 0)));
  int widest = 0;
  for (const std::string& entry : entries) {
    const std::wstring text = Wide(entry);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
    SIZE size = {};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    widest = std::max(widest, static_cast<int>(size.cx));
  }
  SelectObject(dc, oldFont);
  ReleaseDC(combo, dc);
  const int count = static_cast<int>(entries.size());
  SendMessageW(combo, CB_SETCURSEL, selected >= 0 && selected < count ? selected : -1, 0);

  const RECT cell = CellInDialog(row, column);
  const int width = cell.right - cell.left;
  const int itemHeight = static_cast<int>(SendMessageW(combo, CB_GETITEMHEIGHT, 0, 0));
  SetWindowPos(combo, HWND_TOP, cell.left, cell.top, width,
               itemHeight * (COMBO_VISIBLE_ENTRIES + 2), SWP_NOACTIVATE);
  // The closed box is as high as its font needs: centred on the cell.
  RECT box = {};
  GetWindowRect(combo, &box);
  const int top = (cell.top + cell.bottom - (box.bottom - box.top)) / 2;
  SetWindowPos(combo, HWND_TOP, cell.left, top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
  const int scrollBar = GetSystemMetrics(SM_CXVSCROLL);
  SendMessageW(combo, CB_SETDROPPEDWIDTH, std::max(width, widest + scrollBar + 8), 0);
  ShowWindow(combo, SW_SHOW);
  SetFocus(combo);
  comboOpen_ = true;
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
}

void Win32DialogView::OpenCellEdit(int row, int column, std::string_view text) {
  HideCellEditors();
  HWND edit = Control(IDC_CELL_EDIT);
  SetWindowTextUtf8(edit, text);
  RECT cell = CellInDialog(row, column);
  const int dpi = WindowDpi(dialog_);
  cell.top -= MulDiv(EDIT_ABOVE, dpi, 96);
  cell.bottom += MulDiv(EDIT_BELOW, dpi, 96);
  SetWindowPos(edit, HWND_TOP, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top,
               SWP_SHOWWINDOW);
  editOpen_ = true;
  SetFocus(edit);
  SendMessageW(edit, EM_SETSEL, 0, -1);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

void Win32DialogView::HideCellEditors() {
  editOpen_ = false;  // hiding the focused edit box must not commit it
  comboOpen_ = false;
  HWND edit = Control(IDC_CELL_EDIT);
  HWND combo = Control(IDC_CELL_COMBO);
  if (SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
  HWND focus = GetFocus();
  const bool editorFocused = focus == edit || focus == combo || GetParent(focus) == combo;
  ShowWindow(combo, SW_HIDE);
  ShowWindow(edit, SW_HIDE);
  // Typing must not go on into a hidden editor; while the focus is already leaving, it is on
  // its way elsewhere.
  if (editorFocused && !editLosingFocus_) SetFocus(list_.Hwnd());
}

void Win32DialogView::CommitCellEdit() {
  if (!editOpen_) return;
  editOpen_ = false;
  if (commitEdit_) commitEdit_();
}

void Win32DialogView::CancelCellEditor() {
  editOpen_ = false;
  comboOpen_ = false;
  if (cancelEdit_) cancelEdit_();
  HideCellEditors();
  SetFocus(list_.Hwnd());
}

void Win32DialogView::OnCellEditNotify(int code) {
  if (code != EN_KILLFOCUS) return;
  editLosingFocus_ = true;
  CommitCellEdit();
  editLosingFocus_ = false;
}

void Win32DialogView::OnCellComboNotify(int code) {
  HWND combo = Control(IDC_CELL_COMBO);
  const bool dropped = SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0) != 0;
  // A choice: the list closed on an entry, or the selection moved while the list is closed
  // (keys on the closed box, or a test).
  const bool chosen = code == CBN_SELENDOK || (code == CBN_SELCHANGE && !dropped);
  if (chosen && comboOpen_) {
    comboOpen_ = false;
    if (chooseEntry_) chooseEntry_();
    SetFocus(list_.Hwnd());
  } else if (code == CBN_SELENDCANCEL && comboOpen_) {
    CancelCellEditor();
  }
}

void Win32DialogView::TabFromEditor(bool isEdit) {
  const int step = GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
  if (isEdit) {
    CommitCellEdit();
  } else if (comboOpen_) {
    // The entry the drop-down shows is the choice.
    comboOpen_ = false;
    HWND combo = Control(IDC_CELL_COMBO);
    if (SendMessageW(combo, CB_GETDROPPEDSTATE, 0, 0)) {
      SendMessageW(combo, CB_SHOWDROPDOWN, FALSE, 0);
    }
    if (chooseEntry_) chooseEntry_();
  }
  HideCellEditors();
  SetFocus(list_.Hwnd());
  if (moveEditor_) moveEditor_(step);
}

LRESULT CALLBACK Win32DialogView::EditorProc(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR, DWORD_PTR self) {
  auto* view = reinterpret_cast<Win32DialogView*>(self);
  const bool isEdit = window == view->Control(IDC_CELL_EDIT);
  if (message == WM_GETDLGCODE && lParam != 0) {
    // Enter, Esc and Tab belong to the editor, not to the dialog's default and cancel
    // buttons and its focus order: the focus stays on the list.
    const auto* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg->message == WM_KEYDOWN &&
        (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE || msg->wParam == VK_TAB)) {
      return DLGC_WANTALLKEYS | DefSubclassProc(window, message, wParam, lParam);
    }
  } else if (message == WM_KEYDOWN && wParam == VK_TAB) {
    view->TabFromEditor(isEdit);
    return 0;
  } else if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
    view->CancelCellEditor();  // cancels this edit only; the window stays
    return 0;
  } else if (message == WM_KEYDOWN && wParam == VK_RETURN && isEdit) {
    view->CommitCellEdit();
    view->HideCellEditors();
    return 0;
  } else if (message == WM_CHAR && (wParam == L'\r' || wParam == 27 || wParam == L'\t')) {
    return 0;  // no beep
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace qv31

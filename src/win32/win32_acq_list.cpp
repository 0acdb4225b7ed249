#include "win32/win32_acq_list.h"

#include <windowsx.h>

#include <algorithm>

#include "acq/acq_table.h"
#include "win32/win32_text.h"

namespace qv31 {
namespace {

const COLORREF LIST_BACKGROUND = RGB(209, 209, 209);
// Light enough for the list's black text.
const COLORREF MARK_BACKGROUND = RGB(255, 196, 120);
// The selected row, and the current cell while the list has the focus.
const COLORREF ROW_BACKGROUND = RGB(180, 198, 224);
const COLORREF CURRENT_BACKGROUND = RGB(0, 84, 166);
constexpr DWORD LIST_EXTENDED_STYLE = LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT;  // 0x21
constexpr int BASE_DPI = 96;  // the columns' widths are pixels at 96 dpi
constexpr UINT_PTR SUBCLASS_ID = 1;
constexpr int TIP_WIDTH = 400;

}  // namespace

Win32AcqList::Win32AcqList(HWND list) : list_(list) {}

Win32AcqList::~Win32AcqList() {
  if (list_ != nullptr) RemoveWindowSubclass(list_, ListProc, SUBCLASS_ID);
  if (tip_ != nullptr) DestroyWindow(tip_);
}

void Win32AcqList::Init(const AcqGrid* grid) {
  grid_ = grid;
  ListView_DeleteAllItems(list_);
  ListView_SetExtendedListViewStyle(list_, LIST_EXTENDED_STYLE | LVS_EX_DOUBLEBUFFER);
  ListView_SetBkColor(list_, LIST_BACKGROUND);
  ListView_SetTextBkColor(list_, LIST_BACKGROUND);
  ListView_SetTextColor(list_, RGB(0, 0, 0));
  const int dpi = WindowDpi(list_);
  const auto columns = AcqColumns();
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    std::wstring header = Wide(columns[static_cast<size_t>(c)].header);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.fmt = LVCFMT_CENTER;
    column.cx = MulDiv(columns[static_cast<size_t>(c)].width, dpi, BASE_DPI);
    column.pszText = header.data();
    column.iSubItem = c;
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                 reinterpret_cast<LPARAM>(&column));
  }
  // A column inserted at 0 is always left-aligned; set afterwards, it keeps its centring.
  LVCOLUMNW first = {};
  first.mask = LVCF_FMT;
  first.fmt = LVCFMT_CENTER;
  SendMessageW(list_, LVM_SETCOLUMNW, 0, reinterpret_cast<LPARAM>(&first));
  ListView_SetItemCountEx(list_, ACQ_ROW_COUNT, LVSICF_NOSCROLL);

  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, GetParent(list_), nullptr, nullptr, nullptr);
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_SUBCLASS | TTF_TRANSPARENT;
  tool.hwnd = list_;
  tool.uId = 1;
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  GetClientRect(list_, &tool.rect);
  SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, TIP_WIDTH);
  SetWindowSubclass(list_, ListProc, SUBCLASS_ID, reinterpret_cast<DWORD_PTR>(this));
}

void Win32AcqList::Redraw(int firstRow, int lastRow) {
  firstRow = std::max(firstRow, 0);
  lastRow = std::min(lastRow, ACQ_ROW_COUNT - 1);
  if (firstRow <= lastRow) ListView_RedrawItems(list_, firstRow, lastRow);
}

void Win32AcqList::SetMarks(std::span<const AcqFinding> findings) {
  std::map<std::pair<int, int>, std::wstring> marks;
  for (const AcqFinding& f : findings) {
    std::wstring& text = marks[{f.row, f.column}];
    if (!text.empty()) text += L"\r\n";
    text += Wide(f.text);
  }
  marks_ = std::move(marks);
  InvalidateRect(list_, nullptr, FALSE);
}

std::wstring Win32AcqList::MarkText(int row, int column) const {
  const auto mark = marks_.find({row, column});
  return mark == marks_.end() ? std::wstring() : mark->second;
}

RECT Win32AcqList::CellRect(int row, int column) const {
  ListView_EnsureVisible(list_, row, FALSE);
  RECT cell = {};
  cell.top = column;
  cell.left = LVIR_LABEL;
  SendMessageW(list_, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(&cell));
  return cell;
}

bool Win32AcqList::OnNotify(const NMHDR* header, LRESULT* result) {
  if (header->hwndFrom != list_) return false;
  switch (header->code) {
    case LVN_GETDISPINFOW:
      FillCell(reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
      *result = 0;
      return true;
    case NM_CUSTOMDRAW:
      *result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(header)));
      return true;
    default:
      return false;
  }
}

void Win32AcqList::FillCell(NMLVDISPINFOW* info) const {
  if ((info->item.mask & LVIF_TEXT) == 0 || grid_ == nullptr) return;
  CopyToBuffer(Wide(grid_->Cell(info->item.iItem, info->item.iSubItem)), info->item.pszText,
               info->item.cchTextMax);
}

LRESULT Win32AcqList::OnCustomDraw(NMLVCUSTOMDRAW* draw) const {
  switch (draw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
      return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
      SubItemColours(draw);
      return CDRF_NEWFONT;
    default:
      return CDRF_DODEFAULT;
  }
}

// The list draws a selected row in the system's colours over every cell; it is drawn here
// instead, so a marked cell keeps its tint and the current cell shows.
void Win32AcqList::SubItemColours(NMLVCUSTOMDRAW* draw) const {
  const int row = static_cast<int>(draw->nmcd.dwItemSpec);
  const bool selected = (draw->nmcd.uItemState & CDIS_SELECTED) != 0;
  draw->nmcd.uItemState &= ~(CDIS_SELECTED | CDIS_FOCUS);
  const bool current = GetFocus() == list_ && row == CurrentRow() && draw->iSubItem == column_;
  COLORREF background = selected ? ROW_BACKGROUND : LIST_BACKGROUND;
  if (marks_.contains({row, draw->iSubItem})) background = MARK_BACKGROUND;
  if (current) background = CURRENT_BACKGROUND;
  draw->clrTextBk = background;
  draw->clrText = current ? RGB(255, 255, 255) : RGB(0, 0, 0);
}

bool Win32AcqList::Editable(int column) {
  const auto columns = AcqColumns();
  return column > 0 && column < static_cast<int>(columns.size()) &&
         !columns[static_cast<size_t>(column)].header.starts_with('*');
}

int Win32AcqList::CurrentRow() const { return ListView_GetNextItem(list_, -1, LVNI_FOCUSED); }

void Win32AcqList::SetCurrent(int row, int column) {
  if (row < 0 || row >= ACQ_ROW_COUNT) return;
  column_ = std::clamp(column, 0, ACQ_COLUMN_COUNT - 1);
  const UINT state = LVIS_FOCUSED | LVIS_SELECTED;
  ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
  ListView_SetItemState(list_, row, state, state);
  ListView_EnsureVisible(list_, row, FALSE);
  InvalidateRect(list_, nullptr, FALSE);
}

// Left and right move the current column; F2 and Enter open the current cell's editor.
bool Win32AcqList::OnKey(WPARAM key) {
  const int row = CurrentRow();
  switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
      column_ = std::clamp(column_ + (key == VK_LEFT ? -1 : 1), 0, ACQ_COLUMN_COUNT - 1);
      if (row >= 0) ListView_RedrawItems(list_, row, row);
      return true;
    case VK_F2:
    case VK_RETURN:
      if (row >= 0 && edit_) edit_(row, column_);
      return true;
    default:
      return false;
  }
}

void Win32AcqList::OnMouseMove(LPARAM lParam) {
  LVHITTESTINFO hit = {};
  hit.pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ListView_SubItemHitTest(list_, &hit);
  const std::pair<int, int> cell{hit.iItem, hit.iSubItem};
  if (cell == tipCell_) return;
  tipCell_ = cell;
  // The tip asks for its text again when it next shows, now for the new cell.
  SendMessageW(tip_, TTM_POP, 0, 0);
}

LRESULT CALLBACK Win32AcqList::ListProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                        UINT_PTR, DWORD_PTR self) {
  auto* list = reinterpret_cast<Win32AcqList*>(self);
  if (message == WM_GETDLGCODE && lParam != 0 &&
      reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN &&
      reinterpret_cast<const MSG*>(lParam)->wParam == VK_RETURN) {
    return DLGC_WANTALLKEYS | DefSubclassProc(window, message, wParam, lParam);
  }
  if (message == WM_KEYDOWN && list->OnKey(wParam)) return 0;
  if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
    const int row = list->CurrentRow();
    if (row >= 0) ListView_RedrawItems(window, row, row);
  }
  if (message == WM_MOUSEMOVE) {
    list->OnMouseMove(lParam);
  } else if (message == WM_SIZE && list->tip_ != nullptr) {
    TTTOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = window;
    tool.uId = 1;
    GetClientRect(window, &tool.rect);
    SendMessageW(list->tip_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&tool));
  } else if (message == WM_NOTIFY) {
    auto* header = reinterpret_cast<NMHDR*>(lParam);
    if (header->hwndFrom == list->tip_ && header->code == TTN_GETDISPINFOW) {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
      // The tip reads the text after this returns.
      list->tipText_ = list->MarkText(list->tipCell_.first, list->tipCell_.second);
      info->lpszText = list->tipText_.data();
      return 0;
    }
  }
  return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace qv31

#include "win32/win32_dialog_view.h"

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "win32/about_box.h"
#include "win32/resource_ids.h"
#include "win32/win32_text.h"

namespace qv31 {
namespace {

bool IsClass(HWND window, const wchar_t* name) {
  wchar_t buffer[64] = {};
  GetClassNameW(window, buffer, 64);
  return lstrcmpiW(buffer, name) == 0;
}

bool IsCombo(HWND window) { return window != nullptr && IsClass(window, WC_COMBOBOXW); }

// The drop-down lists and the search's list box take the same calls, each with its own
// messages.
struct ListMessages {
  UINT count, textLength, text, add, reset, selected, select;
};
constexpr ListMessages COMBO_MESSAGES = {CB_GETCOUNT,  CB_GETLBTEXTLEN, CB_GETLBTEXT,
                                         CB_ADDSTRING, CB_RESETCONTENT, CB_GETCURSEL,
                                         CB_SETCURSEL};
constexpr ListMessages LIST_BOX_MESSAGES = {LB_GETCOUNT,  LB_GETTEXTLEN,   LB_GETTEXT,
                                            LB_ADDSTRING, LB_RESETCONTENT, LB_GETCURSEL,
                                            LB_SETCURSEL};

const ListMessages* ListOf(HWND window) {
  if (IsCombo(window)) return &COMBO_MESSAGES;
  if (window != nullptr && IsClass(window, WC_LISTBOXW)) return &LIST_BOX_MESSAGES;
  return nullptr;
}

std::wstring ItemText(HWND list, const ListMessages& m, int index) {
  const LRESULT length = SendMessageW(list, m.textLength, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  SendMessageW(list, m.text, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(length));
  return text;
}

// The item whose text equals `text` exactly (CB_FINDSTRINGEXACT ignores letter case), or -1.
int FindExact(HWND combo, const std::wstring& text) {
  const int count = static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    if (ItemText(combo, COMBO_MESSAGES, i) == text) return i;
  }
  return -1;
}

}  // namespace

Win32DialogView::Win32DialogView(HWND dialog, HICON icon)
    : dialog_(dialog), icon_(icon), list_(GetDlgItem(dialog, IDC_ACQ_LIST)) {
  tip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                         WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                         CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, nullptr, nullptr);
  SendMessageW(tip_, TTM_SETMAXTIPWIDTH, 0, 400);
  MakeEditors();
}

Win32DialogView::~Win32DialogView() {
  if (tip_ != nullptr) DestroyWindow(tip_);
}

HWND Win32DialogView::Control(int id) const {
  if (id == IDC_SEARCH_DIALOG) return search_;
  if (id > IDC_SEARCH_DIALOG && id <= IDC_SEARCH_STATUS) return GetDlgItem(search_, id);
  return GetDlgItem(dialog_, id);
}

std::string Win32DialogView::Text(int id) const {
  HWND control = Control(id);
  return texts_.Chinese(control).value_or(WindowTextUtf8(control));
}

void Win32DialogView::SetText(int id, std::string_view text) {
  HWND control = Control(id);
  if (!IsCombo(control)) {
    texts_.Set(control, text);
    return;
  }
  const std::wstring wide = Wide(text);
  const int index = FindExact(control, wide);
  SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
  if (index < 0 && (GetWindowLongW(control, GWL_STYLE) & 3) == CBS_DROPDOWN) {
    SetWindowTextW(control, wide.c_str());
  }
}

void Win32DialogView::AddToolTip(HWND control, const std::wstring& text) {
  TTTOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = GetAncestor(control, GA_ROOT);  // the main dialog or the search window
  tool.uId = reinterpret_cast<UINT_PTR>(control);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tip_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  if (!text.empty()) SendMessageW(tip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void Win32DialogView::SetToolTip(int id, std::string_view text) {
  HWND control = Control(id);
  if (control == nullptr) return;
  toolTipKeys_[id] = std::string(text);
  std::wstring& stored = toolTips_[id];
  stored = TrW(text);
  AddToolTip(control, stored);
  // The mouse over a typed-in combo is over its edit field.
  COMBOBOXINFO info = {};
  info.cbSize = sizeof(info);
  if (IsCombo(control) && GetComboBoxInfo(control, &info) && info.hwndItem != control) {
    AddToolTip(info.hwndItem, stored);
  }
}

bool Win32DialogView::Checked(int id) const {
  return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32DialogView::SetChecked(int id, bool checked) {
  SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

std::vector<std::string> Win32DialogView::ComboItems(int id) const {
  HWND list = Control(id);
  const ListMessages* m = ListOf(list);
  std::vector<std::string> items;
  if (m == nullptr) return items;
  const int count = static_cast<int>(SendMessageW(list, m->count, 0, 0));
  for (int i = 0; i < count; ++i) items.push_back(Utf8(ItemText(list, *m, i)));
  return items;
}

void Win32DialogView::ComboAdd(int id, std::string_view text) {
  HWND list = Control(id);
  const ListMessages* m = ListOf(list);
  if (m == nullptr) return;
  const std::wstring wide = Wide(text);
  SendMessageW(list, m->add, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void Win32DialogView::ComboClear(int id) {
  HWND list = Control(id);
  if (const ListMessages* m = ListOf(list)) SendMessageW(list, m->reset, 0, 0);
  if (id == IDC_LINK_PORT) portToolTips_.clear();
}

int Win32DialogView::ComboSelected(int id) const {
  HWND list = Control(id);
  const ListMessages* m = ListOf(list);
  return m != nullptr ? static_cast<int>(SendMessageW(list, m->selected, 0, 0)) : -1;
}

void Win32DialogView::ComboSelect(int id, int index) {
  HWND list = Control(id);
  const ListMessages* m = ListOf(list);
  if (m == nullptr) return;
  const int count = static_cast<int>(SendMessageW(list, m->count, 0, 0));
  SendMessageW(list, m->select, static_cast<WPARAM>(index >= 0 && index < count ? index : -1), 0);
  if (id == IDC_LINK_PORT) OnPortSelectionChanged();
}

void Win32DialogView::SetComboItemToolTip(int id, int index, std::string_view text) {
  if (id != IDC_LINK_PORT || index < 0) return;
  if (portToolTips_.size() <= static_cast<size_t>(index)) {
    portToolTips_.resize(static_cast<size_t>(index) + 1);
  }
  portToolTips_[static_cast<size_t>(index)] = std::string(text);
  OnPortSelectionChanged();
}

void Win32DialogView::OnPortSelectionChanged() {
  const int index = ComboSelected(IDC_LINK_PORT);
  const bool known = index >= 0 && static_cast<size_t>(index) < portToolTips_.size();
  SetToolTip(IDC_LINK_PORT, known ? portToolTips_[static_cast<size_t>(index)] : std::string());
}

void Win32DialogView::Retranslate() {
  texts_.Translate(dialog_);
  if (search_ != nullptr) texts_.Translate(search_);
  const std::map<int, std::string> keys = toolTipKeys_;
  for (const auto& [id, text] : keys) SetToolTip(id, text);
  list_.Retranslate();
}

void Win32DialogView::Enable(int id, bool enabled) { EnableWindow(Control(id), enabled); }

bool Win32DialogView::IsEnabled(int id) const {
  HWND control = Control(id);
  return control != nullptr && IsWindowEnabled(control);
}

void Win32DialogView::Show(int id, bool visible) {
  if (id == IDC_CELL_EDIT && !visible) editOpen_ = false;
  if (id == IDC_CELL_COMBO && !visible) comboOpen_ = false;
  if (id == IDC_SEARCH_DIALOG) {
    ShowSearchWindow(visible);
    return;
  }
  ShowWindow(Control(id), visible ? SW_SHOWNA : SW_HIDE);
}

// In front and ready for typing a range; when it goes, the main dialog has the keyboard again.
void Win32DialogView::ShowSearchWindow(bool visible) {
  if (search_ == nullptr) return;
  if (!visible) {
    const bool wasActive = GetActiveWindow() == search_;
    ShowWindow(search_, SW_HIDE);
    if (wasActive) SetActiveWindow(dialog_);
    return;
  }
  ShowWindow(search_, SW_SHOW);
  SetForegroundWindow(search_);
  SendMessageW(search_, WM_NEXTDLGCTL,
               reinterpret_cast<WPARAM>(GetDlgItem(search_, IDC_SEARCH_RANGE)), TRUE);
}

bool Win32DialogView::IsVisible(int id) const {
  HWND control = Control(id);
  return control != nullptr && (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0;
}

RECT Win32DialogView::PixelsToDialog(const ControlRect& rect) const {
  RECT units = {rect.x * 4 / 7, rect.y * 8 / 14, (rect.x + rect.width) * 4 / 7,
                (rect.y + rect.height) * 8 / 14};
  MapDialogRect(dialog_, &units);
  return units;
}

void Win32DialogView::Move(int id, const ControlRect& rect) {
  const RECT place = PixelsToDialog(rect);
  SetWindowPos(Control(id), nullptr, place.left, place.top, place.right - place.left,
               place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
  InvalidateRect(dialog_, nullptr, TRUE);
}

void Win32DialogView::CellsChanged(int firstRow, int lastRow) { list_.Redraw(firstRow, lastRow); }

void Win32DialogView::MarkCells(std::span<const AcqFinding> findings) { list_.SetMarks(findings); }

void Win32DialogView::ShowProgress(int answered, int total) {
  HWND bar = Control(IDC_PROGRESS);
  if (total <= 0) {
    ShowWindow(bar, SW_HIDE);
    return;
  }
  SendMessageW(bar, PBM_SETRANGE32, 0, total);
  SendMessageW(bar, PBM_SETPOS, static_cast<WPARAM>(answered), 0);
  ShowWindow(bar, SW_SHOWNA);
}

void Win32DialogView::MessageBox(std::string_view text) {
  ::MessageBoxW(dialog_, TrW(text).c_str(), TrW(WINDOW_TITLE).c_str(), MB_OK | MB_ICONWARNING);
}

bool Win32DialogView::AskYesNo(std::string_view text) {
  return ::MessageBoxW(dialog_, TrW(text).c_str(), TrW(WINDOW_TITLE).c_str(),
                       MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void Win32DialogView::Focus(int id) {
  // As the dialog's own focus moves do, so a default button follows.
  if (HWND control = Control(id))
    SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE);
}

std::optional<std::string> Win32DialogView::ChooseOpenFile(std::string_view filterName,
                                                           std::string_view pattern,
                                                           std::string_view directory) {
  // "name\0pattern\0\0"
  std::wstring filter = TrW(filterName) + L'\0' + Wide(pattern) + L'\0' + L'\0';
  const std::wstring start = Wide(directory);
  std::wstring path(32768, L'\0');
  OPENFILENAMEW chooser = {};
  chooser.lStructSize = sizeof(chooser);
  chooser.hwndOwner = dialog_;
  chooser.lpstrFilter = filter.c_str();
  chooser.nFilterIndex = 1;
  chooser.lpstrFile = path.data();
  chooser.nMaxFile = static_cast<DWORD>(path.size());
  chooser.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  chooser.lpstrDefExt = L"csv";
  chooser.Flags = OFN_READONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER;
  if (!GetOpenFileNameW(&chooser)) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return Utf8(path);
}

void Win32DialogView::ShowAbout(std::string_view versionLine) { RunAboutBox(dialog_, versionLine); }

}  // namespace qv31

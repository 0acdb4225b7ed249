#include "win32/traffic_monitor_window.h"

#include <array>
#include <ctime>

#include "app/traffic_log.h"
#include "link/hex_codec.h"
#include "link/link_observer.h"
#include "session/trace_text.h"
#include "win32/resource_ids.h"
#include "win32/win32_text.h"

namespace qv31 {
namespace {

constexpr UINT_PTR TIMER_LOOK = 1;
constexpr UINT LOOK_MS = 100;

struct Column {
  const wchar_t* header;
  int width;  // pixels at 96 dpi
  int format;
};
constexpr std::array<Column, 6> COLUMNS = {{
    {L"时间 (ms)", 80, LVCFMT_RIGHT},
    {L"方向", 50, LVCFMT_LEFT},
    {L"长度", 50, LVCFMT_RIGHT},
    {L"帧头", 190, LVCFMT_LEFT},
    {L"结果", 130, LVCFMT_LEFT},
    {L"数据", 600, LVCFMT_LEFT},
}};

}  // namespace

TrafficMonitorWindow::TrafficMonitorWindow(TrafficLog& log, std::string saveDir)
    : log_(log), saveDir_(std::move(saveDir)), first_(log.FirstIndex()), end_(log.FirstIndex()) {}

TrafficMonitorWindow::~TrafficMonitorWindow() {
  if (window_ != nullptr) {
    HWND window = window_;
    window_ = nullptr;
    DestroyWindow(window);
  }
}

void TrafficMonitorWindow::Create(HINSTANCE instance, HWND owner, HICON icon) {
  CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_TRAFFIC), owner, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  if (window_ != nullptr)
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

INT_PTR CALLBACK TrafficMonitorWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<TrafficMonitorWindow*>(lParam)->window_ = window;
  }
  auto* self = reinterpret_cast<TrafficMonitorWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr || self->window_ != window) return FALSE;
  return self->Handle(message, wParam, lParam);
}

INT_PTR TrafficMonitorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      list_ = GetDlgItem(window_, IDC_TRAFFIC_LIST);
      SetUpList();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      ShowWindow(window_, SW_HIDE);
      return TRUE;
    case WM_SHOWWINDOW:
      if (wParam) {
        Sync();
        SetTimer(window_, TIMER_LOOK, LOOK_MS, nullptr);
      } else {
        KillTimer(window_, TIMER_LOOK);
      }
      return FALSE;
    case WM_TIMER:
      if (wParam == TIMER_LOOK) Sync();
      return TRUE;
    case WM_SIZE:
      Layout();
      return TRUE;
    case WM_NOTIFY: {
      auto* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->hwndFrom != list_ || header->code != LVN_GETDISPINFOW) return FALSE;
      FillCell(reinterpret_cast<NMLVDISPINFOW*>(lParam));
      return TRUE;
    }
    default:
      return FALSE;
  }
}

void TrafficMonitorWindow::SetUpList() {
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  const int dpi = WindowDpi(list_);
  for (int c = 0; c < static_cast<int>(COLUMNS.size()); ++c) {
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    column.fmt = COLUMNS[static_cast<size_t>(c)].format;
    column.cx = MulDiv(COLUMNS[static_cast<size_t>(c)].width, dpi, 96);
    column.pszText = const_cast<wchar_t*>(COLUMNS[static_cast<size_t>(c)].header);
    SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c),
                 reinterpret_cast<LPARAM>(&column));
  }
}

void TrafficMonitorWindow::Layout() {
  if (list_ == nullptr) return;
  RECT client;
  GetClientRect(window_, &client);
  RECT margin = {7, 7, 7, 21};  // dialog units: the list's margins, the buttons' row below
  MapDialogRect(window_, &margin);
  SetWindowPos(list_, nullptr, margin.left, margin.top, client.right - 2 * margin.left,
               client.bottom - margin.top - margin.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  RECT row = {0, 0, 0, 17};
  MapDialogRect(window_, &row);
  const int buttonsTop = client.bottom - row.bottom;
  for (const int id : {IDC_TRAFFIC_PAUSE, IDC_TRAFFIC_CLEAR, IDC_TRAFFIC_SAVE, IDC_TRAFFIC_NOTE,
                       static_cast<int>(IDCANCEL)}) {
    HWND control = GetDlgItem(window_, id);
    RECT place;
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    const int x = id == IDCANCEL ? client.right - margin.left - (place.right - place.left)
                                 : static_cast<int>(place.left);
    SetWindowPos(control, nullptr, x, buttonsTop + (id == IDC_TRAFFIC_NOTE ? 3 : 0), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  InvalidateRect(window_, nullptr, TRUE);
}

void TrafficMonitorWindow::Show() {
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
}

bool TrafficMonitorWindow::PreTranslate(MSG* msg) {
  return window_ != nullptr && IsWindowVisible(window_) && IsDialogMessageW(window_, msg) != 0;
}

void TrafficMonitorWindow::Sync() {
  const uint64_t first = log_.FirstIndex(), end = log_.EndIndex();
  if (first == first_ && end == end_) return;
  const int top = ListView_GetTopIndex(list_);
  const int shown = ListView_GetCountPerPage(list_);
  const bool atEnd = top + shown >= static_cast<int>(end_ - first_);
  first_ = first;
  end_ = end;
  ListView_SetItemCountEx(list_, static_cast<int>(end - first), LVSICF_NOSCROLL);
  if (atEnd && end > first) ListView_EnsureVisible(list_, static_cast<int>(end - first) - 1, FALSE);
  InvalidateRect(list_, nullptr, FALSE);
}

void TrafficMonitorWindow::FillCell(NMLVDISPINFOW* info) {
  if ((info->item.mask & LVIF_TEXT) == 0) return;
  const uint64_t at = first_ + static_cast<uint64_t>(info->item.iItem);
  cellText_.clear();
  if (at >= log_.FirstIndex() && at < log_.EndIndex()) {
    const TrafficRow& row = log_.Row(at);
    switch (info->item.iSubItem) {
      case 0:
        cellText_ = std::to_wstring(row.ms);
        break;
      case 1:
        cellText_ = row.sent ? L"发 >" : L"收 <";
        break;
      case 2:
        cellText_ = std::to_wstring(row.bytes.size());
        break;
      case 3: {
        const std::string header = DescribeHeader(row.bytes);
        cellText_ = header.empty() ? L"-" : Wide(header);
        break;
      }
      case 4:
        cellText_ = Wide(FateText(row.fate));
        break;
      default:
        cellText_ = Wide(HexText(row.bytes));
    }
  }
  CopyToBuffer(cellText_, info->item.pszText, info->item.cchTextMax);
}

void TrafficMonitorWindow::OnCommand(int id) {
  switch (id) {
    case IDC_TRAFFIC_PAUSE:
      log_.SetPaused(!log_.Paused());
      SetDlgItemTextW(window_, IDC_TRAFFIC_PAUSE, log_.Paused() ? L"继续" : L"暂停");
      break;
    case IDC_TRAFFIC_CLEAR:
      log_.Clear();
      Sync();
      SetDlgItemTextW(window_, IDC_TRAFFIC_NOTE, L"");
      break;
    case IDC_TRAFFIC_SAVE:
      Save();
      break;
    case IDCANCEL:
      ShowWindow(window_, SW_HIDE);
      break;
    default:
      break;
  }
}

void TrafficMonitorWindow::Save() {
  wchar_t name[64];
  const std::time_t now = std::time(nullptr);
  std::tm local = {};
  localtime_s(&local, &now);
  wcsftime(name, 64, L"通信记录-%Y%m%d-%H%M%S.txt", &local);
  std::wstring path(32768, L'\0');
  CopyToBuffer(name, path.data(), static_cast<int>(path.size()));
  const std::wstring start = Wide(saveDir_);
  OPENFILENAMEW chooser = {};
  chooser.lStructSize = sizeof(chooser);
  chooser.hwndOwner = window_;
  chooser.lpstrFilter = L"文本文件 (*.txt)\0*.txt\0";
  chooser.lpstrFile = path.data();
  chooser.nMaxFile = static_cast<DWORD>(path.size());
  chooser.lpstrInitialDir = start.c_str();
  chooser.lpstrTitle = L"保存通信记录";
  chooser.lpstrDefExt = L"txt";
  chooser.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_EXPLORER;
  if (!GetSaveFileNameW(&chooser)) return;
  path.resize(wcslen(path.c_str()));
  SaveTo(Utf8(path));
}

bool TrafficMonitorWindow::SaveTo(const std::string& path) {
  const bool saved = log_.SaveText(path);
  SetDlgItemTextW(window_, IDC_TRAFFIC_NOTE,
                  Wide((saved ? "已保存到 " : "无法写入 ") + path).c_str());
  return saved;
}

}  // namespace qv31

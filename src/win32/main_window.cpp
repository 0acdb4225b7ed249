#include "win32/main_window.h"

#include <windowsx.h>

#include <algorithm>
#include <array>
#include <utility>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "win32/about_box.h"
#include "win32/resource_ids.h"
#include "win32/search_window.h"
#include "win32/traffic_monitor_window.h"
#include "win32/win32_dialog_view.h"
#include "win32/win32_language.h"
#include "win32/win32_text.h"
#include "win32/win32_timer_service.h"

namespace qv31 {
namespace {

// Below the list: these move down as the window grows; "退出" keeps to the right edge too.
constexpr std::array<int, 7> BOTTOM_ROW = {IDC_QUERY_ALL, IDC_SET_ALL,  IDC_SAVE_CSV, IDC_LOAD_CSV,
                                           IDC_STATUS,    IDC_PROGRESS, IDC_CANCEL};

constexpr std::pair<int, const char*> FINDER_TOOL_TIPS[] = {
    {IDC_FIND_GATEWAYS, "搜索网关"},
    {IDC_DETECT_LINE, "检测串口参数"},
    {IDC_SEARCH_RANGE, "空：本机所在网络；或 192.168.1.0/24、192.168.1.10-192.168.1.40"},
};

// The UDP link's socket has a datagram to read, or the serial line has queued a block.
constexpr UINT WM_LINK_READABLE = WM_APP + 1;

RECT PlaceInParent(HWND control) {
  RECT place = {};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&place), 2);
  return place;
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options) : options_(std::move(options)) {}

MainWindow::~MainWindow() {
  Destroy();
  for (HICON icon : {icon_, smallIcon_}) {
    if (icon != nullptr) DestroyIcon(icon);
  }
}

bool MainWindow::Create(HINSTANCE instance) {
  instance_ = instance;
  // The standard controls, and the address control 1055 of the template.
  INITCOMMONCONTROLSEX controls = {};
  controls.dwSize = sizeof(controls);
  controls.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
  InitCommonControlsEx(&controls);
  icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                        GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                        LR_DEFAULTCOLOR));
  smallIcon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                             GetSystemMetrics(SM_CXSMICON),
                                             GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
  accelerators_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCELERATORS));
  CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_QV31_DIALOG), nullptr, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  if (window_ == nullptr) return false;
  ShowWindow(window_, SW_SHOW);
  return true;
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<MainWindow*>(lParam)->window_ = window;
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  if (self == nullptr || self->window_ != window) return FALSE;
  return self->Handle(message, wParam, lParam);
}

INT_PTR MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      if (dlg_) dlg_->OnTimer(static_cast<int>(wParam));
      return TRUE;
    case WM_SYSCOMMAND:
      return OnSysCommand(wParam) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_LBUTTONUP:
      if (dlg_) dlg_->OnLButtonUp();
      return FALSE;
    case WM_SIZE:
      OnSize();
      return TRUE;
    case WM_GETMINMAXINFO:
      if (firstMinimum_.x > 0)
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = firstMinimum_;
      return TRUE;
    case WM_CLOSE:
      if (!dlg_ || dlg_->MayClose()) Destroy();
      return TRUE;
    case WM_LINK_READABLE:
      if (dlg_ && WSAGETSELECTEVENT(lParam) == FD_READ) dlg_->OnLinkReadable();
      return TRUE;
    case WM_CONTEXTMENU:
      OnContextMenu(reinterpret_cast<HWND>(wParam), lParam);
      return TRUE;
    default:
      return FALSE;
  }
}

void MainWindow::OnInitDialog() {
  AddSystemMenuEntries();
  SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));
  view_ = std::make_unique<Win32DialogView>(window_, icon_);
  timers_ = std::make_unique<Win32TimerService>(window_);
  DialogEnvironment env;
  env.view = view_.get();
  env.timers = timers_.get();
  env.clock = TickCountMs;
  env.settingsDir = options_.settingsDir;
  env.discoverPorts = options_.discoverPorts;
  env.version =
      options_.version.empty() ? FileVersionText(GetModuleHandleW(nullptr)) : options_.version;
  if (env.version.empty()) env.version = QV31_VERSION;
  env.watchSocket = [this](int socket) { WatchSocket(socket); };
  dlg_ = std::make_unique<CQV31Dlg>(std::move(env));
  // The serial receive thread's signal, carried onto this thread as a posted message.
  dlg_->Session().SetReceiverWake([this] { PostMessageW(window_, WM_LINK_READABLE, 0, FD_READ); });
  view_->List().Init(&dlg_->Grid());
  view_->SetCellEditorHandlers(
      [this] { dlg_->OnKillFocusCellEdit(); }, [this] { dlg_->OnCancelCellEditor(); },
      [this] { dlg_->OnSelChangeCellCombo(); }, [this](int step) { EditNextCell(step); });
  view_->List().SetEditHandler([this](int row, int column) { EditCell(row, column); });
  CreateSearchWindow();
  dlg_->OnInitDialog();
  ApplyLanguage(dlg_->ChosenLanguage().value_or(options_.language));
  RememberLayout();
}

void MainWindow::OnCommand(int id, int code) {
  if (!dlg_) return;
  switch (id) {
    case IDM_ABOUTBOX:  // F1
      dlg_->OnAbout();
      return;
    case IDM_TRAFFIC:  // F12
      ShowMonitor();
      return;
    case IDM_LANGUAGE:
      ChooseLanguage(Win32Language() == Language::Chinese ? Language::English : Language::Chinese);
      return;
    case IDOK:  // the hidden default button: Enter does nothing
      return;
    case IDCANCEL:  // "退出", Esc: asked first while an exchange runs
      if (dlg_->MayClose()) Destroy();
      return;
    case IDC_CELL_EDIT:
      view_->OnCellEditNotify(code);
      return;
    case IDC_CELL_COMBO:
      view_->OnCellComboNotify(code);
      return;
    case IDC_LINK_PORT:
      if (code == CBN_DROPDOWN) dlg_->OnPortListOpening();
      if (code == CBN_SELCHANGE) view_->OnPortSelectionChanged();
      return;
    default:
      if (code == BN_CLICKED) dlg_->OnCommand(id);
  }
}

INT_PTR MainWindow::OnNotify(const NMHDR* header) {
  if (!dlg_) return FALSE;
  LRESULT result = 0;
  if (view_->List().OnNotify(header, &result)) {
    SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
    return TRUE;
  }
  if (header->idFrom != IDC_ACQ_LIST) return FALSE;
  if (header->code == NM_CLICK) {
    const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
    view_->List().SetCurrent(click->iItem, click->iSubItem);
    dlg_->OnClickAcqList(click->iItem, std::max(click->iSubItem, 0));
  } else if (header->code == NM_RCLICK) {
    dlg_->OnRClickAcqList();
  } else {
    return FALSE;
  }
  SetWindowLongPtrW(window_, DWLP_MSGRESULT, 0);
  return TRUE;
}

bool MainWindow::OnPaint() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageW(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(window_, &paint);
  return true;
}

// Hidden until "搜索"; its controls' events go to the finder as the main dialog's do. The
// buttons' short texts get their full names as tool tips.
void MainWindow::CreateSearchWindow() {
  search_ = std::make_unique<SearchWindow>([this](int id) { dlg_->OnCommand(id); },
                                           [this] { dlg_->Finder().OnSearchDialogClosed(); });
  search_->Create(instance_, window_, smallIcon_);
  view_->SetSearchWindow(search_->Hwnd());
  for (const auto& [id, tip] : FINDER_TOOL_TIPS) view_->SetToolTip(id, tip);
}

void MainWindow::EditCell(int row, int column) {
  view_->List().SetCurrent(row, column);
  dlg_->OnClickAcqList(row, column);
}

void MainWindow::EditNextCell(int step) {
  Win32AcqList& list = view_->List();
  const int row = list.CurrentRow();
  int cell = row >= 0 ? row * ACQ_COLUMN_COUNT + list.CurrentColumn() : -1;
  for (cell += step; cell >= 0 && cell < ACQ_ROW_COUNT * ACQ_COLUMN_COUNT; cell += step) {
    if (Win32AcqList::Editable(cell % ACQ_COLUMN_COUNT)) break;
  }
  if (cell < 0 || cell >= ACQ_ROW_COUNT * ACQ_COLUMN_COUNT) return;  // stays on the list
  EditCell(cell / ACQ_COLUMN_COUNT, cell % ACQ_COLUMN_COUNT);
}

void MainWindow::RememberLayout() {
  RECT client, frame;
  GetClientRect(window_, &client);
  GetWindowRect(window_, &frame);
  firstClient_ = {client.right, client.bottom};
  firstMinimum_ = {frame.right - frame.left, frame.bottom - frame.top};
  firstPlaces_[IDC_ACQ_LIST] = PlaceInParent(GetDlgItem(window_, IDC_ACQ_LIST));
  for (const int id : BOTTOM_ROW) firstPlaces_[id] = PlaceInParent(GetDlgItem(window_, id));
}

void MainWindow::OnSize() {
  if (firstPlaces_.empty() || IsIconic(window_)) return;
  RECT client;
  GetClientRect(window_, &client);
  const int dx = std::max(0L, client.right - firstClient_.cx);
  const int dy = std::max(0L, client.bottom - firstClient_.cy);
  // An editor laid over a cell would be left behind by the cells: it goes, as on a click
  // on the dialog.
  if (dlg_) dlg_->OnLButtonUp();
  HDWP moves = BeginDeferWindowPos(static_cast<int>(firstPlaces_.size()));
  for (const auto& [id, first] : firstPlaces_) {
    const bool list = id == IDC_ACQ_LIST;
    const int x = first.left + (id == IDC_CANCEL ? dx : 0);
    const int y = first.top + (list ? 0 : dy);
    const int width = first.right - first.left + (list ? dx : 0);
    const int height = first.bottom - first.top + (list ? dy : 0);
    moves = DeferWindowPos(moves, GetDlgItem(window_, id), nullptr, x, y, width, height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
  }
  EndDeferWindowPos(moves);
  InvalidateRect(window_, nullptr, TRUE);
}

TrafficMonitorWindow& MainWindow::Monitor() {
  if (!monitor_) {
    monitor_ =
        std::make_unique<TrafficMonitorWindow>(dlg_->Traffic(), dlg_->SettingsFile().DirPath());
    monitor_->Create(instance_, window_, smallIcon_);
    monitor_->Retranslate();
  }
  return *monitor_;
}

void MainWindow::ShowMonitor() { Monitor().Show(); }

bool MainWindow::PreTranslate(MSG* msg) {
  if (window_ == nullptr) return false;
  const bool ours = msg->hwnd == window_ || IsChild(window_, msg->hwnd);
  if (ours && accelerators_ != nullptr && TranslateAcceleratorW(window_, accelerators_, msg)) {
    return true;
  }
  if (monitor_ && monitor_->PreTranslate(msg)) return true;
  if (search_ && search_->PreTranslate(msg)) return true;
  return IsDialogMessageW(window_, msg) != 0;
}

void MainWindow::Destroy() {
  if (window_ == nullptr) return;
  // The monitor reads the dialog's record, and the dialog's end may still kill its timers.
  monitor_.reset();
  search_.reset();
  dlg_.reset();
  HWND window = window_;
  view_.reset();
  timers_.reset();
  window_ = nullptr;
  DestroyWindow(window);
}

void MainWindow::WatchSocket(int socket) {
  if (watchedSocket_ >= 0 && window_ != nullptr) {
    WSAAsyncSelect(static_cast<SOCKET>(watchedSocket_), window_, 0, 0);
  }
  watchedSocket_ = socket;
  if (socket >= 0 && window_ != nullptr) {
    WSAAsyncSelect(static_cast<SOCKET>(socket), window_, WM_LINK_READABLE, FD_READ);
  }
}

int RunMessageLoop(MainWindow& window) {
  MSG msg;
  while (!window.Closed() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (!window.PreTranslate(&msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  return 0;
}

}  // namespace qv31

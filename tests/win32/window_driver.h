// Drives the Windows window in the test's own process, by control ID, through its real
// message loop.
#pragma once

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "win32/main_window.h"
#include "win32/win32_api.h"
#include "win32/win32_text.h"

namespace qv31::test {

using Clock = std::chrono::steady_clock;

inline std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// A new empty directory for the settings file and the exports (a name no earlier run used:
// the temporary folder outlives the run, and process IDs repeat).
inline std::string FreshDirectory() {
  wchar_t base[MAX_PATH];
  GetTempPathW(MAX_PATH, base);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  for (int serial = 0;; ++serial) {
    const std::wstring dir = std::wstring(base) + L"qv31-win32-" + std::to_wstring(now.QuadPart) +
                             L"-" + std::to_wstring(serial);
    if (CreateDirectoryW(dir.c_str(), nullptr)) return Utf8(dir);
  }
}

// Saves the window as it shows on the screen, as a 24-bit BMP named `name` in the folder
// QV31_SCREENSHOTS (when set: the runner keeps them for review).
inline void SaveScreenshot(HWND window, const std::string& name) {
  const std::string folder = Env("QV31_SCREENSHOTS");
  if (folder.empty()) return;
  const std::string path = folder + "\\" + name + ".bmp";
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (width * 3 + 3) & ~3;
  std::vector<char> pixels(static_cast<size_t>(stride) * static_cast<size_t>(height));
  GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(54 + pixels.size()), 0, 0, 54};
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), 14);
  out.write(reinterpret_cast<const char*>(&info.bmiHeader), 40);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

class WindowDriver {
 public:
  WindowDriver() {
    MainWindowOptions options;
    options.settingsDir = FreshDirectory();
    options.discoverPorts = [] { return std::vector<std::string>{}; };
    window_ = std::make_unique<MainWindow>(std::move(options));
    window_->Create(GetModuleHandleW(nullptr));
    Pump(50);
  }

  MainWindow& Window() { return *window_; }
  HWND Hwnd() const { return window_->Hwnd(); }
  HWND Control(int id) const { return GetDlgItem(window_->Hwnd(), id); }

  // Runs the window's message loop for `ms`, or until `done` holds; false on time-out.
  bool Pump(int ms, const std::function<bool()>& done = {}) {
    const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < deadline) {
      MSG msg;
      while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!window_->PreTranslate(&msg)) {
          TranslateMessage(&msg);
          DispatchMessageW(&msg);
        }
      }
      if (done && done()) return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return done ? done() : true;
  }

  std::string Text(int id) const { return WindowTextUtf8(Control(id)); }
  void SetText(int id, const std::string& text) { SetWindowTextUtf8(Control(id), text); }
  bool Enabled(int id) const { return IsWindowEnabled(Control(id)) != 0; }
  bool Visible(int id) const { return (GetWindowLongW(Control(id), GWL_STYLE) & WS_VISIBLE) != 0; }
  bool Checked(int id) const { return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
  // Ticks or clears a check box as the operator does, by clicking it when it differs.
  void Tick(int id, bool ticked) {
    if (Checked(id) != ticked) Click(id);
  }
  void Click(int id) {
    SendMessageW(Control(id), BM_CLICK, 0, 0);
    Pump(20);
  }
  void SelectCombo(int id, int index) {
    SendMessageW(Control(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(Hwnd(), WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(Control(id)));
  }
  // A key as the operator types it at the control that has the focus.
  void Key(UINT key) {
    HWND focus = GetFocus();
    PostMessageW(focus != nullptr ? focus : Hwnd(), WM_KEYDOWN, key, 0);
    PostMessageW(focus != nullptr ? focus : Hwnd(), WM_KEYUP, key, 0xC0000000);
    Pump(50);
  }
  std::string Cell(int row, int column) const {
    wchar_t text[256] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    SendMessageW(Control(1041), LVM_GETITEMTEXTW, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
    return Utf8(text);
  }
  // A left click on a cell of the list, as the mouse makes it.
  void ClickCell(int row, int column) {
    HWND list = Control(1041);
    ListView_EnsureVisible(list, row, FALSE);
    RECT cell = {};
    cell.top = column;
    cell.left = LVIR_LABEL;
    SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&cell));
    const LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    Pump(100);
  }

 private:
  std::unique_ptr<MainWindow> window_;
};

}  // namespace qv31::test

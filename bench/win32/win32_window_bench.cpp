// The Windows window's open over UDP, under Wine: from "打开" to "执行完成" against the
// simulator on 127.0.0.1 (eleven frames of two 10 ms engine ticks each: a 220 ms floor),
// printed as the median time and its ratio to the floor; beside it the median from the link's
// opening to the last reply (the traffic record's clock), which leaves out the open itself
// (the settings file written and flushed). The runner starts the simulator and names its port
// in QV31_SIM_PORT.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "app/traffic_log.h"
#include "win32/main_window.h"
#include "win32/win32_api.h"
#include "win32/win32_text.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int RUNS = 15;
constexpr double FLOOR_MS = 11 * 20.0;
constexpr double TARGET_RATIO = 1.15;

// Runs the window's message loop until `done` holds or `limitMs` passed.
template <typename Done>
bool PumpUntil(qv31::MainWindow& window, Done done, int limitMs = 10000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limitMs);
  while (!done() && Clock::now() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (!window.PreTranslate(&msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
      }
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
  }
  return done();
}

}  // namespace

int main() {
  const char* port = std::getenv("QV31_SIM_PORT");
  if (port == nullptr) {
    std::fputs("win32_window_bench: QV31_SIM_PORT names the simulator's UDP port\n", stderr);
    return 2;
  }
  WSADATA sockets;
  WSAStartup(MAKEWORD(2, 2), &sockets);
  // Settings of its own: a new folder each run.
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  const std::wstring dir = std::wstring(temp) + L"qv31-bench-" + std::to_wstring(now.QuadPart);
  CreateDirectoryW(dir.c_str(), nullptr);
  qv31::MainWindowOptions options;
  options.settingsDir = qv31::Utf8(dir);
  options.discoverPorts = [] { return std::vector<std::string>{}; };
  qv31::MainWindow window(options);
  if (!window.Create(GetModuleHandleW(nullptr))) return 1;
  HWND dialog = window.Hwnd();
  auto text = [&](int id) { return qv31::WindowTextUtf8(GetDlgItem(dialog, id)); };
  auto click = [&](int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); };
  if (SendMessageW(GetDlgItem(dialog, qv31::IDC_MODE), BM_GETCHECK, 0, 0) == BST_CHECKED) {
    click(qv31::IDC_MODE);  // network mode
  }
  qv31::SetWindowTextUtf8(GetDlgItem(dialog, qv31::IDC_LINK_ADDRESS), "127.0.0.1");
  qv31::SetWindowTextUtf8(GetDlgItem(dialog, qv31::IDC_LINK_TARGET_PORT), port);

  std::vector<double> ms, link;
  qv31::TrafficLog& log = window.Dialog().Traffic();
  for (int run = 0; run < RUNS; ++run) {
    // The button comes back after the pause that follows a close.
    PumpUntil(window, [&] {
      return IsWindowEnabled(GetDlgItem(dialog, qv31::IDC_OPEN_CLOSE)) &&
             text(qv31::IDC_OPEN_CLOSE) == "打开";
    });
    log.Clear();
    qv31::SetWindowTextUtf8(GetDlgItem(dialog, qv31::IDC_STATUS), "");  // the last run's
    const auto start = Clock::now();
    click(qv31::IDC_OPEN_CLOSE);
    if (!PumpUntil(window, [&] { return text(qv31::IDC_STATUS) == "执行完成"; })) {
      std::fprintf(stderr, "win32_window_bench: no 执行完成 (%s)\n",
                   text(qv31::IDC_STATUS).c_str());
      return 1;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    if (log.Size() > 0) link.push_back(log.Row(log.EndIndex() - 1).ms);
    // 关闭 is taken only from half a second after 打开 (a double click does not close).
    PumpUntil(
        window, [] { return false; }, 600);
    click(qv31::IDC_OPEN_CLOSE);
    if (!PumpUntil(window, [&] { return text(qv31::IDC_OPEN_CLOSE) == "打开"; })) {
      std::fputs("win32_window_bench: the link did not close\n", stderr);
      return 1;
    }
  }
  std::sort(ms.begin(), ms.end());
  std::sort(link.begin(), link.end());
  const double median = ms[ms.size() / 2];
  const double linkMedian = link.empty() ? 0.0 : link[link.size() / 2];
  std::printf(
      "qv31-config.exe open to 执行完成 (UDP, Wine): median %.1f ms of %d runs, %.2f x "
      "the %.0f ms tick floor (target %.2f x); link open to last reply %.0f ms, %.2f x\n",
      median, RUNS, median / FLOOR_MS, FLOOR_MS, TARGET_RATIO, linkMedian, linkMedian / FLOOR_MS);
  WSACleanup();
  return 0;
}

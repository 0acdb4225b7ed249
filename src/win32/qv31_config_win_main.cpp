// qv31-config.exe: the configurator window on Windows. Its one option is --lang zh|en.
#include <utility>

#include "win32/main_window.h"
#include "win32/win32_api.h"
#include "win32/win32_language.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The UDP link needs the sockets layer for the whole run.
  WSADATA sockets;
  const bool socketsUp = WSAStartup(MAKEWORD(2, 2), &sockets) == 0;

  const auto language = qv31::StartLanguage(GetCommandLineW());
  if (!language) {
    MessageBoxW(nullptr, L"--lang takes zh or en", L"qv31-config", MB_OK | MB_ICONERROR);
    return 2;
  }
  int status = 1;
  {
    qv31::MainWindowOptions options;
    options.language = *language;
    qv31::MainWindow window(std::move(options));
    if (window.Create(instance)) status = qv31::RunMessageLoop(window);
  }
  if (socketsUp) WSACleanup();
  return status;
}

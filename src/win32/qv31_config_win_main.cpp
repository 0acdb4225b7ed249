// qv31-config.exe: the configurator window on Windows. It takes no arguments.
#include "win32/main_window.h"
#include "win32/win32_api.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // The UDP link needs the sockets layer for the whole run.
  WSADATA sockets;
  const bool socketsUp = WSAStartup(MAKEWORD(2, 2), &sockets) == 0;

  int status = 1;
  {
    qv31::MainWindow window({});
    if (window.Create(instance)) status = qv31::RunMessageLoop(window);
  }
  if (socketsUp) WSACleanup();
  return status;
}

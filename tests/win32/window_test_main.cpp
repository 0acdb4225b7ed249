// The window tests' main: the sockets layer for the UDP link, as the program's WinMain has it.
#include <gtest/gtest.h>

#include "win32/win32_api.h"

int main(int argc, char** argv) {
  WSADATA sockets;
  WSAStartup(MAKEWORD(2, 2), &sockets);
  ::testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  WSACleanup();
  return status;
}

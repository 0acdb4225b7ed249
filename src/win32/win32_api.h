// The Windows headers, for every file of the window. Include this, never <windows.h> itself.
#pragma once

// Order matters: winsock2 before windows, windows before the common controls.
// clang-format off
#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
// clang-format on

// Names the system headers define as macros that the program uses for its own: the view's
// MessageBox operation and the engine's STATUS_TIMEOUT text.
#undef MessageBox
#undef STATUS_TIMEOUT

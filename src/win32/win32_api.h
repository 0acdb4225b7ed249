// The Windows headers, for every file of the window. Include this, never <windows.h> itself.
#pragma once

#include <commctrl.h>
#include <commdlg.h>
#include <windows.h>
#include <winsock2.h>

// Names the system headers define as macros that the program uses for its own: the view's
// MessageBox operation and the engine's STATUS_TIMEOUT text.
#undef MessageBox
#undef STATUS_TIMEOUT

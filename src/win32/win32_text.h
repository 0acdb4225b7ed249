#pragma once

#include <string>
#include <string_view>

#include "text/wide_text.h"
#include "win32/win32_api.h"

namespace qv31 {

// The window speaks UTF-16 to Windows and UTF-8 to the rest of the program.
inline std::wstring Wide(std::string_view utf8) { return Utf8ToWide(utf8); }
inline std::string Utf8(std::wstring_view wide) { return WideToUtf8(wide); }
// A window's text (a control's, or a combo's edit field) as UTF-8.
std::string WindowTextUtf8(HWND window);
void SetWindowTextUtf8(HWND window, std::string_view text);
// The dots per inch of the monitor a window is on (Windows 10 1607 and later), else the
// system's.
int WindowDpi(HWND window);
// Copies `text` into a caller's buffer of `capacity` characters, cut and ended with a zero.
void CopyToBuffer(std::wstring_view text, wchar_t* buffer, int capacity);

}  // namespace qv31

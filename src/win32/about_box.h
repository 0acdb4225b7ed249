#pragma once

#include <string>
#include <string_view>

#include "win32/win32_api.h"

namespace qv31 {

// The program's file version as "a.b.c.d", from its version resource (ID 1): the major and
// minor parts from the high and low halves of the most significant word, build and revision
// from the least significant one. Empty when the module has no version resource.
std::string FileVersionText(HMODULE module);

// The about box "关于 QV31" (dialog 100), modal over `owner`, with `versionLine` in 1066.
void RunAboutBox(HWND owner, std::string_view versionLine);

}  // namespace qv31

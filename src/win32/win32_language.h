#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "app/text_catalogue.h"
#include "win32/win32_api.h"

// The language of the Windows window. The resource script and the dialog's behaviour speak
// Chinese; the window remembers the Chinese form of each text it shows, so a change of
// language redraws everything at once.
namespace qv31 {

Language Win32Language();
void SetWin32Language(Language language);

// A catalogue text, or one composed from it, in the window's language.
std::wstring TrW(std::string_view text);

// The language a start asks for, when none was chosen in the window: "--lang zh|en" among
// `arguments`, else the locale variables (LC_ALL, LC_MESSAGES, LANG, LANGUAGE) when any is
// set, else the user's interface language. Empty when --lang names no language.
std::optional<Language> StartLanguage(const std::wstring& commandLine);

// The Chinese texts of one window's controls.
class WindowTexts {
 public:
  // Shows every label, button, check box and group title under `root`, and its title, in the
  // window's language; a text met for the first time is taken as Chinese. Edit boxes and
  // lists show values and keep them, unless Set gave them a text.
  void Translate(HWND root);
  // Shows `text` (Chinese) on `control` in the window's language.
  void Set(HWND control, std::string_view text);
  // The Chinese form of what `control` shows, when it still shows a text of Set or Translate.
  std::optional<std::string> Chinese(HWND control) const;

 private:
  struct Kept {
    std::string chinese;
    std::wstring shown;  // as last drawn: a text typed in since is the operator's
  };
  std::map<HWND, Kept> kept_;
};

}  // namespace qv31

#include "win32/win32_language.h"

#include <shellapi.h>

#include <cstdlib>
#include <vector>

#include "win32/win32_text.h"

namespace qv31 {
namespace {

Language current = Language::Chinese;

bool IsClass(HWND window, const wchar_t* name) {
  wchar_t buffer[64] = {};
  GetClassNameW(window, buffer, 64);
  return lstrcmpiW(buffer, name) == 0;
}

// Labels, buttons, check boxes and group boxes show the program's texts; other controls
// show values.
bool ShowsText(HWND control) { return IsClass(control, L"Static") || IsClass(control, L"Button"); }

BOOL CALLBACK Collect(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

std::wstring WindowTextW(HWND window) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
  text.resize(
      static_cast<size_t>(GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

Language Win32Language() { return current; }

void SetWin32Language(Language language) { current = language; }

std::wstring TrW(std::string_view text) { return Wide(qv31::Translate(text, current)); }

std::optional<Language> StartLanguage(const std::wstring& commandLine) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(commandLine.c_str(), &count);
  std::optional<std::string> asked;
  for (int i = 1; words != nullptr && i < count; ++i) {
    const std::wstring word = words[i];
    if (word == L"--lang" && i + 1 < count) asked = Utf8(words[i + 1]);
    if (word.starts_with(L"--lang=")) asked = Utf8(word.substr(7));
  }
  if (words != nullptr) LocalFree(words);
  if (asked) return ParseLanguage(*asked);
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG", "LANGUAGE"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return LanguageFromEnvironment([](const char* n) { return std::getenv(n); });
    }
  }
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH ? Language::English
                                                                   : Language::Chinese;
}

void WindowTexts::Translate(HWND root) {
  std::vector<HWND> windows{root};
  EnumChildWindows(root, Collect, reinterpret_cast<LPARAM>(&windows));
  for (HWND w : windows) {
    auto kept = kept_.find(w);
    if (kept == kept_.end()) {
      if (w != root && !ShowsText(w)) continue;
      const std::wstring shown = WindowTextW(w);
      if (shown.empty()) continue;
      kept = kept_.emplace(w, Kept{Utf8(shown), shown}).first;
    } else if (WindowTextW(w) != kept->second.shown) {
      continue;
    }
    kept->second.shown = TrW(kept->second.chinese);
    SetWindowTextW(w, kept->second.shown.c_str());
  }
}

void WindowTexts::Set(HWND control, std::string_view text) {
  if (control == nullptr) return;
  Kept& kept = kept_[control];
  kept = {std::string(text), TrW(text)};
  SetWindowTextW(control, kept.shown.c_str());
}

std::optional<std::string> WindowTexts::Chinese(HWND control) const {
  const auto kept = kept_.find(control);
  if (kept == kept_.end() || WindowTextW(control) != kept->second.shown) return std::nullopt;
  return kept->second.chinese;
}

}  // namespace qv31

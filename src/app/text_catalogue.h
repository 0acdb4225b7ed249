#pragma once

#include <functional>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// The operator texts of the window in both of its languages. Chinese is the tool's own
// language: the program composes its texts in Chinese and the windows show them through
// Translate, so a text's Chinese form is also its key.
namespace qv31 {

enum class Language { Chinese, English };

// One text in both languages. "%1", "%2", ... stand for parts filled in at run time (a port,
// a path, a number); both forms carry the same ones.
struct CatalogueText {
  std::string_view zh;
  std::string_view en;
};

std::span<const CatalogueText> Catalogue();

// `pattern` with "%1", "%2", ... replaced by parts[0], parts[1], ...
std::string Compose(std::string_view pattern, std::initializer_list<std::string_view> parts);

// `text` in `language`: a catalogue text as it stands; a text composed from a catalogue
// pattern with its filled-in parts translated in turn; each line of a text of several lines
// on its own; a list joined with "、" (or words joined with blanks) whose every item the
// catalogue knows, item by item. A text the catalogue does not know (a value, a path) comes
// back unchanged.
std::string Translate(std::string_view text, Language language);
// As Translate, and a text the catalogue does not know as a whole word by word (the
// accessible names "串口1 波特率" are a group's title and a label).
std::string TranslateWords(std::string_view text, Language language);

// "zh" and "en", as --lang and the settings file have them.
std::string_view LanguageCode(Language language);
std::optional<Language> ParseLanguage(std::string_view code);

// The language the environment's locale asks for, as gettext reads it: LC_ALL, else
// LC_MESSAGES, else LANG names the locale; a C or POSIX locale (or none) gives Chinese, and
// otherwise LANGUAGE's first entry, when set, comes before the locale's own language. English
// when that language is English, else Chinese.
Language LanguageFromEnvironment(const std::function<const char*(const char*)>& getEnv);

}  // namespace qv31

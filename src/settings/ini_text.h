#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

namespace qv31 {

// The private-profile INI rules over a file's bytes (GBK), shared by reading and writing.
//
// Lines end with LF or CR LF (a CR also ends a last line that has no LF). After leading blanks
// (space, tab): "[name]" opens a section (the name is what lies between '[' and the first ']',
// blanks trimmed; a line without ']' opens nothing); ';' starts a comment; otherwise "key=value" up
// to the first '='. Keys and values are trimmed of blanks, and one pair of matching quotes ('"' or
// '\'') around a value is removed. Section and key names compare without regard to ASCII case (GBK
// double-byte characters compare exactly). The first section of a name and the first key of
// a name in it count; everything else is kept byte for byte but not looked at.
//
// The value of key in section, or nullopt when either is missing. The value ends at a NUL
// byte, as the platform's reader sees it.
std::optional<std::string_view> IniLookup(std::string_view file, std::string_view section,
                                          std::string_view key);

// Whether a section of the name opens anywhere in the file.
bool IniHasSection(std::string_view file, std::string_view section);

using IniEntry = std::pair<std::string_view, std::string_view>;

// The file with each key set to its value in the section. An existing key's line is
// rewritten in place (its line end kept); a new key goes after the section's last key line;
// a missing section is appended at the end. New lines use the file's first line end (CR LF
// for a file without one). A value is cut at its first CR, LF or NUL so it cannot start a
// line of its own, and quoted when the reader would otherwise trim or unquote it. Every
// other byte of the file is kept.
std::string IniReplace(std::string_view file, std::string_view section,
                       std::span<const IniEntry> entries);

}  // namespace qv31

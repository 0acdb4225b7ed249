#include "settings/ini_text.h"

#include <algorithm>
#include <vector>

namespace qv31 {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// ASCII letters compare without case; a GBK lead byte and its trail byte compare exactly, so
// a trail byte that happens to be a letter is never folded.
bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lead = static_cast<unsigned char>(a[i]);
    if (lead >= 0x81 && lead <= 0xFE && i + 1 < a.size()) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
    } else if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

enum class LineKind { Other, Section, Key };

struct Line {
  size_t begin = 0;       // first byte of the line
  size_t contentEnd = 0;  // before CR LF or LF
  size_t end = 0;         // after the line end
  LineKind kind = LineKind::Other;
  std::string_view name;   // section or key name
  std::string_view value;  // raw, untrimmed text after '='
};

Line ParseLine(std::string_view file, size_t begin) {
  Line line;
  line.begin = begin;
  const size_t lf = file.find('\n', begin);
  line.end = lf == std::string_view::npos ? file.size() : lf + 1;
  line.contentEnd = lf == std::string_view::npos ? file.size() : lf;
  // A CR ends the last line even without its LF, so completing the line end later changes
  // nothing in what the line says.
  if (line.contentEnd > begin && file[line.contentEnd - 1] == '\r') --line.contentEnd;
  const std::string_view text = Trim(file.substr(begin, line.contentEnd - begin));
  if (text.empty() || text.front() == ';') return line;
  if (text.front() == '[') {
    const size_t close = text.find(']');
    if (close != std::string_view::npos) {
      line.kind = LineKind::Section;
      line.name = Trim(text.substr(1, close - 1));
    }
    return line;
  }
  const size_t eq = text.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = LineKind::Key;
  line.name = Trim(text.substr(0, eq));
  line.value = text.substr(eq + 1);
  return line;
}

std::string_view Unquote(std::string_view raw) {
  std::string_view v = Trim(raw);
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front()) {
    v = v.substr(1, v.size() - 2);
  }
  return v.substr(0, v.find('\0'));
}

// The lines of the first section of a name: indexes into the file's lines, the header and
// one past the section's last line.
struct SectionSpan {
  bool found = false;
  size_t header = 0;
  size_t end = 0;
};

std::vector<Line> ParseAll(std::string_view file) {
  std::vector<Line> lines;
  lines.reserve(static_cast<size_t>(std::count(file.begin(), file.end(), '\n')) + 1);
  for (size_t pos = 0; pos < file.size();) {
    lines.push_back(ParseLine(file, pos));
    pos = lines.back().end;
  }
  return lines;
}

SectionSpan FindSection(const std::vector<Line>& lines, std::string_view section) {
  SectionSpan span;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != LineKind::Section) continue;
    if (span.found) {
      span.end = i;
      return span;
    }
    if (SameName(lines[i].name, section)) {
      span.found = true;
      span.header = i;
    }
  }
  span.end = lines.size();
  return span;
}

// Index of the first line of the key in the section, or npos.
size_t FindKey(const std::vector<Line>& lines, const SectionSpan& span, std::string_view key) {
  if (!span.found) return std::string_view::npos;
  for (size_t i = span.header + 1; i < span.end; ++i) {
    if (lines[i].kind == LineKind::Key && SameName(lines[i].name, key)) return i;
  }
  return std::string_view::npos;
}

std::string_view LineEnd(std::string_view file) {
  const size_t lf = file.find('\n');
  if (lf != std::string_view::npos && (lf == 0 || file[lf - 1] != '\r')) return "\n";
  return "\r\n";
}

std::string WrittenValue(std::string_view value) {
  value = value.substr(0, value.find_first_of(std::string_view("\r\n\0", 3)));
  const bool trimmed = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
  const bool quoted = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                      value.back() == value.front();
  if (trimmed || quoted) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

// Ends the text with a line end: a trailing CR only needs its LF.
void EndLine(std::string& out, std::string_view eol) {
  if (out.empty() || out.back() == '\n') return;
  out.append(out.back() == '\r' ? std::string_view("\n") : eol);
}

std::string KeyLine(std::string_view key, std::string_view value) {
  return std::string(key) + "=" + WrittenValue(value);
}

}  // namespace

bool IniHasSection(std::string_view file, std::string_view section) {
  for (size_t pos = 0; pos < file.size();) {
    const Line line = ParseLine(file, pos);
    pos = line.end;
    if (line.kind == LineKind::Section && SameName(line.name, section)) return true;
  }
  return false;
}

std::optional<std::string_view> IniLookup(std::string_view file, std::string_view section,
                                          std::string_view key) {
  // One pass without keeping the lines: the first section of the name, its first key.
  bool inside = false;
  for (size_t pos = 0; pos < file.size();) {
    const Line line = ParseLine(file, pos);
    pos = line.end;
    if (line.kind == LineKind::Section) {
      if (inside) return std::nullopt;
      inside = SameName(line.name, section);
    } else if (inside && line.kind == LineKind::Key && SameName(line.name, key)) {
      return Unquote(line.value);
    }
  }
  return std::nullopt;
}

std::string IniReplace(std::string_view file, std::string_view section,
                       std::span<const IniEntry> entries) {
  const std::string_view eol = LineEnd(file);
  const std::vector<Line> lines = ParseAll(file);
  const SectionSpan span = FindSection(lines, section);
  // Existing keys are rewritten in place; the others are added, in the order given, after the
  // section's last key line (or its header), or in a new section at the end.
  std::vector<std::pair<size_t, std::string>> rewritten;  // line index, new content
  std::vector<std::pair<std::string_view, std::string>> added;
  for (const IniEntry& entry : entries) {
    const size_t at = FindKey(lines, span, entry.first);
    if (at != std::string_view::npos) {
      auto same = std::find_if(rewritten.begin(), rewritten.end(),
                               [at](const auto& r) { return r.first == at; });
      if (same == rewritten.end()) same = rewritten.insert(rewritten.end(), {at, {}});
      same->second = KeyLine(entry.first, entry.second);
      continue;
    }
    auto same = std::find_if(added.begin(), added.end(),
                             [&](const auto& a) { return SameName(a.first, entry.first); });
    if (same != added.end()) {
      same->second = KeyLine(entry.first, entry.second);
    } else {
      added.emplace_back(entry.first, KeyLine(entry.first, entry.second));
    }
  }
  size_t insertAfter = span.header;
  for (size_t i = span.header; span.found && i < span.end; ++i) {
    if (lines[i].kind == LineKind::Key) insertAfter = i;
  }
  std::string out;
  out.reserve(file.size() + 64 * entries.size() + section.size() + 8);
  const auto appendAdded = [&] {
    EndLine(out, eol);
    for (const auto& a : added) out.append(a.second).append(eol);
  };
  for (size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    const auto r = std::find_if(rewritten.begin(), rewritten.end(),
                                [i](const auto& x) { return x.first == i; });
    if (r != rewritten.end()) {
      out.append(r->second).append(file.substr(line.contentEnd, line.end - line.contentEnd));
    } else {
      out.append(file.substr(line.begin, line.end - line.begin));
    }
    if (span.found && i == insertAfter && !added.empty()) appendAdded();
  }
  if (!span.found && !added.empty()) {
    EndLine(out, eol);
    out.append("[").append(section).append("]").append(eol);
    for (const auto& a : added) out.append(a.second).append(eol);
  }
  return out;
}

}  // namespace qv31

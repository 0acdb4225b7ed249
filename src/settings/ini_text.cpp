#include "settings/ini_text.h"

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

// Where a section's lines are: its header line and the lines up to the next section.
struct SectionSpan {
  bool found = false;
  size_t afterHeader = 0;   // first byte after the header line
  size_t afterLastKey = 0;  // first byte after the last key line (or the header)
  std::vector<Line> keys;
};

SectionSpan FindSection(std::string_view file, std::string_view section) {
  SectionSpan span;
  bool inside = false;
  for (size_t pos = 0; pos < file.size();) {
    const Line line = ParseLine(file, pos);
    pos = line.end;
    if (line.kind == LineKind::Section) {
      if (inside) break;
      if (!span.found && SameName(line.name, section)) {
        span.found = inside = true;
        span.afterHeader = span.afterLastKey = line.end;
      }
    } else if (inside && line.kind == LineKind::Key) {
      span.keys.push_back(line);
      span.afterLastKey = line.end;
    }
  }
  return span;
}

const Line* FindKey(const SectionSpan& span, std::string_view key) {
  for (const Line& line : span.keys) {
    if (SameName(line.name, key)) return &line;
  }
  return nullptr;
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

std::string ReplaceOne(std::string_view file, std::string_view section, const IniEntry& entry) {
  const std::string_view eol = LineEnd(file);
  const SectionSpan span = FindSection(file, section);
  std::string out;
  out.reserve(file.size() + section.size() + entry.first.size() + entry.second.size() + 8);
  if (!span.found) {
    out.append(file);
    EndLine(out, eol);
    out.append("[").append(section).append("]").append(eol);
    out.append(KeyLine(entry.first, entry.second)).append(eol);
    return out;
  }
  if (const Line* line = FindKey(span, entry.first)) {
    out.append(file.substr(0, line->begin));
    out.append(KeyLine(entry.first, entry.second));
    out.append(file.substr(line->contentEnd));
    return out;
  }
  // A last key line without a line end (at the end of the file) gets one first.
  const size_t at = span.afterLastKey;
  out.append(file.substr(0, at));
  EndLine(out, eol);
  out.append(KeyLine(entry.first, entry.second)).append(eol);
  out.append(file.substr(at));
  return out;
}

}  // namespace

std::optional<std::string_view> IniLookup(std::string_view file, std::string_view section,
                                          std::string_view key) {
  const SectionSpan span = FindSection(file, section);
  if (!span.found) return std::nullopt;
  const Line* line = FindKey(span, key);
  if (line == nullptr) return std::nullopt;
  return Unquote(line->value);
}

std::string IniReplace(std::string_view file, std::string_view section,
                       std::span<const IniEntry> entries) {
  std::string out(file);
  for (const IniEntry& entry : entries) out = ReplaceOne(out, section, entry);
  return out;
}

}  // namespace qv31

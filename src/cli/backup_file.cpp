#include "cli/backup_file.h"

#include <algorithm>
#include <nlohmann/json.hpp>
#include <set>

#include "acq/acq_codes.h"
#include "acq/acq_grid.h"
#include "acq/acq_table.h"
#include "link/hex_codec.h"
#include "params/param_block.h"

namespace qv31 {
namespace {

using Json = nlohmann::json;

std::string KeyPath(std::string_view name) { return "keys[\"" + std::string(name) + "\"]"; }

bool Refuse(std::string& error, const std::string& path, const std::string& what) {
  error = path + " must be " + what;
  return false;
}

std::string WhatKeyTakes(const CtlKey& k) {
  switch (k.kind) {
    case ValueKind::ReadOnly:
      return "a text or null (it is not restored)";
    case ValueKind::OnOff:
      return "true or false";
    case ValueKind::Number:
      return "a whole number from " + std::to_string(k.min) + " to " + std::to_string(k.max) +
             (k.step > 1 ? " in steps of " + std::to_string(k.step) : "") + ", or null";
    case ValueKind::Choice: {
      std::string list;
      for (const auto& c : k.choices)
        list += (list.empty() ? "\"" : ", \"") + std::string(c) + "\"";
      return "one of " + list + ", or null";
    }
    case ValueKind::Ipv4:
      return "an IPv4 address text \"a.b.c.d\"";
    case ValueKind::Ipv4OrHost:
      return "an IPv4 address or a host name text (at most 59 GBK bytes, no blanks)";
  }
  return {};
}

// The key's value as the text set takes; false when refused. `text` stays empty for null.
bool KeyValue(const CtlKey& k, const Json& v, std::optional<std::string>& text,
              std::string& error) {
  const std::string path = KeyPath(k.name);
  std::string candidate;
  if (k.kind == ValueKind::ReadOnly) {
    return v.is_string() || v.is_null() || Refuse(error, path, WhatKeyTakes(k));
  }
  if (v.is_null() && (k.kind == ValueKind::Number || k.kind == ValueKind::Choice)) return true;
  if (k.kind == ValueKind::OnOff && v.is_boolean()) {
    candidate = v.get<bool>() ? "on" : "off";
  } else if (k.kind == ValueKind::Number && v.is_number_integer()) {
    candidate = v.is_number_unsigned() ? std::to_string(v.get<uint64_t>())
                                       : std::to_string(v.get<int64_t>());
  } else if (k.kind != ValueKind::OnOff && k.kind != ValueKind::Number && v.is_string()) {
    candidate = v.get<std::string>();
  } else {
    return Refuse(error, path, WhatKeyTakes(k));
  }
  std::string ignored;
  text = NormalizeValue(k, candidate, ignored);
  return text.has_value() || Refuse(error, path, WhatKeyTakes(k));
}

bool ReadKeys(const Json& keys, BackupContent& out, std::string& error) {
  if (!keys.is_object()) return Refuse(error, "keys", "an object of key names and values");
  for (const auto& [name, v] : keys.items()) {
    const CtlKey* k = FindCtlKey(name);
    if (k == nullptr) return Refuse(error, KeyPath(name), "one of the keys qv31ctl --help lists");
    if (k->name == "identity" && v.is_string()) out.identity = v.get<std::string>();
    std::optional<std::string> text;
    if (!KeyValue(*k, v, text, error)) return false;
    if (text) out.keys.push_back({k, std::move(*text)});
  }
  return true;
}

bool IsCellText(int column, const std::string& text) {
  if (text.empty() || text == INVALID_TEXT) return true;
  if (column == COL_CHANNEL) {
    return text == "COM1" || text == "COM2" || text == "COM3" || text == "COM4";
  }
  const auto types = VarTypes();
  return std::any_of(types.begin(), types.end(), [&](const VarType& t) { return t.text == text; });
}

bool ReadRow(const Json& row, size_t index, std::vector<bool>& seen, BackupContent& out,
             std::string& error) {
  const std::string path = "table[" + std::to_string(index) + "]";
  if (!row.is_object()) return Refuse(error, path, "an object");
  const auto number = row.find("row");
  // A number beyond the signed 64-bit range reads as negative and is refused with the rest.
  if (number == row.end() || !number->is_number_integer() || number->get<int64_t>() < 1 ||
      number->get<int64_t>() > ACQ_ROW_COUNT) {
    return Refuse(error, path + ".row", "a whole number from 1 to 255");
  }
  const int r = number->get<int>() - 1;
  if (seen[static_cast<size_t>(r)]) {
    return Refuse(error, path + ".row", "a row not listed before (" + number->dump() + " is)");
  }
  seen[static_cast<size_t>(r)] = true;
  BackupContent::Row parsed{r, {}};
  for (size_t f = 0; f < ACQ_STORED_COUNT; ++f) {
    const int column = AcqStoredColumns()[f];
    const AcqColumnInfo& field = AcqColumns()[static_cast<size_t>(column)];
    const std::string name(field.jsonName);
    const std::string fieldPath = path + "." + name;
    const auto v = row.find(name);
    if (field.fieldMax == 0) {
      if (v == row.end() || !v->is_string() || !IsCellText(column, v->get<std::string>())) {
        return Refuse(error, fieldPath,
                      column == COL_CHANNEL ? "\"COM1\" to \"COM4\", \"无效\" or \"\""
                                            : "one of the twelve variable types, \"无效\" or \"\"");
      }
      parsed.cells[f] = v->get<std::string>();
    } else {
      if (v == row.end() || !v->is_number_integer() || v->get<int64_t>() < 0 ||
          static_cast<uint64_t>(v->get<int64_t>()) > field.fieldMax) {
        return Refuse(error, fieldPath,
                      "a whole number from 0 to " + std::to_string(field.fieldMax));
      }
      parsed.cells[f] = std::to_string(v->get<int64_t>());
    }
  }
  for (const char* computed : {"vars", "buffer_refs"}) {
    const auto v = row.find(computed);
    if (v != row.end() && !v->is_string()) {
      return Refuse(error, path + "." + computed, "a text (it is computed, not restored)");
    }
  }
  out.rows.push_back(std::move(parsed));
  return true;
}

std::optional<std::vector<uint8_t>> FromHex(const Json& j, size_t size) {
  if (!j.is_string()) return std::nullopt;
  const std::string& s = j.get_ref<const std::string&>();
  std::vector<uint8_t> out;
  // Exactly the digits: a blank between pairs would leave fewer than `size` bytes.
  if (s.size() != size * 2 || !DecodeHex(s, out) || out.size() != size) return std::nullopt;
  return out;
}

bool ReadImages(const Json& images, BackupContent& out, std::string& error) {
  if (!images.is_object()) return Refuse(error, "images", "an object with params and table");
  const auto params = FromHex(images.value("params", Json()), PARAM_SIZE);
  if (!params) {
    return Refuse(error, "images.params", "a text of 640 hexadecimal digits (320 bytes)");
  }
  const auto table = FromHex(images.value("table", Json()), ACQ_IMAGE_SIZE);
  if (!table) {
    return Refuse(error, "images.table", "a text of 4096 hexadecimal digits (2048 bytes)");
  }
  out.hasImages = true;
  out.params = *params;
  out.table = *table;
  return true;
}

// The document, discarded when it is no JSON; `twice` gets the first name given twice in one
// object (a parser keeps only one of them).
Json ParseNamingTwice(std::string_view text, std::string& twice) {
  std::vector<std::set<std::string>> names;  // of each object being parsed, innermost last
  const Json::parser_callback_t noteNames = [&](int, Json::parse_event_t event, Json& parsed) {
    if (event == Json::parse_event_t::object_start) names.emplace_back();
    if (event == Json::parse_event_t::object_end && !names.empty()) names.pop_back();
    if (event == Json::parse_event_t::key && !names.empty()) {
      const std::string& name = parsed.get_ref<const std::string&>();
      if (!names.back().insert(name).second && twice.empty()) twice = name;
    }
    return true;
  };
  return Json::parse(text, noteNames, false);
}

}  // namespace

std::optional<BackupContent> ReadBackup(std::string_view text, std::string& error) {
  std::string twice;
  const Json doc = ParseNamingTwice(text, twice);
  if (doc.is_discarded()) {
    error = "the file is not JSON";
    return std::nullopt;
  }
  if (!twice.empty()) {
    error = "the name \"" + twice + "\" is given twice in one object";
    return std::nullopt;
  }
  BackupContent out;
  if (!doc.is_object()) {
    Refuse(error, "the top level", "an object");
    return std::nullopt;
  }
  const auto format = doc.find("format");
  if (format == doc.end() || *format != std::string(BACKUP_FORMAT)) {
    Refuse(error, "format", "\"" + std::string(BACKUP_FORMAT) + "\"");
    return std::nullopt;
  }
  const auto version = doc.find("version");
  if (version == doc.end() || !version->is_number_integer() || *version != BACKUP_VERSION) {
    Refuse(error, "version", std::to_string(BACKUP_VERSION));
    return std::nullopt;
  }
  const auto keys = doc.find("keys");
  if (keys == doc.end()) {
    Refuse(error, "keys", "an object of key names and values");
    return std::nullopt;
  }
  if (!ReadKeys(*keys, out, error)) return std::nullopt;
  if (const auto table = doc.find("table"); table != doc.end()) {
    if (!table->is_array()) {
      Refuse(error, "table", "a list of rows");
      return std::nullopt;
    }
    std::vector<bool> seen(ACQ_ROW_COUNT);
    for (size_t i = 0; i < table->size(); ++i) {
      if (!ReadRow((*table)[i], i, seen, out, error)) return std::nullopt;
    }
  }
  if (const auto images = doc.find("images"); images != doc.end()) {
    if (!ReadImages(*images, out, error)) return std::nullopt;
  }
  return out;
}

std::optional<BackupContent> ReadApplyFile(std::string_view text, std::string& error) {
  std::string twice;
  Json doc = ParseNamingTwice(text, twice);
  if (doc.is_discarded() || !twice.empty()) return ReadBackup(text, error);  // its refusal
  if (!doc.is_object()) {
    Refuse(error, "the top level", "an object");
    return std::nullopt;
  }
  if (!doc.contains("format")) {
    doc["format"] = BACKUP_FORMAT;
    doc["version"] = BACKUP_VERSION;
  }
  if (!doc.contains("keys")) doc["keys"] = Json::object();
  return ReadBackup(doc.dump(), error);
}

}  // namespace qv31

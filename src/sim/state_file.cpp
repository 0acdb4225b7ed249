#include "sim/state_file.h"

#include <array>
#include <nlohmann/json.hpp>

#include "link/hex_codec.h"

namespace qv31 {
namespace {

using nlohmann::json;

constexpr const char* STATE_FORMAT = "qv31-sim state";
constexpr int STATE_VERSION = 1;
constexpr size_t BYTES_PER_ROW = 16;

struct AreaKey {
  const char* key;
  uint8_t area;
  uint16_t address;
};
constexpr std::array<AreaKey, 3> kAreaKeys = {{
    {"params", AREA_PARAMS, PARAM_BASE},
    {"table", AREA_TABLE, 0},
    {"ident", AREA_IDENT, 0},
}};

// Written in a fixed key order (format first, areas by number); read in any order.
using OrderedJson = nlohmann::ordered_json;

OrderedJson HexRows(std::span<const uint8_t> bytes) {
  OrderedJson rows = OrderedJson::array();
  for (size_t at = 0; at < bytes.size(); at += BYTES_PER_ROW) {
    rows.push_back(HexText(bytes.subspan(at, std::min(bytes.size() - at, BYTES_PER_ROW))));
  }
  return rows;
}

bool ReadArea(const json& doc, const AreaKey& key, std::vector<uint8_t>& out, std::string& error) {
  const auto it = doc.find(key.key);
  if (it == doc.end() || !it->is_object()) {
    error = std::string("no \"") + key.key + "\" object";
    return false;
  }
  const auto address = it->find("address");
  if (address != it->end() && !(address->is_number_unsigned() && *address == key.address)) {
    error = std::string("\"") + key.key + "\" must start at address " + std::to_string(key.address);
    return false;
  }
  const auto bytes = it->find("bytes");
  if (bytes == it->end()) {
    error = std::string("no \"") + key.key + ".bytes\"";
    return false;
  }
  bool ok = true;
  if (bytes->is_string()) {
    ok = DecodeHex(bytes->get<std::string>(), out);
  } else if (bytes->is_array()) {
    for (const json& row : *bytes)
      ok = ok && row.is_string() && DecodeHex(row.get<std::string>(), out);
  } else {
    ok = false;
  }
  if (!ok) {
    error = std::string("\"") + key.key + ".bytes\" is not hexadecimal text";
    return false;
  }
  return true;
}

}  // namespace

std::string StateToJson(const GatewayMemory& memory) {
  OrderedJson doc = OrderedJson::object();
  doc["format"] = STATE_FORMAT;
  doc["version"] = STATE_VERSION;
  for (const AreaKey& key : kAreaKeys) {
    doc[key.key] = {{"address", key.address}, {"bytes", HexRows(memory.AreaBytes(key.area))}};
  }
  return doc.dump(2) + "\n";
}

int StateFromJson(const std::string& text, GatewayMemory& memory, std::string& error) {
  const json doc = json::parse(text, nullptr, false);
  if (doc.is_discarded() || !doc.is_object()) {
    error = "not JSON";
    return -1;
  }
  const auto format = doc.find("format");
  if (format == doc.end() || *format != STATE_FORMAT) {
    error = std::string("not a simulator state (\"format\" must be \"") + STATE_FORMAT + "\")";
    return -1;
  }
  const auto version = doc.find("version");
  if (version == doc.end() || *version != STATE_VERSION) {
    error = "unknown state version";
    return -1;
  }
  GatewayMemory loaded;
  for (const AreaKey& key : kAreaKeys) {
    std::vector<uint8_t> bytes;
    if (!ReadArea(doc, key, bytes, error)) return -1;
    const std::span<uint8_t> area = loaded.AreaBytes(key.area);
    if (bytes.size() != area.size()) {
      error = std::string("\"") + key.key + "\" holds " + std::to_string(bytes.size()) +
              " bytes, not " + std::to_string(area.size());
      return -1;
    }
    std::copy(bytes.begin(), bytes.end(), area.begin());
  }
  memory = loaded;
  return 1;
}

}  // namespace qv31

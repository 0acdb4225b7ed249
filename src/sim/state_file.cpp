#include "sim/state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <nlohmann/json.hpp>

#include "link/hex_codec.h"

namespace qv31 {
namespace {

using nlohmann::json;

constexpr const char* STATE_FORMAT = "qv31-sim state";
constexpr int STATE_VERSION = 1;
constexpr size_t BYTES_PER_ROW = 16;
// A state is about 10 kB; anything far larger is not one and is not read whole.
constexpr size_t STATE_FILE_MAX = 1 << 20;

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

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
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

int LoadStateFile(const std::string& path, GatewayMemory& memory, std::string& error) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return 0;
    error = ErrnoText("cannot read", path);
    return -1;
  }
  std::string text;
  std::array<char, 16384> chunk{};
  ssize_t n = 0;
  while ((n = read(fd, chunk.data(), chunk.size())) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text.size() > STATE_FILE_MAX) break;
    text.append(chunk.data(), static_cast<size_t>(n));
  }
  const int readErrno = errno;
  close(fd);
  if (n < 0) {
    errno = readErrno;
    error = ErrnoText("cannot read", path);
    return -1;
  }
  if (text.size() > STATE_FILE_MAX) {
    error = path + ": too large for a simulator state";
    return -1;
  }
  if (StateFromJson(text, memory, error) < 0) {
    error = path + ": " + error;
    return -1;
  }
  return 1;
}

int SaveStateFile(const std::string& path, const GatewayMemory& memory, std::string& error) {
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string temp = (slash == std::string::npos ? "" : dir) + "." + base + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = ErrnoText("cannot create a file in", dir);
    return -1;
  }
  fchmod(fd, 0644);  // mkostemp makes it 0600; a state is not secret
  const std::string text = StateToJson(memory);
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  const bool written = done == text.size() && fsync(fd) == 0;
  if (!written) error = ErrnoText("cannot write", temp);
  close(fd);
  if (!written || rename(temp.c_str(), path.c_str()) != 0) {
    if (written) error = ErrnoText("cannot replace", path);
    unlink(temp.c_str());
    return -1;
  }
  // The rename itself is durable only once the directory is.
  const int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return 1;
}

}  // namespace qv31

#include "cli/ctl_commands.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <thread>

#include "acq/acq_frames.h"
#include "acq/acq_keys.h"
#include "acq/csv_file.h"
#include "cli/ctl_keys.h"
#include "cli/gateway_session.h"
#include "cli/tracing_transport.h"
#include "params/param_frames.h"
#include "params/param_keys.h"
#include "settings/ckx_file_ini.h"
#include "settings/link_settings.h"
#include "text/choice_texts.h"
#include "text/number_text.h"
#include "transport/link_transport.h"

namespace qv31 {
namespace {

using Json = nlohmann::ordered_json;
using FrameList = std::vector<std::vector<uint8_t>>;

constexpr KeyGroup kWriteOrder[] = {KeyGroup::Port1, KeyGroup::Port2, KeyGroup::Port3,
                                    KeyGroup::Port4, KeyGroup::FourG, KeyGroup::Network,
                                    KeyGroup::Acq};

// A usage or file problem found before anything is sent.
struct Refusal {
  int status;
  std::string message;
};

class Ctl {
 public:
  Ctl(const CtlOptions& o, std::FILE* out, std::FILE* err) : o_(o), out_(out), err_(err) {}
  int Run();

 private:
  int Fail(int status, const std::string& message) {
    std::fprintf(err_, "qv31ctl: %s\n", message.c_str());
    return status;
  }
  // Opens the link given on the command line, else the one in the settings file.
  int OpenLink(bool serialOnly);
  int OpenAndConnect();
  bool Exchange(const FrameList& frames);
  int GatewayFailure();

  // Texts and values of keys in the session's images.
  std::string KeyText(const CtlKey& key);
  Json KeyJson(const CtlKey& key);
  void PrintKeys(const std::vector<const CtlKey*>& keys, Json& doc);
  Json RowJson(int row);
  bool RowEmpty(int row) const { return session_->Table().Record(row) == AcqRecord{}; }
  void PrintRows(bool all, Json& doc);
  void Emit(const Json& doc);

  static FrameList QueryFrames(KeyGroup g);
  FrameList SetFrames(KeyGroup g);
  void ApplyKey(const CtlKey& key, const std::string& value);
  std::map<std::string, std::string> GroupTexts(KeyGroup g);
  std::vector<std::string> Differences(KeyGroup g, const std::map<std::string, std::string>& want,
                                       const std::vector<uint8_t>& wantTable);

  int Info();
  int Get();
  int Set();
  int Table();
  int TableExport(const std::string& file);
  int TableImport(const std::string& file);
  int Stop();
  int Backup(const std::string& file);
  int Restore(const std::string& file);
  int WriteGroupsAndVerify(const std::vector<KeyGroup>& groups);

  const CtlOptions& o_;
  std::FILE* out_;
  std::FILE* err_;
  LinkTransport link_;
  std::unique_ptr<TracingTransport> trace_;
  std::unique_ptr<GatewaySession> session_;
  GatewaySession::Outcome lastOutcome_ = GatewaySession::Outcome::Done;
};

bool WriteFileAtomically(const std::string& path, const std::string& bytes) {
  const std::string tmp = path + ".tmp-" + std::to_string(::getpid());
  {
    std::ofstream f(tmp, std::ios::binary | std::ios::trunc);
    if (!f || !f.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush()) {
      std::filesystem::remove(tmp);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, path, ec);
  if (ec) std::filesystem::remove(tmp);
  return !ec;
}

int Ctl::Run() {
  const std::string& c = o_.command;
  if (c == "info" && o_.args.empty()) return Info();
  if (c == "get" && !o_.args.empty()) return Get();
  if (c == "set" && !o_.args.empty()) return Set();
  if (c == "table") return Table();
  if (c == "stop" && o_.args.empty()) return Stop();
  if (c == "backup" && o_.args.size() == 1) return Backup(o_.args[0]);
  if (c == "restore" && o_.args.size() == 1) return Restore(o_.args[0]);
  return Fail(EXIT_USAGE, "bad command or arguments: " + c + " (see qv31ctl --help)");
}

int Ctl::OpenLink(bool serialOnly) {
  std::string port = o_.device, baud = o_.baud, format = o_.format, delay = o_.delay;
  std::string host = o_.host, udpPort = o_.udpPort;
  bool serial = o_.link == CtlOptions::Link::Serial;
  if (o_.link == CtlOptions::Link::Settings) {
    CKXFileIni ini;
    ini.SetFile(std::string(SETTINGS_FILE));
    if (!std::filesystem::exists(ini.FilePath())) {
      return Fail(EXIT_USAGE, "no connection given (--udp or --serial) and no settings file at " +
                                  ini.FilePath());
    }
    const LinkSettings s = LoadLinkSettings(ini);
    serial = s.serialMode == "TRUE";
    port = s.portText, baud = s.baudText, format = s.formatText, delay = s.delayText;
    host = s.addressText, udpPort = s.targetPortText;
  }
  if (serialOnly && !serial) {
    return Fail(EXIT_USAGE, "stop works over a serial line only (--serial DEVICE)");
  }
  if (serial) {
    if (std::find(BAUD_TEXTS.begin(), BAUD_TEXTS.end(), baud) == BAUD_TEXTS.end()) {
      return Fail(EXIT_USAGE, "--baud takes 1200 2400 4800 9600 14400 19200 38400 57600 115200");
    }
    if (std::find(FORMAT_TEXTS.begin(), FORMAT_TEXTS.end(), format) == FORMAT_TEXTS.end()) {
      return Fail(EXIT_USAGE, "--format takes n,8,1 o,8,1 e,8,1 n,8,2 o,8,2 e,8,2");
    }
    if (delay.empty() || delay.find_first_not_of("0123456789") != std::string::npos) {
      return Fail(EXIT_USAGE, "--delay takes a whole number of milliseconds, 0 or more");
    }
    if (!link_.OpenSerial(port, baud, format, delay)) {
      return Fail(EXIT_OPEN, "无法打开 " + port + " 串口！ " + link_.OpenErrorText());
    }
  } else {
    const int64_t p = LeadingDecimal(udpPort);
    if (udpPort.find_first_not_of("0123456789") != std::string::npos || p < 1 || p > 65535) {
      return Fail(EXIT_USAGE,
                  "the UDP port must be a number from 1 to 65535, not \"" + udpPort + "\"");
    }
    if (!link_.OpenUdp(host, udpPort) || !link_.OpenErrorText().empty()) {
      return Fail(EXIT_OPEN, "无法打开UDP端口！ " + link_.OpenErrorText());
    }
  }
  return EXIT_DONE;
}

int Ctl::OpenAndConnect() {
  if (const int rc = OpenLink(false)) return rc;
  BlockTransport* transport = &link_;
  if (o_.trace) {
    trace_ = std::make_unique<TracingTransport>(link_, err_);
    transport = trace_.get();
  }
  session_ = std::make_unique<GatewaySession>(*transport, link_.ReplyTimeoutMs(),
                                              [this] { return link_.PortLost(); });
  lastOutcome_ = session_->Connect();
  return lastOutcome_ == GatewaySession::Outcome::Done ? EXIT_DONE : GatewayFailure();
}

int Ctl::GatewayFailure() {
  if (lastOutcome_ == GatewaySession::Outcome::LinkLost) {
    return Fail(EXIT_GATEWAY, "the serial port went away: " + link_.OpenErrorText());
  }
  return Fail(EXIT_GATEWAY, std::string(STATUS_TIMEOUT) + " (the gateway did not answer)");
}

bool Ctl::Exchange(const FrameList& frames) {
  lastOutcome_ = session_->Run(frames);
  return lastOutcome_ == GatewaySession::Outcome::Done;
}

std::string Ctl::KeyText(const CtlKey& key) {
  if (key.group == KeyGroup::Identity) return session_->Identity();
  if (key.group == KeyGroup::Acq) {
    return GetAcqSettingText(session_->Grid(), key.name).value_or("");
  }
  return GetParamText(session_->Params(), key.name).value_or("");
}

Json Ctl::KeyJson(const CtlKey& key) {
  const std::string text = KeyText(key);
  if (key.kind == ValueKind::OnOff) return text == "on";
  if (key.kind == ValueKind::Number) return text.empty() ? Json() : Json(LeadingDecimal(text));
  if (key.kind == ValueKind::Choice && text.empty()) return Json();
  return text;
}

void Ctl::PrintKeys(const std::vector<const CtlKey*>& keys, Json& doc) {
  for (const CtlKey* k : keys) {
    if (o_.json) {
      doc[std::string(k->name)] = KeyJson(*k);
    } else {
      std::fprintf(out_, "%s = %s\n", std::string(k->name).c_str(), KeyText(*k).c_str());
    }
  }
}

Json Ctl::RowJson(int row) {
  const AcqGrid& g = session_->Grid();
  auto number = [&](int col) { return Json(LeadingDecimal(g.Cell(row, col))); };
  return Json{{"row", row + 1},
              {"channel", g.Cell(row, COL_CHANNEL)},
              {"slave", number(COL_SLAVE)},
              {"type", g.Cell(row, COL_TYPE)},
              {"start", number(COL_START)},
              {"count", number(COL_COUNT)},
              {"buffer", number(COL_BUFFER)},
              {"vars", g.Cell(row, COL_VAR_RANGE)},
              {"buffer_refs", g.Cell(row, COL_BUFFER_RANGE)}};
}

// Display width of UTF-8 text: CJK characters take two columns.
size_t DisplayWidth(const std::string& s) {
  size_t w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) == 0x80) continue;
    w += c >= 0xE0 ? 2 : 1;
  }
  return w;
}

void Ctl::PrintRows(bool all, Json& doc) {
  static constexpr std::array<std::pair<const char*, int>, 9> kCols = {
      {{"row", COL_NUMBER},
       {"channel", COL_CHANNEL},
       {"slave", COL_SLAVE},
       {"type", COL_TYPE},
       {"start", COL_START},
       {"count", COL_COUNT},
       {"vars", COL_VAR_RANGE},
       {"buffer", COL_BUFFER},
       {"buffer_refs", COL_BUFFER_RANGE}}};
  static constexpr std::array<size_t, 9> kWidth = {5, 9, 7, 10, 7, 7, 15, 8, 15};
  Json rows = Json::array();
  std::string text;
  auto cell = [&](const std::string& s, size_t col) {
    text += s;
    if (col + 1 < kCols.size())
      text.append(kWidth[col] - std::min(kWidth[col] - 1, DisplayWidth(s)), ' ');
  };
  for (size_t c = 0; c < kCols.size(); ++c) cell(kCols[c].first, c);
  text += '\n';
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
    if (!all && RowEmpty(r)) continue;
    rows.push_back(RowJson(r));
    for (size_t c = 0; c < kCols.size(); ++c) cell(session_->Grid().Cell(r, kCols[c].second), c);
    text += '\n';
  }
  if (o_.json) {
    doc["table"] = rows;
  } else {
    std::fputs(text.c_str(), out_);
  }
}

void Ctl::Emit(const Json& doc) {
  if (o_.json) std::fprintf(out_, "%s\n", doc.dump(2).c_str());
}

int Ctl::Info() {
  if (const int rc = OpenAndConnect()) return rc;
  FrameList frames = {QueryAllParamFrames().back()};  // the identity came with the connect
  for (auto& f : QueryAcqFrames()) frames.push_back(std::move(f));
  if (!Exchange(frames)) return GatewayFailure();
  Json doc = Json::object();
  std::vector<const CtlKey*> keys;
  for (const CtlKey& k : CtlKeys()) keys.push_back(&k);
  PrintKeys(keys, doc);
  if (!o_.json) std::fputc('\n', out_);
  PrintRows(false, doc);
  Emit(doc);
  return EXIT_DONE;
}

int Ctl::Get() {
  std::vector<const CtlKey*> keys;
  bool params = false, acq = false;
  for (const std::string& name : o_.args) {
    const CtlKey* k = FindCtlKey(name);
    if (k == nullptr) return Fail(EXIT_USAGE, "unknown key " + name + " (see qv31ctl --help)");
    keys.push_back(k);
    params |= k->group != KeyGroup::Identity && k->group != KeyGroup::Acq;
    acq |= k->group == KeyGroup::Acq;
  }
  if (const int rc = OpenAndConnect()) return rc;
  FrameList frames;
  if (params) frames.push_back(QueryAllParamFrames().back());
  if (acq)
    frames = [&] {
      for (auto& f : QueryAcqFrames()) frames.push_back(std::move(f));
      return frames;
    }();
  if (!frames.empty() && !Exchange(frames)) return GatewayFailure();
  Json doc = Json::object();
  PrintKeys(keys, doc);
  Emit(doc);
  return EXIT_DONE;
}

FrameList Ctl::QueryFrames(KeyGroup g) {
  switch (g) {
    case KeyGroup::FourG:
      return Query4GFrames();
    case KeyGroup::Port1:
    case KeyGroup::Port2:
    case KeyGroup::Port3:
    case KeyGroup::Port4:
      return QueryPortFrames(static_cast<int>(g) - static_cast<int>(KeyGroup::Port1) + 1);
    case KeyGroup::Network:
      return QueryNetworkFrames();
    case KeyGroup::Acq:
      return QueryAcqFrames();
    case KeyGroup::Identity:
      break;
  }
  return {};
}

FrameList Ctl::SetFrames(KeyGroup g) {
  switch (g) {
    case KeyGroup::FourG:
      return Set4GFrames(session_->Params());
    case KeyGroup::Port1:
    case KeyGroup::Port2:
    case KeyGroup::Port3:
    case KeyGroup::Port4:
      return SetPortFrames(session_->Params(),
                           static_cast<int>(g) - static_cast<int>(KeyGroup::Port1) + 1);
    case KeyGroup::Network:
      return SetNetworkFrames(session_->Params());
    case KeyGroup::Acq:
      session_->Grid().BuildAcqImage(session_->Table());
      return SetAcqFrames(session_->Table());
    case KeyGroup::Identity:
      break;
  }
  return {};
}

void Ctl::ApplyKey(const CtlKey& key, const std::string& value) {
  if (key.group == KeyGroup::Acq) {
    SetAcqSettingText(session_->Grid(), key.name, value);
  } else {
    SetParamText(session_->Params(), key.name, value);
  }
}

std::map<std::string, std::string> Ctl::GroupTexts(KeyGroup g) {
  std::map<std::string, std::string> texts;
  for (const CtlKey& k : CtlKeys()) {
    if (k.group == g && k.kind != ValueKind::ReadOnly) texts[std::string(k.name)] = KeyText(k);
  }
  return texts;
}

std::vector<std::string> Ctl::Differences(KeyGroup g,
                                          const std::map<std::string, std::string>& want,
                                          const std::vector<uint8_t>& wantTable) {
  std::vector<std::string> diff;
  for (const auto& [name, text] : GroupTexts(g)) {
    const auto it = want.find(name);
    if (it != want.end() && it->second != text) {
      diff.push_back(name + " (wrote " + it->second + ", reads " + text + ")");
    }
  }
  if (g == KeyGroup::Acq) {
    const auto bytes = session_->Table().Bytes();
    for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
      const size_t at = ACQ_HEADER_SIZE + static_cast<size_t>(r) * ACQ_RECORD_SIZE;
      if (!std::equal(bytes.begin() + at, bytes.begin() + at + ACQ_RECORD_SIZE,
                      wantTable.begin() + at)) {
        diff.push_back("table row " + std::to_string(r + 1));
      }
    }
  }
  return diff;
}

// Writes each group with its own frames, then reads every group back and compares.
int Ctl::WriteGroupsAndVerify(const std::vector<KeyGroup>& groups) {
  std::map<KeyGroup, std::map<std::string, std::string>> want;
  FrameList writes;
  for (const KeyGroup g : groups) {
    for (auto& f : SetFrames(g)) writes.push_back(std::move(f));
    want[g] = GroupTexts(g);
  }
  const auto bytes = session_->Table().Bytes();
  const std::vector<uint8_t> wantTable(bytes.begin(), bytes.end());
  if (!Exchange(writes)) return GatewayFailure();
  FrameList reads;
  for (const KeyGroup g : groups) {
    for (auto& f : QueryFrames(g)) reads.push_back(std::move(f));
  }
  if (!Exchange(reads)) return GatewayFailure();
  std::vector<std::string> diff;
  for (const KeyGroup g : groups) {
    for (auto& d : Differences(g, want[g], wantTable)) diff.push_back(std::move(d));
  }
  if (diff.empty()) return EXIT_DONE;
  std::string list;
  for (const auto& d : diff) list += "\n  " + d;
  return Fail(EXIT_GATEWAY, "the gateway reads back differently:" + list);
}

int Ctl::Set() {
  std::vector<std::pair<const CtlKey*, std::string>> changes;
  for (const std::string& arg : o_.args) {
    const size_t eq = arg.find('=');
    const CtlKey* k = eq == std::string::npos ? nullptr : FindCtlKey(arg.substr(0, eq));
    if (k == nullptr) {
      return Fail(EXIT_USAGE, "set takes KEY=VALUE with a known key, not \"" + arg + "\"");
    }
    std::string error;
    const auto value = NormalizeValue(*k, std::string_view(arg).substr(eq + 1), error);
    if (!value) return Fail(EXIT_USAGE, error);
    changes.emplace_back(k, *value);
  }
  std::vector<KeyGroup> groups;
  for (const KeyGroup g : kWriteOrder) {
    for (const auto& c : changes) {
      if (c.first->group == g) {
        groups.push_back(g);
        break;
      }
    }
  }
  if (const int rc = OpenAndConnect()) return rc;
  // Each group as its own button would do it: read it, change only the named fields,
  // write it with exactly that button's frames, read it back.
  FrameList reads;
  for (const KeyGroup g : groups) {
    for (auto& f : QueryFrames(g)) reads.push_back(std::move(f));
  }
  if (!Exchange(reads)) return GatewayFailure();
  for (const auto& [key, value] : changes) ApplyKey(*key, value);
  if (const int rc = WriteGroupsAndVerify(groups)) return rc;
  Json doc = Json::object();
  std::vector<const CtlKey*> keys;
  keys.reserve(changes.size());
  for (const auto& c : changes) keys.push_back(c.first);
  PrintKeys(keys, doc);
  Emit(doc);
  return EXIT_DONE;
}

int Ctl::Table() {
  const auto& a = o_.args;
  if (!a.empty() && a[0] == "show" && (a.size() == 1 || (a.size() == 2 && a[1] == "--all"))) {
    if (const int rc = OpenAndConnect()) return rc;
    if (!Exchange(QueryAcqFrames())) return GatewayFailure();
    Json doc = Json::object();
    PrintRows(a.size() == 2, doc);
    Emit(doc);
    return EXIT_DONE;
  }
  if (a.size() == 2 && a[0] == "export") return TableExport(a[1]);
  if (a.size() == 2 && a[0] == "import") return TableImport(a[1]);
  return Fail(EXIT_USAGE, "table takes show [--all], export FILE or import FILE");
}

int Ctl::TableExport(const std::string& file) {
  if (const int rc = OpenAndConnect()) return rc;
  if (!Exchange(QueryAcqFrames())) return GatewayFailure();
  // Written beside FILE first, so an existing FILE is replaced whole or not at all.
  const std::string tmp = file + ".tmp-" + std::to_string(::getpid());
  std::filesystem::remove(tmp);
  std::error_code ec;
  if (ExportCsv(session_->Grid(), tmp) != CsvResult::Exported ||
      (std::filesystem::rename(tmp, file, ec), ec)) {
    std::filesystem::remove(tmp);
    return Fail(EXIT_FILE, "cannot write " + file);
  }
  return EXIT_DONE;
}

int Ctl::TableImport(const std::string& file) {
  {
    // Refuse a wrong file before touching the gateway.
    AcqGrid scratch;
    const CsvResult r = ImportCsv(scratch, file);
    if (r == CsvResult::Mismatch)
      return Fail(EXIT_FILE, file + ": " + std::string(STATUS_MISMATCH));
    if (r != CsvResult::Imported) return Fail(EXIT_FILE, "cannot read " + file);
  }
  if (const int rc = OpenAndConnect()) return rc;
  if (!Exchange(QueryAcqFrames())) return GatewayFailure();
  if (ImportCsv(session_->Grid(), file) != CsvResult::Imported) {
    return Fail(EXIT_FILE, "cannot read " + file);
  }
  return WriteGroupsAndVerify({KeyGroup::Acq});
}

int Ctl::Stop() {
  // The window's sequence: the stop frame on the first 100 ms tick, one received block
  // dropped every 100 ms, the port closed after one second.
  if (const int rc = OpenLink(true)) return rc;
  const auto stopFrame = EncodeFrame({AREA_TABLE, OP_WRITE, 0, 1}, std::array<uint8_t, 1>{0});
  TracingTransport trace(link_, err_);
  BlockTransport& line = o_.trace ? static_cast<BlockTransport&>(trace) : link_;
  const auto start = std::chrono::steady_clock::now();
  std::array<uint8_t, LINK_BUFFER_SIZE> drain{};
  for (int tick = 1; tick <= 10; ++tick) {
    std::this_thread::sleep_until(start + std::chrono::milliseconds(100 * tick));
    if (tick == 1) line.SendBlock(static_cast<int32_t>(stopFrame.size()), stopFrame.data());
    int32_t n = 0;
    drain.fill(0);
    line.ReceiveBlock(drain.data(), n);
  }
  link_.Close();
  return EXIT_DONE;
}

int Ctl::Backup(const std::string& file) {
  if (const int rc = OpenAndConnect()) return rc;
  FrameList frames = {QueryAllParamFrames().back()};
  for (auto& f : QueryAcqFrames()) frames.push_back(std::move(f));
  if (!Exchange(frames)) return GatewayFailure();
  Json doc = {{"format", "qv31-backup"}, {"version", 1}};
  Json keys = Json::object();
  for (const CtlKey& k : CtlKeys()) keys[std::string(k.name)] = KeyJson(k);
  doc["keys"] = keys;
  Json rows = Json::array();
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) rows.push_back(RowJson(r));
  doc["table"] = rows;
  auto hex = [](std::span<const uint8_t> b) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (const uint8_t x : b) s += {digits[x >> 4], digits[x & 15]};
    return s;
  };
  doc["images"] = {{"params", hex(session_->Params().Bytes())},
                   {"table", hex(session_->Table().Bytes())}};
  if (!WriteFileAtomically(file, doc.dump(2) + "\n"))
    return Fail(EXIT_FILE, "cannot write " + file);
  return EXIT_DONE;
}

std::optional<std::vector<uint8_t>> FromHex(const Json& j, size_t size) {
  if (!j.is_string() || j.get<std::string>().size() != size * 2) return std::nullopt;
  const std::string s = j.get<std::string>();
  std::vector<uint8_t> out(size);
  for (size_t i = 0; i < size; ++i) {
    const std::string pair = s.substr(2 * i, 2);
    if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
    out[i] = static_cast<uint8_t>(std::stoi(pair, nullptr, 16));
  }
  return out;
}

// A backup value as the text set would take; nullopt for null (nothing to restore).
std::optional<std::string> ValueText(const Json& v) {
  if (v.is_boolean()) return std::string(v.get<bool>() ? "on" : "off");
  if (v.is_number_integer()) return std::to_string(v.get<int64_t>());
  if (v.is_string()) return v.get<std::string>();
  return std::nullopt;
}

int Ctl::Restore(const std::string& file) {
  Json doc;
  {
    std::ifstream f(file, std::ios::binary);
    if (!f) return Fail(EXIT_FILE, "cannot read " + file);
    doc = Json::parse(f, nullptr, false);
  }
  if (doc.is_discarded() || !doc.is_object() || doc.value("format", "") != "qv31-backup" ||
      !doc.contains("keys") || !doc["keys"].is_object()) {
    return Fail(EXIT_FILE, file + " is not a qv31ctl backup");
  }
  std::vector<std::pair<const CtlKey*, std::string>> values;
  for (const auto& [name, v] : doc["keys"].items()) {
    const CtlKey* k = FindCtlKey(name);
    if (k == nullptr) return Fail(EXIT_FILE, file + ": unknown key " + name);
    const auto text = ValueText(v);
    if (k->kind == ValueKind::ReadOnly || !text) continue;
    std::string error;
    const auto value = NormalizeValue(*k, *text, error);
    if (!value) return Fail(EXIT_FILE, file + ": " + error);
    values.emplace_back(k, *value);
  }
  std::vector<std::array<std::string, 6>> rows(ACQ_ROW_COUNT);
  if (doc.contains("table")) {
    if (!doc["table"].is_array()) return Fail(EXIT_FILE, file + ": table is not a list of rows");
    for (const Json& row : doc["table"]) {
      const int r = row.is_object() ? row.value("row", 0) - 1 : -1;
      if (r < 0 || r >= ACQ_ROW_COUNT)
        return Fail(EXIT_FILE, file + ": a table row has no row 1..255");
      const char* fields[] = {"channel", "slave", "type", "start", "count", "buffer"};
      for (size_t f = 0; f < 6; ++f) {
        rows[r][f] = row.contains(fields[f]) ? ValueText(row[fields[f]]).value_or("") : "";
      }
    }
  }
  const Json images = doc.value("images", Json::object());
  const auto paramImage = FromHex(images.value("params", Json()), PARAM_SIZE);
  const auto tableImage = FromHex(images.value("table", Json()), ACQ_IMAGE_SIZE);

  if (const int rc = OpenAndConnect()) return rc;
  // Start from the backed-up images, so the bytes the tool carries without showing them
  // (reserved fields, header bytes 4 to 7) go back as they were; without images, from what
  // the gateway holds now.
  if (paramImage && tableImage) {
    session_->Params().Store(0, paramImage->data(), PARAM_SIZE);
    session_->Table().Store(0, tableImage->data(), ACQ_IMAGE_SIZE);
  } else {
    FrameList frames = {QueryAllParamFrames().back()};
    for (auto& f : QueryAcqFrames()) frames.push_back(std::move(f));
    if (!Exchange(frames)) return GatewayFailure();
  }
  AcqGrid& grid = session_->Grid();
  for (int b = 0; b < ACQ_BLOCK_COUNT; ++b) grid.RefreshAcqBlock(session_->Table(), b);
  if (doc.contains("table")) {
    static constexpr int kCols[] = {COL_CHANNEL, COL_SLAVE, COL_TYPE,
                                    COL_START,   COL_COUNT, COL_BUFFER};
    for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
      for (size_t f = 0; f < 6; ++f) grid.SetCell(r, kCols[f], rows[r][f]);
      grid.RecalcAcqRow(r);
    }
  }
  for (const auto& [key, value] : values) ApplyKey(*key, value);
  return WriteGroupsAndVerify(
      std::vector<KeyGroup>(std::begin(kWriteOrder), std::end(kWriteOrder)));
}

}  // namespace

int RunCtlCommand(const CtlOptions& options, std::FILE* out, std::FILE* err) {
  Ctl ctl(options, out, err);
  return ctl.Run();
}

}  // namespace qv31

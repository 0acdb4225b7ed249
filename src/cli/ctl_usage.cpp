#include "cli/ctl_usage.h"

#include <array>
#include <vector>

#include "cli/ctl_options.h"
#include "session/key_table.h"
#include "text/choice_texts.h"
#include "text/closest_name.h"

namespace qv31 {
namespace {

constexpr size_t TERM_WIDTH = 22;

struct Described {
  std::string_view term;
  std::string help;  // lines after the first start with '\n'
};

const std::array<CtlOptionSpec, 12> OPTIONS = {{
    {"--udp", "HOST[:PORT]", 0,
     "UDP to the gateway, port 2332 unless given; given again,\n"
     "to each gateway named"},
    {"--hosts", "FILE", 0,
     "UDP to each gateway in FILE: one HOST[:PORT] a line, # a\n"
     "comment (with --udp: those too); for apply, info, get and\n"
     "backup (DIR: one HOST_PORT.json each); a block, or one\n"
     "{\"gateways\": [...]} object, with each gateway's result"},
    {"--parallel", "N", 1, "at most N gateways at a time, 1 to 1024 (default 32)"},
    {"--serial", "DEVICE", 0, "serial line (a device path such as /dev/ttyUSB0), with"},
    {"--baud", "N", 1, JoinTexts(BAUD_TEXTS) + " (default 9600)"},
    {"--format", "F", 1, JoinTexts(FORMAT_TEXTS) + " (default n,8,1)"},
    {"--delay", "MS", 1,
     "quiet time that ends a received block (default 100;\n"
     "0 derives it from the baud rate)"},
    {"--json", "", 0, "print one JSON object instead of key = value lines"},
    {"--trace", "", 0,
     "write every frame sent (>) and every block received (<)\n"
     "to stderr, a line each: ms since the link opened, length,\n"
     "header, what became of it (发送, 重发, 校验错误, ...), hex"},
    {"--help", "", 0, ""},  // listed with --version below
    {"-h", "", 0, ""},
    {"--version", "", 0, ""},
}};

const std::array<Described, 13> COMMANDS = {{
    {"info", "the identity, every key, then the table rows that are not empty"},
    {"get KEY...", "the named keys"},
    {"set KEY=VALUE...",
     "change keys: each group touched is read, changed, written\n"
     "with the frames of the window's \"设置\", then read back"},
    {"table show [--all]",
     "the table rows with both computed columns (non-empty rows\nunless --all)"},
    {"table export FILE",
     "read the table and write FILE as the window's \"保存到文件\"\n"
     "does (GBK, CR LF); an existing FILE is replaced"},
    {"table import [--strict] FILE",
     "read FILE by the window's \"从文件加载\" rules over the\n"
     "gateway's table, write the table, read it back; junk\n"
     "bytes, lines without a row number 1 to 255, channels and\n"
     "types naming nothing and numbers cut to their field are\n"
     "warned of by line (--strict: refused, as is a file that\n"
     "table check FILE finds anything in; nothing sent)"},
    {"table check [FILE]",
     "the window's table checks (a channel or type naming\n"
     "nothing, a slave outside 1 to 247, a count of 0, numbers\n"
     "cut to their field, rows filling the same buffer cells)\n"
     "over the gateway's table, or over FILE read by the\n"
     "\"从文件加载\" rules into an empty table (no gateway\n"
     "asked) after the warnings of table import; a line per\n"
     "warning or finding"},
    {"stop",
     "switch acquisition off (serial only): one stop frame, then\n"
     "one second of draining replies; exit 1 when the gateway\n"
     "never acknowledged it"},
    {"backup FILE", "every key and the whole table into one JSON file"},
    {"restore [--force] FILE",
     "check the whole backup, write each group's own bytes and\n"
     "the whole table to the gateway, then read back and compare;\n"
     "a backup of another identity needs --force"},
    {"apply [--check] [--diff] FILE",
     "FILE is JSON {\"keys\": {KEY: VALUE}, \"table\": [ROW]}, both\n"
     "optional (a backup is one): checked whole, compared with\n"
     "the gateway, and only the groups and table blocks that\n"
     "differ are written, every byte not named kept as read,\n"
     "then read back; a line per change (KEY: OLD -> NEW) or\n"
     "\"unchanged\"; --check writes nothing; --diff shows rows'\n"
     "cells; --json: {\"changed\", \"diff\": {\"before\", \"after\"},\n"
     "\"written\"}"},
    {"discover [--port N] [RANGE...]",
     "find gateways (no CONNECTION): the identity read to every\n"
     "address of each RANGE (an address, ADDRESS/PREFIX with a\n"
     "prefix of 16 to 32, or FIRST-LAST) on UDP port N (2332\n"
     "unless given), without a RANGE to the broadcast address of\n"
     "each network; a line per gateway: address, port, identity"},
    {"discover --serial [DEVICE...]",
     "find the baud and format of the gateway on each serial\n"
     "port (every port listed unless named): the 54 settings,\n"
     "most common first, until one answers; a line per gateway:\n"
     "port, baud, format, identity"},
}};

constexpr std::string_view EXIT_STATUS =
    "EXIT STATUS:\n"
    "  0 done; 1 the gateway did not answer (\"通信超时\"), the read-back differs,\n"
    "  table check found something, or discover found no gateway;\n"
    "  2 usage or invalid value (nothing sent); 3 the port or socket cannot be opened;\n"
    "  4 a file refused (\"数据内容不符合\", a backup field of the wrong type or range,\n"
    "  an output that cannot be written; nothing sent); 130 stopped by SIGINT, 143 by\n"
    "  SIGTERM, at a frame boundary (a second signal stops waiting for the frame in\n"
    "  flight, a third kills). An unfinished set, table import or restore lists the\n"
    "  groups and table blocks written and not written.\n";

// "  TERM    first line\n" with the further lines under the first; a term too long for its
// column puts the text on the next line.
std::string Item(std::string_view term, std::string_view help, size_t depth = 0) {
  const std::string indent(2 + TERM_WIDTH, ' ');
  std::string line = std::string(2 + 2 * depth, ' ') + std::string(term);
  line += line.size() + 2 > indent.size() ? "\n" + indent
                                          : std::string(indent.size() - line.size(), ' ');
  for (const char c : help) line += c == '\n' ? "\n" + indent : std::string(1, c);
  return line + "\n";
}

std::string KeyValues(const CtlKey& k) {
  switch (k.kind) {
    case ValueKind::ReadOnly:
      return "read only";
    case ValueKind::OnOff:
      return "on | off";
    case ValueKind::Number:
      return std::to_string(k.min) + " to " + std::to_string(k.max) +
             (k.step > 1 ? ", a multiple of " + std::to_string(k.step) : "");
    case ValueKind::Choice:
      return JoinTexts(k.choices, " | ");
    case ValueKind::Ipv4:
      return "a.b.c.d";
    case ValueKind::Ipv4OrHost:
      return "a.b.c.d or a host name (at most 59 GBK bytes)";
  }
  return {};
}

std::string OptionsText() {
  std::string text =
      "CONNECTION (one of; without one, the link stored in the settings file\n"
      "\"配置.ini\" is used, else it is a usage error):\n";
  for (const CtlOptionSpec& o : OPTIONS) {
    if (o.help.empty()) continue;
    if (o.name == "--json") text += "\n";
    const std::string term =
        std::string(o.name) + (o.value.empty() ? "" : " ") + std::string(o.value);
    text += Item(term, o.help, static_cast<size_t>(o.depth));
  }
  return text + Item("--help, --version", "print this text, or the version, and exit");
}

}  // namespace

std::span<const CtlOptionSpec> CtlOptionSpecs() { return OPTIONS; }

const CtlOptionSpec* FindCtlOption(std::string_view arg) {
  arg = arg.substr(0, arg.find('='));
  for (const CtlOptionSpec& o : OPTIONS) {
    if (o.name == arg) return &o;
  }
  return nullptr;
}

std::span<const std::string_view> CtlOptionNames() {
  static const auto names = [] {
    std::vector<std::string_view> list;
    for (const CtlOptionSpec& o : OPTIONS) list.push_back(o.name);
    return list;
  }();
  return names;
}

std::span<const std::string_view> CtlCommandNames() {
  static const auto names = [] {
    std::vector<std::string_view> list;
    for (const Described& c : COMMANDS) {
      const std::string_view name = c.term.substr(0, c.term.find(' '));
      if (list.empty() || list.back() != name) list.push_back(name);
    }
    return list;
  }();
  return names;
}

std::string CtlUsage() {
  std::string text =
      "Usage: qv31ctl [CONNECTION] [--json] [--trace] COMMAND [ARGS]\n"
      "\n"
      "Reads and changes the settings of one QV31 gateway.\n"
      "\n" +
      OptionsText() + "\nCOMMANDS:\n";
  for (const Described& c : COMMANDS) text += Item(c.term, c.help);
  text += "\nKEYS:\n";
  for (const CtlKey& k : CtlKeys()) text += Item(k.name, KeyValues(k));
  return text + "\n" + std::string(EXIT_STATUS);
}

}  // namespace qv31

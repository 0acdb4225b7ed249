#include "cli/ctl_options.h"

#include <algorithm>
#include <string_view>

#include "cli/ctl_keys.h"
#include "text/choice_texts.h"
#include "text/number_text.h"

namespace qv31 {

bool ParseCtlOptions(const std::vector<std::string>& argv, CtlOptions& o, std::string& error) {
  bool serialDetail = false;
  size_t i = 0;
  auto value = [&](std::string_view flag, std::string& out) {
    if (i + 1 >= argv.size()) {
      error = std::string(flag) + " needs a value";
      return false;
    }
    out = argv[++i];
    return true;
  };
  for (; i < argv.size(); ++i) {
    const std::string& a = argv[i];
    if (a == "--help" || a == "-h") {
      o.help = true;
      return true;
    }
    if (a == "--version") {
      o.version = true;
      return true;
    }
    if (a == "--json") {
      o.json = true;
    } else if (a == "--trace") {
      o.trace = true;
    } else if (a == "--udp" || a == "--serial") {
      if (o.link != CtlOptions::Link::Settings) {
        error = "give one connection: --udp or --serial";
        return false;
      }
      std::string target;
      if (!value(a, target)) return false;
      if (a == "--serial") {
        o.link = CtlOptions::Link::Serial;
        o.device = target;
        continue;
      }
      o.link = CtlOptions::Link::Udp;
      const size_t colon = target.rfind(':');
      o.host = target.substr(0, colon);
      if (colon != std::string::npos) o.udpPort = target.substr(colon + 1);
      if (o.host.empty()) {
        error = "--udp needs HOST[:PORT]";
        return false;
      }
    } else if (a == "--baud" || a == "--format" || a == "--delay") {
      serialDetail = true;
      if (!value(a, a == "--baud" ? o.baud : a == "--format" ? o.format : o.delay)) return false;
    } else if (a.starts_with("--")) {
      error = "unknown option " + a;
      return false;
    } else {
      o.command = a;
      o.args.assign(argv.begin() + static_cast<std::ptrdiff_t>(i) + 1, argv.end());
      break;
    }
  }
  if (serialDetail && o.link != CtlOptions::Link::Serial) {
    error = "--baud, --format and --delay go with --serial";
    return false;
  }
  if (o.command.empty()) {
    error = "no command given";
    return false;
  }
  return true;
}

bool CheckLinkTexts(bool serial, const std::string& baud, const std::string& format,
                    const std::string& delay, const std::string& udpPort, std::string& error) {
  if (serial) {
    if (std::find(BAUD_TEXTS.begin(), BAUD_TEXTS.end(), baud) == BAUD_TEXTS.end()) {
      error = "--baud takes 1200 2400 4800 9600 14400 19200 38400 57600 115200";
    } else if (std::find(FORMAT_TEXTS.begin(), FORMAT_TEXTS.end(), format) == FORMAT_TEXTS.end()) {
      error = "--format takes n,8,1 o,8,1 e,8,1 n,8,2 o,8,2 e,8,2";
    } else if (delay.empty() || delay.find_first_not_of("0123456789") != std::string::npos) {
      error = "--delay takes a whole number of milliseconds, 0 or more";
    }
    return error.empty();
  }
  const int64_t p = LeadingDecimal(udpPort);
  if (udpPort.find_first_not_of("0123456789") != std::string::npos || p < 1 || p > 65535) {
    error = "the UDP port must be a number from 1 to 65535, not \"" + udpPort + "\"";
    return false;
  }
  return true;
}

std::string CtlUsage() {
  std::string keys;
  for (const CtlKey& k : CtlKeys()) {
    std::string line = "  " + std::string(k.name);
    line.resize(22, ' ');
    switch (k.kind) {
      case ValueKind::ReadOnly:
        line += "read only";
        break;
      case ValueKind::OnOff:
        line += "on | off";
        break;
      case ValueKind::Number:
        line += std::to_string(k.min) + " to " + std::to_string(k.max) +
                (k.step > 1 ? ", a multiple of " + std::to_string(k.step) : "");
        break;
      case ValueKind::Choice:
        for (size_t c = 0; c < k.choices.size(); ++c) {
          line += (c ? " | " : "") + std::string(k.choices[c]);
        }
        break;
      case ValueKind::Ipv4:
        line += "a.b.c.d";
        break;
      case ValueKind::Ipv4OrHost:
        line += "a.b.c.d or a host name (at most 59 GBK bytes)";
        break;
    }
    keys += line + "\n";
  }
  return "Usage: qv31ctl [CONNECTION] [--json] [--trace] COMMAND [ARGS]\n"
         "\n"
         "Reads and changes the settings of one QV31 gateway.\n"
         "\n"
         "CONNECTION (one of; without one, the link stored in the settings file\n"
         "\"配置.ini\" is used, else it is a usage error):\n"
         "  --udp HOST[:PORT]     UDP to the gateway, port 2332 unless given\n"
         "  --serial DEVICE       serial line (a device path such as /dev/ttyUSB0), with\n"
         "    --baud N            1200 2400 4800 9600 14400 19200 38400 57600 115200 (default "
         "9600)\n"
         "    --format F          n,8,1 o,8,1 e,8,1 n,8,2 o,8,2 e,8,2 (default n,8,1)\n"
         "    --delay MS          quiet time that ends a received block (default 100;\n"
         "                        0 derives it from the baud rate)\n"
         "\n"
         "  --json                print one JSON object instead of key = value lines\n"
         "  --trace               write every frame sent (>) and every block received (<)\n"
         "                        to stderr, a line each: ms since the link opened, length,\n"
         "                        header, what became of it (发送, 重发, 校验错误, ...), hex\n"
         "  --help, --version     print this text, or the version, and exit\n"
         "\n"
         "COMMANDS:\n"
         "  info                  the identity, every key, then the table rows that are not empty\n"
         "  get KEY...            the named keys\n"
         "  set KEY=VALUE...      change keys: each group touched is read, changed, written\n"
         "                        with the frames of the window's \"设置\", then read back\n"
         "  table show [--all]    the table rows with both computed columns (non-empty rows\n"
         "                        unless --all)\n"
         "  table export FILE     read the table and write FILE as the window's \"保存到文件\"\n"
         "                        does (GBK, CR LF); an existing FILE is replaced\n"
         "  table import [--strict] FILE\n"
         "                        read FILE by the window's \"从文件加载\" rules over the\n"
         "                        gateway's table, write the table, read it back; lines\n"
         "                        without a row number 1 to 255 and numbers cut to their\n"
         "                        field are warned of (--strict: refused, nothing sent)\n"
         "  table check [FILE]    the window's table checks (a channel or type naming\n"
         "                        nothing, a slave outside 1 to 247, a count of 0, numbers\n"
         "                        cut to their field, rows filling the same buffer cells)\n"
         "                        over the gateway's table, or over FILE read by the\n"
         "                        \"从文件加载\" rules into an empty table (no gateway\n"
         "                        asked); a line per finding\n"
         "  stop                  switch acquisition off (serial only): one stop frame, then\n"
         "                        one second of draining replies\n"
         "  backup FILE           every key and the whole table into one JSON file\n"
         "  restore FILE          check the whole backup, write it to the gateway, then read\n"
         "                        back and compare\n"
         "  discover [--port N] [RANGE...]\n"
         "                        find gateways (no CONNECTION): the identity read to every\n"
         "                        address of each RANGE (an address, ADDRESS/PREFIX with a\n"
         "                        prefix of 16 to 32, or FIRST-LAST) on UDP port N (2332\n"
         "                        unless given), without a RANGE to the broadcast address of\n"
         "                        each network; a line per gateway: address, port, identity\n"
         "  discover --serial [DEVICE...]\n"
         "                        find the baud and format of the gateway on each serial\n"
         "                        port (every port listed unless named): the 54 settings,\n"
         "                        most common first, until one answers; a line per gateway:\n"
         "                        port, baud, format, identity\n"
         "\n"
         "KEYS:\n" +
         keys +
         "\n"
         "EXIT STATUS:\n"
         "  0 done; 1 the gateway did not answer (\"通信超时\"), the read-back differs,\n"
         "  table check found something, or discover found no gateway;\n"
         "  2 usage or invalid value (nothing sent); 3 the port or socket cannot be opened;\n"
         "  4 a file refused (\"数据内容不符合\", a backup field of the wrong type or range,\n"
         "  an output that cannot be written; nothing sent); 130 stopped by SIGINT, 143 by\n"
         "  SIGTERM, at a frame boundary. An unfinished set, table import or restore lists\n"
         "  the groups and table blocks written and not written.\n";
}

}  // namespace qv31

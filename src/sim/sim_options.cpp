#include "sim/sim_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string>

#include "text/choice_texts.h"

namespace qv31 {
namespace {

constexpr uint32_t MS_MAX = 3'600'000;  // an hour is more than any test waits
constexpr uint32_t PACE_BAUD_MAX = 4'000'000;

bool ParseUnsigned(std::string_view text, uint32_t low, uint32_t high, uint32_t& value) {
  uint32_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  if (v < low || v > high) return false;
  value = v;
  return true;
}

struct Parser {
  std::span<const std::string> args;
  size_t at = 0;
  std::string& error;

  // The value of option `name`: "--name=value" or the next argument.
  std::optional<std::string> Value(std::string_view name, std::optional<std::string> attached) {
    if (attached) return attached;
    if (at + 1 < args.size()) return args[++at];
    error = std::string(name) + " needs a value";
    return std::nullopt;
  }
  bool Number(std::string_view name, std::optional<std::string> attached, uint32_t low,
              uint32_t high, uint32_t& out) {
    const auto text = Value(name, std::move(attached));
    if (!text) return false;
    if (ParseUnsigned(*text, low, high, out)) return true;
    error = std::string(name) + " needs a whole number from " + std::to_string(low) + " to " +
            std::to_string(high) + ", not \"" + *text + "\"";
    return false;
  }
};

}  // namespace

bool ParseUdpEndpoint(std::string_view text, UdpEndpoint& endpoint) {
  const size_t colon = text.rfind(':');
  std::string_view host = SIM_DEFAULT_HOST;
  std::string_view port = text;
  if (colon != std::string_view::npos) {
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.empty()) return false;
  }
  uint32_t value = 0;
  if (!ParseUnsigned(port, 0, 65535, value)) return false;
  endpoint.host = host;
  endpoint.port = static_cast<uint16_t>(value);
  return true;
}

int ParseSimOptions(std::span<const std::string> args, SimOptions& options, std::string& error) {
  Parser p{args, 0, error};
  bool baudGiven = false;
  bool formatGiven = false;
  FaultOptions& faults = options.settings.faults;
  for (; p.at < args.size(); ++p.at) {
    std::string name = args[p.at];
    std::optional<std::string> attached;
    if (const size_t eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
      attached = name.substr(eq + 1);
      name.resize(eq);
    }
    bool ok = true;
    uint32_t n = 0;
    if (name == "--udp") {
      const auto text = p.Value(name, attached);
      UdpEndpoint endpoint;
      ok = text && ParseUdpEndpoint(*text, endpoint);
      if (text && !ok) error = "--udp needs [HOST:]PORT, not \"" + *text + "\"";
      if (ok) options.udp.push_back(endpoint);
    } else if (name == "--pty") {
      options.pty = true;
      if (attached) {
        options.ptyLink = *attached;
      } else if (p.at + 1 < args.size() && args[p.at + 1].rfind('-', 0) != 0) {
        options.ptyLink = args[++p.at];
      }
    } else if (name == "--serial") {
      const auto text = p.Value(name, attached);
      ok = text.has_value() && !text->empty();
      if (ok) options.serialDevice = *text;
      if (text && !ok) error = "--serial needs a device path";
    } else if (name == "--baud") {
      // A serial device runs at one of the tool's own rates and formats.
      ok = p.Number(name, attached, 1, UINT32_MAX, options.serialBaud);
      if (ok && std::find(BAUD_TEXTS.begin(), BAUD_TEXTS.end(),
                          std::to_string(options.serialBaud)) == BAUD_TEXTS.end()) {
        error = "--baud must be one of 1200 2400 4800 9600 14400 19200 38400 57600 115200";
        ok = false;
      }
      baudGiven = true;
    } else if (name == "--format") {
      const auto text = p.Value(name, attached);
      ok = text && std::find(FORMAT_TEXTS.begin(), FORMAT_TEXTS.end(), *text) != FORMAT_TEXTS.end();
      if (text && !ok) error = "--format must be one of n,8,1 o,8,1 e,8,1 n,8,2 o,8,2 e,8,2";
      if (ok) options.serialFormat = *text;
      formatGiven = true;
    } else if (name == "--state") {
      const auto text = p.Value(name, attached);
      ok = text.has_value() && !text->empty();
      if (ok) options.settings.statePath = *text;
      if (text && !ok) error = "--state needs a file path";
    } else if (name == "--identity") {
      const auto text = p.Value(name, attached);
      ok = text.has_value();
      if (ok) options.identity = *text;
    } else if (name == "--pace") {
      ok = p.Number(name, attached, 1, PACE_BAUD_MAX, options.settings.paceBaud);
    } else if (name == "--drop") {
      ok = p.Number(name, attached, 1, UINT32_MAX, faults.drop);
    } else if (name == "--delay") {
      ok = p.Number(name, attached, 0, MS_MAX, faults.delayMs);
    } else if (name == "--split") {
      ok = p.Number(name, attached, 0, MS_MAX, n);
      if (ok) faults.splitMs = n;
    } else if (name == "--corrupt") {
      ok = p.Number(name, attached, 1, UINT32_MAX, faults.corrupt);
    } else if (name == "--stray-byte" || name == "--silent" || name == "--verbose" ||
               name == "--help" || name == "-h" || name == "--version") {
      if (attached) {
        error = name + " takes no value";
        return -1;
      }
      if (name == "--stray-byte") faults.strayByte = true;
      if (name == "--silent") faults.silent = true;
      if (name == "--verbose") options.settings.verbose = true;
      if (name == "--help" || name == "-h") options.help = true;
      if (name == "--version") options.version = true;
    } else {
      error = "unknown option \"" + args[p.at] + "\"";
      return -1;
    }
    if (!ok) return -1;
  }
  if ((baudGiven || formatGiven) && options.serialDevice.empty()) {
    error = "--baud and --format apply to --serial only";
    return -1;
  }
  if (options.settings.paceBaud != 0 && !options.pty && options.serialDevice.empty()) {
    error = "--pace applies to --pty and --serial only";
    return -1;
  }
  if (options.udp.empty() && !options.pty && options.serialDevice.empty()) {
    options.udp.push_back({std::string(SIM_DEFAULT_HOST), SIM_DEFAULT_PORT});
  }
  return 1;
}

std::string SimUsage() {
  return R"(Usage: qv31-sim [OPTIONS]
A QV31 gateway that lives in memory and answers the configurator over UDP, a pseudo-terminal
or a serial device.

Listeners (without any: UDP on 127.0.0.1:2332):
  --udp [HOST:]PORT    listen on UDP (repeatable); port 0 picks a free one; host 127.0.0.1
  --pty [LINK]         create a pseudo-terminal; with LINK, also a symbolic link to it there
  --serial DEVICE      answer on a serial device, with --baud N (9600) and --format F (n,8,1)
State:
  --state FILE         load memory from FILE when it exists; save it after every accepted
                       write and at exit (JSON)
  --identity TEXT      the identity text (at most 18 bytes in GBK)
Line:
  --pace BAUD          write replies on --pty/--serial at 10 bits per byte at BAUD
Faults (counted from the start):
  --drop N             no reply to every Nth answerable request
  --delay MS           send each reply MS milliseconds late
  --split MS           send each reply in two parts, MS milliseconds apart
  --corrupt N          every Nth reply with a wrong CRC
  --stray-byte         one extra byte behind every reply
  --silent             never reply
Other:
  --verbose            log every frame in and out, and what was done, on stderr
  --help, --version

At start one line per listener ("udp 127.0.0.1:2332", "pty /dev/pts/7"), then "ready".
SIGINT or SIGTERM ends it (state saved). Exit status: 0 done, 2 bad option, 3 cannot open
a port, device or state file.
)";
}

}  // namespace qv31

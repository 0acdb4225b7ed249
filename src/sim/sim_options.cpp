#include "sim/sim_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <array>
#include <charconv>
#include <map>

#include "text/choice_texts.h"
#include "text/closest_name.h"

namespace qv31 {
namespace {

constexpr uint32_t MS_MAX = 3'600'000;  // an hour is more than any test waits
constexpr uint32_t PACE_BAUD_MAX = 4'000'000;

enum class Takes : uint8_t { Nothing, Text, Number, MaybeText };

// One option of qv31-sim: the parser and --help both read this table.
struct SimOptionSpec {
  std::string_view name;
  Takes takes;
  std::string_view value;      // placeholder in --help
  std::string_view help;       // empty: listed with its neighbour
  uint32_t low = 0, high = 0;  // Number: inclusive range
};

const std::array<SimOptionSpec, 18> OPTIONS = {{
    {"--udp", Takes::Text, "[HOST:]PORT",
     "listen on UDP (repeatable); port 0 picks a free one; host 127.0.0.1"},
    {"--pty", Takes::MaybeText, "[LINK]",
     "create a pseudo-terminal; with LINK, also a symbolic link to it there"},
    {"--serial", Takes::Text, "DEVICE",
     "answer on a serial device, with --baud N (9600) and --format F (n,8,1)"},
    {"--baud", Takes::Number, "N", "", 1, UINT32_MAX},
    {"--format", Takes::Text, "F", ""},
    {"--state", Takes::Text, "FILE",
     "load memory from FILE when it exists; save it after every accepted\n"
     "write and at exit (JSON)"},
    {"--identity", Takes::Text, "TEXT", "the identity text (at most 18 bytes in GBK)"},
    {"--pace", Takes::Number, "BAUD", "write replies on --pty/--serial at 10 bits per byte at BAUD",
     1, PACE_BAUD_MAX},
    {"--drop", Takes::Number, "N", "no reply to every Nth answerable request", 1, UINT32_MAX},
    {"--delay", Takes::Number, "MS", "send each reply MS milliseconds late", 0, MS_MAX},
    {"--split", Takes::Number, "MS", "send each reply in two parts, MS milliseconds apart", 0,
     MS_MAX},
    {"--corrupt", Takes::Number, "N", "every Nth reply with a wrong CRC", 1, UINT32_MAX},
    {"--stray-byte", Takes::Nothing, "", "one extra byte behind every reply"},
    {"--silent", Takes::Nothing, "", "never reply"},
    {"--verbose", Takes::Nothing, "", "log every frame in and out, and what was done, on stderr"},
    {"--help", Takes::Nothing, "", ""},
    {"-h", Takes::Nothing, "", ""},
    {"--version", Takes::Nothing, "", ""},
}};

// The headings of --help, each before the option it names.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> SECTIONS = {{
    {"--udp", "Listeners (without any: UDP on 127.0.0.1:2332):"},
    {"--state", "State:"},
    {"--pace", "Line:"},
    {"--drop", "Faults (counted from the start):"},
    {"--verbose", "Other:"},
}};

const SimOptionSpec* FindOption(std::string_view arg) {
  arg = arg.substr(0, arg.find('='));
  for (const SimOptionSpec& o : OPTIONS) {
    if (o.name == arg) return &o;
  }
  return nullptr;
}

bool ParseUnsigned(std::string_view text, uint32_t low, uint32_t high, uint32_t& value) {
  uint32_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return false;
  if (v < low || v > high) return false;
  value = v;
  return true;
}

bool LooksLikeOption(std::string_view arg) { return arg.size() > 1 && arg[0] == '-'; }

// What CLI11 would let through: the next option taken as a value (`--state --silent`), an
// empty value, a value given to a flag. Returns the message, or "".
std::string MisusedOption(std::span<const std::string> args) {
  for (size_t i = 0; i < args.size(); ++i) {
    const SimOptionSpec* spec = FindOption(args[i]);
    if (spec == nullptr || spec->takes == Takes::MaybeText) continue;
    const size_t eq = args[i].find('=');
    const std::string name(spec->name);
    if (spec->takes == Takes::Nothing) {
      if (eq != std::string::npos) return name + " takes no value";
    } else if (eq == std::string::npos) {
      if (i + 1 >= args.size() || LooksLikeOption(args[i + 1])) return name + " needs a value";
      ++i;
    } else if (eq + 1 == args[i].size()) {
      return name + " needs a value";
    }
  }
  return {};
}

// The values as typed; the numbers are read and checked after CLI11 is done.
struct Typed {
  std::map<std::string_view, std::string> texts;
  std::vector<std::string> udp;
  std::map<std::string_view, bool> flags;
};

void AddOptions(CLI::App& app, Typed& typed) {
  app.set_help_flag();
  app.allow_extras();  // reported below, with the nearest option
  for (const SimOptionSpec& o : OPTIONS) {
    const std::string name(o.name);
    if (o.name == "--udp") {
      app.add_option(name, typed.udp);
    } else if (o.takes == Takes::Nothing) {
      app.add_flag(name, typed.flags[o.name]);
    } else if (o.takes == Takes::MaybeText) {
      app.add_option(name, typed.texts[o.name])->expected(0, 1);
    } else {
      app.add_option(name, typed.texts[o.name]);
    }
  }
}

bool TakeNumbers(const CLI::App& app, Typed& typed, SimOptions& options, std::string& error) {
  FaultOptions& faults = options.settings.faults;
  uint32_t split = 0;
  const std::map<std::string_view, uint32_t*> targets = {{"--baud", &options.serialBaud},
                                                         {"--pace", &options.settings.paceBaud},
                                                         {"--drop", &faults.drop},
                                                         {"--delay", &faults.delayMs},
                                                         {"--split", &split},
                                                         {"--corrupt", &faults.corrupt}};
  for (const auto& [name, target] : targets) {
    if (app.count(std::string(name)) == 0) continue;
    const SimOptionSpec& o = *FindOption(name);
    const std::string& text = typed.texts[name];
    if (!ParseUnsigned(text, o.low, o.high, *target)) {
      error = std::string(name) + " needs a whole number from " + std::to_string(o.low) + " to " +
              std::to_string(o.high) + ", not \"" + text + "\"";
      return false;
    }
  }
  if (app.count("--split") > 0) faults.splitMs = split;
  // A serial device runs at one of the tool's own rates and formats.
  if (app.count("--baud") > 0 &&
      std::find(BAUD_TEXTS.begin(), BAUD_TEXTS.end(), std::to_string(options.serialBaud)) ==
          BAUD_TEXTS.end()) {
    error = "--baud must be one of " + JoinTexts(BAUD_TEXTS);
  }
  return error.empty();
}

bool TakeTexts(const CLI::App& app, Typed& typed, SimOptions& options, std::string& error) {
  for (const std::string& text : typed.udp) {
    UdpEndpoint endpoint;
    if (!ParseUdpEndpoint(text, endpoint)) {
      error = "--udp needs [HOST:]PORT, not \"" + text + "\"";
      return false;
    }
    options.udp.push_back(endpoint);
  }
  options.pty = app.count("--pty") > 0;
  options.ptyLink = typed.texts["--pty"];
  options.serialDevice = typed.texts["--serial"];
  options.settings.statePath = typed.texts["--state"];
  if (app.count("--identity") > 0) options.identity = typed.texts["--identity"];
  if (app.count("--format") > 0) {
    options.serialFormat = typed.texts["--format"];
    if (std::find(FORMAT_TEXTS.begin(), FORMAT_TEXTS.end(), options.serialFormat) ==
        FORMAT_TEXTS.end()) {
      error = "--format must be one of " + JoinTexts(FORMAT_TEXTS);
    }
  }
  FaultOptions& faults = options.settings.faults;
  faults.strayByte = typed.flags["--stray-byte"];
  faults.silent = typed.flags["--silent"];
  options.settings.verbose = typed.flags["--verbose"];
  options.help = typed.flags["--help"] || typed.flags["-h"];
  options.version = typed.flags["--version"];
  return error.empty();
}

bool CheckTogether(const CLI::App& app, SimOptions& options, std::string& error) {
  if (app.count("--baud") + app.count("--format") > 0 && options.serialDevice.empty()) {
    error = "--baud and --format apply to --serial only";
  } else if (options.settings.paceBaud != 0 && !options.pty && options.serialDevice.empty()) {
    error = "--pace applies to --pty and --serial only";
  }
  return error.empty();
}

std::string Extra(const std::vector<std::string>& extras) {
  const std::string& first = extras.front();
  if (!LooksLikeOption(first)) return "unexpected argument \"" + first + "\"";
  std::vector<std::string_view> names;
  for (const SimOptionSpec& o : OPTIONS) names.push_back(o.name);
  const std::string name = first.substr(0, first.find('='));
  return "unknown option " + name + DidYouMean(name, names);
}

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
  if (error = MisusedOption(args); !error.empty()) return -1;
  CLI::App app("", "qv31-sim");
  Typed typed;
  AddOptions(app, typed);
  std::vector<std::string> reversed(args.rbegin(), args.rend());  // as CLI11 wants them
  try {
    app.parse(reversed);
  } catch (const CLI::Error& e) {
    error = e.what();
    return -1;
  }
  if (!app.remaining().empty()) {
    error = Extra(app.remaining());
    return -1;
  }
  if (!TakeTexts(app, typed, options, error) || !TakeNumbers(app, typed, options, error) ||
      !CheckTogether(app, options, error)) {
    return -1;
  }
  if (options.udp.empty() && !options.pty && options.serialDevice.empty()) {
    options.udp.push_back({std::string(SIM_DEFAULT_HOST), SIM_DEFAULT_PORT});
  }
  return 1;
}

std::string SimUsage() {
  std::string text =
      "Usage: qv31-sim [OPTIONS]\n"
      "A QV31 gateway that lives in memory and answers the configurator over UDP, a "
      "pseudo-terminal\nor a serial device.\n\n";
  for (const SimOptionSpec& o : OPTIONS) {
    for (const auto& [before, heading] : SECTIONS) {
      if (before == o.name) text += std::string(heading) + "\n";
    }
    if (o.help.empty()) continue;
    std::string line = "  " + std::string(o.name) + " " + std::string(o.value);
    line.resize(23, ' ');
    for (const char c : o.help)
      line += c == '\n' ? std::string("\n") + std::string(23, ' ') : std::string(1, c);
    text += line + "\n";
  }
  return text +
         "  --help, --version\n"
         "\n"
         "At start one line per listener (\"udp 127.0.0.1:2332\", \"pty /dev/pts/7\"), then "
         "\"ready\".\n"
         "SIGINT or SIGTERM ends it (state saved). Exit status: 0 done, 2 bad option, 3 cannot "
         "open\n"
         "a port, device or state file.\n";
}

}  // namespace qv31

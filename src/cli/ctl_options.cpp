#include "cli/ctl_options.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <nlohmann/json.hpp>
#include <string_view>

#include "cli/ctl_usage.h"
#include "session/key_table.h"
#include "settings/link_settings.h"
#include "text/choice_texts.h"
#include "text/closest_name.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

constexpr std::string_view SEE_HELP = "; see qv31ctl --help";

bool LooksLikeOption(std::string_view arg) { return arg.size() > 1 && arg[0] == '-'; }

// CLI11 takes the word after an option as its value even when it is the next option
// (`--udp --trace info` would open "--trace"); a value that is missing or looks like an
// option is refused here instead, and so is a value given to a flag. Returns the message.
std::string MisusedOption(const std::vector<std::string>& argv, bool& json) {
  for (size_t i = 0; i < argv.size() && LooksLikeOption(argv[i]); ++i) {
    const std::string& a = argv[i];
    json |= a == "--json";
    const CtlOptionSpec* spec = FindCtlOption(a);
    if (spec == nullptr) continue;
    const size_t eq = a.find('=');
    const std::string name(spec->name);
    if (spec->value.empty()) {
      if (eq != std::string::npos) return name + " takes no value";
    } else if (eq == std::string::npos) {
      if (i + 1 >= argv.size() || LooksLikeOption(argv[i + 1])) return name + " needs a value";
      ++i;
    } else if (eq + 1 == a.size()) {
      return name + " needs a value";
    }
  }
  return {};
}

void AddOptions(CLI::App& app, CtlOptions& o, std::vector<std::string>& udpTargets,
                std::string& device) {
  app.set_help_flag();
  app.prefix_command();  // the command and everything after it are left for the command
  app.add_flag("--help,-h", o.help)->disable_flag_override();
  app.add_flag("--version", o.version)->disable_flag_override();
  app.add_flag("--json", o.json)->disable_flag_override();
  app.add_flag("--trace", o.trace)->disable_flag_override();
  auto* udp = app.add_option("--udp", udpTargets)
                  ->allow_extra_args(false)
                  ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  auto* hosts = app.add_option("--hosts", o.hostsFile);
  auto* serial = app.add_option("--serial", device);
  udp->excludes(serial);
  hosts->excludes(serial);
  app.add_option("--parallel", o.parallel);
  app.add_option("--baud", o.baud);
  app.add_option("--format", o.format);
  app.add_option("--delay", o.delay);
}

// The checks on what CLI11 accepted; false with `error` set.
bool CheckParsed(const CLI::App& app, CtlOptions& o, const std::vector<std::string>& udpTargets,
                 const std::string& device, std::string& error) {
  const bool serialDetail = app.count("--baud") + app.count("--format") + app.count("--delay") > 0;
  if (app.count("--serial") > 0) {
    o.link = CtlOptions::Link::Serial;
    o.device = device;
  } else if (app.count("--udp") > 0) {
    o.link = CtlOptions::Link::Udp;
    for (const std::string& t : udpTargets) {
      std::string host, port;
      SplitTarget(t, host, port);
      if (host.empty()) error = "--udp needs HOST[:PORT]";
    }
    SplitTarget(udpTargets.front(), o.host, o.udpPort);
    if (udpTargets.size() > 1) o.targets = udpTargets;
  }
  if (app.count("--hosts") > 0) {
    o.link = CtlOptions::Link::Udp;
    o.targets = udpTargets;
  }
  if (error.empty() && app.count("--parallel") > 0 && o.targets.empty() && o.hostsFile.empty()) {
    error = "--parallel goes with several gateways (--hosts, or --udp given again)";
  }
  if (error.empty() && serialDetail && o.link != CtlOptions::Link::Serial) {
    error = "--baud, --format and --delay go with --serial";
  }
  return error.empty();
}

// The first word left after the options: an unknown option, a known command, or a mistake.
bool TakeCommand(std::vector<std::string> rest, CtlOptions& o, std::string& error) {
  if (rest.empty()) {
    if (!o.help && !o.version) error = "no command given";
    return error.empty();
  }
  if (LooksLikeOption(rest[0])) {
    const std::string name = rest[0].substr(0, rest[0].find('='));
    error = "unknown option " + name + DidYouMean(name, CtlOptionNames());
    return false;
  }
  const auto commands = CtlCommandNames();
  if (std::find(commands.begin(), commands.end(), rest[0]) == commands.end()) {
    error = "unknown command " + rest[0] + DidYouMean(rest[0], commands);
    return false;
  }
  o.command = rest[0];
  o.args.assign(rest.begin() + 1, rest.end());
  return true;
}

}  // namespace

bool ParseCtlOptions(const std::vector<std::string>& argv, CtlOptions& o, std::string& error) {
  if (error = MisusedOption(argv, o.json); !error.empty()) {
    error += SEE_HELP;
    return false;
  }
  CLI::App app("", "qv31ctl");
  std::vector<std::string> udpTargets;
  std::string device;
  AddOptions(app, o, udpTargets, device);
  // CLI11 wants argv without the program name, last argument first.
  std::vector<std::string> reversed(argv.rbegin(), argv.rend());
  try {
    app.parse(reversed);
  } catch (const CLI::Error& e) {
    error = std::string(e.what()) + std::string(SEE_HELP);
    return false;
  }
  if (!CheckParsed(app, o, udpTargets, device, error) || !TakeCommand(app.remaining(), o, error)) {
    error += SEE_HELP;
    return false;
  }
  return true;
}

bool CheckLinkTexts(bool serial, const std::string& baud, const std::string& format,
                    const std::string& delay, const std::string& udpPort, std::string& error) {
  if (serial) {
    if (std::find(BAUD_TEXTS.begin(), BAUD_TEXTS.end(), baud) == BAUD_TEXTS.end()) {
      error = "--baud takes " + JoinTexts(BAUD_TEXTS);
    } else if (std::find(FORMAT_TEXTS.begin(), FORMAT_TEXTS.end(), format) == FORMAT_TEXTS.end()) {
      error = "--format takes " + JoinTexts(FORMAT_TEXTS);
    } else if (!IsDelayText(delay)) {
      error = "--delay takes a whole number of milliseconds from 0 to " +
              std::to_string(DELAY_MAX_MS) + ", not \"" + delay + "\"";
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

void SplitTarget(const std::string& target, std::string& host, std::string& port) {
  const size_t colon = target.rfind(':');
  host = target.substr(0, colon);
  if (colon != std::string::npos) port = target.substr(colon + 1);
}

int ReportCtlError(bool json, int status, const std::string& message, std::FILE* out,
                   std::FILE* err) {
  std::fprintf(err, "qv31ctl: %s\n", message.c_str());
  if (json) {
    // A path or a value from the command line may not be UTF-8; JSON output must be.
    const nlohmann::json doc{{"error", message}, {"exit", status}};
    std::fprintf(out, "%s\n",
                 doc.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
  }
  return status;
}

}  // namespace qv31

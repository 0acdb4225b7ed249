// The command lines of all three programs, run for real: what each one accepts, and the one
// line it prints for a mistake.
#include <gtest/gtest.h>

#include "ctl_test_support.h"

namespace qv31 {
namespace {

constexpr const char* CTL = QV31CTL_PATH;
constexpr const char* SIM = QV31_SIM_PATH;

struct OptionCase {
  const char* program;
  std::vector<std::string> args;
  int status;
  std::string line;  // the first of stdout when `onStdout`, else the last of stderr (Qt may
                     // have something to say before)
  bool onStdout = false;
};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string LastLine(std::string text) {
  if (text.ends_with('\n')) text.pop_back();
  return text.substr(text.rfind('\n') + 1);
}

TEST_F(CtlTest, CommandLinesOfEveryProgram) {
  SimProcess sim;
  const std::string udp = StartSim(sim, "s.json");
  std::vector<OptionCase> cases = {
      {CTL, {"--udp=" + udp, "get", "4g.station"}, 0, "4g.station = 1", true},
      {CTL, {"--json", "--udp", udp, "get", "4g.station"}, 0, "{", true},
      {CTL, {"--udp", "--trace", "info"}, 2, "qv31ctl: --udp needs a value; see qv31ctl --help"},
      {CTL, {"--trace", "--udp"}, 2, "qv31ctl: --udp needs a value; see qv31ctl --help"},
      {CTL, {"--udp=", "info"}, 2, "qv31ctl: --udp needs a value; see qv31ctl --help"},
      {CTL, {"--json=yes", "info"}, 2, "qv31ctl: --json takes no value; see qv31ctl --help"},
      {CTL,
       {"--udpx", udp, "info"},
       2,
       "qv31ctl: unknown option --udpx (did you mean --udp?); see qv31ctl --help"},
      {CTL,
       {"--ud", udp, "info"},
       2,
       "qv31ctl: unknown option --ud (did you mean --udp?); see "
       "qv31ctl --help"},
      {CTL,
       {"--udp", udp, "inof"},
       2,
       "qv31ctl: unknown command inof (did you mean info?); see "
       "qv31ctl --help"},
      {CTL,
       {"--udp", udp, "get", "4g.statoin"},
       2,
       "qv31ctl: unknown key 4g.statoin (did you mean 4g.station?); see qv31ctl --help"},
      {CTL,
       {"--json", "--udp", udp, "set", "4g.statoin=3"},
       2,
       R"j({"error":"unknown key 4g.statoin (did you mean 4g.station?)","exit":2})j",
       true},
      {CTL,
       {"--json", "--bogus", "info"},
       2,
       R"j({"error":"unknown option --bogus; see qv31ctl --help","exit":2})j",
       true},
      {CTL,
       {"--udp", "a", "--serial", "b", "info"},
       2,
       "qv31ctl: --udp excludes --serial; see "
       "qv31ctl --help"},
      {CTL,
       {"--udp", "127.0.0.1:9", "--parallel", "3", "info"},
       2,
       "qv31ctl: --parallel goes with several gateways (--hosts, or --udp given again); see "
       "qv31ctl --help"},
      {CTL,
       {"--udp", "127.0.0.1:9", "--udp", "127.0.0.1:99999", "get", "4g.station"},
       2,
       "qv31ctl: 127.0.0.1:99999: the UDP port must be a number from 1 to 65535, not \"99999\""},
      {CTL,
       {"--udp", "127.0.0.1:9", "--udp", "127.0.0.1:10", "set", "4g.station=3"},
       2,
       "qv31ctl: several gateways are for apply, info, get and backup, not set"},
      {CTL, {"--version"}, 0, "qv31ctl " QV31_VERSION, true},
      {CTL, {"--help"}, 0, "Usage: qv31ctl [CONNECTION] [--json] [--trace] COMMAND [ARGS]", true},
      {SIM, {"--state", "--silent"}, 2, "qv31-sim: --state needs a value; see qv31-sim --help"},
      {SIM, {"--silent=1"}, 2, "qv31-sim: --silent takes no value; see qv31-sim --help"},
      {SIM,
       {"--dorp", "3"},
       2,
       "qv31-sim: unknown option --dorp (did you mean --drop?); see "
       "qv31-sim --help"},
      {SIM,
       {"--drop=0"},
       2,
       "qv31-sim: --drop needs a whole number from 1 to 4294967295, not "
       "\"0\"; see qv31-sim --help"},
      {SIM, {"stray"}, 2, "qv31-sim: unexpected argument \"stray\"; see qv31-sim --help"},
      {SIM, {"--version"}, 0, "qv31-sim " QV31_VERSION, true},
  };
#ifdef QV31_CONFIG_PATH
  const std::vector<OptionCase> window = {
      {QV31_CONFIG_PATH,
       {"--udp"},
       2,
       "qv31-config: Missing value after '--udp'; see "
       "qv31-config --help"},
      {QV31_CONFIG_PATH,
       {"--udp", "--settings-dir", "x"},
       2,
       "qv31-config: --udp needs a value; "
       "see qv31-config --help"},
      {QV31_CONFIG_PATH,
       {"--settings-directory", "x"},
       2,
       "qv31-config: unknown option --settings-directory; see qv31-config --help"},
      {QV31_CONFIG_PATH,
       {"--udpx", "x"},
       2,
       "qv31-config: unknown option --udpx (did you mean --udp?); see qv31-config --help"},
      {QV31_CONFIG_PATH,
       {"--lang", "fr"},
       2,
       "qv31-config: --lang takes zh or en, not fr; see qv31-config --help"},
      {QV31_CONFIG_PATH, {"--version"}, 0, "qv31-config " QV31_VERSION, true},
  };
  cases.insert(cases.end(), window.begin(), window.end());
#endif
  for (const OptionCase& c : cases) {
    const CtlRun run = Ctl(c.args, c.program);
    const std::string where = std::string(c.program) + " " + c.args.front();
    EXPECT_EQ(run.status, c.status) << where << ": " << run.err;
    EXPECT_EQ(c.onStdout ? FirstLine(run.out) : LastLine(run.err), c.line) << where;
  }
}

}  // namespace
}  // namespace qv31

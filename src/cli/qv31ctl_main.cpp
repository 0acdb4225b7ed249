#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/ctl_commands.h"
#include "cli/ctl_options.h"

int main(int argc, char** argv) {
  std::setlocale(LC_ALL, "");
  const std::vector<std::string> args(argv + 1, argv + argc);
  qv31::CtlOptions options;
  std::string error;
  if (!qv31::ParseCtlOptions(args, options, error)) {
    return qv31::ReportCtlError(options.json, qv31::EXIT_USAGE, error, stdout, stderr);
  }
  if (options.help) {
    std::fputs(qv31::CtlUsage().c_str(), stdout);
    return qv31::EXIT_DONE;
  }
  if (options.version) {
    std::printf("qv31ctl %s\n", QV31_VERSION);
    return qv31::EXIT_DONE;
  }
  return qv31::RunCtlCommand(options, stdout, stderr);
}

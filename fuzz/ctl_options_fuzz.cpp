// Splits arbitrary bytes at NUL bytes into a qv31ctl command line, parses it and checks the
// link texts it gives; an accepted line has a command unless it asks for help or the version.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "cli/ctl_options.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> argv;
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  while (!rest.empty()) {
    const size_t nul = rest.find('\0');
    argv.emplace_back(rest.substr(0, nul));
    rest.remove_prefix(nul == std::string_view::npos ? rest.size() : nul + 1);
  }
  qv31::CtlOptions o;
  std::string error;
  if (!qv31::ParseCtlOptions(argv, o, error)) {
    if (error.empty()) std::abort();
    return 0;
  }
  if (o.command.empty() && !o.help && !o.version) std::abort();
  std::string linkError;
  const bool serial = o.link == qv31::CtlOptions::Link::Serial;
  if (!qv31::CheckLinkTexts(serial, o.baud, o.format, o.delay, o.udpPort, linkError) &&
      linkError.empty()) {
    std::abort();
  }
  return 0;
}

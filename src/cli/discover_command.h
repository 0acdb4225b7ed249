#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "cli/ctl_options.h"
#include "link/link_frame.h"

namespace qv31 {

struct DiscoverRequest {
  bool serial = false;               // --serial: scan serial lines for their settings
  uint16_t port = GATEWAY_UDP_PORT;  // --port, for the network search
  std::vector<std::string> items;    // RANGEs, or with --serial device paths
  bool json = false;
  bool progress = false;  // show the serial scan's progress (stderr is a terminal)
};

// The arguments after "discover": [--port N] [RANGE...] or --serial [DEVICE...]. False with
// `error` set on a usage error.
bool ParseDiscoverArgs(const std::vector<std::string>& args, DiscoverRequest& request,
                       std::string& error);

// `qv31ctl discover`: gateways found go to `out` (a line each, or one JSON document),
// messages and progress to `err`. 0 when any gateway answered, 1 when none did, 2 for a bad
// range, 3 when no serial port could be opened at all, 128 + a signal when interrupted.
int RunDiscover(const DiscoverRequest& request, std::FILE* out, std::FILE* err);

// The command as qv31ctl runs it: its arguments from `options`, progress when `err` is a
// terminal.
int DiscoverCommand(const CtlOptions& options, std::FILE* out, std::FILE* err);

}  // namespace qv31

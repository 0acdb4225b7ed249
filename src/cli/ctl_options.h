#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "link/link_frame.h"

namespace qv31 {

// Exit statuses of qv31ctl; scripts depend on them.
enum CtlExit : int {
  EXIT_DONE = 0,
  EXIT_GATEWAY = 1,   // no answer ("通信超时"), link lost, or the read-back differs
  EXIT_FINDINGS = 1,  // table check found something
  EXIT_USAGE = 2,     // usage or an invalid value; nothing was sent
  EXIT_OPEN = 3,      // the port or socket cannot be opened
  EXIT_FILE = 4,  // a file refused ("数据内容不符合", a malformed backup, an unwritable output)
  // 128 + the signal (130 SIGINT, 143 SIGTERM): stopped at a frame boundary.
};

struct CtlOptions {
  enum class Link { Settings, Udp, Serial };
  Link link = Link::Settings;
  std::string host;
  std::string udpPort = std::to_string(GATEWAY_UDP_PORT);
  std::string device;
  std::string baud = "9600";
  std::string format = "n,8,1";
  std::string delay = "100";
  // Several gateways: every --udp beyond the first, or --hosts FILE (read when the command
  // runs); at most `parallel` at a time.
  std::vector<std::string> targets;
  std::string hostsFile;
  std::string parallel = "32";
  bool json = false;
  bool trace = false;
  bool help = false;
  bool version = false;
  std::string command;
  std::vector<std::string> args;
};

// Parses the command line (argv[0] excluded): options, then a known command and its arguments.
// On a usage error returns false with `error` set to one line; `options.json` is set whenever
// --json came before the command, so the error can be reported in that form.
bool ParseCtlOptions(const std::vector<std::string>& argv, CtlOptions& options, std::string& error);

// The link texts as the window would use them, checked: for serial the baud and format from
// their lists and the delay a whole number; for UDP the port 1 to 65535. On a refusal returns
// false with `error` naming what is allowed.
bool CheckLinkTexts(bool serial, const std::string& baud, const std::string& format,
                    const std::string& delay, const std::string& udpPort, std::string& error);

// "HOST[:PORT]" into the host and, when given, the port.
void SplitTarget(const std::string& target, std::string& host, std::string& port);

std::string CtlUsage();

// "qv31ctl: message" on `err`; under --json also {"error": message, "exit": status} on `out`.
// Returns `status`.
int ReportCtlError(bool json, int status, const std::string& message, std::FILE* out,
                   std::FILE* err);

}  // namespace qv31

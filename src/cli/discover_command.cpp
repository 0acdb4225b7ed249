#include "cli/discover_command.h"

#include <unistd.h>

#include <nlohmann/json.hpp>

#include "cli/ctl_context.h"
#include "cli/ctl_options.h"
#include "cli/interrupt.h"
#include "text/number_text.h"
#include "transport/gateway_search.h"
#include "transport/port_discovery.h"
#include "transport/serial_scan.h"

namespace qv31 {
namespace {

using Json = nlohmann::ordered_json;

int Fail(const DiscoverRequest& r, std::FILE* out, std::FILE* err, int status,
         const std::string& message) {
  return ReportCtlError(r.json, status, message, out, err);
}

void PrintDocument(std::FILE* out, const Json& gateways) {
  std::fprintf(out, "%s\n", Json{{"gateways", gateways}}.dump(2).c_str());
}

int Interrupted(std::FILE* err) {
  std::fprintf(err, "qv31ctl: discover stopped\n");
  return InterruptedStatus();
}

int SearchNetwork(const DiscoverRequest& r, std::FILE* out, std::FILE* err) {
  std::vector<uint32_t> targets;
  for (const std::string& range : r.items) {
    if (ExpandAddressRange(range, targets) < 0) {
      return Fail(r, out, err, EXIT_USAGE,
                  "bad range \"" + range +
                      "\": give an address, ADDRESS/PREFIX (prefix 16 to 32) or FIRST-LAST");
    }
  }
  if (r.items.empty()) targets = LocalBroadcastTargets();
  GatewaySearch search;
  if (!RunGatewaySearch(search, targets, r.port, {}, [] { return CaughtSignal() == 0; })) {
    return Fail(r, out, err, EXIT_OPEN, "无法打开UDP端口！ " + search.ErrorText());
  }
  Json list = Json::array();
  for (const FoundGateway& g : search.Found()) {
    if (r.json) {
      list.push_back(
          {{"address", Ipv4Text(g.address)}, {"port", g.port}, {"identity", g.identity}});
    } else {
      std::fprintf(out, "%-15s %5u  %s\n", Ipv4Text(g.address).c_str(), g.port, g.identity.c_str());
    }
  }
  if (r.json) PrintDocument(out, list);
  if (CaughtSignal() != 0) return Interrupted(err);
  return search.Found().empty() ? EXIT_GATEWAY : EXIT_DONE;
}

// Progress on one line of the terminal, rewritten for each try.
void ShowTry(std::FILE* err, const std::string& device, const SerialScan& scan, int& shown) {
  if (scan.TryNumber() == shown) return;
  shown = scan.TryNumber();
  const LineTry t = scan.Current();
  std::fprintf(err, "\r\033[K%s: try %d of %d, %u %.*s", device.c_str(), shown, scan.TryCount(),
               t.baud, static_cast<int>(t.format.size()), t.format.data());
  std::fflush(err);
}

int ScanSerial(const DiscoverRequest& r, std::FILE* out, std::FILE* err) {
  const std::vector<std::string> devices = r.items.empty() ? DiscoverSerialPorts() : r.items;
  if (devices.empty()) return Fail(r, out, err, EXIT_OPEN, "no serial ports found");
  Json list = Json::array();
  int opened = 0;
  int found = 0;
  std::string openError;
  for (const std::string& device : devices) {
    SerialScan scan;
    int shown = 0;
    const ScanState state = RunSerialScan(scan, device, [&](const SerialScan& s) {
      if (r.progress) ShowTry(err, device, s, shown);
      return CaughtSignal() == 0;
    });
    if (r.progress) std::fprintf(err, "\r\033[K");
    if (state == ScanState::OpenFailed) {
      openError = "cannot open " + LinkErrorLine(scan.OpenError());
      if (devices.size() > 1) std::fprintf(err, "qv31ctl: %s\n", openError.c_str());
      continue;
    }
    ++opened;
    if (state == ScanState::Cancelled) break;
    if (state == ScanState::Lost)
      std::fprintf(err, "qv31ctl: %s: the port went away\n", device.c_str());
    if (state != ScanState::Found) continue;
    ++found;
    const LineTry t = scan.Current();
    if (r.json) {
      list.push_back({{"port", device},
                      {"baud", t.baud},
                      {"format", std::string(t.format)},
                      {"identity", scan.Identity()}});
    } else {
      std::fprintf(out, "%s %u %.*s  %s\n", device.c_str(), t.baud,
                   static_cast<int>(t.format.size()), t.format.data(), scan.Identity().c_str());
      std::fflush(out);
    }
  }
  if (opened == 0 && CaughtSignal() == 0) {
    return Fail(r, out, err, EXIT_OPEN,
                devices.size() > 1 ? "no serial port could be opened" : openError);
  }
  if (r.json) PrintDocument(out, list);
  if (CaughtSignal() != 0) return Interrupted(err);
  return found > 0 ? EXIT_DONE : EXIT_GATEWAY;
}

}  // namespace

bool ParseDiscoverArgs(const std::vector<std::string>& args, DiscoverRequest& r,
                       std::string& error) {
  bool portGiven = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--serial") {
      r.serial = true;
    } else if (a == "--port") {
      const std::string text = i + 1 < args.size() ? args[++i] : "";
      const int64_t n = LeadingDecimal(text);
      if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || n < 1 ||
          n > 65535) {
        error = "--port needs a UDP port from 1 to 65535";
        return false;
      }
      r.port = static_cast<uint16_t>(n);
      portGiven = true;
    } else if (a.starts_with("--")) {
      error = "unknown option " + a + " for discover";
      return false;
    } else {
      r.items.push_back(a);
    }
  }
  if (r.serial && portGiven) {
    error = "--port goes with a network search, not --serial";
    return false;
  }
  return true;
}

int RunDiscover(const DiscoverRequest& request, std::FILE* out, std::FILE* err) {
  CatchInterrupts();
  return request.serial ? ScanSerial(request, out, err) : SearchNetwork(request, out, err);
}

int DiscoverCommand(const CtlOptions& options, std::FILE* out, std::FILE* err) {
  DiscoverRequest request;
  std::string error;
  if (options.link != CtlOptions::Link::Settings) {
    error = "discover takes no connection; give ranges or --serial [DEVICE...]";
  } else {
    ParseDiscoverArgs(options.args, request, error);
  }
  request.json = options.json;
  if (!error.empty()) return Fail(request, out, err, EXIT_USAGE, error + "; see qv31ctl --help");
  request.progress = ::isatty(::fileno(err)) != 0;
  return RunDiscover(request, out, err);
}

}  // namespace qv31

#include "cli/fleet.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "cli/backup_commands.h"
#include "cli/ctl_commands.h"
#include "cli/memory_stream.h"
#include "text/number_text.h"

namespace qv31 {
namespace {

using Json = nlohmann::ordered_json;

constexpr int64_t PARALLEL_MAX = 1024;

struct GatewayRun {
  std::string target;
  std::string file;  // backup: where this gateway's backup goes
  int status = -1;
  std::string out, err;
};

// The gateways of --hosts FILE and --udp, in order; false with `error` set.
bool ReadTargets(const CtlOptions& o, std::vector<std::string>& targets, std::string& error) {
  targets = o.targets;
  if (o.hostsFile.empty()) return true;
  std::string text;
  if (!ReadText(o.hostsFile, text, error)) return false;
  std::istringstream lines(text);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    ++number;
    line = line.substr(0, line.find('#'));
    const auto first = line.find_first_not_of(" \t\r");
    if (first == std::string::npos) continue;
    line = line.substr(first, line.find_last_not_of(" \t\r") + 1 - first);
    if (line.find_first_of(" \t") != std::string::npos) {
      error = o.hostsFile + " line " + std::to_string(number) + ": one HOST[:PORT] a line";
      return false;
    }
    targets.push_back(line);
  }
  if (targets.empty()) error = o.hostsFile + " names no gateway";
  return error.empty();
}

bool CheckTargets(const std::vector<std::string>& targets, std::string& error) {
  for (const std::string& t : targets) {
    std::string host, port = std::to_string(GATEWAY_UDP_PORT);
    SplitTarget(t, host, port);
    if (host.empty()) {
      error = "\"" + t + "\" is not HOST[:PORT]";
      return false;
    }
    if (!CheckLinkTexts(false, "", "", "", port, error)) {
      error = t + ": " + error;
      return false;
    }
  }
  return true;
}

// The backup directory, made when missing; one file per gateway in it.
bool PrepareBackups(const std::string& dir, std::vector<GatewayRun>& runs, std::string& error) {
  namespace fs = std::filesystem;
  // A UTF-8 name on either system.
  const fs::path path(std::u8string(dir.begin(), dir.end()));
  std::error_code ec;
  fs::create_directories(path, ec);
  if (!fs::is_directory(path, ec)) {
    error = "with several gateways, backup takes a directory, and " + dir + " is not one";
    return false;
  }
  for (GatewayRun& r : runs) {
    std::string name = r.target;
    std::replace(name.begin(), name.end(), ':', '_');
    std::replace(name.begin(), name.end(), '/', '_');
    r.file = dir + "/" + name + ".json";
  }
  return true;
}

void RunOne(const CtlOptions& o, GatewayRun& run) {
  CtlOptions one = o;
  one.targets.clear();
  one.hostsFile.clear();
  one.link = CtlOptions::Link::Udp;
  one.udpPort = std::to_string(GATEWAY_UDP_PORT);
  SplitTarget(run.target, one.host, one.udpPort);
  if (!run.file.empty()) one.args = {run.file};
  MemoryStream out, err;
  run.status = RunCtlCommand(one, out.File(), err.File());
  run.out = out.Close();
  run.err = err.Close();
}

Json GatewayJson(const CtlOptions& o, const GatewayRun& r) {
  Json entry = {{"host", r.target}};
  const Json doc = Json::parse(r.out, nullptr, false);
  if (o.command == "apply") entry["changed"] = nullptr, entry["diff"] = nullptr;
  if (doc.is_object()) {
    for (const auto& [k, v] : doc.items()) entry[k] = v;
  }
  if (!r.file.empty()) entry["file"] = r.file;
  if (r.status == EXIT_DONE) {
    entry["error"] = nullptr;
  } else if (!entry.contains("error")) {
    entry["error"] = r.err.empty() ? "exit status " + std::to_string(r.status) : r.err;
  }
  entry["exit"] = r.status;
  return entry;
}

void PrintRuns(const CtlOptions& o, const std::vector<GatewayRun>& runs, std::FILE* out) {
  if (o.json) {
    Json list = Json::array();
    for (const GatewayRun& r : runs) list.push_back(GatewayJson(o, r));
    const Json doc = {{"gateways", list}};
    std::fprintf(out, "%s\n", doc.dump(2, ' ', false, Json::error_handler_t::replace).c_str());
    return;
  }
  for (size_t i = 0; i < runs.size(); ++i) {
    const GatewayRun& r = runs[i];
    std::fprintf(out, "%s== %s: %s\n", i ? "\n" : "", r.target.c_str(),
                 r.status == EXIT_DONE ? "done" : ("exit " + std::to_string(r.status)).c_str());
    std::fputs(r.out.c_str(), out);
    std::fputs(r.err.c_str(), out);
    if (!r.file.empty() && r.status == EXIT_DONE)
      std::fprintf(out, "backup in %s\n", r.file.c_str());
  }
}

}  // namespace

bool IsFleet(const CtlOptions& o) { return !o.targets.empty() || !o.hostsFile.empty(); }

int RunFleet(const CtlOptions& o, std::FILE* out, std::FILE* err) {
  auto fail = [&](int status, const std::string& message) {
    return ReportCtlError(o.json, status, message, out, err);
  };
  const std::string& c = o.command;
  if (c != "apply" && c != "info" && c != "get" && c != "backup") {
    return fail(EXIT_USAGE, "several gateways are for apply, info, get and backup, not " + c);
  }
  const int64_t parallel = LeadingDecimal(o.parallel);
  if (o.parallel.find_first_not_of("0123456789") != std::string::npos || parallel < 1 ||
      parallel > PARALLEL_MAX) {
    return fail(EXIT_USAGE, "--parallel takes a whole number from 1 to 1024");
  }
  std::vector<std::string> targets;
  std::string error;
  if (!ReadTargets(o, targets, error)) return fail(EXIT_FILE, error);
  if (!CheckTargets(targets, error)) return fail(EXIT_USAGE, error);
  std::vector<GatewayRun> runs(targets.size());
  for (size_t i = 0; i < targets.size(); ++i) runs[i].target = targets[i];
  if (c == "backup" && (o.args.size() != 1 || !PrepareBackups(o.args[0], runs, error))) {
    return fail(o.args.size() != 1 ? EXIT_USAGE : EXIT_FILE,
                error.empty() ? "backup takes one DIR" : error);
  }

  std::atomic<size_t> next{0};
  std::vector<std::thread> workers;
  const size_t count = std::min(runs.size(), static_cast<size_t>(parallel));
  for (size_t w = 0; w < count; ++w) {
    workers.emplace_back([&] {
      for (size_t i = next++; i < runs.size(); i = next++) RunOne(o, runs[i]);
    });
  }
  for (std::thread& t : workers) t.join();

  PrintRuns(o, runs, out);
  int status = EXIT_DONE, failed = 0;
  for (const GatewayRun& r : runs) {
    status = std::max(status, r.status);
    failed += r.status != EXIT_DONE;
  }
  if (failed > 0) {
    std::fprintf(err, "qv31ctl: %d of %zu gateways failed\n", failed, runs.size());
  }
  return status;
}

}  // namespace qv31

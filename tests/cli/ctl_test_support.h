// What the end-to-end tests of qv31ctl share: running the real program, a simulator with
// a state file, and reading --trace.
#pragma once

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <regex>
#include <sstream>

#include "file_bytes.h"
#include "link/link_frame.h"
#include "sim/factory_state.h"
#include "sim/gateway_memory.h"
#include "sim/sim_process.h"
#include "transport/pty_pair.h"

namespace qv31 {

using simtest::Changed;
using simtest::SimProcess;
namespace fs = std::filesystem;

// One line of --trace: "  530 ms >   16 B 区1 读 地址6 长度320 | 重发 | 4F 3F ...".
struct TraceRecord {
  int64_t ms;
  bool sent;
  size_t length;
  std::string header, fate;
  Bytes bytes;
};

// The trace lines of a run's stderr; its other lines are skipped.
inline std::vector<TraceRecord> TraceRecords(const std::string& err) {
  static const std::regex line(R"(^ *(\d+) ms ([<>]) +(\d+) B (.*) \| (.*) \| ([0-9A-F ]*)$)");
  std::vector<TraceRecord> records;
  std::istringstream lines(err);
  for (std::string text; std::getline(lines, text);) {
    std::smatch m;
    if (!std::regex_match(text, m, line)) continue;
    TraceRecord r{std::stoll(m[1]), m[2] == ">", std::stoul(m[3]), m[4], m[5], {}};
    std::istringstream hex(m[6]);
    for (std::string x; hex >> x;)
      r.bytes.push_back(static_cast<uint8_t>(std::stoi(x, nullptr, 16)));
    records.push_back(std::move(r));
  }
  return records;
}

// Headers of the frames a --trace run sent (">") in order, repeats included.
inline std::vector<FrameHeader> SentHeaders(const std::string& err) {
  std::vector<FrameHeader> sent;
  for (const TraceRecord& r : TraceRecords(err)) {
    const Bytes& b = r.bytes;
    if (r.sent && b.size() >= 14) {
      sent.push_back({b[8], b[9], uint16_t(b[10] | b[11] << 8), uint16_t(b[12] | b[13] << 8)});
    }
  }
  return sent;
}

inline std::vector<int64_t> SendTimesMs(const std::string& err) {
  std::vector<int64_t> t;
  for (const TraceRecord& r : TraceRecords(err)) {
    if (r.sent) t.push_back(r.ms);
  }
  return t;
}

struct CtlRun {
  int status = -1;
  std::string out;
  std::string err;
  int64_t ms = 0;
};

class CtlTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(temp_.Dir().empty()); }

  std::string Path(const std::string& name) const { return temp_.Path(name); }

  // Starts qv31ctl (or another program) with stdout and stderr in files, in the test's own
  // directory so no settings file of another run is found.
  pid_t Spawn(std::vector<std::string> args, const char* program = QV31CTL_PATH) const {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, Path("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    posix_spawn_file_actions_addopen(&actions, 2, Path("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    pid_t pid = -1;
    std::string xdg = "XDG_CONFIG_HOME=" + temp_.Dir().string();
    std::string platform = "QT_QPA_PLATFORM=offscreen";
    std::vector<char*> env = {xdg.data(), platform.data(), nullptr};
    if (posix_spawn(&pid, program, &actions, nullptr, argv.data(), env.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
  }
  CtlRun Wait(pid_t pid, int64_t start) const {
    CtlRun run;
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid) {
      run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    run.ms = SteadyMs() - start;
    run.out = ReadBytes(Path("out"));
    run.err = ReadBytes(Path("err"));
    return run;
  }
  // Runs qv31ctl (or another program) to its end.
  CtlRun Ctl(std::vector<std::string> args, const char* program = QV31CTL_PATH) const {
    const int64_t start = SteadyMs();
    return Wait(Spawn(std::move(args), program), start);
  }

  // A simulator on UDP with a state file, so its memory can be compared.
  std::string StartSim(SimProcess& sim, const std::string& state,
                       std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--udp", "127.0.0.1:0", "--state", Path(state)};
    args.insert(args.end(), extra.begin(), extra.end());
    EXPECT_TRUE(sim.Start(args));
    return "127.0.0.1:" + std::to_string(sim.UdpPort());
  }
  GatewayMemory Memory(const std::string& state) const { return simtest::StateMemory(Path(state)); }
  // Waits until a spawned run's --trace shows `frame` sent; true when it did within `ms`.
  bool WaitUntilSent(const FrameHeader& frame, int ms) const {
    return WaitFor(
        [&] {
          const auto sent = SentHeaders(ReadBytes(Path("err")));
          return std::find(sent.begin(), sent.end(), frame) != sent.end();
        },
        ms);
  }

  TempDir temp_{"qv31ctl"};
};

}  // namespace qv31

// Wall time and peak memory of `qv31ctl --udp 127.0.0.1:PORT info` against the simulator.
// Each frame needs at least two 10 ms engine ticks (send, then the reply on the next tick),
// so info's six frames (identity, whole image, four table blocks) have a floor of 120 ms.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kRuns = 30;
constexpr double kFloorMs = 6 * 20.0;

pid_t Spawn(std::vector<std::string> args, int out) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out, 1);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), nullptr) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

int main() {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return 1;
  const pid_t sim = Spawn({QV31_SIM_PATH, "--udp", "127.0.0.1:0"}, pipeFds[1]);
  close(pipeFds[1]);
  std::string banner;
  char chunk[256];
  while (banner.find("ready\n") == std::string::npos) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (poll(&p, 1, 5000) <= 0) return 1;
    const ssize_t n = read(pipeFds[0], chunk, sizeof chunk);
    if (n <= 0) return 1;
    banner.append(chunk, static_cast<size_t>(n));
  }
  const size_t at = banner.find("udp ") + 4;
  const std::string addr = banner.substr(at, banner.find('\n', at) - at);
  const int devnull = open("/dev/null", O_WRONLY);

  std::vector<double> ms;
  int failures = 0;
  for (int i = 0; i < kRuns; ++i) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t ctl = Spawn({QV31CTL_PATH, "--udp", addr, "info"}, devnull);
    int status = 0;
    waitpid(ctl, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) ++failures;
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                     .count());
  }
  kill(sim, SIGTERM);
  waitpid(sim, nullptr, 0);

  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);  // the largest child: qv31ctl or the simulator
  std::sort(ms.begin(), ms.end());
  const double median = ms[ms.size() / 2];
  std::printf(
      "qv31ctl info over UDP: median %.1f ms over %d runs (min %.1f, max %.1f), "
      "%.2f x the 120 ms tick floor, peak RSS %.1f MB, %d failed\n",
      median, kRuns, ms.front(), ms.back(), median / kFloorMs, usage.ru_maxrss / 1024.0, failures);
  return failures == 0 ? 0 : 1;
}

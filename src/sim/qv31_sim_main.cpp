// qv31-sim: a QV31 gateway in memory, answering over UDP, a pseudo-terminal or a serial device.
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "sim/factory_state.h"
#include "sim/pty_line.h"
#include "sim/serial_device_line.h"
#include "sim/sim_options.h"
#include "sim/sim_server.h"
#include "sim/state_file.h"

namespace {

int stopPipe[2] = {-1, -1};

extern "C" void OnStopSignal(int) {
  const int saved = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = write(stopPipe[1], &byte, 1);
  errno = saved;
}

bool InstallStopSignals() {
  if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (const int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);
  return true;
}

int Fail(int status, const std::string& message) {
  std::fprintf(stderr, "qv31-sim: %s\n", message.c_str());
  return status;
}

// The listeners the options name, opened and added to `server`; one start line each.
struct Listeners {
  std::vector<std::unique_ptr<qv31::UdpListener>> udp;
  qv31::PtyLine pty;
  qv31::SerialDeviceLine serial;
  std::vector<std::string> banner;

  int Open(const qv31::SimOptions& options, qv31::SimServer& server, std::string& error) {
    for (const qv31::UdpEndpoint& endpoint : options.udp) {
      udp.push_back(std::make_unique<qv31::UdpListener>());
      if (udp.back()->Open(endpoint.host, endpoint.port, error) < 0) return -1;
      server.AddUdp(*udp.back());
      banner.push_back("udp " + udp.back()->Name());
    }
    if (options.pty) {
      if (pty.Open(options.ptyLink, error) < 0) return -1;
      server.AddLine(pty);
      banner.push_back(pty.Name());
    }
    if (!options.serialDevice.empty()) {
      if (serial.Open(options.serialDevice, options.serialBaud, options.serialFormat, error) < 0) {
        return -1;
      }
      server.AddLine(serial);
      banner.push_back(serial.Name());
    }
    return 1;
  }
};

// The memory to start from: the state file's when there is one, then the identity given.
// The state is written at once, so a path that cannot take it fails now, not at the first write.
int LoadMemory(const qv31::SimOptions& options, qv31::GatewayMemory& memory, std::string& error) {
  const std::string& statePath = options.settings.statePath;
  if (!statePath.empty() && qv31::LoadStateFile(statePath, memory, error) < 0) return -1;
  if (options.identity) memory.SetIdentityText(*options.identity);
  if (!statePath.empty() && qv31::SaveStateFile(statePath, memory, error) < 0) return -1;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace qv31;
  const std::vector<std::string> args(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (ParseSimOptions(args, options, error) < 0) {
    return Fail(SIM_EXIT_USAGE, error + "; see qv31-sim --help");
  }
  if (options.help) {
    std::fputs(SimUsage().c_str(), stdout);
    return SIM_EXIT_OK;
  }
  if (options.version) {
    std::printf("qv31-sim %s\n", QV31_VERSION);
    return SIM_EXIT_OK;
  }
  GatewayMemory memory = FactoryMemory();
  if (LoadMemory(options, memory, error) < 0) return Fail(SIM_EXIT_CANNOT_OPEN, error);
  if (!InstallStopSignals()) return Fail(SIM_EXIT_CANNOT_OPEN, "cannot create a pipe");

  SimServer server(memory, options.settings, stderr);
  Listeners listeners;
  if (listeners.Open(options, server, error) < 0) return Fail(SIM_EXIT_CANNOT_OPEN, error);
  for (const std::string& line : listeners.banner) std::printf("%s\n", line.c_str());
  std::printf("ready\n");
  std::fflush(stdout);

  const int served = server.Run(stopPipe[0]);
  const int saved = server.SaveState();
  listeners.pty.Close();
  if (served < 0) return Fail(SIM_EXIT_CANNOT_OPEN, "every listener was lost");
  return saved < 0 ? SIM_EXIT_CANNOT_OPEN : SIM_EXIT_OK;
}

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

}  // namespace

int main(int argc, char** argv) {
  using namespace qv31;
  const std::vector<std::string> args(argv + 1, argv + argc);
  SimOptions options;
  std::string error;
  if (ParseSimOptions(args, options, error) < 0) {
    return Fail(SIM_EXIT_USAGE, error + " (see qv31-sim --help)");
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
  const std::string& statePath = options.settings.statePath;
  if (!statePath.empty() && LoadStateFile(statePath, memory, error) < 0) {
    return Fail(SIM_EXIT_CANNOT_OPEN, error);
  }
  if (options.identity) memory.SetIdentityText(*options.identity);
  // Written at once, so a path that cannot take the state fails now and not at the first write.
  if (!statePath.empty() && SaveStateFile(statePath, memory, error) < 0) {
    return Fail(SIM_EXIT_CANNOT_OPEN, error);
  }
  if (!InstallStopSignals()) return Fail(SIM_EXIT_CANNOT_OPEN, "cannot create a pipe");

  SimServer server(memory, options.settings, stderr);
  std::vector<std::unique_ptr<UdpListener>> udp;
  std::vector<std::string> banner;
  for (const UdpEndpoint& endpoint : options.udp) {
    udp.push_back(std::make_unique<UdpListener>());
    if (udp.back()->Open(endpoint.host, endpoint.port, error) < 0)
      return Fail(SIM_EXIT_CANNOT_OPEN, error);
    server.AddUdp(*udp.back());
    banner.push_back("udp " + udp.back()->Name());
  }
  PtyLine pty;
  if (options.pty) {
    if (pty.Open(options.ptyLink, error) < 0) return Fail(SIM_EXIT_CANNOT_OPEN, error);
    server.AddLine(pty);
    banner.push_back(pty.Name());
  }
  SerialDeviceLine serial;
  if (!options.serialDevice.empty()) {
    if (serial.Open(options.serialDevice, options.serialBaud, options.serialFormat, error) < 0) {
      return Fail(SIM_EXIT_CANNOT_OPEN, error);
    }
    server.AddLine(serial);
    banner.push_back(serial.Name());
  }
  for (const std::string& line : banner) std::printf("%s\n", line.c_str());
  std::printf("ready\n");
  std::fflush(stdout);

  const int served = server.Run(stopPipe[0]);
  const int saved = server.SaveState();
  pty.Close();
  if (served < 0) return Fail(SIM_EXIT_CANNOT_OPEN, "every listener was lost");
  return saved < 0 ? SIM_EXIT_CANNOT_OPEN : SIM_EXIT_OK;
}

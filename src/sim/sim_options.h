#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_frame.h"
#include "sim/sim_server.h"

namespace qv31 {

constexpr std::string_view SIM_DEFAULT_HOST = "127.0.0.1";
constexpr uint16_t SIM_DEFAULT_PORT = GATEWAY_UDP_PORT;
constexpr uint32_t SIM_DEFAULT_BAUD = 9600;
constexpr std::string_view SIM_DEFAULT_FORMAT = "n,8,1";

// Exit statuses of qv31-sim.
constexpr int SIM_EXIT_OK = 0;
constexpr int SIM_EXIT_USAGE = 2;
constexpr int SIM_EXIT_CANNOT_OPEN = 3;

struct UdpEndpoint {
  std::string host;
  uint16_t port = 0;
};

struct SimOptions {
  std::vector<UdpEndpoint> udp;
  bool pty = false;
  std::string ptyLink;  // empty: no link
  std::string serialDevice;
  uint32_t serialBaud = SIM_DEFAULT_BAUD;
  std::string serialFormat{SIM_DEFAULT_FORMAT};
  std::optional<std::string> identity;  // UTF-8
  SimSettings settings;                 // faults, pace, state path, verbose
  bool help = false;
  bool version = false;
};

// The command line without the program name. 1 when parsed (with the default listener when
// none was named), -1 with `error` set.
int ParseSimOptions(std::span<const std::string> args, SimOptions& options, std::string& error);

// "[HOST:]PORT" with the host defaulting to 127.0.0.1; false when it is not one.
bool ParseUdpEndpoint(std::string_view text, UdpEndpoint& layout);

std::string SimUsage();

}  // namespace qv31

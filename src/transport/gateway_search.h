#pragma once

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "transport/link_transport.h"
#include "transport/search_socket.h"

namespace qv31 {

// IPv4 addresses are held in host byte order throughout.

// Adds the addresses of one range to `out`: an address ("192.168.1.254"), a network
// ("192.168.1.0/24", prefix 16 to 32; its network and broadcast addresses are left out when
// the prefix is 30 or shorter) or "FIRST-LAST" (at most 65536 addresses). -1 for a text that
// is none of these, else the count added.
int32_t ExpandAddressRange(std::string_view text, std::vector<uint32_t>& out);

// The broadcast address of every IPv4 interface that is up, then 255.255.255.255.
std::vector<uint32_t> LocalBroadcastTargets();

std::string Ipv4Text(uint32_t address);

struct FoundGateway {
  uint32_t address = 0;
  uint16_t port = 0;
  std::string identity;  // UTF-8
  bool operator==(const FoundGateway&) const = default;
};

struct SearchTiming {
  int32_t replyTimeoutMs = UDP_REPLY_TIMEOUT_MS;  // collecting after the last send
  int32_t repeatAfterMs = 100;                    // the second round, for datagrams lost
};

// Sends the identity read to many addresses at once from one non-blocking socket, paced only
// by the socket buffer, repeats it once to the addresses that have not answered, and collects
// identity replies from any sender until one reply time-out after the last send. Driven by
// Step() with a millisecond clock (32-bit, wrapping) so that a window can run it from a timer;
// RunGatewaySearch drives it with poll for the command line.
class GatewaySearch {
 public:
  GatewaySearch() = default;
  ~GatewaySearch();
  GatewaySearch(const GatewaySearch&) = delete;
  GatewaySearch& operator=(const GatewaySearch&) = delete;

  // Opens the socket (broadcasts allowed) and begins. False when it cannot be created;
  // ErrorText() then says why.
  bool Start(std::vector<uint32_t> targets, uint16_t port, uint32_t nowMs,
             SearchTiming timing = {});
  // Takes every reply waiting and sends what is due. False once the search is over.
  bool Step(uint32_t nowMs);
  // Ends the search now, keeping what was found.
  void Stop();

  bool Running() const { return phase_ != Phase::Done; }
  // How long a caller may wait before the next Step, in ms.
  int32_t WaitMs(uint32_t nowMs) const;
  // Waits up to `ms` for a reply, or for room to send while a full buffer holds a round up.
  void Wait(int32_t ms) const;

  // Each gateway once (by address and port), sorted by address, then port.
  const std::vector<FoundGateway>& Found() const { return found_; }
  int32_t DatagramsSent() const { return sent_; }
  const std::string& ErrorText() const { return errorText_; }

 private:
  enum class Phase { Sending, Pausing, Collecting, Done };

  void TakeReplies();
  void SendRound(uint32_t nowMs);

  SearchSocket socket_;
  Phase phase_ = Phase::Done;
  std::vector<uint32_t> targets_;
  uint16_t port_ = 0;
  SearchTiming timing_;
  int round_ = 0;
  size_t next_ = 0;
  uint32_t phaseEndsMs_ = 0;
  SearchSocket::Sent held_ = SearchSocket::Sent::Done;  // why a round stopped short
  int32_t sent_ = 0;
  std::set<uint32_t> answered_;
  std::vector<FoundGateway> found_;
  std::string errorText_;
};

// Runs a search to its end on the steady clock, waiting in poll between steps; `keepGoing`
// (when given) is asked at least every 50 ms and ends the search early when it says false.
// False when the socket could not be opened.
bool RunGatewaySearch(GatewaySearch& search, std::vector<uint32_t> targets, uint16_t port,
                      SearchTiming timing = {}, const std::function<bool()>& keepGoing = {});

// A steady millisecond clock, 32-bit and wrapping like the engine's.
uint32_t SteadyMs32();

}  // namespace qv31

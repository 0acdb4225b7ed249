#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "transport/link_transport.h"
#include "transport/serial_line.h"

namespace qv31 {

// One baud and format to try, as the link's choice lists name them.
struct LineTry {
  uint32_t baud = 0;
  std::string_view format;
  bool operator==(const LineTry&) const = default;
};

// Every baud with every format (54 tries), the settings gateways are most often left at
// first: 9600 n,8,1, then the other bauds with n,8,1, then each other format with every baud
// in the same order.
std::span<const LineTry> SerialScanOrder();

// Added to a try's line time for the gateway to notice the request's end and turn round.
constexpr int32_t PROBE_MARGIN_MS = 200;

// How long a try waits for the reply: the line time of the identity read and its reply at
// the try's baud and format, plus `marginMs`.
int32_t ProbeTimeoutMs(const LineTry& settings, int32_t marginMs = PROBE_MARGIN_MS);

enum class ScanState : uint8_t { Running, Found, NotFound, Cancelled, OpenFailed, Lost };

// Finds the baud and format a gateway on a serial line answers at: opens the line at each
// setting of SerialScanOrder in turn, sends the identity read and waits one probe time-out
// for an identity reply whose CRC holds (noise a wrong baud makes of a reply is not one),
// stopping at the first. Driven by Step() with a millisecond clock (32-bit, wrapping), so a
// window can run it from a timer; RunSerialScan drives it with poll for the command line.
class SerialScan {
 public:
  // Opens the first try. False when the device cannot be opened (State() OpenFailed, Error()).
  bool Start(std::string_view path, uint32_t nowMs, int32_t marginMs = PROBE_MARGIN_MS);
  // Reads what has come, moves to the next try when one timed out. False once finished.
  bool Step(uint32_t nowMs);
  void Cancel();

  ScanState State() const { return state_; }
  bool Running() const { return state_ == ScanState::Running; }
  // How long a caller may wait before the next Step, in ms, and a wait that ends early when
  // bytes arrive.
  int32_t WaitMs(uint32_t nowMs) const;
  void Wait(int32_t ms) { line_.WaitReadable(ms); }
  bool LineOpen() const { return line_.IsOpen(); }

  // 1-based number of the try under way (or the last one made), and its settings.
  int32_t TryNumber() const { return tryIndex_ + 1; }
  int32_t TryCount() const { return static_cast<int32_t>(SerialScanOrder().size()); }
  LineTry Current() const { return SerialScanOrder()[tryIndex_]; }
  // The identity text once Found.
  const std::string& Identity() const { return identity_; }
  PortError Error() const { return error_; }
  // Why the port did not open (OpenFailed) or went away (Lost), for the views to word.
  LinkOpenError OpenError() const;

 private:
  bool BeginTry(uint32_t nowMs);
  void Finish(ScanState state);

  SerialLine line_;
  std::string path_;
  int32_t marginMs_ = PROBE_MARGIN_MS;
  size_t tryIndex_ = 0;
  uint32_t deadlineMs_ = 0;
  std::vector<uint8_t> received_;
  ScanState state_ = ScanState::NotFound;
  std::string identity_;
  PortError error_ = PortError::None;
  int errorNumber_ = 0;
};

// Runs a scan to its end on the steady clock. `onTry` (when given) hears of each try as it
// begins and may end the scan by returning false; it is also asked at least every 50 ms with
// the same try, so that an interrupt is seen promptly.
ScanState RunSerialScan(SerialScan& scan, std::string_view path,
                        const std::function<bool(const SerialScan&)>& onTry = {},
                        int32_t marginMs = PROBE_MARGIN_MS);

}  // namespace qv31

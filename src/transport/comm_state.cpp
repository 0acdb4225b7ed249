#include "transport/comm_state.h"

#include <algorithm>

#include "text/number_text.h"

namespace qv31 {
namespace {

struct ParityCode {
  char letter;
  uint8_t code;
};

constexpr ParityCode PARITY_CODES[] = {{'n', 0}, {'o', 1}, {'e', 2}, {'m', 3}, {'s', 4}};
constexpr uint8_t ONE_STOP_BIT = 0;
constexpr uint8_t TWO_STOP_BITS = 2;
constexpr uint8_t CONTROL_ENABLE = 1;

struct ErrorReason {
  uint32_t code;
  PortError error;
};

// <winerror.h> codes.
constexpr ErrorReason ERROR_REASONS[] = {
    {2, PortError::Missing},              // ERROR_FILE_NOT_FOUND
    {3, PortError::Missing},              // ERROR_PATH_NOT_FOUND
    {21, PortError::Missing},             // ERROR_NOT_READY
    {123, PortError::Missing},            // ERROR_INVALID_NAME
    {161, PortError::Missing},            // ERROR_BAD_PATHNAME
    {433, PortError::Missing},            // ERROR_NO_SUCH_DEVICE
    {1167, PortError::Missing},           // ERROR_DEVICE_NOT_CONNECTED
    {5, PortError::Busy},                 // ERROR_ACCESS_DENIED
    {32, PortError::Busy},                // ERROR_SHARING_VIOLATION
    {170, PortError::Busy},               // ERROR_BUSY
    {1314, PortError::PermissionDenied},  // ERROR_PRIVILEGE_NOT_HELD
    {1, PortError::NotSerial},            // ERROR_INVALID_FUNCTION
    {87, PortError::NotSerial},           // ERROR_INVALID_PARAMETER
};

// ERROR_INVALID_HANDLE, ERROR_ACCESS_DENIED (a removed USB device), ERROR_NOT_READY,
// ERROR_BAD_COMMAND, ERROR_GEN_FAILURE, ERROR_NO_SUCH_DEVICE, ERROR_DEVICE_NOT_CONNECTED.
constexpr uint32_t LOST_ERRORS[] = {6, 5, 21, 22, 31, 433, 1167};

constexpr size_t MAX_PORTS = 19;

}  // namespace

CommState ComposeCommState(const CommState& current, uint32_t baud, LineFormat format) {
  CommState s = current;
  if (baud != 0) s.baudRate = baud;
  if (format.dataBits >= 5 && format.dataBits <= 8)
    s.byteSize = static_cast<uint8_t>(format.dataBits);
  s.parity = 0;
  for (const auto& p : PARITY_CODES) {
    if (p.letter == format.parity) s.parity = p.code;
  }
  s.stopBits = format.stopBits == 1 ? ONE_STOP_BIT : TWO_STOP_BITS;
  s.binary = true;
  s.parityCheck = s.outxCtsFlow = s.outxDsrFlow = s.dsrSensitivity = false;
  s.outX = s.inX = s.nullStrip = s.abortOnError = false;
  s.dtrControl = CONTROL_ENABLE;
  s.rtsControl = CONTROL_ENABLE;
  return s;
}

LineSettings DescribeCommState(const CommState& state) {
  LineSettings s;
  s.baud = state.baudRate;
  s.format.parity = '?';
  for (const auto& p : PARITY_CODES) {
    if (p.code == state.parity) s.format.parity = p.letter;
  }
  s.format.dataBits = state.byteSize;
  s.format.stopBits = state.stopBits == ONE_STOP_BIT ? 1 : 2;
  s.raw = state.binary && !state.nullStrip && !state.parityCheck;
  s.flowControl = state.outxCtsFlow || state.outxDsrFlow || state.outX || state.inX ||
                  state.rtsControl == 2 || state.dtrControl == 2;
  s.receiverOn = true;
  return s;
}

PortError PortErrorForWin32(uint32_t errorCode) {
  for (const auto& r : ERROR_REASONS) {
    if (r.code == errorCode) return r.error;
  }
  return PortError::Other;
}

bool IsLostWin32Error(uint32_t errorCode) {
  return std::find(std::begin(LOST_ERRORS), std::end(LOST_ERRORS), errorCode) !=
         std::end(LOST_ERRORS);
}

std::vector<std::string> ComPortNames(const std::vector<std::string>& registryData) {
  std::vector<uint8_t> numbers;
  for (const std::string& data : registryData) {
    if (data.size() <= 3) continue;
    const int64_t n = LeadingDecimal(data.substr(3));
    if (n >= 1 && n <= 255) numbers.push_back(static_cast<uint8_t>(n));
  }
  std::sort(numbers.begin(), numbers.end());
  if (numbers.size() > MAX_PORTS) numbers.resize(MAX_PORTS);
  std::vector<std::string> names;
  names.reserve(numbers.size());
  for (const uint8_t n : numbers) names.push_back("COM" + std::to_string(n));
  return names;
}

}  // namespace qv31

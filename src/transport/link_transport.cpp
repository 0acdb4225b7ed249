#include "transport/link_transport.h"

#include "text/number_text.h"
#include "transport/port_discovery.h"

namespace qv31 {
namespace {

struct TimeoutStep {
  int32_t fromBaud;
  int32_t timeoutMs;
};

// First row whose rate the baud reaches (signed: a negative text waits longest).
constexpr TimeoutStep TIMEOUT_STEPS[] = {
    {115200, 500},
    {9600, 2000},
};
constexpr int32_t SLOW_TIMEOUT_MS = 10000;

}  // namespace

int32_t ReplyTimeoutMsForBaud(std::string_view baudText) {
  const int32_t baud = LeadingDecimal32(baudText);
  for (const auto& step : TIMEOUT_STEPS) {
    if (baud >= step.fromBaud) return step.timeoutMs;
  }
  return SLOW_TIMEOUT_MS;
}

bool LinkTransport::OpenSerial(std::string_view portText, std::string_view baudText,
                               std::string_view formatText, std::string_view delayText) {
  const int32_t baud = LeadingDecimal32(baudText);
  replyTimeoutMs_ = ReplyTimeoutMsForBaud(baudText);
  Close();
  const int32_t delay = LeadingDecimal32(delayText);
  // A negative delay would become a gap of some 49 days and freeze both threads; it is
  // treated like 0, so the gap follows the baud rate.
  if (delay > 0) {
    serial_.SetGapMs(static_cast<uint32_t>(delay));
    serial_.SetAutoGap(false);
  }
  lastTried_ = Kind::Serial;
  lastPort_ = portText;
  if (!serial_.Open(portText, static_cast<uint32_t>(baud), formatText)) return false;
  kind_ = Kind::Serial;
  return true;
}

bool LinkTransport::OpenUdp(std::string_view addressText, std::string_view targetPortText) {
  Close();
  lastTried_ = Kind::Udp;
  if (!udp_.Open(addressText, LeadingDecimal32(targetPortText))) return false;
  replyTimeoutMs_ = UDP_REPLY_TIMEOUT_MS;
  kind_ = Kind::Udp;
  return true;
}

void LinkTransport::Close() {
  serial_.Close();
  udp_.Close();
  kind_ = Kind::Closed;
}

bool LinkTransport::ReceiveBlock(uint8_t* buffer, int32_t& length) {
  length = 0;
  if (buffer == nullptr) return false;
  if (kind_ == Kind::Serial) return serial_.ReadBlock(buffer, LINK_BUFFER_SIZE, length);
  if (kind_ == Kind::Udp) length = udp_.Receive(buffer, LINK_BUFFER_SIZE);
  if (length < 0) length = 0;
  return length > 0;
}

bool LinkTransport::SendBlock(int32_t length, const uint8_t* data) {
  if (kind_ == Kind::Serial) return serial_.TxQueue().Push(length, data) > 0;
  if (kind_ == Kind::Udp) return udp_.Send(data, length) > 0;
  return false;
}

std::string LinkTransport::OpenErrorText() const {
  if (PortLost()) return std::string(PortErrorText(PortError::Lost));
  if (lastTried_ == Kind::Serial) {
    if (serial_.Error() == PortError::PermissionDenied) {
      const std::string path = lastPort_.starts_with('/') ? lastPort_ : "/dev/" + lastPort_;
      return PermissionHint(path, DeviceGroupOf(path));
    }
    std::string text(PortErrorText(serial_.Error()));
    // Name whoever holds the port, such as a modem manager that took a USB adapter.
    if (serial_.Error() == PortError::Busy) {
      for (const std::string& holder : PortHolders(lastPort_)) text += "：" + holder;
    }
    return text;
  }
  if (lastTried_ == Kind::Udp) return udp_.ErrorText();
  return {};
}

}  // namespace qv31

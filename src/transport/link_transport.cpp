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

int32_t ReplyTimeoutMsForBaud(int32_t baud) {
  for (const auto& step : TIMEOUT_STEPS) {
    if (baud >= step.fromBaud) return step.timeoutMs;
  }
  return SLOW_TIMEOUT_MS;
}

SerialLinkSettings SerialLinkFromTexts(std::string_view portText, std::string_view baudText,
                                       std::string_view formatText, std::string_view delayText) {
  SerialLinkSettings settings;
  settings.port = portText;
  settings.baud = LeadingDecimal32(baudText);
  settings.format = ParseFormatText(formatText);
  settings.delayMs = LeadingDecimal32(delayText);
  return settings;
}

bool LinkTransport::OpenSerial(const SerialLinkSettings& settings) {
  replyTimeoutMs_ = ReplyTimeoutMsForBaud(settings.baud);
  Close();
  // A negative delay would become a gap of some 49 days and freeze both threads; it is
  // treated like 0, so the gap follows the baud rate.
  if (settings.delayMs > 0) {
    serial_.SetGapMs(static_cast<uint32_t>(settings.delayMs));
    serial_.SetAutoGap(false);
  }
  lastTried_ = Kind::Serial;
  lastTarget_ = settings.port;
  if (!serial_.Open(settings.port, static_cast<uint32_t>(settings.baud), settings.format)) {
    return false;
  }
  kind_ = Kind::Serial;
  return true;
}

bool LinkTransport::OpenUdp(std::string_view addressText, int32_t targetPort) {
  Close();
  lastTried_ = Kind::Udp;
  lastTarget_ = addressText;
  if (!udp_.Open(addressText, targetPort)) return false;
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

LinkOpenError LinkTransport::OpenError() const {
  LinkOpenError e;
  e.target = lastTarget_;
  if (PortLost()) {
    e.link = LinkOpenError::Link::Serial;
    e.port = PortError::Lost;
  } else if (lastTried_ == Kind::Serial && serial_.Error() != PortError::None) {
    e.link = LinkOpenError::Link::Serial;
    e.port = serial_.Error();
    e.systemCode = serial_.Line().ErrorNumber();
    // Whoever holds the port, such as a modem manager that took a USB adapter.
    if (e.port == PortError::Busy) e.holders = PortHolders(lastTarget_);
    if (e.port == PortError::PermissionDenied) {
      e.device = lastTarget_.starts_with('/') ? lastTarget_ : "/dev/" + lastTarget_;
      e.access = DeviceGroupOf(e.device);
    }
  } else if (lastTried_ == Kind::Udp && udp_.Error() != UdpError::None) {
    e.link = LinkOpenError::Link::Udp;
    e.udp = udp_.Error();
    e.systemCode = udp_.ErrorNumber();
  }
  return e;
}

}  // namespace qv31

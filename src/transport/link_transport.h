#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "link/request_engine.h"
#include "transport/serial_port.h"
#include "transport/udp_link.h"

namespace qv31 {

// How long the engine waits for a reply, from the baud text (its leading decimal value):
// below 9600 10000 ms, below 115200 2000 ms, else 500 ms. UDP always waits 500 ms.
int32_t ReplyTimeoutMsForBaud(std::string_view baudText);
constexpr int32_t UDP_REPLY_TIMEOUT_MS = 500;

// The link as the engine drives it: a serial port or a UDP socket, whichever was opened last.
// Everything here runs on the owner's thread.
class LinkTransport final : public BlockTransport {
 public:
  enum class Kind : uint8_t { Closed, Serial, Udp };

  // The serial preparation: the reply time-out from `baudText`, Close, the "延时" rule (a
  // positive value becomes the gap and turns the baud-rate gap off; 0, and a negative value,
  // change nothing), then the port opened with `portText`, the baud value and `formatText`.
  // False when the port cannot be opened; OpenErrorText() says why.
  bool OpenSerial(std::string_view portText, std::string_view baudText, std::string_view formatText,
                  std::string_view delayText);
  // Creates the UDP socket towards `addressText` and the decimal value of `targetPortText`;
  // the reply time-out becomes 500 ms. False when the socket cannot be created.
  bool OpenUdp(std::string_view addressText, std::string_view targetPortText);
  // Closes whichever is open.
  void Close();

  // Serial: one received block, cut to LINK_BUFFER_SIZE. UDP: one datagram of at most
  // LINK_BUFFER_SIZE bytes. `length` receives the count (0 when none); true when above 0.
  bool ReceiveBlock(uint8_t* buffer, int32_t& length) override;
  // Serial: queued for the transmit thread. UDP: sent as one datagram. True on success.
  bool SendBlock(int32_t length, const uint8_t* data) override;

  int32_t ReplyTimeoutMs() const { return replyTimeoutMs_; }
  Kind CurrentKind() const { return kind_; }
  // The open serial device has gone away (unplugged); the owner should close the link.
  bool PortLost() const { return kind_ == Kind::Serial && serial_.Lost(); }
  // Why the last open failed, why an open serial port stopped working (lost), or for UDP why
  // sends cannot reach the target; empty when there is nothing to say. Meant as a second line under
  // the window's own message.
  std::string OpenErrorText() const;

  SerialPort& Serial() { return serial_; }
  UdpLink& Udp() { return udp_; }

 private:
  SerialPort serial_;
  UdpLink udp_;
  Kind kind_ = Kind::Closed;
  Kind lastTried_ = Kind::Closed;
  std::string lastPort_;
  int32_t replyTimeoutMs_ = UDP_REPLY_TIMEOUT_MS;
};

}  // namespace qv31

#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/request_engine.h"
#include "transport/port_discovery.h"
#include "transport/serial_port.h"
#include "transport/udp_link.h"

namespace qv31 {

// How long the engine waits for a reply at a baud rate: below 9600 10000 ms, below 115200
// 2000 ms, else 500 ms. UDP always waits 500 ms.
int32_t ReplyTimeoutMsForBaud(int32_t baud);
constexpr int32_t UDP_REPLY_TIMEOUT_MS = 500;

// A serial link's settings as values.
struct SerialLinkSettings {
  std::string port;     // "/dev/ttyUSB0", "ttyUSB0", "COM3"
  int32_t baud = 9600;  // signed, as the settings text's leading decimal: below 1 waits longest
  LineFormat format;    //
  int32_t delayMs = 0;  // above 0: the fixed gap that ends a block; else the gap follows the baud
};

// The settings texts (the file's and the command line's) as values: the leading decimal of the
// baud and delay texts, the format text as ParseFormatText reads it.
SerialLinkSettings SerialLinkFromTexts(std::string_view portText, std::string_view baudText,
                                       std::string_view formatText, std::string_view delayText);

// Why the last open failed, or why an open link stopped working; the views word it.
struct LinkOpenError {
  enum class Link : uint8_t { None, Serial, Udp };
  Link link = Link::None;  // None: nothing to say
  PortError port = PortError::None;
  UdpError udp = UdpError::None;
  int systemCode = 0;                // errno, or GetLastError/WSAGetLastError on Windows
  std::string target;                // the port name or the target host as given
  std::vector<std::string> holders;  // a busy port: the programs holding it, where known
  std::string device;                // a refused port: its device file, and who may use it
  DeviceGroupAccess access{{}, false, false};
  bool Any() const { return link != Link::None; }
};

// The link as the engine drives it: a serial port or a UDP socket, whichever was opened last.
// Everything here runs on the owner's thread.
class LinkTransport final : public BlockTransport {
 public:
  enum class Kind : uint8_t { Closed, Serial, Udp };

  // The serial preparation: the reply time-out from the baud, Close, the delay rule (a
  // positive value becomes the gap and turns the baud-rate gap off; 0, and a negative value,
  // change nothing), then the port opened with the baud and format. False when the port
  // cannot be opened; OpenError() says why.
  bool OpenSerial(const SerialLinkSettings& settings);
  // Creates the UDP socket towards `addressText` and `targetPort`; the reply time-out becomes
  // 500 ms. False when the socket cannot be created; a socket without a usable target opens,
  // and OpenError() says why it cannot send.
  bool OpenUdp(std::string_view addressText, int32_t targetPort);
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
  // sends cannot reach the target; Any() is false when there is nothing to say.
  LinkOpenError OpenError() const;

  SerialPort& Serial() { return serial_; }
  UdpLink& Udp() { return udp_; }

 private:
  SerialPort serial_;
  UdpLink udp_;
  Kind kind_ = Kind::Closed;
  Kind lastTried_ = Kind::Closed;
  std::string lastTarget_;
  int32_t replyTimeoutMs_ = UDP_REPLY_TIMEOUT_MS;
};

}  // namespace qv31

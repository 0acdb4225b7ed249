#pragma once

// A gateway on a pseudo-terminal that answers the identity read at one setting only.

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <atomic>
#include <string>
#include <thread>

#include "link/link_frame.h"
#include "text/gbk.h"
#include "transport/line_termios.h"
#include "transport/pty_pair.h"
#include "transport/serial_line.h"

namespace qv31 {

inline Bytes IdentityReply(std::string_view utf8) {
  Bytes payload(18, 0);
  const std::string text = Utf8ToGbk(utf8);
  std::copy(text.begin(), text.end(), payload.begin());
  return EncodeFrame({AREA_IDENT, OP_READ_REPLY, 0, 18}, payload);
}

// A gateway at the master side of a pseudo-terminal that answers only at one baud and stop-bit
// setting (a pseudo-terminal keeps those, not the parity) and sends noise at any other.
class LineGateway {
 public:
  LineGateway(PtyPair& pty, uint32_t baud, int stopBits, std::string identity = "串口网关")
      : pty_(pty),
        baud_(baud),
        stopBits_(stopBits),
        identity_(std::move(identity)),
        thread_([this] { Serve(); }) {}
  ~LineGateway() {
    stop_ = true;
    thread_.join();
  }

 private:
  bool AtItsSetting() const {
    LineTermios t;  // termios2, field for field; on the master it is the slave's
    if (::ioctl(pty_.master, TCGETS2, &t) != 0) return false;
    const LineSettings s = DescribeLineTermios(t);
    return s.baud == baud_ && s.format.stopBits == stopBits_;
  }
  void Serve() {
    Bytes request;
    while (!stop_) {
      const Bytes got = pty_.Receive(64, 20);
      request.insert(request.end(), got.begin(), got.end());
      if (request.size() < 16) continue;
      request.clear();
      if (AtItsSetting()) {
        pty_.Send(IdentityReply(identity_));
        continue;
      }
      // What a reply looks like at a wrong baud: stray bytes, a preamble, a CRC that fails.
      Bytes noise = {0xFE, 0x00, 0x4F, 0x3F, 0x2F, 0x1F, 0x5F, 0x6F, 0xFF, 0xFE, 0x03};
      Bytes broken = IdentityReply("串口网关");
      broken[20] ^= 0x10;
      noise.insert(noise.end(), broken.begin(), broken.end());
      pty_.Send(noise);
    }
  }
  PtyPair& pty_;
  uint32_t baud_;
  int stopBits_;
  std::string identity_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace qv31

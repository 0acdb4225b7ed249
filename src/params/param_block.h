#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "link/accepted_replies.h"

namespace qv31 {

// The gateway's 320-byte parameter image in Area 1. Offset o is device address PARAM_BASE + o;
// every address in a frame of Area 1 is a device address.
constexpr int32_t PARAM_SIZE = 320;
constexpr uint16_t PARAM_BASE = PARAM_IMAGE_BASE;

// Field offsets in the image. Byte orders differ per field and are part of the format:
// station and group numbers are big-endian, the two target ports little-endian, IPv4
// addresses in reading order (the a of a.b.c.d at the lowest offset).
enum ParamOffset : uint16_t {
  OFFSET_PORT1_BAUD = 0,
  OFFSET_PORT1_FORMAT = 1,
  OFFSET_STATION_NO = 2,   // u16 big-endian
  OFFSET_GROUP_FLAG = 4,   // 1 when groupNo is not 0
  OFFSET_WORD11 = 5,       // 2 bytes, carried, not interpreted
  OFFSET_WORD13 = 7,       // 2 bytes, carried, not interpreted
  OFFSET_GROUP_NO = 9,     // s32 big-endian
  OFFSET_LOG_OUTPUT = 13,  // LOG_ON or LOG_OFF
  OFFSET_FIXED_4G = 14,    // 3 bytes, FIXED_4G on every 4G set
  OFFSET_RESERVED23 = 17,  // 135 bytes, carried
  OFFSET_MAC = 152,        // 6 bytes, never written by the tool
  OFFSET_NET_FLAGS = 158,
  OFFSET_LOCAL_IP = 159,
  OFFSET_SUBNET_MASK = 163,
  OFFSET_GATEWAY = 167,
  OFFSET_DNS_SERVER = 171,
  OFFSET_CH1_PROTOCOL = 175,
  OFFSET_CH2_PROTOCOL = 176,
  OFFSET_RESERVED183 = 177,  // 1 byte, carried
  OFFSET_CH1_TARGET_IP = 178,
  OFFSET_CH1_TARGET_PORT = 182,  // u16 little-endian
  OFFSET_CH2_TARGET_IP = 184,
  OFFSET_CH2_TARGET_PORT = 188,  // u16 little-endian
  OFFSET_RESERVED196 = 190,      // 6 bytes, carried
  OFFSET_CH1_DOMAIN_LEN = 196,
  OFFSET_CH1_DOMAIN = 197,   // DOMAIN_MAX bytes of GBK, no terminator
  OFFSET_RESERVED262 = 256,  // 58 bytes, carried
  OFFSET_PORT2_BAUD = 314,
  OFFSET_PORT2_FORMAT = 315,
  OFFSET_PORT3_BAUD = 316,
  OFFSET_PORT3_FORMAT = 317,
  OFFSET_PORT4_BAUD = 318,
  OFFSET_PORT4_FORMAT = 319,
};

constexpr uint8_t LOG_ON = 205;
constexpr uint8_t LOG_OFF = 5;
constexpr uint8_t LOG_TICKED_ABOVE = 200;  // shown ticked for any value above this

constexpr uint8_t NET_DHCP = 0x80;
constexpr uint8_t NET_CH1_ENABLE = 0x02;
constexpr uint8_t NET_CH2_ENABLE = 0x04;

constexpr int32_t DOMAIN_MAX = 59;
constexpr std::array<uint8_t, 3> FIXED_4G = {0x05, 0x03, 0x32};

constexpr int32_t GATEWAY_PORT_COUNT = 4;

using Ipv4 = std::array<uint8_t, 4>;

// Device address of a gateway serial port's two bytes (port 1 to 4), or -1.
int32_t PortAddress(int port);

class ParamBlock {
 public:
  ParamBlock();  // 0xFF at offset 0, zero elsewhere

  std::span<const uint8_t, PARAM_SIZE> Bytes() const { return bytes_; }
  std::span<uint8_t, PARAM_SIZE> Bytes() { return bytes_; }

  // Copies `length` bytes to `offset`: -1 when they do not fit in the image or data is null,
  // else the count copied.
  int32_t Store(int32_t offset, const uint8_t* data, int32_t length);
  // Stores an accepted reply's payload where its row says: -1 when the row is not a
  // parameter row or does not fit, 0 for a row without data, else the count.
  int32_t StoreReply(const AcceptedReply& row, const uint8_t* payload);
  // The bytes of a device-address window; empty when it does not lie inside the image.
  std::vector<uint8_t> Window(uint16_t address, uint16_t length) const;

  // Typed access by offset. Out-of-range offsets read as 0 and are not written.
  uint8_t Get8(int32_t offset) const;
  void Put8(int32_t offset, uint8_t value);
  uint16_t GetU16BE(int32_t offset) const;
  void PutU16BE(int32_t offset, uint16_t value);
  int32_t GetS32BE(int32_t offset) const;
  void PutS32BE(int32_t offset, int32_t value);
  uint16_t GetU16LE(int32_t offset) const;
  void PutU16LE(int32_t offset, uint16_t value);
  Ipv4 GetIpv4(int32_t offset) const;
  void PutIpv4(int32_t offset, const Ipv4& value);

  // Gateway serial ports 1 to 4; -1 for another port number.
  int32_t BaudCode(int port) const;
  int32_t FormatCode(int port) const;
  int32_t SetBaudCode(int port, uint8_t code);
  int32_t SetFormatCode(int port, uint8_t code);

  uint16_t StationNo() const { return GetU16BE(OFFSET_STATION_NO); }
  void SetStationNo(uint16_t v) { PutU16BE(OFFSET_STATION_NO, v); }
  int32_t GroupNo() const { return GetS32BE(OFFSET_GROUP_NO); }
  void SetGroupNo(int32_t v) { PutS32BE(OFFSET_GROUP_NO, v); }
  uint8_t GroupFlag() const { return Get8(OFFSET_GROUP_FLAG); }
  void SetGroupFlag(uint8_t v) { Put8(OFFSET_GROUP_FLAG, v); }
  uint8_t LogOutput() const { return Get8(OFFSET_LOG_OUTPUT); }
  void SetLogOutput(uint8_t v) { Put8(OFFSET_LOG_OUTPUT, v); }
  void SetFixed4G();

  uint8_t NetFlags() const { return Get8(OFFSET_NET_FLAGS); }
  void SetNetFlags(uint8_t v) { Put8(OFFSET_NET_FLAGS, v); }
  std::array<uint8_t, 6> Mac() const;
  uint8_t Ch1DomainLen() const { return Get8(OFFSET_CH1_DOMAIN_LEN); }
  // The raw GBK bytes of the domain field (all DOMAIN_MAX of them).
  std::span<const uint8_t> Ch1DomainField() const;

 private:
  static bool Fits(int32_t offset, int32_t length) {
    return offset >= 0 && length >= 0 && offset <= PARAM_SIZE - length;
  }
  std::array<uint8_t, PARAM_SIZE> bytes_{};
};

}  // namespace qv31

#include "params/param_block.h"

#include <algorithm>

namespace qv31 {
namespace {

// Port 1 sits at the start of the image, ports 2 to 4 at its end.
constexpr std::array<uint16_t, GATEWAY_PORT_COUNT> kPortOffsets = {
    OFFSET_PORT1_BAUD, OFFSET_PORT2_BAUD, OFFSET_PORT3_BAUD, OFFSET_PORT4_BAUD};

int32_t PortOffset(int port) {
  if (port < 1 || port > GATEWAY_PORT_COUNT) return -1;
  return kPortOffsets[static_cast<size_t>(port - 1)];
}

}  // namespace

int32_t PortAddress(int port) {
  const int32_t offset = PortOffset(port);
  return offset < 0 ? -1 : offset + PARAM_BASE;
}

ParamBlock::ParamBlock() { bytes_[0] = 0xFF; }

int32_t ParamBlock::Store(int32_t offset, const uint8_t* data, int32_t length) {
  if (data == nullptr || !Fits(offset, length)) return -1;
  std::copy_n(data, length, bytes_.begin() + offset);
  return length;
}

int32_t ParamBlock::StoreReply(const AcceptedReply& row, const uint8_t* payload) {
  if (row.area != AREA_PARAMS) return -1;
  if (row.target != ReplyTarget::Params) return row.target == ReplyTarget::None ? 0 : -1;
  if (row.length > static_cast<uint32_t>(PARAM_SIZE)) return -1;
  return Store(row.offset, payload, static_cast<int32_t>(row.length));
}

std::vector<uint8_t> ParamBlock::Window(uint16_t address, uint16_t length) const {
  const int32_t offset = static_cast<int32_t>(address) - PARAM_BASE;
  if (!Fits(offset, length)) return {};
  return std::vector<uint8_t>(bytes_.begin() + offset, bytes_.begin() + offset + length);
}

uint8_t ParamBlock::Get8(int32_t offset) const { return Fits(offset, 1) ? bytes_[offset] : 0; }

void ParamBlock::Put8(int32_t offset, uint8_t value) {
  if (Fits(offset, 1)) bytes_[offset] = value;
}

uint16_t ParamBlock::GetU16BE(int32_t offset) const {
  if (!Fits(offset, 2)) return 0;
  return static_cast<uint16_t>((bytes_[offset] << 8) | bytes_[offset + 1]);
}

void ParamBlock::PutU16BE(int32_t offset, uint16_t value) {
  if (!Fits(offset, 2)) return;
  bytes_[offset] = static_cast<uint8_t>(value >> 8);
  bytes_[offset + 1] = static_cast<uint8_t>(value);
}

int32_t ParamBlock::GetS32BE(int32_t offset) const {
  if (!Fits(offset, 4)) return 0;
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v = (v << 8) | bytes_[offset + i];
  return static_cast<int32_t>(v);
}

void ParamBlock::PutS32BE(int32_t offset, int32_t value) {
  if (!Fits(offset, 4)) return;
  const auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) bytes_[offset + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

uint16_t ParamBlock::GetU16LE(int32_t offset) const {
  if (!Fits(offset, 2)) return 0;
  return static_cast<uint16_t>(bytes_[offset] | (bytes_[offset + 1] << 8));
}

void ParamBlock::PutU16LE(int32_t offset, uint16_t value) {
  if (!Fits(offset, 2)) return;
  bytes_[offset] = static_cast<uint8_t>(value);
  bytes_[offset + 1] = static_cast<uint8_t>(value >> 8);
}

Ipv4 ParamBlock::GetIpv4(int32_t offset) const {
  Ipv4 ip{};
  if (Fits(offset, 4)) std::copy_n(bytes_.begin() + offset, 4, ip.begin());
  return ip;
}

void ParamBlock::PutIpv4(int32_t offset, const Ipv4& value) {
  if (Fits(offset, 4)) std::copy(value.begin(), value.end(), bytes_.begin() + offset);
}

int32_t ParamBlock::BaudCode(int port) const {
  const int32_t offset = PortOffset(port);
  return offset < 0 ? -1 : bytes_[offset];
}

int32_t ParamBlock::FormatCode(int port) const {
  const int32_t offset = PortOffset(port);
  return offset < 0 ? -1 : bytes_[offset + 1];
}

int32_t ParamBlock::SetBaudCode(int port, uint8_t code) {
  const int32_t offset = PortOffset(port);
  if (offset < 0) return -1;
  bytes_[offset] = code;
  return 1;
}

int32_t ParamBlock::SetFormatCode(int port, uint8_t code) {
  const int32_t offset = PortOffset(port);
  if (offset < 0) return -1;
  bytes_[offset + 1] = code;
  return 1;
}

void ParamBlock::SetFixed4G() {
  std::copy(FIXED_4G.begin(), FIXED_4G.end(), bytes_.begin() + OFFSET_FIXED_4G);
}

std::array<uint8_t, 6> ParamBlock::Mac() const {
  std::array<uint8_t, 6> mac{};
  std::copy_n(bytes_.begin() + OFFSET_MAC, mac.size(), mac.begin());
  return mac;
}

std::span<const uint8_t> ParamBlock::Ch1DomainField() const {
  return std::span<const uint8_t>(bytes_).subspan(OFFSET_CH1_DOMAIN, DOMAIN_MAX);
}

}  // namespace qv31

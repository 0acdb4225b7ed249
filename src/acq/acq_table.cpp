#include "acq/acq_table.h"

#include <algorithm>

namespace qv31 {
namespace {

int32_t RecordOffset(int row) { return ACQ_HEADER_SIZE + row * ACQ_RECORD_SIZE; }

bool ValidRow(int row) { return row >= 0 && row < ACQ_ROW_COUNT; }

}  // namespace

AcqTable::AcqTable() { bytes_[0] = 0xFF; }

std::span<const uint8_t> AcqTable::Block(int block) const {
  if (block < 0 || block >= ACQ_BLOCK_COUNT) return {};
  return std::span<const uint8_t>(bytes_).subspan(static_cast<size_t>(block) * ACQ_BLOCK_SIZE,
                                                  ACQ_BLOCK_SIZE);
}

int32_t AcqTable::Store(int32_t offset, const uint8_t* data, int32_t length) {
  if (data == nullptr || offset < 0 || length < 0 || offset > ACQ_IMAGE_SIZE - length) return -1;
  std::copy_n(data, length, bytes_.begin() + offset);
  return length;
}

int32_t AcqTable::StoreReply(const AcceptedReply& row, const uint8_t* payload) {
  if (row.area != AREA_TABLE) return -1;
  if (row.target != ReplyTarget::Table) return row.target == ReplyTarget::None ? 0 : -1;
  if (row.length > static_cast<uint32_t>(ACQ_IMAGE_SIZE)) return -1;
  return Store(row.offset, payload, static_cast<int32_t>(row.length));
}

AcqHeader AcqTable::Header() const {
  AcqHeader h;
  h.enable = bytes_[0];
  h.timeout10ms = bytes_[1];
  h.timeoutCount = bytes_[2];
  h.intervalMs = bytes_[3];
  std::copy_n(bytes_.begin() + 4, 4, h.reserved.begin());
  return h;
}

void AcqTable::SetHeader(const AcqHeader& h) {
  bytes_[0] = h.enable;
  bytes_[1] = h.timeout10ms;
  bytes_[2] = h.timeoutCount;
  bytes_[3] = h.intervalMs;
  std::copy(h.reserved.begin(), h.reserved.end(), bytes_.begin() + 4);
}

AcqRecord AcqTable::Record(int row) const {
  AcqRecord r;
  if (!ValidRow(row)) return r;
  const uint8_t* b = bytes_.data() + RecordOffset(row);
  r.channel = b[0];
  r.varType = b[1];
  r.slave = b[2];
  r.start = static_cast<uint16_t>((b[3] << 8) | b[4]);
  r.count = b[5];
  r.buffer = static_cast<uint16_t>((b[6] << 8) | b[7]);
  return r;
}

int32_t AcqTable::SetRecord(int row, const AcqRecord& r) {
  if (!ValidRow(row)) return -1;
  uint8_t* b = bytes_.data() + RecordOffset(row);
  b[0] = r.channel;
  b[1] = r.varType;
  b[2] = r.slave;
  b[3] = static_cast<uint8_t>(r.start >> 8);
  b[4] = static_cast<uint8_t>(r.start);
  b[5] = r.count;
  b[6] = static_cast<uint8_t>(r.buffer >> 8);
  b[7] = static_cast<uint8_t>(r.buffer);
  return ACQ_RECORD_SIZE;
}

int AcqTable::FirstRowOfBlock(int block) {
  if (block < 0 || block >= ACQ_BLOCK_COUNT) return -1;
  return block == 0 ? 0 : 64 * block - 1;
}

int AcqTable::RowCountOfBlock(int block) {
  if (block < 0 || block >= ACQ_BLOCK_COUNT) return 0;
  return block == 0 ? 63 : 64;
}

}  // namespace qv31

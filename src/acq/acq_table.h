#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "link/accepted_replies.h"

namespace qv31 {

// The gateway's acquisition table in Area 2: an 8-byte header and 255 eight-byte records,
// 2048 bytes that travel in four 512-byte blocks at addresses 0x0000, 0x0200, 0x0400 and
// 0x0600. No record straddles two blocks.
constexpr int32_t ACQ_ROW_COUNT = 255;
constexpr int32_t ACQ_BLOCK_SIZE = 512;
constexpr int32_t ACQ_BLOCK_COUNT = 4;
constexpr int32_t ACQ_IMAGE_SIZE = ACQ_BLOCK_SIZE * ACQ_BLOCK_COUNT;
constexpr int32_t ACQ_HEADER_SIZE = 8;
constexpr int32_t ACQ_RECORD_SIZE = 8;
static_assert(ACQ_HEADER_SIZE + ACQ_ROW_COUNT * ACQ_RECORD_SIZE == ACQ_IMAGE_SIZE);

constexpr uint8_t CHANNEL_NONE = 0xFF;
constexpr uint8_t VAR_TYPE_NONE = 0xFF;

// Device address of block k (0 to 3).
constexpr uint16_t AcqBlockAddress(int block) {
  return static_cast<uint16_t>(block * ACQ_BLOCK_SIZE);
}

struct AcqHeader {
  uint8_t enable = 0;       // 1 = acquisition on; only exactly 1 shows ticked
  uint8_t timeout10ms = 0;  // reply time-out in units of 10 ms
  uint8_t timeoutCount = 0;
  uint8_t intervalMs = 0;
  std::array<uint8_t, 4> reserved{};  // never changed by the tool
  bool operator==(const AcqHeader&) const = default;
};

// Byte order in the image: channel, type, slave, start (big-endian), count, buffer
// (big-endian). The type comes before the slave address although the list shows the slave
// first. A default record is the empty row the tool writes for empty cells.
struct AcqRecord {
  uint8_t channel = CHANNEL_NONE;  // 0..3 = gateway port 1..4
  uint8_t varType = VAR_TYPE_NONE;
  uint8_t slave = 0;
  uint16_t start = 0;
  uint8_t count = 0;
  uint16_t buffer = 0;  // byte offset in the gateway's buffer
  bool operator==(const AcqRecord&) const = default;
};

class AcqTable {
 public:
  AcqTable();  // 0xFF at byte 0, zero elsewhere

  std::span<const uint8_t, ACQ_IMAGE_SIZE> Bytes() const { return bytes_; }
  std::span<uint8_t, ACQ_IMAGE_SIZE> Bytes() { return bytes_; }
  // Block k (0 to 3); empty for another k.
  std::span<const uint8_t> Block(int block) const;

  // Copies `length` bytes to `offset`: -1 when they do not fit or data is null, else the count.
  int32_t Store(int32_t offset, const uint8_t* data, int32_t length);
  // Stores an accepted reply's payload where its row says: -1 when the row is not a table
  // row or does not fit, 0 for a row without data, else the count.
  int32_t StoreReply(const AcceptedReply& row, const uint8_t* payload);

  AcqHeader Header() const;
  void SetHeader(const AcqHeader& header);
  // Rows 0 to 254; another row reads as an empty record and is not written (-1).
  AcqRecord Record(int row) const;
  int32_t SetRecord(int row, const AcqRecord& record);

  // Rows of block k: first row index and count (block 0 holds 63 rows after the header,
  // the others 64).
  static int FirstRowOfBlock(int block);
  static int RowCountOfBlock(int block);

 private:
  std::array<uint8_t, ACQ_IMAGE_SIZE> bytes_{};
};

}  // namespace qv31

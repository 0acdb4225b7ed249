#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_grid.h"
#include "session/key_table.h"

namespace qv31 {

constexpr std::string_view BACKUP_FORMAT = "qv31-backup";
constexpr int BACKUP_VERSION = 1;
// A larger file is refused unread: a backup is about 60 KB.
constexpr size_t BACKUP_FILE_MAX = size_t{1} << 20;

// What a backup file asks to restore, every part already checked.
struct BackupContent {
  struct Row {
    int row;                                          // 0 to 254
    std::array<std::string, ACQ_STORED_COUNT> cells;  // in AcqStoredColumns order
  };
  std::vector<Assignment> keys;         // the keys with a value (null and read-only keys left out)
  std::optional<std::string> identity;  // the backed-up gateway's identity text, when given
  std::vector<Row> rows;                // the rows the file lists, in file order
  bool hasImages = false;
  std::vector<uint8_t> params;  // PARAM_SIZE bytes when hasImages
  std::vector<uint8_t> table;   // ACQ_IMAGE_SIZE bytes when hasImages
};

// Reads a backup as `qv31ctl backup` writes it: {"format": "qv31-backup", "version": 1,
// "keys": {...}, "table": [rows], "images": {"params": hex, "table": hex}}, "table" and
// "images" optional. Every field is checked for its type and range; the first one that
// fails gives nullopt with `error` naming its path (`table[3].row`) and what it must be. A
// name given twice in one object is refused too: a reader would silently take one of them.
std::optional<BackupContent> ReadBackup(std::string_view text, std::string& error);
// Reads an apply file: {"keys": {...}, "table": [rows]}, both optional, checked as a backup's
// are; a backup is one too (its format and version, when present, must be right).
std::optional<BackupContent> ReadApplyFile(std::string_view text, std::string& error);

}  // namespace qv31

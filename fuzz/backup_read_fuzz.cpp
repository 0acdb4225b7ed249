// Reads arbitrary bytes as a backup file and checks that whatever is accepted is what restore
// may write: rows 1 to 255 once each, whole images, and key values their key allows.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_table.h"
#include "cli/backup_file.h"
#include "params/param_block.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string error;
  const auto backup =
      qv31::ReadBackup(std::string_view(reinterpret_cast<const char*>(data), size), error);
  if (!backup) {
    if (error.empty()) std::abort();
    return 0;
  }
  std::vector<bool> seen(qv31::ACQ_ROW_COUNT);
  for (const auto& row : backup->rows) {
    if (row.row < 0 || row.row >= qv31::ACQ_ROW_COUNT || seen[static_cast<size_t>(row.row)]) {
      std::abort();
    }
    seen[static_cast<size_t>(row.row)] = true;
  }
  if (backup->hasImages &&
      (backup->params.size() != qv31::PARAM_SIZE || backup->table.size() != qv31::ACQ_IMAGE_SIZE)) {
    std::abort();
  }
  for (const auto& a : backup->keys) {
    std::string e;
    if (qv31::NormalizeValue(*a.key, a.value, e) != a.value) std::abort();
  }
  return 0;
}

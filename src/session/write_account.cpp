#include "session/write_account.h"

namespace qv31 {

std::vector<WriteEntry> AccountWrites(const std::vector<std::vector<uint8_t>>& frames, int answered,
                                      bool unanswered) {
  std::vector<WriteEntry> entries;
  for (size_t i = 0; i < frames.size(); ++i) {
    const auto& f = frames[i];
    if (f.size() < FRAME_HEADER_SIZE || f[9] != OP_WRITE) continue;
    const auto address = static_cast<uint16_t>(f[10] | (f[11] << 8));
    const GroupEntry* g = GroupWriting(f[8], address);
    if (g == nullptr) continue;
    const int block = g->id == GroupId::Acq ? (address / TABLE_BLOCK_BYTES) % 4 : -1;
    const auto at = static_cast<int>(i);
    const WriteFate fate = at < answered                    ? WriteFate::Written
                           : (at == answered && unanswered) ? WriteFate::Unacknowledged
                                                            : WriteFate::NotWritten;
    entries.push_back({g->id, block, fate});
  }
  return entries;
}

}  // namespace qv31

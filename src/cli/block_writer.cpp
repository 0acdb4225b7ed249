#include "cli/block_writer.h"

#include <algorithm>
#include <set>

namespace qv31 {
namespace {

// Bytes where `changed` differs from `untouched` come from `changed`, the rest from `read`.
void Patch(std::span<const uint8_t> read, std::span<const uint8_t> untouched,
           std::span<const uint8_t> changed, std::span<uint8_t> out) {
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = changed[i] != untouched[i] ? changed[i] : read[i];
}

std::string RowText(const AcqGrid& grid, int row) {
  std::string text;
  for (const int c : AcqStoredColumns()) {
    const std::string& cell = grid.Cell(row, c);
    text += (text.empty() ? "" : " ") + (cell.empty() ? std::string("-") : cell);
  }
  return text;
}

AcqGrid GridOf(const AcqTable& table) {
  AcqGrid grid;
  for (int b = 0; b < ACQ_BLOCK_COUNT; ++b) grid.RefreshAcqBlock(table, b);
  return grid;
}

// Applies the keys whose shown value changes; returns the changes and the groups touched.
void ApplyKeys(const std::vector<Assignment>& keys, const std::string& identity, ParamBlock& params,
               AcqGrid& grid, std::set<KeyGroup>& groups, std::vector<FieldChange>& changes) {
  for (const Assignment& a : keys) {
    ParamBlock p = params;
    AcqGrid g = grid;
    const std::string before = GetKeyText(*a.key, {params, grid, identity});
    if (SetKeyText(*a.key, p, g, a.value) < 0) continue;
    const std::string after = GetKeyText(*a.key, {p, g, identity});
    if (after == before) continue;
    params = p;
    grid = std::move(g);
    groups.insert(a.key->group);
    changes.push_back({std::string(a.key->name), -1, before, after, KeyTextJson(*a.key, before),
                       KeyTextJson(*a.key, after)});
  }
}

}  // namespace

WritePlan PatchNamedFields(GatewaySession& session, const std::vector<Assignment>& keys,
                           const std::vector<BackupContent::Row>& rows) {
  WritePlan plan;
  const ParamBlock readParams = session.Params();
  const AcqTable readTable = session.Table();
  const AcqGrid readGrid = GridOf(readTable);
  const std::string identity = session.Identity();

  ParamBlock changedParams = readParams;
  AcqGrid changedGrid = readGrid;
  std::set<KeyGroup> groups;
  ApplyKeys(keys, identity, changedParams, changedGrid, groups, plan.changes);
  ParamBlock untouchedParams = readParams;
  for (const KeyGroup g : groups) RoundTripGroup(g, untouchedParams);
  Patch(readParams.Bytes(), untouchedParams.Bytes(), changedParams.Bytes(),
        session.Params().Bytes());

  for (const BackupContent::Row& row : rows) {
    std::array<std::string_view, ACQ_STORED_COUNT> cells;
    std::copy(row.cells.begin(), row.cells.end(), cells.begin());
    changedGrid.SetStoredCells(row.row, cells);
  }
  AcqTable untouchedTable = readTable, changedTable = readTable;
  readGrid.BuildAcqImage(untouchedTable);
  changedGrid.BuildAcqImage(changedTable);
  Patch(readTable.Bytes(), untouchedTable.Bytes(), changedTable.Bytes(), session.Table().Bytes());
  const AcqTable& table = session.Table();
  for (int b = 0; b < ACQ_BLOCK_COUNT; ++b) {
    plan.tableBlocks[b] = !std::ranges::equal(table.Block(b), readTable.Block(b));
    session.Grid().RefreshAcqBlock(table, b);
  }
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
    if (table.Record(r) == readTable.Record(r)) continue;
    plan.changes.push_back({"table row " + std::to_string(r + 1), r, RowText(readGrid, r),
                            RowText(session.Grid(), r), RowJson(readGrid, r),
                            RowJson(session.Grid(), r)});
  }
  if (std::ranges::any_of(plan.tableBlocks, [](bool b) { return b; })) groups.insert(KeyGroup::Acq);
  for (const GroupEntry& g : Groups()) {
    if (groups.count(g.id) != 0) plan.groups.push_back(g.id);
  }
  return plan;
}

FrameList ImageWriteFrames(GatewaySession& session, const std::vector<KeyGroup>& groups,
                           const bool* blocks) {
  FrameList writes;
  for (const KeyGroup g : groups) {
    const auto headers = Group(g).set.Span();
    const Frames frames = session.ImageSetFrames(g);
    for (size_t i = 0; i < frames.size(); ++i) {
      const FrameHeader& h = headers[i];
      const bool skip = g == KeyGroup::Acq && blocks != nullptr && h.opCode == OP_WRITE &&
                        !blocks[h.address / TABLE_BLOCK_BYTES];
      if (!skip) writes.push_back(frames[i]);
    }
  }
  return writes;
}

}  // namespace qv31

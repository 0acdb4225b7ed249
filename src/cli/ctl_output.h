#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/ctl_context.h"
#include "session/key_table.h"

namespace qv31 {

using Json = nlohmann::ordered_json;

// A key's text and JSON value in the session's images.
std::string KeyText(GatewaySession& session, const CtlKey& key);
Json KeyJson(GatewaySession& session, const CtlKey& key);
// A key's text as its JSON value: ticks as booleans, numbers as numbers, an empty number or
// list text as null.
Json KeyTextJson(const CtlKey& key, const std::string& text);
// One table row (0 to 254) as the JSON object of --json and of backups.
Json RowJson(const AcqGrid& grid, int row);

// A table column's name in JSON ("slave", "buffer_refs"), as in RowJson.
const char* ColumnKey(int column);

// "key = value" lines on stdout, or the keys into `doc` with --json.
void PrintKeys(CtlContext& ctx, const std::vector<const CtlKey*>& keys, Json& doc);
// The table's rows (those that are not empty unless `all`) as columns, or into `doc`.
void PrintRows(CtlContext& ctx, bool all, Json& doc);
// Prints `doc` with --json; nothing otherwise.
void Emit(CtlContext& ctx, const Json& doc);

}  // namespace qv31

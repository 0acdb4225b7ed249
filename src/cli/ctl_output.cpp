#include "cli/ctl_output.h"

#include <algorithm>
#include <array>
#include <utility>

#include "text/number_text.h"

namespace qv31 {
namespace {

// Display width of UTF-8 text: CJK characters take two columns.
size_t DisplayWidth(const std::string& s) {
  size_t w = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xC0) == 0x80) continue;
    w += c >= 0xE0 ? 2 : 1;
  }
  return w;
}

}  // namespace

std::string KeyText(GatewaySession& session, const CtlKey& key) {
  return GetKeyText(key, {session.Params(), session.Grid(), session.Identity()});
}

Json KeyJson(GatewaySession& session, const CtlKey& key) {
  return KeyTextJson(key, KeyText(session, key));
}

Json KeyTextJson(const CtlKey& key, const std::string& text) {
  if (key.kind == ValueKind::OnOff) return text == "on";
  if (key.kind == ValueKind::Number) return text.empty() ? Json() : Json(LeadingDecimal(text));
  if (key.kind == ValueKind::Choice && text.empty()) return Json();
  return text;
}

Json RowJson(const AcqGrid& g, int row) {
  Json out = Json::object();
  for (int c = 0; c < ACQ_COLUMN_COUNT; ++c) {
    const AcqColumnInfo& column = AcqColumns()[static_cast<size_t>(c)];
    const std::string& text = g.Cell(row, c);
    out[std::string(column.jsonName)] =
        c == COL_NUMBER ? Json(row + 1)
                        : (column.fieldMax != 0 ? Json(LeadingDecimal(text)) : Json(text));
  }
  return out;
}

void PrintKeys(CtlContext& ctx, const std::vector<const CtlKey*>& keys, Json& doc) {
  for (const CtlKey* k : keys) {
    if (ctx.Options().json) {
      doc[std::string(k->name)] = KeyJson(ctx.Session(), *k);
    } else {
      std::fprintf(ctx.Out(), "%s = %s\n", std::string(k->name).c_str(),
                   KeyText(ctx.Session(), *k).c_str());
    }
  }
}

const char* ColumnKey(int column) {
  if (column < 0 || column >= ACQ_COLUMN_COUNT) return "";
  return AcqColumns()[static_cast<size_t>(column)].jsonName.data();
}

void PrintRows(CtlContext& ctx, bool all, Json& doc) {
  static constexpr std::array<size_t, 9> kWidth = {5, 9, 7, 10, 7, 7, 15, 8, 15};
  const AcqGrid& grid = ctx.Session().Grid();
  Json rows = Json::array();
  std::string text;
  auto cell = [&](const std::string& s, size_t col) {
    text += s;
    if (col + 1 < kWidth.size())
      text.append(kWidth[col] - std::min(kWidth[col] - 1, DisplayWidth(s)), ' ');
  };
  const auto columns = AcqColumns();
  for (size_t c = 0; c < columns.size(); ++c) cell(std::string(columns[c].jsonName), c);
  text += '\n';
  for (int r = 0; r < ACQ_ROW_COUNT; ++r) {
    if (!all && ctx.Session().Table().Record(r) == AcqRecord{}) continue;
    rows.push_back(RowJson(grid, r));
    for (size_t c = 0; c < columns.size(); ++c) cell(grid.Cell(r, static_cast<int>(c)), c);
    text += '\n';
  }
  if (ctx.Options().json) {
    doc["table"] = rows;
  } else {
    std::fputs(text.c_str(), ctx.Out());
  }
}

void Emit(CtlContext& ctx, const Json& doc) {
  if (ctx.Options().json) std::fprintf(ctx.Out(), "%s\n", doc.dump(2).c_str());
}

}  // namespace qv31

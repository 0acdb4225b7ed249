#include "app/control_checks.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "acq/csv_file.h"
#include "app/control_ids.h"
#include "app/dialog_texts.h"
#include "app/text_catalogue.h"
#include "session/key_table.h"

namespace qv31 {

using namespace dialog;

namespace {

// The window's typed fields with the command line's key for each.
struct TypedField {
  int id;
  std::string_view label;
  std::string_view key;
  GroupId group;
};

constexpr std::array<TypedField, 13> TYPED_FIELDS = {{
    {IDC_GROUP, "组号", "4g.group", GroupId::FourG},
    {IDC_STATION, "站点号", "4g.station", GroupId::FourG},
    {IDC_LOCAL_IP, "本机IP", "net.ip", GroupId::Network},
    {IDC_SUBNET_MASK, "子网掩码", "net.mask", GroupId::Network},
    {IDC_GATEWAY, "默认网关", "net.gateway", GroupId::Network},
    {IDC_DNS, "DNS服务器", "net.dns", GroupId::Network},
    {IDC_CH1_TARGET, "网络通道1 目标地址", "net.ch1.target", GroupId::Network},
    {IDC_CH1_PORT, "网络通道1 目标端口", "net.ch1.port", GroupId::Network},
    {IDC_CH2_TARGET, "网络通道2 目标地址", "net.ch2.target", GroupId::Network},
    {IDC_CH2_PORT, "网络通道2 目标端口", "net.ch2.port", GroupId::Network},
    {IDC_ACQ_TIMEOUT, "超时时间", "acq.timeout_ms", GroupId::Acq},
    {IDC_ACQ_TIMEOUT_COUNT, "超时次数", "acq.timeout_count", GroupId::Acq},
    {IDC_ACQ_INTERVAL, "间隔时间", "acq.interval_ms", GroupId::Acq},
}};

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<ControlRefusal> CheckGroupControls(GroupId group,
                                                 const std::function<std::string(int)>& textOf) {
  for (const TypedField& f : TYPED_FIELDS) {
    if (f.group != group) continue;
    const CtlKey* key = FindCtlKey(f.key);
    if (key == nullptr) continue;
    std::string error;
    if (NormalizeValue(*key, Trimmed(textOf(f.id)), error)) continue;
    return ControlRefusal{f.id, Compose(REFUSED, {f.label}) + "\n" + error};
  }
  return std::nullopt;
}

std::string GroupList(const std::vector<GroupId>& groups) {
  std::string text;
  for (const GroupId g : groups) {
    if (!text.empty()) text += LIST_SEPARATOR;
    text += GROUP_LABELS[static_cast<size_t>(g)];
  }
  return text;
}

std::string WriteAccountText(const std::vector<WriteEntry>& entries) {
  constexpr std::array<std::string_view, 3> HEADS = {ACCOUNT_WRITTEN, ACCOUNT_UNACKED,
                                                     ACCOUNT_NOT_WRITTEN};
  std::array<std::string, 3> lists;
  for (const WriteEntry& e : entries) {
    std::string& list = lists[static_cast<size_t>(e.fate)];
    if (!list.empty()) list += LIST_SEPARATOR;
    list += e.tableBlock >= 0 ? TABLE_BLOCK_LABELS[static_cast<size_t>(e.tableBlock) % 4]
                              : GROUP_LABELS[static_cast<size_t>(e.group)];
  }
  std::string text;
  for (size_t i = 0; i < lists.size(); ++i) {
    if (!lists[i].empty()) text += Compose(HEADS[i], {lists[i]}) + "\n";
  }
  return text;
}

std::string ImportedText(std::string_view status, const std::vector<int>& lines) {
  if (lines.empty()) return std::string(status);
  std::string list;
  for (const int l : lines) {
    if (!list.empty()) list += LIST_SEPARATOR;
    list += std::to_string(l);
  }
  return Compose(SKIPPED, {status, list});
}

std::string CsvRefusalText(const std::string& path, const std::string& firstLine) {
  std::string text = path + "\n" + std::string(CSV_REFUSED_HEAD) + "\n" +
                     Compose(CSV_EXPECTED, {CSV_HEADER}) + "\n";
  // A long line is cut on a character boundary.
  size_t cut = std::min<size_t>(firstLine.size(), 80);
  while (cut < firstLine.size() && (static_cast<unsigned char>(firstLine[cut]) & 0xC0) == 0x80) {
    --cut;
  }
  const std::string found = firstLine.substr(0, cut);
  return text + Compose(CSV_FOUND, {firstLine.empty() ? CSV_EMPTY_LINE : found});
}

}  // namespace qv31

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/group_table.h"
#include "session/write_account.h"

namespace qv31 {

// A control whose text cannot be what the operator meant, and why.
struct ControlRefusal {
  int id;
  std::string text;
};

// The typed fields of a group checked as the command line checks its keys (an address of
// four numbers 0 to 255, a port 0 to 65535, the number fields' ranges, a host name GBK can
// hold in 59 bytes). The first field refused, or nothing.
std::optional<ControlRefusal> CheckGroupControls(GroupId group,
                                                 const std::function<std::string(int)>& textOf);

// The operator's names of groups and table blocks, joined.
std::string GroupList(const std::vector<GroupId>& groups);
// The account of an exchange's writes, one line per fate that has any ("已写入：串口1、串口2").
std::string WriteAccountText(const std::vector<WriteEntry>& entries);

// "导入完成" (`status`) and the lines an import skipped because their number names no row,
// when there are any.
std::string ImportedText(std::string_view status, const std::vector<int>& lines);
// Beside "数据内容不符合": which line of which file, and why.
std::string CsvRefusalText(const std::string& path, const std::string& firstLine);

}  // namespace qv31

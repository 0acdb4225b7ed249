#pragma once

#include <functional>
#include <optional>
#include <string>
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

}  // namespace qv31

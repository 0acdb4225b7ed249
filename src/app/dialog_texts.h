#pragma once

#include <array>
#include <string_view>

#include "app/control_ids.h"

// The window's operator texts, one place each, and the control sets that more than one part
// of the dialog uses.
namespace qv31::dialog {

constexpr std::string_view TEXT_OPEN = "打开";
constexpr std::string_view TEXT_CLOSE = "关闭";
constexpr std::string_view TEXT_SERIAL = "串口";
constexpr std::string_view TEXT_NETWORK = "网口";
constexpr std::string_view MODE_SERIAL = "TRUE";
constexpr std::string_view MODE_NETWORK = "FALSE";
constexpr std::string_view UDP_OPEN_FAILED = "无法打开UDP端口！";
// How an exchange with the gateway ended.
constexpr std::string_view STATUS_DONE = "执行完成";
constexpr std::string_view STATUS_TIMEOUT = "通信超时";

// Locked while the link is open.
constexpr std::array<int, 5> LINK_CONTROLS = {IDC_MODE, IDC_LINK_PORT, IDC_LINK_BAUD,
                                              IDC_LINK_FORMAT, IDC_LINK_ADDRESS};

}  // namespace qv31::dialog

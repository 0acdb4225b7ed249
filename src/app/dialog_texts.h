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

// Finding gateways.
constexpr std::string_view TEXT_DETECT = "检测";
constexpr std::string_view TEXT_CANCEL = "取消";
constexpr std::string_view SEARCHING = "正在搜索…";
constexpr std::string_view SEARCH_FOUND = "找到 %d 个网关";
constexpr std::string_view SEARCH_NONE = "未找到网关";
constexpr std::string_view SEARCH_BAD_RANGE = "搜索范围无效：";
constexpr std::string_view DETECTING = "检测 %s %s（%d/%d）";
constexpr std::string_view DETECT_DONE = "检测完成：";
constexpr std::string_view DETECT_NONE = "未检测到网关";
constexpr std::string_view DETECT_CANCELLED = "检测已取消";
constexpr std::string_view DETECT_LOST = "串口已断开";

// Locked while the link is open.
constexpr std::array<int, 7> LINK_CONTROLS = {IDC_MODE,        IDC_LINK_PORT,    IDC_LINK_BAUD,
                                              IDC_LINK_FORMAT, IDC_LINK_ADDRESS, IDC_FIND_GATEWAYS,
                                              IDC_DETECT_LINE};

}  // namespace qv31::dialog

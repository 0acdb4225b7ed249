#pragma once

#include <array>
#include <string>
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
// The serial adapter went away while the link was open.
constexpr std::string_view STATUS_PORT_LOST = "串口已断开";
// After "停止采集": whether the gateway acknowledged the stop frame.
constexpr std::string_view STATUS_STOP_ACKED = "停止采集：网关已确认";
constexpr std::string_view STATUS_STOP_SILENT = "停止采集：网关未应答，采集可能仍在运行";

// The groups as the window names them in its questions and accounts, by GroupId.
constexpr std::array<std::string_view, 9> GROUP_LABELS = {
    "版本", "全部参数", "串口1", "串口2", "串口3", "串口4", "4G", "网络设置", "采集管理"};
constexpr std::array<std::string_view, 4> TABLE_BLOCK_LABELS = {
    "采集表第1块（采集设置与第1-63行）", "采集表第2块（第64-127行）", "采集表第3块（第128-191行）",
    "采集表第4块（第192-255行）"};
// A list of names is joined with this.
constexpr std::string_view LIST_SEPARATOR = "、";

// Before writing groups whose controls an unanswered query left empty; No is the default.
constexpr std::string_view ASK_BLANK_HEAD =
    "以下参数组在一次未应答的查询后是空的，尚未重新读到或填写：";
constexpr std::string_view ASK_BLANK_TAIL = "写入会把这些空值（0）写到网关上。仍要写入吗？";
// A field (%1) whose text cannot be what the operator meant; the command line's refusal
// follows on the next line.
constexpr std::string_view REFUSED = "“%1”的值无法写入，没有发送任何数据：";

// What became of each write of an exchange cut short, after "通信超时" or a lost port; %1 is
// a list of groups and table blocks.
constexpr std::string_view ACCOUNT_WRITTEN = "已写入：%1";
constexpr std::string_view ACCOUNT_UNACKED = "已发送但未确认（可能已写入）：%1";
constexpr std::string_view ACCOUNT_NOT_WRITTEN = "未写入：%1";

// Closing the window while an exchange runs.
constexpr std::string_view CLOSE_BUSY = "正在与网关通信…";
constexpr std::string_view CLOSE_ASK = "现在退出会中断通信。仍要退出吗？";

// A CSV export that failed: the file, then the reason.
constexpr std::string_view EXPORT_FAILED = "无法写入文件：%1";
// A CSV file refused with "数据内容不符合": its first line is not the header. %1 of
// CSV_EXPECTED is the header as the file format has it, of CSV_FOUND the file's first line.
constexpr std::string_view CSV_REFUSED_HEAD = "第1行不是表头，没有导入任何数据。";
constexpr std::string_view CSV_EXPECTED = "应为：%1";
constexpr std::string_view CSV_FOUND = "实为：%1";
constexpr std::string_view CSV_EMPTY_LINE = "（空）";
// "导入完成" (%1) and the lines (%2) whose number is not a row.
constexpr std::string_view SKIPPED = "%1，跳过第%2行（编号不在1到255之间）";

// The permission hint after a refused open: the device (%1) and its group (%2).
constexpr std::string_view NO_ACCESS_NO_GROUP = "没有访问权限：请检查 %1 的权限";
constexpr std::string_view NO_ACCESS_GROUP_LACKS_RIGHTS =
    "没有访问权限：%1 属于 %2 组，当前用户已在该组中，但该组没有读写权限";
constexpr std::string_view NO_ACCESS_LOG_IN_AGAIN =
    "没有访问权限：%1 属于 %2 组，当前用户已加入该组，但本次登录尚未生效：请重新登录";
constexpr std::string_view NO_ACCESS_NOT_IN_GROUP =
    "没有访问权限：%1 属于 %2 组，当前用户不在该组中：请将当前用户加入 %2 组，然后重新登录";

// Every text above the window shows, whole or as a pattern, so that none goes without its
// English.
constexpr std::array<std::string_view, 28> SHOWN_TEXTS = {
    TEXT_OPEN,
    TEXT_CLOSE,
    TEXT_SERIAL,
    TEXT_NETWORK,
    UDP_OPEN_FAILED,
    STATUS_DONE,
    STATUS_TIMEOUT,
    STATUS_PORT_LOST,
    STATUS_STOP_ACKED,
    STATUS_STOP_SILENT,
    ASK_BLANK_HEAD,
    ASK_BLANK_TAIL,
    REFUSED,
    ACCOUNT_WRITTEN,
    ACCOUNT_UNACKED,
    ACCOUNT_NOT_WRITTEN,
    CLOSE_BUSY,
    CLOSE_ASK,
    EXPORT_FAILED,
    CSV_REFUSED_HEAD,
    CSV_EXPECTED,
    CSV_FOUND,
    CSV_EMPTY_LINE,
    SKIPPED,
    NO_ACCESS_NO_GROUP,
    NO_ACCESS_GROUP_LACKS_RIGHTS,
    NO_ACCESS_LOG_IN_AGAIN,
    NO_ACCESS_NOT_IN_GROUP,
};

// Finding gateways.
constexpr std::string_view TEXT_DETECT = "检测";
constexpr std::string_view TEXT_CANCEL = "取消";
constexpr std::string_view SEARCHING = "正在搜索…";
constexpr std::string_view SEARCH_NONE = "未找到网关";
constexpr std::string_view DETECT_NONE = "未检测到网关";
constexpr std::string_view DETECT_CANCELLED = "检测已取消";
// Composed: "找到 3 个网关", "搜索范围无效：10.0.0.0/8", "检测 9600 n,8,1（1/54）",
// "检测完成：9600 n,8,1 QV31".
std::string SearchFoundText(size_t count);
std::string SearchBadRangeText(std::string_view range);
std::string DetectingText(std::string_view baud, std::string_view format, int number, int total);
std::string DetectDoneText(std::string_view baud, std::string_view format,
                           std::string_view identity);

// Locked while the link is open.
constexpr std::array<int, 7> LINK_CONTROLS = {IDC_MODE,        IDC_LINK_PORT,    IDC_LINK_BAUD,
                                              IDC_LINK_FORMAT, IDC_LINK_ADDRESS, IDC_FIND_GATEWAYS,
                                              IDC_DETECT_LINE};

}  // namespace qv31::dialog

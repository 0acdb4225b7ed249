#pragma once

#include <array>

namespace qv31 {

// The controls of the main dialog, addressed by the IDs of its resource. These IDs are the
// contract between the dialog's behaviour and every window that draws it.
enum ControlId : int {
  IDC_OK = 1,      // hidden default button: Enter does nothing
  IDC_CANCEL = 2,  // "退出"

  IDC_LINK_PORT = 1000,  // combo "串口号"
  IDC_LINK_BAUD = 1001,  // combo "波特率"
  IDC_LINK_FORMAT = 1002,
  IDC_OPEN_CLOSE = 1003,  // "打开" / "关闭"

  IDC_PORT1_BAUD = 1004,  // gateway ports: baud and format combos, 1004 to 1011
  IDC_PORT1_FORMAT = 1005,
  IDC_PORT2_BAUD = 1006,
  IDC_PORT2_FORMAT = 1007,
  IDC_PORT3_BAUD = 1008,
  IDC_PORT3_FORMAT = 1009,
  IDC_PORT4_BAUD = 1010,
  IDC_PORT4_FORMAT = 1011,
  IDC_PORT1_QUERY = 1012,  // "查询" / "设置" of ports 1 to 4, 1012 to 1019
  IDC_PORT1_SET = 1013,
  IDC_PORT2_QUERY = 1014,
  IDC_PORT2_SET = 1015,
  IDC_PORT3_QUERY = 1016,
  IDC_PORT3_SET = 1017,
  IDC_PORT4_QUERY = 1018,
  IDC_PORT4_SET = 1019,

  IDC_VERSION = 1020,  // read-only version box
  IDC_GROUP = 1021,    // "组号"
  IDC_4G_QUERY = 1022,
  IDC_4G_SET = 1023,
  IDC_LOG = 1024,  // "输出日志"

  IDC_LOCAL_IP = 1025,
  IDC_SUBNET_MASK = 1026,
  IDC_GATEWAY = 1027,
  IDC_DNS = 1028,
  IDC_DHCP = 1029,        // "自动获取IP"
  IDC_CH1_ENABLE = 1030,  // "网络通道1"
  IDC_CH1_PROTOCOL = 1031,
  IDC_CH2_PROTOCOL = 1032,
  IDC_CH2_ENABLE = 1033,  // "网络通道2"
  IDC_CH1_TARGET = 1034,
  IDC_CH2_TARGET = 1035,
  IDC_CH1_PORT = 1036,
  IDC_CH2_PORT = 1037,
  IDC_MAC = 1038,  // read only
  IDC_NET_QUERY = 1039,
  IDC_NET_SET = 1040,

  IDC_ACQ_LIST = 1041,
  IDC_ACQ_QUERY = 1042,
  IDC_ACQ_SET = 1043,
  IDC_VERSION_QUERY = 1044,
  IDC_ACQ_ENABLE = 1045,         // "采集管理使能"
  IDC_ACQ_TIMEOUT = 1046,        // "超时时间", ms
  IDC_ACQ_TIMEOUT_COUNT = 1047,  // "超时次数"
  IDC_QUERY_ALL = 1048,
  IDC_SET_ALL = 1049,
  IDC_CELL_EDIT = 1050,   // in-place edit box over a list cell
  IDC_CELL_COMBO = 1051,  // in-place drop-down list over a list cell
  IDC_STATUS = 1052,      // read-only status box
  IDC_SAVE_CSV = 1053,    // "保存到文件"
  IDC_LOAD_CSV = 1054,    // "从文件加载"
  IDC_IP_PARSER = 1055,   // hidden address control; not drawn by our windows

  IDC_LINK_PROTOCOL = 1056,      // "TCP Server", "TCP Client", "UDP"; never enabled
  IDC_LINK_ADDRESS = 1057,       // "目标地址"
  IDC_LINK_TARGET_PORT = 1058,   // "目标端口"; never enabled
  IDC_LABEL_PORT = 1059,         // "串口号"
  IDC_LABEL_BAUD = 1060,         // "波特率"
  IDC_LABEL_FORMAT = 1061,       // "格式"
  IDC_LABEL_PROTOCOL = 1062,     // "协议类型"
  IDC_LABEL_ADDRESS = 1063,      // "目标地址"
  IDC_LABEL_TARGET_PORT = 1064,  // "目标端口"
  IDC_MODE = 1065,               // check box "串口" / "网口"
  IDC_LABEL_LINK = 1066,         // "通信口"
  IDC_STATION = 1067,            // "站点号"
  IDC_ACQ_INTERVAL = 1068,       // "间隔时间", ms
  IDC_STOP_ACQ = 1069,           // "停止采集"

  // Finding gateways: beside "目标地址" in network mode, beside "波特率" in serial mode.
  IDC_FIND_GATEWAYS = 1070,  // "搜索": opens the search dialog
  IDC_DETECT_LINE = 1071,    // "检测" / "取消": the chosen port's baud and format
  // The search dialog and its controls.
  IDC_SEARCH_DIALOG = 1072,
  IDC_SEARCH_RANGE = 1073,   // ranges to search; empty: the local networks
  IDC_SEARCH_START = 1074,   // "搜索"
  IDC_SEARCH_LIST = 1075,    // what answered, one item per gateway
  IDC_SEARCH_USE = 1076,     // "确定": the chosen gateway into "目标地址" and "目标端口"
  IDC_SEARCH_STATUS = 1077,  // "正在搜索…", "找到 3 个网关"
};

// The command buttons, in the order in which they are switched. They are enabled only while
// the link is open and no exchange runs. (The group is usually called "the eighteen buttons";
// counted, it holds nineteen, the two file buttons included.)
constexpr std::array<int, 19> COMMAND_BUTTONS = {
    IDC_PORT1_QUERY, IDC_PORT1_SET,   IDC_PORT2_QUERY, IDC_PORT2_SET, IDC_PORT3_QUERY,
    IDC_PORT3_SET,   IDC_PORT4_QUERY, IDC_PORT4_SET,   IDC_4G_QUERY,  IDC_4G_SET,
    IDC_NET_QUERY,   IDC_NET_SET,     IDC_ACQ_QUERY,   IDC_ACQ_SET,   IDC_VERSION_QUERY,
    IDC_QUERY_ALL,   IDC_SET_ALL,     IDC_SAVE_CSV,    IDC_LOAD_CSV,
};

// The controls of the gateway's serial ports 1 to 4.
struct GatewayPortIds {
  int baud;
  int format;
  int query;
  int set;
};
constexpr std::array<GatewayPortIds, 4> GATEWAY_PORT_CONTROLS = {{
    {IDC_PORT1_BAUD, IDC_PORT1_FORMAT, IDC_PORT1_QUERY, IDC_PORT1_SET},
    {IDC_PORT2_BAUD, IDC_PORT2_FORMAT, IDC_PORT2_QUERY, IDC_PORT2_SET},
    {IDC_PORT3_BAUD, IDC_PORT3_FORMAT, IDC_PORT3_QUERY, IDC_PORT3_SET},
    {IDC_PORT4_BAUD, IDC_PORT4_FORMAT, IDC_PORT4_QUERY, IDC_PORT4_SET},
}};

}  // namespace qv31

// Resource IDs of the Windows window: read by the resource compiler and by the C++ code, so
// only preprocessor definitions here. The main dialog's control IDs are app/control_ids.h.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QV31_DIALOG 102
#define IDD_TRAFFIC 103
// The search window of "搜索": its template carries the dialog's ID IDC_SEARCH_DIALOG and its
// controls 1073 to 1077.
#define IDD_SEARCH 1072
#define IDR_MAINFRAME 128
#define IDR_ACCELERATORS 129

// System-menu commands: the system reserves the low four bits of a command ID.
#define IDM_ABOUTBOX 0x0010
#define IDM_TRAFFIC 0x0020
#define IDM_LANGUAGE 0x0030

// The about box's version line.
#define IDC_VERSION_LABEL 1066
// Beside the status box: frames answered of those queued (far above the dialog's own IDs).
#define IDC_PROGRESS 1199

// The traffic monitor "通信记录".
#define IDC_TRAFFIC_LIST 1100
#define IDC_TRAFFIC_PAUSE 1101
#define IDC_TRAFFIC_CLEAR 1102
#define IDC_TRAFFIC_SAVE 1103
#define IDC_TRAFFIC_NOTE 1104

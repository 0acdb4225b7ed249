#pragma once

#include <string>
#include <string_view>

#include "transport/link_transport.h"
#include "transport/port_discovery.h"

namespace qv31::dialog {

// The message box's first line when a serial port does not open: "无法打开 COM3 串口！".
std::string SerialOpenFailedText(std::string_view port);

// The second line under a failed open or a lost port: the reason in the operator's words, and
// for a busy port the programs that hold it; empty when there is nothing to say.
std::string LinkErrorText(const LinkOpenError& error);

// The hint after a refused open: the device's own group and whether the user is in it.
std::string PermissionHint(const std::string& devicePath, const DeviceGroupAccess& access);

}  // namespace qv31::dialog

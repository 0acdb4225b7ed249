#include "app/link_error_text.h"

#include <cstring>

#include "app/dialog_texts.h"
#include "app/text_catalogue.h"

namespace qv31::dialog {

std::string PermissionHint(const std::string& devicePath, const DeviceGroupAccess& access) {
  if (access.group.empty()) return Compose(NO_ACCESS_NO_GROUP, {devicePath});
  const std::string_view pattern = access.inSession        ? NO_ACCESS_GROUP_LACKS_RIGHTS
                                   : access.inUserDatabase ? NO_ACCESS_LOG_IN_AGAIN
                                                           : NO_ACCESS_NOT_IN_GROUP;
  return Compose(pattern, {devicePath, access.group});
}

namespace {

struct PortReasonText {
  PortError error;
  std::string_view text;
};

constexpr PortReasonText PORT_REASON_TEXTS[] = {
    {PortError::Missing, "设备不存在（未插入或名称有误）"},
    {PortError::Busy, "串口已被其他程序占用"},
    {PortError::PermissionDenied, "没有访问权限：请将当前用户加入 dialout 组，然后重新登录"},
    {PortError::NotSerial, "不是串口设备"},
    {PortError::Other, "系统错误"},
    {PortError::Lost, "串口已断开（设备被拔出或关闭）"},
};

std::string PortReason(const LinkOpenError& error) {
  if (error.port == PortError::PermissionDenied && !error.device.empty()) {
    return PermissionHint(error.device, error.access);
  }
  std::string text;
  for (const auto& r : PORT_REASON_TEXTS) {
    if (r.error == error.port) text = r.text;
  }
  for (const std::string& holder : error.holders) text += "：" + holder;
  return text;
}

std::string UdpReason(const LinkOpenError& error) {
  switch (error.udp) {
    case UdpError::Socket:
      return error.systemCode != 0 ? std::strerror(error.systemCode) : "系统错误";
    case UdpError::BadPort:
      return "目标端口无效";
    case UdpError::Unresolved:
      return "目标地址无法解析：" + error.target;
    case UdpError::None:
      break;
  }
  return {};
}

}  // namespace

std::string SerialOpenFailedText(std::string_view port) {
  return "无法打开 " + std::string(port) + " 串口！";
}

std::string LinkErrorText(const LinkOpenError& error) {
  switch (error.link) {
    case LinkOpenError::Link::Serial:
      return PortReason(error);
    case LinkOpenError::Link::Udp:
      return UdpReason(error);
    case LinkOpenError::Link::None:
      break;
  }
  return {};
}

}  // namespace qv31::dialog

#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/ckx_file_ini.h"

namespace qv31 {

constexpr std::string_view SETTINGS_FILE = "配置.ini";
constexpr std::string_view SETTINGS_SECTION = "系统";

// The gateway's address on the local network when the file names none. The gateways ship
// with a static address on 192.168.1.0/24, the most common office and workshop subnet;
// .254 stays clear of the routers (.1) and DHCP pools (.100 and up) usually found there.
constexpr std::string_view DEFAULT_GATEWAY_ADDRESS = "192.168.1.254";

// The serial receive gap ("延时", --delay) in milliseconds: a whole number up to a minute of
// quiet, far beyond any line's need.
constexpr int64_t DELAY_MAX_MS = 60000;
// Digits only, 0 to DELAY_MAX_MS.
bool IsDelayText(std::string_view text);

// The link settings as the window holds them, as texts.
struct LinkSettings {
  std::string portText = "COM1";     // "串口号"
  std::string baudText = "9600";     // "波特率"
  std::string formatText = "n,8,1";  // "格式"
  std::string delayText = "100";     // "延时": read, never written
  std::string serialMode = "TRUE";   // "串口通信": "TRUE" selects serial, anything else UDP
  std::string protocolText = "UDP";  // "网络协议"
  std::string addressText = std::string(DEFAULT_GATEWAY_ADDRESS);  // "网络地址"
  std::string targetPortText = "2332";                             // "网络端口"
  bool operator==(const LinkSettings&) const = default;
};

// The eight keys of section "系统", each with its default when missing; a "延时" that is not
// IsDelayText gets its default too.
LinkSettings LoadLinkSettings(const CKXFileIni& ini);
// The same; when the file exists but gives the defaults (it cannot be read, is not GBK, is
// empty or has no "系统" section) or its "延时" is refused, `problem` names the file, the
// reason and what is used instead; else it is emptied.
LinkSettings LoadLinkSettings(const CKXFileIni& ini, std::string& problem);
// Writes the seven keys other than "延时", in one atomic rewrite that keeps every other byte
// of the file; creates the file when missing. -1 on failure, else 7.
int32_t SaveLinkSettings(const CKXFileIni& ini, const LinkSettings& settings);

}  // namespace qv31

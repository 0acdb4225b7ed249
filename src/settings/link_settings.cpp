#include "settings/link_settings.h"

#include <array>
#include <utility>
#include <vector>

namespace qv31 {
namespace {

struct SettingKey {
  std::string_view key;
  std::string LinkSettings::*member;
  bool written;
};

// Read order; the written keys are saved in the same order.
constexpr std::array<SettingKey, 8> kKeys = {{
    {"串口号", &LinkSettings::portText, true},
    {"波特率", &LinkSettings::baudText, true},
    {"格式", &LinkSettings::formatText, true},
    {"延时", &LinkSettings::delayText, false},
    {"串口通信", &LinkSettings::serialMode, true},
    {"网络协议", &LinkSettings::protocolText, true},
    {"网络地址", &LinkSettings::addressText, true},
    {"网络端口", &LinkSettings::targetPortText, true},
}};

}  // namespace

LinkSettings LoadLinkSettings(const CKXFileIni& ini) {
  const LinkSettings defaults;
  LinkSettings s;
  for (const SettingKey& k : kKeys) {
    ini.ReadString(SETTINGS_SECTION, k.key, defaults.*k.member, s.*k.member);
  }
  return s;
}

LinkSettings LoadLinkSettings(const CKXFileIni& ini, std::string& problem) {
  problem.clear();
  if (const std::string reason = ini.FileProblem(); !reason.empty()) {
    problem = ini.FilePath() + ": " + reason;
  }
  return LoadLinkSettings(ini);
}

int32_t SaveLinkSettings(const CKXFileIni& ini, const LinkSettings& s) {
  std::vector<std::pair<std::string_view, std::string_view>> entries;
  for (const SettingKey& k : kKeys) {
    if (k.written) entries.emplace_back(k.key, s.*k.member);
  }
  return ini.WriteStrings(SETTINGS_SECTION, entries);
}

}  // namespace qv31

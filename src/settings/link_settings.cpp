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

bool IsDelayText(std::string_view text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != text.npos) {
    return false;
  }
  return std::stol(std::string(text)) <= DELAY_MAX_MS;
}

LinkSettings LoadLinkSettings(const CKXFileIni& ini) {
  std::string ignored;
  return LoadLinkSettings(ini, ignored);
}

LinkSettings LoadLinkSettings(const CKXFileIni& ini, std::string& problem) {
  problem.clear();
  if (const std::string reason = ini.SectionProblem(SETTINGS_SECTION); !reason.empty()) {
    problem = ini.FilePath() + ": " + reason + "; the defaults are used";
    return LinkSettings{};
  }
  const LinkSettings defaults;
  LinkSettings s;
  for (const SettingKey& k : kKeys) {
    ini.ReadString(SETTINGS_SECTION, k.key, defaults.*k.member, s.*k.member);
  }
  // Cut to its field the number would wrap ("4294967296" is 0) or become days of waiting.
  if (!IsDelayText(s.delayText)) {
    problem = ini.FilePath() + ": 延时=" + s.delayText + " is not a whole number from 0 to " +
              std::to_string(DELAY_MAX_MS) + "; " + defaults.delayText + " is used";
    s.delayText = defaults.delayText;
  }
  return s;
}

int32_t SaveLinkSettings(const CKXFileIni& ini, const LinkSettings& s) {
  std::vector<std::pair<std::string_view, std::string_view>> entries;
  for (const SettingKey& k : kKeys) {
    if (k.written) entries.emplace_back(k.key, s.*k.member);
  }
  return ini.WriteStrings(SETTINGS_SECTION, entries);
}

}  // namespace qv31

#include "app/text_catalogue.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace qv31 {
namespace {

constexpr CatalogueText kTexts[] = {
    // The main window: title, groups, labels, buttons, check boxes.
    {"采集管理设置软件", "Acquisition Manager Settings"},
    {"软件参数", "Link"},
    {"通信口", "Link type"},
    {"串口", "Serial"},
    {"网口", "Network"},
    {"串口号", "Serial port"},
    {"协议类型", "Protocol"},
    {"波特率", "Baud rate"},
    {"目标地址", "Address"},
    {"格式", "Format"},
    {"目标端口", "Port"},
    {"打开", "Open"},
    {"关闭", "Close"},
    {"打开/关闭", "Open/Close"},
    {"停止采集", "Stop acquisition"},
    {"串口1", "Port 1"},
    {"串口2", "Port 2"},
    {"串口3", "Port 3"},
    {"串口4", "Port 4"},
    {"查询", "Query"},
    {"设置", "Set"},
    {"版本号", "Version"},
    {"4G参数", "4G"},
    {"组号", "Group"},
    {"站点号", "Station"},
    {"输出日志", "Log output"},
    {"网口参数", "Network"},
    {"自动获取IP", "DHCP"},
    {"本机IP", "Local IP"},
    {"子网掩码", "Subnet mask"},
    {"默认网关", "Gateway"},
    {"DNS服务器", "DNS server"},
    {"目标IP/域名", "Target IP/domain"},
    {"网络通道1", "Channel 1"},
    {"网络通道2", "Channel 2"},
    {"MAC地址", "MAC address"},
    {"采集管理参数", "Acquisition table"},
    {"采集管理使能", "Enabled"},
    {"间隔时间", "Interval"},
    {"超时时间", "Timeout"},
    {"超时次数", "Retries"},
    {"查询全部", "Query all"},
    {"设置全部", "Set all"},
    {"保存到文件", "Save to file"},
    {"从文件加载", "Load from file"},
    {"进度", "Progress"},
    {"状态", "Status"},
    {"退出", "Exit"},
    {"单元格编辑框", "Cell edit box"},
    {"单元格选择框", "Cell drop-down"},
    {"关于 QV31(&A)...", "&About QV31..."},
    {"通信记录", "Traffic monitor"},
    {"通信记录(&T)...", "&Traffic monitor..."},
    // The acquisition list's headers; columns the operator cannot edit carry asterisks.
    {"*编号*", "*No.*"},
    {"通道号", "Channel"},
    {"从站地址", "Slave"},
    {"变量类型", "Variable type"},
    {"起始变量", "First variable"},
    {"变量个数", "Count"},
    {"*变量计算*", "*Variables*"},
    {"缓存", "Buffer"},
    {"*缓存计算*", "*Buffer cells*"},
    // Status texts, message boxes, files.
    {"执行完成", "Done"},
    {"通信超时", "No answer"},
    {"导出完成", "Exported"},
    {"导入完成", "Imported"},
    {"数据内容不符合", "Data does not match"},
    {"串口已断开", "Port lost"},
    {"停止采集：网关已确认", "Stop acquisition: the gateway acknowledged"},
    {"停止采集：网关未应答，采集可能仍在运行",
     "Stop acquisition: no answer from the gateway; acquisition may still be running"},
    // Writes the window guards and accounts for; the groups and table blocks they name.
    {"版本", "Version"},
    {"全部参数", "All parameters"},
    {"4G", "4G"},
    {"网络设置", "Network settings"},
    {"采集管理", "Acquisition"},
    {"采集表第1块（采集设置与第1-63行）", "Table block 1 (acquisition settings, rows 1-63)"},
    {"采集表第2块（第64-127行）", "Table block 2 (rows 64-127)"},
    {"采集表第3块（第128-191行）", "Table block 3 (rows 128-191)"},
    {"采集表第4块（第192-255行）", "Table block 4 (rows 192-255)"},
    {"以下参数组在一次未应答的查询后是空的，尚未重新读到或填写：",
     "These groups are empty after a query that went unanswered, and have not been read or "
     "filled in since:"},
    {"写入会把这些空值（0）写到网关上。仍要写入吗？",
     "Writing puts these empty values (0) on the gateway. Write them anyway?"},
    {"“%1”的值无法写入，没有发送任何数据：", "\"%1\" cannot be written; nothing was sent:"},
    {"已写入：%1", "Written: %1"},
    {"已发送但未确认（可能已写入）：%1", "Sent, not acknowledged (perhaps written): %1"},
    {"未写入：%1", "Not written: %1"},
    {"正在与网关通信…", "Talking to the gateway…"},
    {"现在退出会中断通信。仍要退出吗？", "Exiting now cuts the exchange short. Exit anyway?"},
    {"无法写入文件：%1", "Cannot write the file: %1"},
    {"第1行不是表头，没有导入任何数据。", "Line 1 is not the header; nothing was imported."},
    {"应为：%1", "Expected: %1"},
    {"实为：%1", "Found: %1"},
    {"（空）", "(empty)"},
    {"%1，跳过第%2行（编号不在1到255之间）", "%1, lines %2 skipped (their number is not 1 to 255)"},
    {"无法打开UDP端口！", "Cannot open the UDP port!"},
    {"无法打开 %1 串口！", "Cannot open serial port %1!"},
    {"无法写入 %1", "Cannot write %1"},
    {"参数文件 (*.csv)", "Parameter files (*.csv)"},
    {"设备不存在（未插入或名称有误）", "No such device (not plugged in, or a wrong name)"},
    {"串口已被其他程序占用", "The port is in use by another program"},
    {"串口已被其他程序占用：%1", "The port is in use by another program: %1"},
    {"没有访问权限：请将当前用户加入 dialout 组，然后重新登录",
     "Permission denied: add your user to the dialout group, then log in again"},
    {"不是串口设备", "Not a serial device"},
    {"系统错误", "System error"},
    {"串口已断开（设备被拔出或关闭）", "The port is gone (unplugged or switched off)"},
    {"目标端口无效", "Invalid target port"},
    {"没有访问权限：请检查 %1 的权限", "Permission denied: check the permissions of %1"},
    {"没有访问权限：%1 属于 %2 组，当前用户已在该组中，但该组没有读写权限",
     "Permission denied: %1 belongs to group %2; your user is in that group, but the group may "
     "not read and write it"},
    {"没有访问权限：%1 属于 %2 组，当前用户已加入该组，但本次登录尚未生效：请重新登录",
     "Permission denied: %1 belongs to group %2; your user was added to it, but not yet for this "
     "login: log in again"},
    {"没有访问权限：%1 属于 %2 组，当前用户不在该组中：请将当前用户加入 %2 组，然后重新登录",
     "Permission denied: %1 belongs to group %2 and your user is not in it: add your user to "
     "group %2, then log in again"},
    {"目标地址无法解析：%1", "Cannot resolve the target address: %1"},
    // Finding gateways: the buttons, the search window, the status texts.
    {"搜索", "Search"},
    {"检测", "Detect"},
    {"取消", "Cancel"},
    {"搜索网关", "Search gateways"},
    {"检测串口参数", "Detect serial settings"},
    {"搜索范围", "Range"},
    {"开始搜索", "Start search"},
    {"搜索结果", "Gateways found"},
    {"使用所选网关", "Use the chosen gateway"},
    {"搜索状态", "Search status"},
    {"空：本机所在网络；或 192.168.1.0/24、192.168.1.10-192.168.1.40",
     "Empty: the local networks; or 192.168.1.0/24, 192.168.1.10-192.168.1.40"},
    {"正在搜索…", "Searching..."},
    {"找到 %1 个网关", "Found %1 gateways"},
    {"未找到网关", "No gateway found"},
    {"搜索范围无效：%1", "Not a range: %1"},
    {"检测 %1 %2（%3/%4）", "Trying %1 %2 (%3/%4)"},
    {"检测完成：%1 %2 %3", "Found: %1 %2 %3"},
    {"未检测到网关", "No gateway answered"},
    {"检测已取消", "Detection cancelled"},
    // The about box.
    {"关于 QV31", "About QV31"},
    {"QV31，%1 版", "QV31, version %1"},
    {"© 2026 The QV31 configurator developers，MIT 许可证",
     "© 2026 The QV31 configurator developers, MIT licence"},
    {"确定", "OK"},
    // The table checks' reasons, shown on the marked cells.
    {"通道无效：写入为 0xFF，网关不会采集这一行",
     "No channel: written as 0xFF, the gateway will not poll this row"},
    {"数值超出字段范围 0~%1：写入时截为 %2", "Out of the field's range 0~%1: written as %2"},
    {"从站地址应在 1~247 之间", "A slave address is 1 to 247"},
    {"变量个数为 0：这一行不读写任何变量", "Count 0: this row reads and writes nothing"},
    {"变量类型无效：写入为 0xFF", "No variable type: written as 0xFF"},
    {"缓存与第 %1 行重叠：两行写入同一缓存",
     "Buffer overlaps row %1: both rows write the same buffer cells"},
    // The traffic monitor.
    {"时间 (ms)", "Time (ms)"},
    {"方向", "Direction"},
    {"长度", "Length"},
    {"帧头", "Header"},
    {"结果", "Fate"},
    {"数据", "Bytes"},
    {"发 >", "sent >"},
    {"收 <", "recv <"},
    {"暂停", "Pause"},
    {"继续", "Resume"},
    {"清除", "Clear"},
    {"保存...", "Save..."},
    {"保存通信记录", "Save the traffic record"},
    {"通信记录-%1.txt", "traffic-%1.txt"},
    {"文本文件 (*.txt)", "Text files (*.txt)"},
    {"已保存到 %1", "Saved to %1"},
    {"区%1 %2 地址%3 长度%4", "area %1 %2 addr %3 len %4"},
    {"写", "write"},
    {"读", "read"},
    {"读应答", "read reply"},
    {"写应答", "write ack"},
    {"操作%1", "op %1"},
    {"发送", "sent"},
    {"重发", "repeated"},
    {"过短", "too short"},
    {"校验错误", "bad CRC"},
    {"前导码错误", "bad preamble"},
    {"完成请求", "answered"},
    {"迟到应答，丢弃", "late answer, dropped"},
    {"停止采集应答", "stop acknowledged"},
    {"无匹配，丢弃", "unmatched, dropped"},
};

// A pattern's fixed pieces around its parts: "无法打开 %1 串口！" is {"无法打开 ", " 串口！"}
// with part 1 between them.
struct Pattern {
  const CatalogueText* text;
  std::vector<std::string_view> pieces;
  std::vector<int> parts;
};

std::vector<Pattern> MakePatterns() {
  std::vector<Pattern> patterns;
  for (const CatalogueText& t : kTexts) {
    Pattern p{&t, {}, {}};
    size_t from = 0;
    for (size_t at = t.zh.find('%'); at != std::string_view::npos; at = t.zh.find('%', at + 1)) {
      if (at + 1 >= t.zh.size() || !std::isdigit(static_cast<unsigned char>(t.zh[at + 1]))) {
        continue;
      }
      p.pieces.push_back(t.zh.substr(from, at - from));
      p.parts.push_back(t.zh[at + 1] - '0');
      from = at + 2;
    }
    if (p.parts.empty()) continue;
    p.pieces.push_back(t.zh.substr(from));
    patterns.push_back(std::move(p));
  }
  return patterns;
}

const std::vector<Pattern>& Patterns() {
  static const std::vector<Pattern> patterns = MakePatterns();
  return patterns;
}

const CatalogueText* Exact(std::string_view text) {
  for (const CatalogueText& t : kTexts) {
    if (t.zh == text) return &t;
  }
  return nullptr;
}

// The parts of `text` when it is `p` filled in; each part as short as the next piece allows.
bool Match(const Pattern& p, std::string_view text, std::vector<std::string_view>& parts) {
  if (!text.starts_with(p.pieces.front()) || !text.ends_with(p.pieces.back())) return false;
  parts.clear();
  size_t at = p.pieces.front().size();
  const size_t end = text.size() - p.pieces.back().size();
  if (end < at) return false;
  for (size_t i = 1; i + 1 < p.pieces.size(); ++i) {
    const size_t next = text.find(p.pieces[i], at);
    if (next == std::string_view::npos || next >= end) return false;
    parts.push_back(text.substr(at, next - at));
    at = next + p.pieces[i].size();
  }
  parts.push_back(text.substr(at, end - at));
  return std::none_of(parts.begin(), parts.end(), [](std::string_view s) { return s.empty(); });
}

std::string Fill(std::string_view pattern, const Pattern& p,
                 const std::vector<std::string_view>& parts, Language language) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() &&
        std::isdigit(static_cast<unsigned char>(pattern[i + 1]))) {
      const int part = pattern[i + 1] - '0';
      const auto it = std::find(p.parts.begin(), p.parts.end(), part);
      if (it != p.parts.end())
        out += Translate(parts[static_cast<size_t>(it - p.parts.begin())], language);
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

std::optional<std::string> Known(std::string_view text, Language language) {
  if (const CatalogueText* t = Exact(text)) return std::string(t->en);
  std::vector<std::string_view> parts;
  for (const Pattern& p : Patterns()) {
    if (Match(p, text, parts)) return Fill(p.text->en, p, parts, language);
  }
  return std::nullopt;
}

bool IsNumber(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
}

// A list of names ("串口1、串口2") or of line numbers, or words ("网络通道1 目标地址"), each
// item known; nothing when any item is not.
std::optional<std::string> KnownItems(std::string_view text, std::string_view separator,
                                      std::string_view joiner, Language language) {
  if (text.find(separator) == std::string_view::npos) return std::nullopt;
  std::string out;
  size_t from = 0;
  while (true) {
    const size_t at = text.find(separator, from);
    const std::string_view item = text.substr(from, at - from);
    std::optional<std::string> known = IsNumber(item) ? std::string(item) : Known(item, language);
    if (!known) return std::nullopt;
    out += *known;
    if (at == std::string_view::npos) return out;
    out += joiner;
    from = at + separator.size();
  }
}

std::string TranslateLine(std::string_view text, Language language) {
  if (auto known = Known(text, language)) return *known;
  if (auto list = KnownItems(text, "、", ", ", language)) return *list;
  if (auto words = KnownItems(text, " ", " ", language)) return *words;
  return std::string(text);
}

}  // namespace

std::span<const CatalogueText> Catalogue() { return kTexts; }

std::string Compose(std::string_view pattern, std::initializer_list<std::string_view> parts) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    const bool part = pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' &&
                      static_cast<size_t>(pattern[i + 1] - '1') < parts.size();
    if (!part) {
      out += pattern[i];
      continue;
    }
    out += parts.begin()[pattern[i + 1] - '1'];
    ++i;
  }
  return out;
}

std::string Translate(std::string_view text, Language language) {
  if (language == Language::Chinese || text.empty()) return std::string(text);
  std::string out;
  size_t from = 0;
  for (size_t nl = text.find('\n'); nl != std::string_view::npos; nl = text.find('\n', from)) {
    out += TranslateLine(text.substr(from, nl - from), language) + "\n";
    from = nl + 1;
  }
  return out + TranslateLine(text.substr(from), language);
}

std::string TranslateWords(std::string_view text, Language language) {
  if (language == Language::Chinese || Exact(text) != nullptr) return Translate(text, language);
  std::string out;
  size_t from = 0;
  for (size_t sp = text.find(' '); sp != std::string_view::npos; sp = text.find(' ', from)) {
    out += Translate(text.substr(from, sp - from), language) + " ";
    from = sp + 1;
  }
  return out + Translate(text.substr(from), language);
}

std::string_view LanguageCode(Language language) {
  return language == Language::English ? "en" : "zh";
}

std::optional<Language> ParseLanguage(std::string_view code) {
  if (code == "zh") return Language::Chinese;
  if (code == "en") return Language::English;
  return std::nullopt;
}

Language LanguageFromEnvironment(const std::function<const char*(const char*)>& getEnv) {
  auto value = [&](const char* name) {
    const char* v = getEnv(name);
    return std::string_view(v != nullptr ? v : "");
  };
  std::string_view locale = value("LC_ALL");
  if (locale.empty()) locale = value("LC_MESSAGES");
  if (locale.empty()) locale = value("LANG");
  if (locale.empty() || locale == "C" || locale == "POSIX" || locale.starts_with("C.")) {
    return Language::Chinese;
  }
  std::string_view wanted = value("LANGUAGE");
  wanted = wanted.substr(0, wanted.find(':'));
  if (wanted.empty()) wanted = locale;
  const bool english = wanted == "en" || wanted.starts_with("en_") || wanted.starts_with("en.") ||
                       wanted.starts_with("en@");
  return english ? Language::English : Language::Chinese;
}

}  // namespace qv31

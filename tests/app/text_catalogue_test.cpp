#include "app/text_catalogue.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "acq/acq_checks.h"
#include "acq/csv_file.h"
#include "app/control_checks.h"
#include "app/dialog_texts.h"
#include "app/link_error_text.h"
#include "link/link_frame.h"
#include "session/trace_text.h"
#include "transport/serial_line.h"

namespace qv31 {
namespace {

// True when `text` holds a CJK character or a full-width form (UTF-8 lead bytes E3 to E9 and
// EF BC/BD cover them).
bool HasChinese(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto b = static_cast<unsigned char>(text[i]);
    if (b >= 0xE3 && b <= 0xE9) return true;
    if (b == 0xEF && i + 1 < text.size() &&
        (static_cast<unsigned char>(text[i + 1]) == 0xBC ||
         static_cast<unsigned char>(text[i + 1]) == 0xBD)) {
      return true;
    }
  }
  return false;
}

std::multiset<std::string> Parts(std::string_view text) {
  std::multiset<std::string> parts;
  for (size_t at = text.find('%'); at != std::string_view::npos; at = text.find('%', at + 1)) {
    if (at + 1 < text.size() && text[at + 1] >= '1' && text[at + 1] <= '9') {
      parts.insert(std::string(text.substr(at, 2)));
    }
  }
  return parts;
}

TEST(Catalogue, EveryTextHasItsEnglishWithTheSameParts) {
  std::set<std::string_view> seen;
  for (const CatalogueText& t : Catalogue()) {
    EXPECT_TRUE(seen.insert(t.zh).second) << "twice: " << t.zh;
    EXPECT_FALSE(t.en.empty()) << t.zh;
    EXPECT_FALSE(HasChinese(t.en)) << t.zh << " -> " << t.en;
    EXPECT_EQ(Parts(t.zh), Parts(t.en)) << t.zh;
  }
}

// The texts other parts of the program compose in Chinese and the window shows: each comes
// out English.
TEST(Catalogue, EveryTextTheWindowIsGivenTranslates) {
  std::vector<std::string> shown;
  // Every constant of the dialog, its patterns filled with values that stay as they are.
  for (const std::string_view text : dialog::SHOWN_TEXTS) {
    shown.push_back(Compose(text, {"/dev/ttyUSB0", "uucp"}));
  }
  for (const std::string_view label : dialog::GROUP_LABELS) shown.emplace_back(label);
  for (const std::string_view label : dialog::TABLE_BLOCK_LABELS) shown.emplace_back(label);
  shown.push_back(GroupList({GroupId::Port1, GroupId::FourG, GroupId::Network, GroupId::Acq}));
  std::vector<WriteEntry> entries;
  for (int g = 0; g < static_cast<int>(dialog::GROUP_LABELS.size()); ++g) {
    for (const WriteFate fate :
         {WriteFate::Written, WriteFate::Unacknowledged, WriteFate::NotWritten}) {
      entries.push_back({static_cast<GroupId>(g), g == 8 ? 3 : -1, fate});
      entries.push_back({static_cast<GroupId>(g), -1, fate});
    }
  }
  shown.push_back(WriteAccountText(entries));
  shown.push_back(ImportedText(STATUS_IMPORTED, {3, 300, 4}));
  for (const char* first : {"", "id;channel"}) {
    // The expected header is the file format's own and stays as it stands.
    std::string text = CsvRefusalText("/tmp/in.csv", first);
    text.replace(text.find(CSV_HEADER), CSV_HEADER.size(), "HEADER");
    shown.push_back(text);
  }
  for (const DeviceGroupAccess& access : std::initializer_list<DeviceGroupAccess>{
           {"uucp", false, false}, {"dialout", false, true}, {"dialout", true, true}, {}}) {
    shown.push_back(dialog::PermissionHint("/dev/ttyUSB0", access));
  }
  for (const GroupId g : {GroupId::FourG, GroupId::Network, GroupId::Acq}) {
    const auto refusal = CheckGroupControls(g, [](int) { return std::string("x"); });
    ASSERT_TRUE(refusal.has_value());
    shown.push_back(refusal->text);
  }
  shown.push_back(Compose(dialog::REFUSED, {"网络通道2 目标端口"}));
  for (const CsvResult r : {CsvResult::Exported, CsvResult::Imported, CsvResult::Mismatch}) {
    shown.emplace_back(CsvStatusText(r));
  }
  for (const AcqColumnInfo& c : AcqColumns()) shown.emplace_back(c.header);
  for (int e = 1; e <= static_cast<int>(PortError::Lost); ++e) {
    LinkOpenError error;
    error.link = LinkOpenError::Link::Serial;
    error.port = static_cast<PortError>(e);
    shown.push_back(dialog::LinkErrorText(error));
  }
  for (int f = 0; f <= static_cast<int>(BlockFate::StopAnswer); ++f) {
    shown.emplace_back(FateText(static_cast<BlockFate>(f)));
  }
  for (const int op : {int{OP_WRITE}, int{OP_READ}, int{OP_READ_REPLY}, int{OP_WRITE_ACK}, 9}) {
    std::vector<uint8_t> frame(16, 0);
    frame[9] = static_cast<uint8_t>(op);
    shown.push_back(DescribeHeader(frame));
  }
  // Every reason the table checks give: rows 1 and 2 over the same buffer cells, and a row
  // for each other fault; no channel anywhere.
  AcqGrid grid;
  const std::tuple<int, int, const char*> cells[] = {
      {0, COL_TYPE, "02-R"}, {0, COL_SLAVE, "0"},   {0, COL_START, "70000"}, {0, COL_COUNT, "2"},
      {0, COL_BUFFER, "10"}, {1, COL_TYPE, "02-R"}, {1, COL_SLAVE, "1"},     {1, COL_COUNT, "2"},
      {1, COL_BUFFER, "10"}, {2, COL_COUNT, "0"},   {2, COL_START, "1"},     {3, COL_TYPE, "?"},
      {3, COL_SLAVE, "2"},   {3, COL_CHANNEL, "?"},
  };
  for (const auto& [row, column, text] : cells) grid.SetCell(row, column, text);
  std::set<std::string> reasons;
  for (const AcqFinding& f : CheckAcqGrid(grid)) {
    shown.push_back(f.text);
    reasons.insert(f.text.substr(0, 12));  // four characters name the kind
  }
  EXPECT_EQ(reasons.size(), 6u) << "each kind of reason: " << ::testing::PrintToString(reasons);
  ASSERT_GE(shown.size(), 95u);
  for (const std::string& text : shown) {
    const std::string english = Translate(text, Language::English);
    EXPECT_FALSE(english.empty()) << text;
    EXPECT_FALSE(HasChinese(english)) << text << " -> " << english;
    EXPECT_EQ(Translate(text, Language::Chinese), text);
  }
}

TEST(Catalogue, ComposedTextsTranslateWithTheirParts) {
  const std::pair<const char*, const char*> cases[] = {
      {"执行完成", "Done"},
      {"无法打开 /dev/ttyUSB0 串口！\n设备不存在（未插入或名称有误）",
       "Cannot open serial port /dev/ttyUSB0!\nNo such device (not plugged in, or a wrong name)"},
      {"串口已被其他程序占用：minicom (1234)：screen (99)",
       "The port is in use by another program: minicom (1234)：screen (99)"},
      {"区1 读应答 地址6 长度320", "area 1 read reply addr 6 len 320"},
      {"区2 操作9 地址0 长度0", "area 2 op 9 addr 0 len 0"},
      {"数值超出字段范围 0~255：写入时截为 44", "Out of the field's range 0~255: written as 44"},
      {"QV31，1.4.3.4 版", "QV31, version 1.4.3.4"},
      {"无法写入 /tmp/参数D20260101-000000.csv", "Cannot write /tmp/参数D20260101-000000.csv"},
      {"", ""},
      {"通信超时\n已写入：串口1、串口2\n已发送但未确认（可能已写入）：串口3\n"
       "未写入：4G、采集表第4块（第192-255行）\n",
       "No answer\nWritten: Port 1, Port 2\nSent, not acknowledged (perhaps written): Port 3\n"
       "Not written: 4G, Table block 4 (rows 192-255)\n"},
      {"导入完成，跳过第3、300行（编号不在1到255之间）",
       "Imported, lines 3, 300 skipped (their number is not 1 to 255)"},
      {"“网络通道1 目标地址”的值无法写入，没有发送任何数据：\nnet.ch1.target takes ...",
       "\"Channel 1 Address\" cannot be written; nothing was sent:\nnet.ch1.target takes "
       "..."},
      {"没有访问权限：/dev/ttyS0 属于 uucp 组，当前用户不在该组中：请将当前用户加入 uucp "
       "组，然后重新登录",
       "Permission denied: /dev/ttyS0 belongs to group uucp and your user is not in it: add your "
       "user to group uucp, then log in again"},
      {"串口1、COM9", "串口1、COM9"},  // not every item known: a value
      {"无效", "无效"},                // a cell value, not a text of the window
      {"QV31-SIM 1.0", "QV31-SIM 1.0"},
  };
  for (const auto& [zh, en] : cases) EXPECT_EQ(Translate(zh, Language::English), en) << zh;
  EXPECT_EQ(TranslateWords("串口1 波特率", Language::English), "Port 1 Baud rate");
  EXPECT_EQ(TranslateWords("采集管理参数 查询", Language::English), "Acquisition table Query");
}

TEST(Catalogue, TheLocaleGivesEnglishOnlyWhenItsLanguageIsEnglish) {
  using Env = std::map<std::string, std::string>;
  const std::pair<Env, Language> cases[] = {
      {{}, Language::Chinese},
      {{{"LANG", "C"}}, Language::Chinese},
      {{{"LC_ALL", "POSIX"}, {"LANG", "en_US.UTF-8"}}, Language::Chinese},
      {{{"LC_ALL", "C.UTF-8"}, {"LANGUAGE", "en"}}, Language::Chinese},
      {{{"LANG", "en_US.UTF-8"}}, Language::English},
      {{{"LANG", "en_GB"}}, Language::English},
      {{{"LANG", "zh_CN.UTF-8"}}, Language::Chinese},
      {{{"LANG", "de_DE.UTF-8"}}, Language::Chinese},
      {{{"LC_MESSAGES", "en_US.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, Language::English},
      {{{"LC_ALL", "zh_CN.UTF-8"}, {"LC_MESSAGES", "en_US.UTF-8"}}, Language::Chinese},
      {{{"LANG", "zh_CN.UTF-8"}, {"LANGUAGE", "en_US:zh_CN"}}, Language::English},
      {{{"LANG", "en_US.UTF-8"}, {"LANGUAGE", "zh_CN:en"}}, Language::Chinese},
      {{{"LANGUAGE", "en"}}, Language::Chinese},  // no locale: C
      {{{"LANG", "english"}}, Language::Chinese},
  };
  for (const auto& [env, expected] : cases) {
    const Language got = LanguageFromEnvironment([&env](const char* name) -> const char* {
      const auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
    std::string shown;
    for (const auto& [k, v] : env) shown += k + "=" + v + " ";
    EXPECT_EQ(got, expected) << shown;
  }
  EXPECT_EQ(ParseLanguage("en"), Language::English);
  EXPECT_EQ(ParseLanguage("zh"), Language::Chinese);
  EXPECT_EQ(ParseLanguage("EN"), std::nullopt);
}

}  // namespace
}  // namespace qv31

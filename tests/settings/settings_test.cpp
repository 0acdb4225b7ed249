#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "file_bytes.h"
#include "settings/ckx_file_ini.h"
#include "settings/ini_text.h"
#include "settings/link_settings.h"
#include "settings/settings_directory.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(dir.empty());
    ini.SetFileIn(dir.string(), std::string(SETTINGS_FILE));
  }
  TempDir temp{"qv31-ini"};
  const fs::path& dir = temp.Dir();
  std::string Gbk(const std::string& utf8) { return Utf8ToGbk(utf8); }
  CKXFileIni ini;
};

TEST_F(SettingsTest, NoFileGivesDefaultsAndTheFirstSaveWritesSevenKeys) {
  EXPECT_EQ(ini.FilePath(), (dir / "配置.ini").string());
  const LinkSettings s = LoadLinkSettings(ini);
  EXPECT_EQ(s, LinkSettings{});
  std::string out;
  EXPECT_EQ(ini.ReadString("系统", "无", "默认", out), 6);
  EXPECT_EQ(out, "默认");
  ASSERT_EQ(SaveLinkSettings(ini, s), 7);
  EXPECT_EQ(ReadBytes(ini.FilePath()),
            Gbk("[系统]\r\n串口号=COM1\r\n波特率=9600\r\n格式=n,8,1\r\n串口通信=TRUE\r\n"
                "网络协议=UDP\r\n网络地址=192.168.1.254\r\n网络端口=2332\r\n"));
  EXPECT_EQ(LoadLinkSettings(ini), s);
}

TEST_F(SettingsTest, ForeignLinesAndTheDelaySurviveEverySave) {
  const std::string original =
      Gbk("; written by hand\r\n[其他]\r\n串口号=keep me\r\n\r\n[系统]\r\n延时=20\r\n"
          "  波特率 = 4800 \r\n; comment inside\r\n未知=x\r\n\r\n[尾]\r\nk=v");
  WriteBytes(ini.FilePath(), original);
  LinkSettings s = LoadLinkSettings(ini);
  EXPECT_EQ(s.delayText, "20");
  EXPECT_EQ(s.baudText, "4800");
  EXPECT_EQ(s.portText, "COM1");
  s.baudText = "12345";  // not in the window's list: the file keeps what it was given
  for (int i = 0; i < 3; ++i) ASSERT_EQ(SaveLinkSettings(ini, s), 7);
  EXPECT_EQ(ReadBytes(ini.FilePath()),
            Gbk("; written by hand\r\n[其他]\r\n串口号=keep me\r\n\r\n[系统]\r\n延时=20\r\n"
                "波特率=12345\r\n; comment inside\r\n未知=x\r\n串口号=COM1\r\n格式=n,8,1\r\n"
                "串口通信=TRUE\r\n网络协议=UDP\r\n网络地址=192.168.1.254\r\n网络端口=2332\r\n"
                "\r\n[尾]\r\nk=v"));
  EXPECT_EQ(LoadLinkSettings(ini), s);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator{}), 1)
      << "no temporary file left behind";
}

TEST_F(SettingsTest, ValuesRoundTripAndStayOnTheirLine) {
  LinkSettings s;
  s.addressText = "  spaced  ";
  s.portText = "\"quoted\"";
  s.protocolText = "TCP\r\n[系统]\r\n串口通信=FALSE";  // cannot inject lines
  ASSERT_EQ(SaveLinkSettings(ini, s), 7);
  const LinkSettings back = LoadLinkSettings(ini);
  EXPECT_EQ(back.addressText, "  spaced  ");
  EXPECT_EQ(back.portText, "\"quoted\"");
  EXPECT_EQ(back.protocolText, "TCP");
  EXPECT_EQ(back.serialMode, "TRUE");
}

// Near the size bound: many foreign keys and a value far over the value limit.
TEST_F(SettingsTest, LargeFilesWithinTheBoundAreRead) {
  std::string file = Gbk("[系统]\r\n");
  for (int i = 0; i < 3000; ++i) file += "k" + std::to_string(i) + "=v\r\n";
  file += Gbk("网络端口=") + std::string(30000, '7') + "\r\n" + Gbk("格式=e,8,2\r\n");
  // 258 bytes, then a two-byte character that would end at byte 260: never split.
  file += Gbk("网络地址=") + std::string(258, 'b') + Gbk("网") + "\r\n";
  WriteBytes(ini.FilePath(), file);
  const LinkSettings s = LoadLinkSettings(ini);
  EXPECT_EQ(s.targetPortText, std::string(INI_VALUE_MAX, '7'));
  EXPECT_EQ(s.formatText, "e,8,2");
  EXPECT_EQ(s.addressText, std::string(258, 'b'));
  ASSERT_EQ(SaveLinkSettings(ini, s), 7);
  const std::string saved = ReadBytes(ini.FilePath());
  const size_t keys = file.find(Gbk("网络端口"));
  EXPECT_EQ(saved.substr(0, keys), file.substr(0, keys));
  EXPECT_EQ(LoadLinkSettings(ini), s);
}

TEST_F(SettingsTest, AFileThatCannotBeUsedIsNamedAndGivesTheDefaults) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> make;
    const char* reason;
  };
  const Case cases[] = {
      {"directory", [](const fs::path& p) { fs::create_directory(p); }, "is a directory"},
      {"loop",
       [](const fs::path& p) {
         fs::create_symlink(p.string() + ".b", p);
         fs::create_symlink(p, p.string() + ".b");
       },
       "Too many levels of symbolic links"},
      {"bad GBK",
       [this](const fs::path& p) { WriteBytes(p, Gbk("[系统]\r\n波特率=4800\r\n") + "\xFF\r\n"); },
       "is not valid GBK text"},
      {"unreadable",
       [this](const fs::path& p) {
         WriteBytes(p, Gbk("[系统]\r\n波特率=4800\r\n"));
         fs::permissions(p, fs::perms::none);
       },
       "Permission denied"},
      {"FIFO", [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); },
       "is a FIFO, not a regular file"},
      {"device", [](const fs::path& p) { fs::create_symlink("/dev/zero", p); },
       "is a device, not a regular file"},
      {"huge",
       [this](const fs::path& p) {
         WriteBytes(p, Gbk("[系统]\r\n波特率=4800\r\n"));
         fs::resize_file(p, 60u << 20);
       },
       "is larger than 64 KiB (the settings need under 3 KB)"},
      {"BOM", [this](const fs::path& p) { WriteBytes(p, "\xEF\xBB\xBF" + Gbk("[系统]\r\n")); },
       "begins with a UTF-8 byte-order mark; it must be GBK text"},
      {"empty", [this](const fs::path& p) { WriteBytes(p, ""); }, "is empty"},
      {"no section", [this](const fs::path& p) { WriteBytes(p, Gbk("[其他]\r\n波特率=4800\r\n")); },
       "has no [系统] section"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (std::string(c.what) == "unreadable" && ::geteuid() == 0) continue;  // root reads it
    TempDir t{"qv31-ini-bad"};
    CKXFileIni bad;
    bad.SetFileIn(t.Dir().string(), std::string(SETTINGS_FILE));
    c.make(bad.FilePath());
    std::string problem;
    EXPECT_EQ(LoadLinkSettings(bad, problem), LinkSettings{});
    EXPECT_EQ(problem, bad.FilePath() + ": " + c.reason + "; the defaults are used");
    EXPECT_EQ(SaveLinkSettings(bad, LinkSettings{}) == 7,
              std::string(c.what) == "empty" || std::string(c.what) == "no section" ||
                  std::string(c.what) == "BOM" || std::string(c.what) == "bad GBK")
        << "a file that cannot be read is not replaced";
  }
  std::string problem = "x";
  LoadLinkSettings(ini, problem);
  EXPECT_EQ(problem, "") << "a missing file is no problem";
}

// Cut to a 32-bit field these would wrap to 0 or wait for days.
TEST_F(SettingsTest, ADelayOutOfRangeIsNamedAndGetsItsDefault) {
  const struct {
    const char* text;
    const char* use;
  } cases[] = {{"20", "20"},
               {"60000", "60000"},
               {"60001", "100"},
               {"4294967296", "100"},
               {"99999999999999", "100"},
               {"-1", "100"},
               {"12abc", "100"},
               {"", "100"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteBytes(ini.FilePath(), Gbk(std::string("[系统]\r\n延时=") + c.text + "\r\n"));
    std::string problem;
    EXPECT_EQ(LoadLinkSettings(ini, problem).delayText, c.use);
    EXPECT_EQ(problem.empty(), std::string(c.use) != "100") << problem;
  }
}

TEST_F(SettingsTest, OnlySavingCreatesTheDirectory) {
  CKXFileIni nested;
  nested.SetFileIn((dir / "a" / "qv31").string(), std::string(SETTINGS_FILE));
  LoadLinkSettings(nested);
  EXPECT_FALSE(fs::exists(dir / "a"));
  ASSERT_EQ(SaveLinkSettings(nested, LinkSettings{}), 7);
  EXPECT_TRUE(fs::is_regular_file(nested.FilePath()));
  EXPECT_EQ(fs::status(dir / "a" / "qv31").permissions() & fs::perms::all, fs::perms::owner_all);
}

TEST(IniText, LookupRules) {
  const std::string file =
      "top=0\n[A]\nkey=1\nKEY=2\n  spaced key  =  v w  \n;x=no\nq='quoted '\nnoeq\n[B\nb=4\n"
      "[a]\nlate=3\n[C] trailing\r\nc=\"x\"\"\r\nnul=ab" +
      std::string(1, '\0') + "cd\r\n";
  struct Case {
    const char* section;
    const char* key;
    const char* value;  // nullptr: missing
  };
  const Case cases[] = {
      {"A", "key", "1"},      {"a", "KEY", "1"},     {"A", "spaced key", "v w"},
      {"A", ";x", nullptr},   {"A", "q", "quoted "}, {"A", "noeq", nullptr},
      {"A", "late", nullptr},  // the second [a] is not looked at
      {"A", "b", "4"},         // "[B" opens nothing
      {"", "top", nullptr},   {"C", "c", "x\""},     {"C", "nul", "ab"},
      {"D", "c", nullptr},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IniLookup(file, c.section, c.key).value_or("<missing>"),
              c.value ? c.value : "<missing>")
        << c.section << "/" << c.key;
  }
  // A GBK trail byte that is an ASCII letter is not folded: 0xB2 0x41 and 0xB2 0x61 differ.
  EXPECT_FALSE(IniLookup("[\xB2\x41]\nk=1\n", "\xB2\x61", "k").has_value());
  EXPECT_TRUE(IniLookup("[\xB2\x41]\nk=1\n", "\xB2\x41", "K").has_value());
}

TEST(SettingsDirectory, Fallbacks) {
  struct Case {
    const char* exeDir;
    bool writable;
    const char* xdg;
    const char* home;
    const char* expect;
  };
  const Case cases[] = {
      {"/opt/qv31/bin", true, "/x", "/home/u", "/opt/qv31/bin"},
      {"/usr/bin", false, "/home/u/.cfg", "/home/u", "/home/u/.cfg/qv31"},
      {"/usr/bin", false, "relative", "/home/u", "/home/u/.config/qv31"},
      {"/usr/bin", false, nullptr, nullptr, ""},
      {"", true, nullptr, "/root", "/root/.config/qv31"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseSettingsDirectory(c.exeDir, c.writable, c.xdg, c.home), c.expect)
        << c.exeDir << " " << (c.xdg ? c.xdg : "-");
  }
  EXPECT_FALSE(ExecutableDirectory().empty());
}

// Root may write /usr/bin, yet "配置.ini" and the CSV files must not land among the system's
// programs.
TEST(SettingsDirectory, SystemFoldersAreNotTheProgramsOwn) {
  struct Case {
    const char* dir;
    bool owned;
    bool system;
  };
  const Case cases[] = {
      {"/usr/bin", true, true},       {"/usr", true, true},           {"/opt/qv31/bin", true, true},
      {"/usr/local/bin", true, true}, {"/home/u/qv31", true, false},  {"/home/u/qv31", false, true},
      {"/usr2/qv31", true, false},    {"/optical/qv31", true, false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsSystemFolder(c.dir, c.owned), c.system) << c.dir;
}

}  // namespace
}  // namespace qv31

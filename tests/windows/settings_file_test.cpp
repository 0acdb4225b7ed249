#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>

#include "settings/ckx_file_ini.h"
#include "settings/link_settings.h"
#include "settings/settings_directory.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

namespace fs = std::filesystem;

std::string Bytes(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// A folder with a Chinese name: paths reach the system as UTF-8 through the manifest or the
// wide calls, never through the ANSI code page.
class WindowsSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::temp_directory_path() / fs::path(u8"qv31-设置");
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::u8string name = dir.u8string();
    ini.SetFileIn(std::string(name.begin(), name.end()), std::string(SETTINGS_FILE));
  }
  void TearDown() override { fs::remove_all(dir); }
  fs::path dir;
  CKXFileIni ini;
};

TEST_F(WindowsSettingsTest, ReplaceKeepsOtherBytesAndLeavesNoTemporaryFile) {
  const fs::path file = dir / fs::path(u8"配置.ini");
  std::ofstream(file, std::ios::binary) << Utf8ToGbk("; 注释\r\n[其他]\r\n键=值\r\n");
  LinkSettings s;
  s.portText = "COM12";
  s.baudText = "14400";
  ASSERT_EQ(SaveLinkSettings(ini, s), 7);
  const std::string bytes = Bytes(file);
  EXPECT_EQ(bytes.rfind(Utf8ToGbk("; 注释\r\n[其他]\r\n键=值\r\n"), 0), 0u);
  EXPECT_NE(bytes.find(Utf8ToGbk("串口号=COM12\r\n")), std::string::npos);
  EXPECT_EQ(LoadLinkSettings(ini), s);
  s.baudText = "9600";  // an existing file is replaced
  EXPECT_EQ(SaveLinkSettings(ini, s), 7);
  EXPECT_EQ(LoadLinkSettings(ini).baudText, "9600");
  int files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
  EXPECT_EQ(files, 1);
}

TEST(WindowsSettingsPlace, BesideTheProgramElseAppData) {
  const std::tuple<const char*, bool, const char*, const char*> cases[] = {
      {"C:\\qv31", true, "C:\\Users\\op\\AppData\\Roaming", "C:\\qv31"},
      {"C:\\Program Files\\qv31", false, "C:\\Users\\op\\AppData\\Roaming",
       "C:\\Users\\op\\AppData\\Roaming\\qv31"},
      {"C:\\Program Files\\qv31", false, "", ""},
  };
  for (const auto& [exeDir, writable, appData, expected] : cases) {
    EXPECT_EQ(ChooseWindowsSettingsDirectory(exeDir, writable, appData), expected) << exeDir;
  }
  // The test program's own folder is the build's, which may be written.
  EXPECT_EQ(SettingsDirectory(), ExecutableDirectory());
}

}  // namespace
}  // namespace qv31

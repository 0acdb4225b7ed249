#include "sim/state_file.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/factory_state.h"

namespace qv31 {
namespace {

// Files, atomic replacement and restarts are exercised through the program.
TEST(StateFile, LoadsExactlyWhatWasSavedAndRefusesAnythingElse) {
  GatewayMemory memory = FactoryMemory();
  for (int i = 0; i < 2048; ++i) memory.AreaBytes(AREA_TABLE)[i] = static_cast<uint8_t>(i * 31);
  const std::string good = StateToJson(memory);
  GatewayMemory loaded;
  std::string error;
  ASSERT_EQ(StateFromJson(good, loaded, error), 1) << error;
  EXPECT_TRUE(loaded == memory);
  // Readable: the parameter image as hexadecimal from device address 6 on.
  ASSERT_NE(good.find("\"06 00 00 01 00 00 00 00 00 00 00 00 00 05 05 03\""), std::string::npos);

  auto edit = [&good](const std::string& from, const std::string& to) {
    std::string s = good;
    return s.replace(s.find(from), from.size(), to);
  };
  const struct {
    const char* name;
    std::string text;
  } cases[] = {
      {"empty", ""},
      {"not JSON", good.substr(0, good.size() / 2)},
      {"other format", edit("qv31-sim state", "something else")},
      {"other version", edit("\"version\": 1", "\"version\": 2")},
      {"missing area", edit("\"ident\"", "\"identity\"")},
      {"short area", edit("\"06 00 00 01 ", "\"")},
      {"odd digits", edit("\"06 00 00 01 ", "\"06 0 00 01 ")},
      {"not hex", edit("\"06 00 00 01 ", "\"06 0G 00 01 ")},
      {"moved area", edit("\"address\": 6", "\"address\": 7")},
  };
  for (const auto& c : cases) {
    GatewayMemory untouched;
    std::string why;
    EXPECT_EQ(StateFromJson(c.text, untouched, why), -1) << c.name;
    EXPECT_FALSE(why.empty()) << c.name;
    EXPECT_TRUE(untouched == GatewayMemory()) << c.name;
  }
}

}  // namespace
}  // namespace qv31

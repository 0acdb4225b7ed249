#include "session/key_table.h"

#include <gtest/gtest.h>

namespace qv31 {
namespace {

TEST(CtlKeys, ValuesOutsideTheirListOrRangeAreRefused) {
  struct Case {
    const char* key;
    const char* value;
    const char* normalized;  // nullptr: refused
  };
  const Case cases[] = {
      {"port1.baud", "9600", "9600"},
      {"port1.baud", "9601", nullptr},
      {"port2.format", "e,8,2", "e,8,2"},
      {"port2.format", "E,8,2", nullptr},
      {"4g.station", "65535", "65535"},
      {"4g.station", "70000", nullptr},
      {"4g.station", "-1", nullptr},
      {"4g.station", "12abc", nullptr},
      {"4g.group", "2147483647", "2147483647"},
      {"4g.log", "on", "on"},
      {"4g.log", "true", "on"},
      {"4g.log", "false", "off"},
      {"4g.log", "yes", nullptr},
      {"4g.log", "True", nullptr},
      {"acq.timeout_ms", "2550", "2550"},
      {"acq.timeout_ms", "2560", nullptr},
      {"acq.timeout_ms", "1005", nullptr},
      {"acq.timeout_count", "256", nullptr},
      {"net.ip", "10.0.0.1", "10.0.0.1"},
      {"net.ip", "10.0.0.256", nullptr},
      {"net.ip", "10.0.0", nullptr},
      {"net.ip", "10.0.0.1.", nullptr},
      {"net.ip", "..1.", nullptr},
      {"net.ch2.target", "gw.example.com", nullptr},
      {"net.ch1.target", "gw.example.com", "gw.example.com"},
      {"net.ch1.target", "1.2.3", nullptr},
      {"net.ch1.target", "a b", nullptr},
      {"net.ch1.target", "", nullptr},
      {"net.ch1.target", "北京北京北京北京北京北京北京北京北京北京北京北京北京北京.cn",
       "北京北京北京北京北京北京北京北京北京北京北京北京北京北京.cn"},
      {"net.ch1.target", "北京北京北京北京北京北京北京北京北京北京北京北京北京北京北.cn", nullptr},
      {"net.ch1.protocol", "UDP Client", "UDP Client"},
      {"net.ch1.protocol", "UDP", nullptr},
      {"net.mac", "00-00-00-00-00-00", nullptr},
      {"identity", "x", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + "=" + c.value);
    const CtlKey* key = FindCtlKey(c.key);
    ASSERT_NE(key, nullptr);
    std::string error;
    const auto got = NormalizeValue(*key, c.value, error);
    if (c.normalized == nullptr) {
      EXPECT_FALSE(got);
      EXPECT_NE(error.find(c.key), std::string::npos) << "the message names the key";
    } else {
      EXPECT_EQ(got.value_or("<refused>"), c.normalized);
    }
  }
}

// Every writable key through the images and back, the way set and get meet them; the texts
// go through the same group conversions as the window's.
TEST(CtlKeys, TextFormsBothWays) {
  ParamBlock params;
  AcqGrid grid;
  struct Case {
    const char* key;
    const char* value;
    int32_t result;
    const char* shown;
  };
  const Case cases[] = {
      {"port2.baud", "38400", 1, "38400"},
      {"port2.baud", "9601", -1, "38400"},
      {"port4.format", "o,8,2", 1, "o,8,2"},
      {"4g.log", "yes", -1, "off"},
      {"4g.log", "on", 1, "on"},
      {"4g.group", "12", 1, "12"},
      {"4g.station", "70000", 1, "4464"},  // the window cuts to 16 bits
      {"net.mac", "00-11-22-33-44-55", -1, "00-00-00-00-00-00"},
      {"net.ch1.target", "gw.example.com", 1, "gw.example.com"},
      {"net.ch2.protocol", "UDP Client", 1, "UDP Client"},
      {"net.ch2.port", "502", 1, "502"},
      {"identity", "x", -1, "QV31 V1.0"},
      {"acq.enable", "on", 1, "on"},
      {"acq.enable", "1", -1, "on"},
      {"acq.timeout_ms", "1005", 1, "1005"},
      {"acq.interval_ms", "9", 1, "9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    const CtlKey* key = FindCtlKey(c.key);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetKeyText(*key, params, grid, c.value), c.result);
    EXPECT_EQ(GetKeyText(*key, {params, grid, "QV31 V1.0"}), c.shown);
  }
  EXPECT_EQ(params.GroupFlag(), 1);
  EXPECT_EQ(grid.Settings().interval, "9");
  EXPECT_EQ(FindCtlKey("no.such"), nullptr);
}

}  // namespace
}  // namespace qv31

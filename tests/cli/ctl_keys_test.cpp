#include "cli/ctl_keys.h"

#include <gtest/gtest.h>

#include "cli/ctl_options.h"

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
      {"4g.log", "yes", nullptr},
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

TEST(CtlOptions, CommandLines) {
  struct Case {
    std::vector<std::string> argv;
    bool ok;
    CtlOptions::Link link;
    std::string command;
  };
  const Case cases[] = {
      {{"--udp", "10.0.0.9", "info"}, true, CtlOptions::Link::Udp, "info"},
      {{"--serial", "/dev/ttyUSB0", "--baud", "19200", "stop"},
       true,
       CtlOptions::Link::Serial,
       "stop"},
      {{"--json", "get", "4g.station"}, true, CtlOptions::Link::Settings, "get"},
      {{"--udp", "a", "--serial", "b", "info"}, false, {}, {}},
      {{"--udp", "a", "--baud", "9600", "info"}, false, {}, {}},
      {{"--udp"}, false, {}, {}},
      {{"--frobnicate", "info"}, false, {}, {}},
      {{"--udp", "a"}, false, {}, {}},
  };
  for (const Case& c : cases) {
    CtlOptions o;
    std::string error;
    EXPECT_EQ(ParseCtlOptions(c.argv, o, error), c.ok) << c.argv[0] << " " << error;
    if (c.ok) {
      EXPECT_EQ(o.link, c.link);
      EXPECT_EQ(o.command, c.command);
    }
  }
  CtlOptions o;
  std::string error;
  ASSERT_TRUE(ParseCtlOptions({"--udp=gw:4000", "info"}, o, error));
  EXPECT_EQ(o.host, "gw");
  EXPECT_EQ(o.udpPort, "4000");
}

}  // namespace
}  // namespace qv31

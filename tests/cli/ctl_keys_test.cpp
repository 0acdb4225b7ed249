#include <gtest/gtest.h>

#include "cli/ctl_options.h"

namespace qv31 {
namespace {

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

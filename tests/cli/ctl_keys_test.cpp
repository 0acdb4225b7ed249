#include <gtest/gtest.h>

#include "cli/ctl_options.h"

namespace qv31 {
namespace {

// Without --udp or --serial the link comes from the settings file, as the window left it.
// What the options refuse is tried on the real program (ctl_options_test.cpp).
TEST(CtlOptions, NoConnectionMeansTheSettingsFile) {
  CtlOptions o;
  std::string error;
  ASSERT_TRUE(ParseCtlOptions({"--json", "get", "4g.station"}, o, error)) << error;
  EXPECT_EQ(o.link, CtlOptions::Link::Settings);
  EXPECT_EQ(o.command, "get");
}

}  // namespace
}  // namespace qv31

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/accepted_replies.h"
#include "link/link_frame.h"
#include "params/four_g_group.h"
#include "params/network_group.h"
#include "params/param_block.h"
#include "params/port_group.h"
#include "text/gbk.h"

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes Slice(const ParamBlock& b, int offset, int length) {
  return Bytes(b.Bytes().begin() + offset, b.Bytes().begin() + offset + length);
}

void StoreReply(ParamBlock& block, uint16_t address, const Bytes& payload) {
  const AcceptedReply* row = MatchAcceptedReply(
      {AREA_PARAMS, OP_READ_REPLY, address, static_cast<uint16_t>(payload.size())});
  ASSERT_NE(row, nullptr);
  ASSERT_EQ(block.StoreReply(*row, payload.data()), static_cast<int32_t>(payload.size()));
}

TEST(ParamBlock, RepliesLandOnlyInTheirWindow) {
  ParamBlock block;
  EXPECT_EQ(block.Bytes()[0], 0xFF);
  StoreReply(block, 6, {6, 5});  // port 1, although the whole image starts at 6 too
  EXPECT_EQ(Slice(block, 0, 3), (Bytes{6, 5, 0}));
  StoreReply(block, 320, {9, 7});
  EXPECT_EQ(Slice(block, 312, 8), (Bytes{0, 0, 9, 7, 0, 0, 0, 0}));
  // A row pointing past the image is refused without touching it.
  const ParamBlock before = block;
  const AcceptedReply bad{AREA_PARAMS, OP_READ_REPLY, 324, 4, ReplyTarget::Params, 318, 0, 0};
  const Bytes four(4, 0xAA);
  EXPECT_EQ(block.StoreReply(bad, four.data()), -1);
  EXPECT_EQ(block.Store(-1, four.data(), 1), -1);
  EXPECT_TRUE(std::equal(block.Bytes().begin(), block.Bytes().end(), before.Bytes().begin()));
}

TEST(FourG, ReadAndShow) {
  struct Case {
    FourGControls in;
    Bytes bytes2to13;
  };
  const Case cases[] = {
      {{"-1", "65537", false}, {0, 1, 1, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 5}},
      {{"x", " +258abc", false}, {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5}},
  };
  for (const Case& c : cases) {
    ParamBlock block;
    Store4GControls(c.in, block);
    EXPECT_EQ(Slice(block, 2, 12), c.bytes2to13) << c.in.group << "/" << c.in.station;
  }
  ParamBlock block;
  block.SetGroupNo(-5);
  block.SetStationNo(65535);
  block.SetLogOutput(201);
  EXPECT_EQ(FourGControlsOf(block), (FourGControls{"-5", "65535", true}));
  block.SetLogOutput(200);
  EXPECT_FALSE(FourGControlsOf(block).logTicked);
}

TEST(FourG, VersionTextStopsAtZeroAndAtTwelveBytes) {
  Bytes payload(IDENT_SIZE, 'x');
  EXPECT_EQ(VersionText(payload), std::string(12, 'x'));
  payload[3] = 0;
  EXPECT_EQ(VersionText(payload), "xxx");
  const std::string gbk = Utf8ToGbk("ABCDEFGHIJK网关");  // the 12th byte starts a character
  EXPECT_EQ(VersionText(Bytes(gbk.begin(), gbk.end())), "ABCDEFGHIJK");
}

TEST(Ports, PositionsAndCodes) {
  struct Case {
    int port;
    PortControls controls;
    Bytes written;
  };
  const Case cases[] = {
      {3, {6, 5}, {9, 7}},         // 38400, e,8,2
      {4, {-1, 2}, {0xEE, 2}},     // no baud selection keeps the stored byte
      {4, {9, -1}, {0xEE, 0xEE}},  // positions outside the lists likewise
  };
  for (const Case& c : cases) {
    ParamBlock block;
    const int offset = PortAddress(c.port) - PARAM_BASE;
    block.Put8(offset, 0xEE);
    block.Put8(offset + 1, 0xEE);
    StorePortControls(c.controls, block, c.port);
    EXPECT_EQ(Slice(block, offset, 2), c.written) << c.port;
  }
  struct Shown {
    uint8_t baud, format;
    PortControls expect;
  };
  for (const Shown& s :
       {Shown{3, 3, {0, 1}}, {11, 4, {8, 2}}, {2, 8, {-1, -1}}, {12, 7, {-1, 5}}}) {
    ParamBlock block;
    block.SetBaudCode(2, s.baud);
    block.SetFormatCode(2, s.format);
    EXPECT_EQ(PortControlsOf(block, 2), s.expect) << int(s.baud) << "/" << int(s.format);
    EXPECT_EQ(PortControlsOf(block, 1), (PortControls{-1, 0})) << "port 1 untouched";
  }
  ParamBlock block;
  EXPECT_EQ(StorePortControls({0, 0}, block, 5), -1);
}

TEST(Network, ParseDottedAddress) {
  EXPECT_EQ(ParseDottedAddress("192.168.1.254"), (Ipv4{192, 168, 1, 254}));
  EXPECT_EQ(ParseDottedAddress("010.001.0.9"), (Ipv4{10, 1, 0, 9}));
  // Anything but four numbers of one to three digits, each at most 255, gives 0.0.0.0.
  for (const char* text : {"", "gateway.example.com", "1.2.3", "256.1.1.1", " 1.2.3.4", "1.2.3.4x",
                           "1..2.3", "0001.2.3.4", "8.8.8.8.example"}) {
    EXPECT_EQ(ParseDottedAddress(text), Ipv4{}) << text;
  }
}

TEST(Network, Channel1TargetAddressOrDomain) {
  const std::string chinese = "网关.例子" + std::string(60, 'a');  // GBK: 2+2+1+2+2 = 9 bytes
  struct Case {
    std::string text;
    Ipv4 ip;
    int domainLen;  // -1: left as it was (7)
    std::string shown;
  };
  const Case cases[] = {
      {"10.1.2.3", {10, 1, 2, 3}, -1, "10.1.2.3"},
      {"0.0.0.0", {}, -1, "abcdefg"},  // the old domain shows again
      {"example.com1", {}, 12, "example.com1"},
      {std::string(70, 'h'), {}, 59, std::string(59, 'h')},
      {chinese, {}, 59, chinese.substr(0, 13 + 50)},
      {std::string(58, 'a') + "网关", {}, 58, std::string(58, 'a')},  // never half a character
      {"", {}, 0, "0.0.0.0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ParamBlock block;
    block.Put8(OFFSET_CH1_DOMAIN_LEN, 7);
    for (int i = 0; i < DOMAIN_MAX; ++i) block.Put8(OFFSET_CH1_DOMAIN + i, 'a' + i % 26);
    ReadChannel1Target(c.text, block);
    EXPECT_EQ(block.GetIpv4(OFFSET_CH1_TARGET_IP), c.ip);
    EXPECT_EQ(block.Ch1DomainLen(), c.domainLen < 0 ? 7 : c.domainLen);
    // Bytes past the new length stay as they were.
    for (int i = std::max(c.domainLen, 0); i < DOMAIN_MAX; ++i) {
      ASSERT_EQ(block.Get8(OFFSET_CH1_DOMAIN + i), 'a' + i % 26) << i;
    }
    EXPECT_EQ(ShowChannel1Target(block), c.shown);
  }
}

TEST(Network, ReadWriteAndCarriedBytes) {
  ParamBlock block;
  Bytes reply(104, 0);
  reply[0] = 0x02;  // mac
  reply[5] = 0xAF;
  reply[6] = 0x86;   // netFlags
  reply[25] = 0x5A;  // reserved183
  for (int i = 38; i < 44; ++i) reply[static_cast<size_t>(i)] = static_cast<uint8_t>(0xB0 + i);
  StoreReply(block, 158, reply);
  NetworkControls shown = NetworkControlsOf(block);
  EXPECT_TRUE(shown.dhcp && shown.ch1Enabled && shown.ch2Enabled);
  EXPECT_EQ(shown.mac, "02-00-00-00-00-AF");
  EXPECT_EQ(shown.ch1Protocol, 0);
  shown.localIp = "192.168.1.20";
  shown.ch1Protocol = 3;
  shown.ch2Protocol = -1;  // no selection: the stored byte stays
  block.Put8(OFFSET_CH2_PROTOCOL, 9);
  shown.ch1Port = "2332";
  shown.ch2Port = "70000";
  shown.ch2Target = "gw.example";  // channel 2 has no domain: 0.0.0.0
  shown.dhcp = false;
  StoreNetworkControls(shown, block);
  const Bytes p = block.Window(164, 98);  // what the network write carries
  EXPECT_EQ(p[0], NET_CH1_ENABLE | NET_CH2_ENABLE);
  EXPECT_EQ(Bytes(p.begin() + 1, p.begin() + 5), (Bytes{192, 168, 1, 20}));
  EXPECT_EQ(Bytes(p.begin() + 17, p.begin() + 20), (Bytes{3, 9, 0x5A}));  // reserved183 last
  EXPECT_EQ(Bytes(p.begin() + 24, p.begin() + 32), (Bytes{0x1C, 0x09, 0, 0, 0, 0, 0x70, 0x11}));
  for (int i = 0; i < 6; ++i) EXPECT_EQ(p[32 + i], 0xB0 + 38 + i) << "reserved196";
  block.SetNetFlags(0x01);
  shown = NetworkControlsOf(block);
  EXPECT_FALSE(shown.dhcp || shown.ch1Enabled || shown.ch2Enabled);
}

}  // namespace
}  // namespace qv31

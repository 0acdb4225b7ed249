// The session against the simulator's memory over UDP on 127.0.0.1: what each group's "查询"
// and "设置" put on the wire, byte for byte, and what they change in the gateway and in the
// images. The window and qv31ctl drive these same commands.
#include "session/gateway_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "gateway_rig.h"
#include "session/key_table.h"
#include "session/timer_loop.h"
#include "transport/pty_pair.h"

namespace qv31 {
namespace {

using Windows = std::vector<std::pair<int, int>>;  // (first image byte, length)

struct SessionRig final : SessionListener {
  SessionRig() {
    timers.beforeTick = [this] { gateway.Pump(); };
    timers.onTimer = [this](int id) { session.OnTimer(id); };
    EXPECT_TRUE(session.Link().OpenUdp("127.0.0.1", gateway.port));
    session.QueryAll();
    session.StartConnect();
    EXPECT_TRUE(RunToIdle());
    gateway.received.clear();
  }
  void ReplyStored(const AcceptedReply&) override {}
  void ExchangeEnded(const ExchangeOutcome& outcome) override { outcomes.push_back(outcome); }
  bool RunToIdle() {
    return timers.AdvanceUntil([this] { return !session.Engine().HasWork(); }, 5000);
  }
  // Runs one command to its end; returns the frames the gateway received.
  std::vector<std::vector<uint8_t>> Run(const std::function<void()>& command) {
    command();
    EXPECT_TRUE(RunToIdle());
    return std::exchange(gateway.received, {});
  }

  FakeTimers timers;
  UdpGateway gateway;
  GatewaySession session{timers, [this] { return timers.Now(); }, *this};
  std::vector<ExchangeOutcome> outcomes;
};

// Which image bytes a query brings in: the images start as the complement of the gateway's
// memory, so a byte equal to the memory afterwards came with the reply.
Windows Refreshed(std::span<uint8_t> image, std::span<const uint8_t> memory,
                  const std::function<void()>& query) {
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(~memory[i]);
  query();
  Windows w;
  for (int i = 0; i < static_cast<int>(image.size()); ++i) {
    if (image[i] != memory[i]) continue;
    if (!w.empty() && w.back().first + w.back().second == i) {
      ++w.back().second;
    } else {
      w.emplace_back(i, 1);
    }
  }
  return w;
}

TEST(SessionGroups, EachQueryReadsExactlyItsWindowIntoTheImage) {
  struct Case {
    GroupId group;
    std::vector<FrameHeader> wire;
    Windows windows;
  };
  const FrameHeader t0{AREA_TABLE, OP_READ, 0, 512}, t1{AREA_TABLE, OP_READ, 0x200, 512};
  const FrameHeader t2{AREA_TABLE, OP_READ, 0x400, 512}, t3{AREA_TABLE, OP_READ, 0x600, 512};
  const Case cases[] = {
      {GroupId::Identity, {{AREA_IDENT, OP_READ, 0, 18}}, {{0, 18}}},
      {GroupId::Params, {{AREA_PARAMS, OP_READ, 6, 320}}, {{0, 320}}},
      {GroupId::Port1, {{AREA_PARAMS, OP_READ, 6, 2}}, {{0, 2}}},
      {GroupId::Port2, {{AREA_PARAMS, OP_READ, 320, 2}}, {{314, 2}}},
      {GroupId::Port3, {{AREA_PARAMS, OP_READ, 322, 2}}, {{316, 2}}},
      {GroupId::Port4, {{AREA_PARAMS, OP_READ, 324, 2}}, {{318, 2}}},
      {GroupId::FourG, {{AREA_PARAMS, OP_READ, 8, 12}}, {{2, 12}}},
      {GroupId::Network, {{AREA_PARAMS, OP_READ, 158, 104}}, {{152, 104}}},
      {GroupId::Acq, {t0, t1, t2, t3}, {{0, 2048}}},
  };
  SessionRig rig;
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "group " << int(c.group));
    GatewaySession& s = rig.session;
    std::vector<std::vector<uint8_t>> sent;
    const auto query = [&] { sent = rig.Run([&] { s.Query(c.group); }); };
    Windows got;
    if (c.group == GroupId::Identity) {
      auto ident = s.IdentityBytes();
      got = Refreshed(ident, rig.gateway.memory.AreaBytes(AREA_IDENT), [&] {
        query();
        ident = s.IdentityBytes();
      });
    } else if (c.group == GroupId::Acq) {
      got = Refreshed(s.Table().Bytes(), rig.gateway.memory.AreaBytes(AREA_TABLE), query);
    } else {
      got = Refreshed(s.Params().Bytes(), rig.gateway.memory.AreaBytes(AREA_PARAMS), query);
    }
    EXPECT_EQ(Headers(sent), c.wire);
    EXPECT_EQ(got, c.windows);
  }
  EXPECT_EQ(rig.session.Grid().Cell(200, COL_BUFFER), "10000") << "the grid follows the table";
}

// A field changed the way the window and qv31ctl change it; the group's "设置" writes it and
// the gateway's memory changes in exactly those bytes, nothing else.
TEST(SessionGroups, EachSetChangesExactlyItsBytesInTheGateway) {
  struct Case {
    GroupId group;
    std::vector<std::pair<const char*, const char*>> keys;
    std::vector<FrameHeader> wire;
    uint8_t area;
    std::vector<std::pair<int, int>> changed;  // (byte of the area, new value)
  };
  const FrameHeader w0{AREA_TABLE, OP_WRITE, 0, 512}, w1{AREA_TABLE, OP_WRITE, 0x200, 512};
  const FrameHeader w2{AREA_TABLE, OP_WRITE, 0x400, 512}, w3{AREA_TABLE, OP_WRITE, 0x600, 512};
  const Case cases[] = {
      {GroupId::Port1,
       {{"port1.baud", "115200"}},
       {{AREA_PARAMS, OP_WRITE, 6, 2}},
       AREA_PARAMS,
       {{0, 11}}},
      {GroupId::Port2,
       {{"port2.baud", "38400"}},
       {{AREA_PARAMS, OP_WRITE, 320, 2}},
       AREA_PARAMS,
       {{314, 9}}},
      {GroupId::Port3,
       {{"port3.baud", "38400"}, {"port3.format", "e,8,2"}},
       {{AREA_PARAMS, OP_WRITE, 322, 2}},
       AREA_PARAMS,
       {{316, 9}, {317, 7}}},
      {GroupId::Port4,
       {{"port4.baud", "38400"}},
       {{AREA_PARAMS, OP_WRITE, 324, 2}},
       AREA_PARAMS,
       {{318, 9}}},
      {GroupId::FourG,
       {{"4g.group", "1"}, {"4g.station", "300"}, {"4g.log", "on"}},
       {{AREA_PARAMS, OP_READ, 13, 2}, {AREA_PARAMS, OP_WRITE, 8, 15}},
       AREA_PARAMS,
       {{2, 0x01}, {3, 0x2C}, {4, 1}, {12, 1}, {13, 205}}},
      {GroupId::Network,
       {{"net.ch2.enable", "on"},
        {"net.ch2.target", "10.0.0.9"},
        {"net.ch2.port", "2332"},
        {"net.dns", "8.8.4.4"}},
       {{AREA_PARAMS, OP_WRITE, 164, 98}},
       AREA_PARAMS,
       {{158, 0x06},
        {171, 8},
        {172, 8},
        {173, 4},
        {174, 4},
        {184, 10},
        {187, 9},
        {188, 0x1C},
        {189, 0x09}}},
      {GroupId::Acq,
       {{"acq.interval_ms", "250"}, {"acq.timeout_ms", "1005"}},
       {w0, w1, w2, w3},
       AREA_TABLE,
       {{3, 250}, {48, 1}, {50, 44}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "group " << int(c.group));
    SessionRig rig;
    GatewaySession& s = rig.session;
    for (const auto& [name, value] : c.keys) {
      ASSERT_EQ(SetKeyText(*FindCtlKey(name), s.Params(), s.Grid(), value), 1) << name;
    }
    // Row 6 as the in-place editors leave it; a time-out of 1005 ms is stored as 100, the
    // byte already there.
    if (c.group == GroupId::Acq) {
      s.Grid().SetCell(5, COL_CHANNEL, "COM2");
      s.Grid().SetCell(5, COL_SLAVE, "300");
    }
    const GatewayMemory before = rig.gateway.memory;
    EXPECT_EQ(Headers(rig.Run([&] { s.Set(c.group); })), c.wire);
    EXPECT_EQ(Changed(before, rig.gateway.memory, c.area), c.changed);
    EXPECT_EQ(rig.outcomes.back().end, ExchangeEnd::Done);
  }
}

// "设置全部" over a silent gateway: its first frame three times, then the rest is dropped.
TEST(SessionGroups, SetAllStopsAtTheFirstUnansweredFrame) {
  SessionRig rig;
  rig.gateway.silent = true;
  const auto sent = rig.Run([&] { rig.session.SetAll(); });
  EXPECT_EQ(Headers(sent), std::vector<FrameHeader>(3, FrameHeader{AREA_PARAMS, OP_WRITE, 6, 2}));
  EXPECT_EQ(rig.outcomes.back(),
            (ExchangeOutcome{ExchangeEnd::TimedOut, EnginePhase::Normal, 0, 11, true}));
  EXPECT_FALSE(rig.timers.Running(TIMER_ENGINE)) << "no ticks once nothing is left to do";
}

// Over a serial line on real time, with the command line's loop: nothing ticks between
// exchanges, and the receive thread's signal wakes the session for an unasked reply and for
// the adapter's loss.
TEST(SessionWake, OverASerialLineABlockOrALostAdapterWakesAnIdleSession) {
  struct Listener final : SessionListener, LinkObserver {
    void ReplyStored(const AcceptedReply&) override {}
    void ExchangeEnded(const ExchangeOutcome& o) override { ended.push_back(o.end); }
    void OnLinkEvent(const LinkEvent& e) override { received += e.sent ? 0 : 1; }
    int received = 0;
    std::vector<ExchangeEnd> ended;
  } listener;
  constexpr int TIMER_GUARD = 900;
  bool guard = false;
  GatewaySession* session = nullptr;
  TimerLoop loop([&](int id) { guard |= !session->OnTimer(id); }, [&] { session->Wake(); });
  GatewaySession s(
      loop, [&] { return loop.NowMs(); }, listener);
  session = &s;
  s.SetObserver(&listener);
  std::atomic<int> signals{0};
  s.SetReceiverWake([&] {
    ++signals;
    loop.Wake();
  });
  // Runs until `done` holds or three seconds have passed; true when it held.
  const auto runUntil = [&](const std::function<bool()>& done) {
    guard = false;
    loop.StartTimer(TIMER_GUARD, 3000);
    loop.RunUntil([&] { return done() || guard; });
    loop.KillTimer(TIMER_GUARD);
    return done();
  };

  PtyPair pty;
  ASSERT_TRUE(pty.Ok());
  ASSERT_TRUE(s.Link().OpenSerial(SerialLinkFromTexts(pty.slavePath, "115200", "n,8,1", "0")));
  GatewayMemory memory = FactoryMemory();
  const Bytes reply = memory.Answer(GatewaySession::QueryFrames(GroupId::Identity)[0]).reply;
  std::thread gateway([&] {
    if (pty.Receive(16, 3000).size() == 16) pty.Send(reply);
  });
  s.Query(GroupId::Identity);
  s.StartConnect();
  EXPECT_TRUE(runUntil([&] { return !s.Engine().HasWork(); }));
  gateway.join();
  ASSERT_EQ(listener.ended, std::vector<ExchangeEnd>{ExchangeEnd::Done});
  EXPECT_FALSE(loop.RunUntil([] { return false; })) << "no timer runs while idle";

  ASSERT_TRUE(pty.Send(reply));  // unasked: taken by a tick, and stored nowhere
  EXPECT_TRUE(runUntil([&] { return listener.received == 2; }));
  EXPECT_FALSE(loop.RunUntil([] { return false; })) << "and none once it is taken";

  pty.CloseMaster();
  EXPECT_TRUE(runUntil([&] { return listener.ended.size() == 2; }));
  EXPECT_EQ(listener.ended.back(), ExchangeEnd::LinkLost);
  EXPECT_GE(signals.load(), 3);
}

}  // namespace
}  // namespace qv31

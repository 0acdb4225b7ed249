#include "link/request_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

namespace qv31 {
namespace {

using Bytes = std::vector<uint8_t>;

struct Sent {
  uint32_t at;
  Bytes bytes;
};

// Fakes for time, the link and the engine's client: the engine's three seams.
struct Rig : BlockTransport, EngineClient {
  uint32_t now = 0;
  std::deque<Bytes> incoming;  // delivered one per tick
  std::vector<Sent> sent;
  std::vector<ExchangeOutcome> ended;
  std::vector<std::pair<FrameHeader, uint32_t>> stored;  // row header, time
  RequestEngine engine{*this, *this, [this] { return now; }};

  bool ReceiveBlock(uint8_t* buffer, int32_t& length) override {
    if (incoming.empty()) return false;
    std::copy(incoming.front().begin(), incoming.front().end(), buffer);
    length = static_cast<int32_t>(incoming.front().size());
    incoming.pop_front();
    return true;
  }
  bool SendBlock(int32_t length, const uint8_t* data) override {
    sent.push_back({now, Bytes(data, data + length)});
    return true;
  }
  void StoreReply(const AcceptedReply& row, const uint8_t*) override {
    stored.push_back({{row.area, row.opCode, static_cast<uint16_t>(row.address),
                       static_cast<uint16_t>(row.length)},
                      now});
  }
  void ExchangeEnded(const ExchangeOutcome& o) override { ended.push_back(o); }
  std::vector<ExchangeEnd> Ends() const {
    std::vector<ExchangeEnd> e;
    for (const ExchangeOutcome& o : ended) e.push_back(o.end);
    return e;
  }

  void Queue(const FrameHeader& h) {
    engine.Queue(EncodeFrame(h, Bytes(h.opCode == OP_WRITE ? h.length : 0, 0x11)));
    engine.MarkReady();
  }
  static Bytes Reply(const FrameHeader& h) {
    return EncodeFrame(h, Bytes(h.opCode == OP_READ_REPLY ? h.length : 0, 0x22));
  }
  // Ticks the engine every 10 ms until `until` (inclusive).
  void RunUntil(uint32_t until) {
    while (static_cast<int32_t>(until - now) >= 0) {
      engine.Tick();
      now += 10;
    }
  }
  std::vector<uint32_t> SendTimes() const {
    std::vector<uint32_t> t;
    for (const Sent& s : sent) t.push_back(s.at);
    return t;
  }
};

const FrameHeader kRead4G{AREA_PARAMS, OP_READ, 8, 12};
const FrameHeader kReply4G{AREA_PARAMS, OP_READ_REPLY, 8, 12};
const FrameHeader kReadPort1{AREA_PARAMS, OP_READ, 6, 2};
const FrameHeader kReplyPort1{AREA_PARAMS, OP_READ_REPLY, 6, 2};
const FrameHeader kWrite4G{AREA_PARAMS, OP_WRITE, 8, 15};
const FrameHeader kAckParams{AREA_PARAMS, OP_WRITE_ACK, 8, 15};
const FrameHeader kReadIdent{AREA_IDENT, OP_READ, 0, 18};
const FrameHeader kReplyIdent{AREA_IDENT, OP_READ_REPLY, 0, 18};

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { rig.engine.SetReplyTimeoutMs(500); }
  Rig rig;
};

TEST_F(EngineTest, SilentGatewayRepeatsTwiceThenTimesOut) {
  rig.Queue(kRead4G);
  rig.Queue(kReadPort1);
  rig.RunUntil(1520);
  EXPECT_EQ(rig.SendTimes(), (std::vector<uint32_t>{0, 510, 1020}));
  EXPECT_EQ(rig.sent[1].bytes, rig.sent[0].bytes);
  EXPECT_EQ(rig.sent[2].bytes, rig.sent[0].bytes);
  EXPECT_TRUE(rig.ended.empty()) << "the second repeat waits its full time-out";
  rig.RunUntil(1530);
  ASSERT_EQ(rig.ended.size(), 1u);
  EXPECT_EQ(rig.ended[0],
            (ExchangeOutcome{ExchangeEnd::TimedOut, EnginePhase::Normal, 0, 2, true}));
  EXPECT_EQ(rig.engine.PendingQueue().Count(), 0) << "rest of the queue discarded";
  rig.RunUntil(3000);
  EXPECT_EQ(rig.sent.size(), 3u);
  EXPECT_EQ(rig.engine.State(), ExchangeState::Idle);
}

TEST_F(EngineTest, ReplyInTheTickOfTheRepeatWinsAndNextGoesOnTheFollowingTick) {
  rig.Queue(kRead4G);
  rig.Queue(kReadPort1);
  rig.RunUntil(500);
  rig.incoming.push_back(Rig::Reply(kReply4G));
  rig.RunUntil(510);
  ASSERT_EQ(rig.sent.size(), 1u) << "no repeat";
  rig.RunUntil(520);
  ASSERT_EQ(rig.sent.size(), 2u);
  EXPECT_EQ(rig.sent[1].at, 520u);
  rig.incoming.push_back(Rig::Reply(kReplyPort1));
  rig.RunUntil(550);
  const ExchangeOutcome done{ExchangeEnd::Done, EnginePhase::Normal, 2, 2};
  EXPECT_EQ(rig.ended, std::vector<ExchangeOutcome>{done});
}

TEST_F(EngineTest, AnswerToTheSecondRepeatCompletes) {
  struct Case {
    uint32_t replyAt;  // the block is taken on this tick
    ExchangeEnd end;
  };
  const Case cases[] = {
      {1420, ExchangeEnd::Done}, {1530, ExchangeEnd::Done}, {1540, ExchangeEnd::TimedOut}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.replyAt);
    Rig r;
    r.engine.SetReplyTimeoutMs(500);
    r.Queue(kRead4G);
    r.RunUntil(c.replyAt - 10);
    r.incoming.push_back(Rig::Reply(kReply4G));
    r.RunUntil(c.replyAt + 20);
    EXPECT_EQ(r.SendTimes(), (std::vector<uint32_t>{0, 510, 1020}));
    EXPECT_EQ(r.Ends(), std::vector<ExchangeEnd>{c.end});
  }
}

TEST_F(EngineTest, LateReplyForAnotherRequestIsNeitherStoredNorCompletes) {
  rig.Queue(kReadPort1);
  rig.RunUntil(0);
  rig.incoming.push_back(Rig::Reply(kReply4G));  // answers nothing in flight
  rig.RunUntil(100);
  EXPECT_EQ(rig.stored.size(), 0u);
  EXPECT_EQ(rig.engine.State(), ExchangeState::AwaitingReply);
  EXPECT_TRUE(rig.ended.empty());
  rig.incoming.push_back(Rig::Reply(kReplyPort1));
  rig.RunUntil(200);
  EXPECT_EQ(rig.stored.size(), 1u);
  EXPECT_EQ(rig.Ends(), std::vector<ExchangeEnd>{ExchangeEnd::Done});
}

// What the observer is told, and the progress the window shows, over a session with a silent
// first try, a corrupted block, a block from elsewhere, a late reply and a short block.
TEST_F(EngineTest, ObserverHearsEveryBlockWithItsFateAndProgressCountsAnswers) {
  struct Recorder : LinkObserver {
    std::vector<std::pair<bool, BlockFate>> events;
    void OnLinkEvent(const LinkEvent& e) override { events.emplace_back(e.sent, e.fate); }
  } recorder;
  rig.engine.SetObserver(&recorder);
  rig.Queue(kRead4G);
  rig.Queue(kReadPort1);
  EXPECT_EQ(rig.engine.Progress(), (ExchangeProgress{0, 2}));
  rig.RunUntil(520);  // sent at 0, repeated at 510
  Bytes corrupt = Rig::Reply(kReply4G);
  corrupt[20] ^= 1;
  Bytes foreign = Rig::Reply(kReply4G);
  foreign[0] ^= 0xFF;
  const auto crc = ComputeFrameCrc(foreign.data(), static_cast<uint16_t>(foreign.size() - 2));
  foreign[foreign.size() - 2] = crc[0];
  foreign[foreign.size() - 1] = crc[1];
  for (const Bytes& b : {corrupt, foreign, Rig::Reply(kReply4G)}) rig.incoming.push_back(b);
  rig.RunUntil(550);
  EXPECT_EQ(rig.engine.Progress(), (ExchangeProgress{1, 2}));
  // Late: a second answer to the first read, taken on the tick that sends the next.
  rig.incoming.push_back(Rig::Reply(kReply4G));
  rig.incoming.push_back(Bytes{0x55});
  rig.incoming.push_back(Rig::Reply(kReplyPort1));
  rig.RunUntil(700);
  EXPECT_EQ(rig.Ends(), std::vector<ExchangeEnd>{ExchangeEnd::Done});
  EXPECT_EQ(rig.engine.Progress(), (ExchangeProgress{0, 0}));
  using F = BlockFate;
  const std::vector<std::pair<bool, BlockFate>> expected = {
      {true, F::Sent},         {true, F::Repeated},   {false, F::BadCrc},
      {false, F::BadPreamble}, {false, F::Completed}, {false, F::Late},
      {true, F::Sent},         {false, F::TooShort},  {false, F::Completed}};
  EXPECT_EQ(recorder.events, expected);
}

TEST_F(EngineTest, UnaskedReplyWhileIdleIsNotStored) {
  rig.incoming.push_back(Rig::Reply(kReply4G));
  rig.RunUntil(100);
  EXPECT_TRUE(rig.stored.empty());
  EXPECT_TRUE(rig.ended.empty());
  EXPECT_EQ(rig.engine.State(), ExchangeState::Idle);
}

TEST_F(EngineTest, DuplicateAnswerToARepeatDoesNotCompleteTheNextRequest) {
  // A slow gateway answers the read twice (original and repeat); the second answer arrives
  // while the write is in flight and must not report the write as done.
  rig.Queue(kRead4G);
  rig.Queue(kWrite4G);
  rig.RunUntil(600);  // read sent at 0 and repeated at 510
  rig.incoming.push_back(Rig::Reply(kReply4G));
  rig.RunUntil(620);  // reply at 610, write sent at 620
  ASSERT_EQ(rig.sent.size(), 3u);
  rig.incoming.push_back(Rig::Reply(kReply4G));
  rig.RunUntil(1200);
  EXPECT_EQ(rig.engine.State(), ExchangeState::AwaitingReply);
  EXPECT_TRUE(rig.ended.empty());
  rig.RunUntil(2200);
  EXPECT_EQ(rig.Ends(), std::vector<ExchangeEnd>{ExchangeEnd::TimedOut})
      << "the write was never acked";
}

TEST_F(EngineTest, LateAcknowledgementOfThePreviousBlockDoesNotCompleteTheNext) {
  const FrameHeader block2{AREA_TABLE, OP_WRITE, 0x400, 512};
  const FrameHeader block3{AREA_TABLE, OP_WRITE, 0x600, 512};
  rig.Queue(block2);
  rig.Queue(block3);
  rig.RunUntil(600);  // block 2 sent at 0, repeated at 510
  rig.incoming.push_back(Rig::Reply({AREA_TABLE, OP_WRITE_ACK, 0x400, 512}));
  rig.RunUntil(620);  // ack at 610, block 3 sent at 620
  ASSERT_EQ(rig.sent.size(), 3u);
  rig.incoming.push_back(Rig::Reply({AREA_TABLE, OP_WRITE_ACK, 0x400, 512}));  // the repeat's
  rig.RunUntil(1130);
  EXPECT_EQ(rig.engine.State(), ExchangeState::AwaitingReply);
  ASSERT_EQ(rig.sent.size(), 4u) << "block 3 is repeated";
  EXPECT_EQ(rig.sent[3].at, 1130u);
  EXPECT_EQ(rig.sent[3].bytes, rig.sent[2].bytes);
  rig.incoming.push_back(Rig::Reply({AREA_TABLE, OP_WRITE_ACK, 0x600, 512}));
  rig.RunUntil(1160);
  EXPECT_EQ(rig.Ends(), std::vector<ExchangeEnd>{ExchangeEnd::Done});
}

// A gateway slower than the reply time-out answers each of a read's three sends. The first
// answer completes the read; the other two are neither stored nor allowed to complete a
// second read of the same group (a read-back), which waits for them or for their deadline.
TEST_F(EngineTest, EchoesOfARepeatedReadNeverCompleteTheNextReadWithThatHeader) {
  struct Case {
    const char* name;
    std::vector<uint32_t> echoesAt;  // when the late answers arrive
    uint32_t readBackAt;             // when the second read goes out
  };
  // Sends at 0, 510 and 1020, the first answer at 1400: the echoes are due at about 1910 and
  // 2420, and given up at 1020 + 1400 + 500.
  const Case cases[] = {{"both echoes come", {1910, 2420}, 2420}, {"one echo lost", {1910}, 2930}};
  for (const Case& c : cases) {
    Rig r;
    r.engine.SetReplyTimeoutMs(500);
    r.Queue(kRead4G);
    r.Queue(kWrite4G);
    r.Queue(kRead4G);
    r.RunUntil(1390);
    r.incoming.push_back(Rig::Reply(kReply4G));
    r.RunUntil(1490);
    r.incoming.push_back(Rig::Reply(kAckParams));
    for (const uint32_t at : c.echoesAt) {
      r.RunUntil(at - 10);
      r.incoming.push_back(Rig::Reply(kReply4G));
    }
    r.RunUntil(c.readBackAt + 100);
    ASSERT_EQ(r.sent.size(), 5u) << c.name;
    EXPECT_EQ(r.sent[4].at, c.readBackAt) << c.name;
    EXPECT_EQ(r.stored.size(), 2u) << c.name << ": the first answer and the ack only";
    EXPECT_TRUE(r.ended.empty()) << c.name << ": no echo completes the read-back";
  }
}

TEST_F(EngineTest, WriteAcknowledgementOfAnyAddressCompletesAWrite) {
  rig.Queue(kWrite4G);
  rig.RunUntil(0);
  rig.incoming.push_back(Rig::Reply({AREA_PARAMS, OP_WRITE_ACK, 0, 0}));
  rig.RunUntil(30);
  EXPECT_EQ(rig.Ends(), std::vector<ExchangeEnd>{ExchangeEnd::Done});
}

TEST_F(EngineTest, TickCounterWrapInTheMiddleOfAnExchange) {
  rig.now = 0xFFFFFF00u;  // wraps 256 ms after the first send
  rig.Queue(kRead4G);
  rig.RunUntil(0xFFFFFF00u + 1530);
  const uint32_t t0 = 0xFFFFFF00u;
  EXPECT_EQ(rig.SendTimes(), (std::vector<uint32_t>{t0, t0 + 510, t0 + 1020}));
  EXPECT_EQ(rig.Ends(), std::vector<ExchangeEnd>{ExchangeEnd::TimedOut});
}

class ConnectPhaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.engine.SetReplyTimeoutMs(500);
    rig.engine.StartConnect();
    rig.Queue(kReadIdent);
    rig.Queue(kRead4G);
  }
  Rig rig;
};

TEST_F(ConnectPhaseTest, OnlyTheIdentityReplyEndsIt) {
  rig.RunUntil(0);
  rig.incoming.push_back(Rig::Reply({AREA_TABLE, OP_READ_REPLY, 0, 512}));
  rig.incoming.push_back(Rig::Reply({AREA_IDENT, OP_READ_REPLY, 0, 12}));
  rig.RunUntil(20);
  EXPECT_TRUE(rig.stored.empty());
  EXPECT_EQ(rig.engine.Phase(), EnginePhase::Connect);
  rig.incoming.push_back(Rig::Reply(kReplyIdent));
  rig.RunUntil(30);
  ASSERT_EQ(rig.stored.size(), 1u);
  EXPECT_EQ(rig.stored[0].first, kReplyIdent);
  EXPECT_EQ(rig.engine.Phase(), EnginePhase::Normal);
  EXPECT_EQ(rig.engine.State(), ExchangeState::Ready);
  rig.RunUntil(40);
  EXPECT_EQ(rig.sent.size(), 2u) << "the engine goes on with the queue";
}

TEST_F(ConnectPhaseTest, NoAnswerEndsItTimedOut) {
  rig.RunUntil(1520);
  EXPECT_TRUE(rig.ended.empty());
  rig.RunUntil(2000);
  EXPECT_EQ(rig.SendTimes(), (std::vector<uint32_t>{0, 510, 1020}));
  const ExchangeOutcome timedOut{ExchangeEnd::TimedOut, EnginePhase::Connect, 0, 2, true};
  EXPECT_EQ(rig.ended, std::vector<ExchangeOutcome>{timedOut});
  EXPECT_EQ(rig.engine.PendingQueue().Count(), 0);
}

}  // namespace
}  // namespace qv31

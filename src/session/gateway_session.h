#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "acq/acq_grid.h"
#include "acq/acq_table.h"
#include "link/group_table.h"
#include "link/request_engine.h"
#include "params/param_block.h"
#include "session/timer_service.h"
#include "transport/link_transport.h"

namespace qv31 {

using Frames = std::vector<std::vector<uint8_t>>;

// What the session tells the program that drives it. Called on the session's thread, inside
// OnTimer or a command.
class SessionListener {
 public:
  virtual ~SessionListener() = default;
  // A reply was stored in the images (and a table block in the grid): show what `row` names.
  virtual void ReplyStored(const AcceptedReply& row) = 0;
  virtual void ExchangeEnded(const ExchangeOutcome& outcome) = 0;
  // The stop sequence has closed the port.
  virtual void StopFinished() {}
};

// One gateway as the window and the command line both drive it: the link, the engine, the
// parameter and table images, the table's cell grid and the identity text. Each group's
// "查询" and "设置" queue exactly its button's frames; nothing is ever sent from a command,
// only from a tick. Ticks come from the timer service while the engine has work, and from
// Wake() when a block arrives.
class GatewaySession final : private EngineClient {
 public:
  GatewaySession(TimerService& timers, MsClock clock, SessionListener& listener);
  ~GatewaySession() override;
  GatewaySession(const GatewaySession&) = delete;
  GatewaySession& operator=(const GatewaySession&) = delete;

  LinkTransport& Link() { return link_; }

  // The link has been opened: the reply time-out is taken from it, the connect phase starts
  // and the queue (whatever it holds) goes out.
  void StartConnect();
  // Closes the link and stops the ticks. The queue and the exchange state stay as they are.
  void Close();
  bool Open() const { return open_; }

  // The frames of a group's "查询" and "设置", built now. Building a set takes the images as
  // they are: the acquisition grid is turned into the table image, and the 4G group's fixed
  // bytes are set first.
  static Frames QueryFrames(GroupId group);
  Frames SetFrames(GroupId group);
  // The same frames from the images exactly as they are: the table image is not rebuilt
  // from the grid.
  Frames ImageSetFrames(GroupId group);
  // Queues frames and marks the engine ready.
  void Send(const Frames& frames);
  void Query(GroupId group) { Send(QueryFrames(group)); }
  void Set(GroupId group) { Send(SetFrames(group)); }
  // "查询全部": the identity, the whole parameter image, then the table blocks.
  void QueryAll();
  // "设置全部": every group that can be set, in the group table's order.
  void SetAll();

  // Nothing more is sent: the queue is dropped and the frame in flight gets its reply
  // time-out. Halted() is true once nothing is in flight or that time has passed.
  void Halt();
  bool Halted() const;

  // The stop sequence over an open serial link: the stop frame after 100 ms, one block
  // drained every 100 ms, the port closed after a second.
  void StartStop();
  // The gateway acknowledged the stop frame during the last stop sequence.
  bool StopAcknowledged() const { return stopAcknowledged_; }

  // A timer of the session fired; false for another ID.
  bool OnTimer(int id);
  // A block has arrived: make sure a tick takes it.
  void Wake();

  // Told of every block sent and received (nullptr: nobody).
  void SetObserver(LinkObserver* observer) { observer_ = observer; }

  const RequestEngine& Engine() const { return engine_; }
  ParamBlock& Params() { return params_; }
  const ParamBlock& Params() const { return params_; }
  AcqTable& Table() { return table_; }
  const AcqTable& Table() const { return table_; }
  AcqGrid& Grid() { return grid_; }
  const AcqGrid& Grid() const { return grid_; }
  // The last identity reply's 18 bytes.
  const std::array<uint8_t, IDENT_SIZE>& IdentityBytes() const { return ident_; }
  // The whole identity text up to its first zero byte, as UTF-8.
  std::string Identity() const;

 private:
  void StoreReply(const AcceptedReply& row, const uint8_t* payload) override;
  void ExchangeEnded(const ExchangeOutcome& outcome) override;
  void EngineTick();
  void StopTick(int id);
  void UpdateTicking();
  void Tell(bool sent, std::span<const uint8_t> bytes, BlockFate fate);

  // Forwards to the link; lets nothing through once halted; notes when a frame last went out.
  class Gate final : public BlockTransport {
   public:
    Gate(LinkTransport& link, const MsClock& clock) : link_(link), clock_(clock) {}
    bool ReceiveBlock(uint8_t* buffer, int32_t& length) override {
      return link_.ReceiveBlock(buffer, length);
    }
    bool SendBlock(int32_t length, const uint8_t* data) override;
    bool Lost() const override { return link_.PortLost(); }
    bool closed = false;
    uint32_t lastSend = 0;

   private:
    LinkTransport& link_;
    const MsClock& clock_;
  };

  class Relay final : public LinkObserver {
   public:
    explicit Relay(GatewaySession& s) : s_(s) {}
    void OnLinkEvent(const LinkEvent& event) override;

   private:
    GatewaySession& s_;
  };

  TimerService& timers_;
  MsClock clock_;
  SessionListener& listener_;
  LinkTransport link_;
  Gate gate_;
  Relay relay_;
  RequestEngine engine_;
  LinkObserver* observer_ = nullptr;
  bool open_ = false;
  bool ticking_ = false;
  bool stopAcknowledged_ = false;

  ParamBlock params_;
  AcqTable table_;
  AcqGrid grid_;
  std::array<uint8_t, IDENT_SIZE> ident_{};
};

}  // namespace qv31

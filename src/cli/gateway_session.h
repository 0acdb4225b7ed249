#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "acq/acq_grid.h"
#include "acq/acq_table.h"
#include "link/request_engine.h"
#include "params/param_block.h"

namespace qv31 {

// One gateway driven the way the window drives it: the same engine on 10 ms ticks, the connect
// phase first, then the command's frames one at a time with the engine's repeats and
// time-outs. Replies land in the images and the table's cell grid, as in the window.
class GatewaySession final : public EngineHost, public TimerService, private LinkObserver {
 public:
  enum class Outcome : uint8_t { Done, TimedOut, LinkLost, Stopped };

  // `lost` is asked every tick; true ends the run (an unplugged serial adapter). `stop` is
  // asked every tick too; once true, nothing more is sent: the frame in flight is given its
  // reply time-out since its last send, then the run ends with Stopped.
  GatewaySession(BlockTransport& link, int32_t replyTimeoutMs, std::function<bool()> lost = {},
                 std::function<bool()> stop = {});

  // The connect phase: the identity read, until its reply ends the phase or the engine gives
  // up after its repeats.
  Outcome Connect();
  // Queues `frames` and ticks until the engine reports "执行完成" or "通信超时".
  Outcome Run(const std::vector<std::vector<uint8_t>>& frames);

  // Of the frames of the last Run: how many were answered (always the first ones, in order),
  // and whether the one after them was sent and left unanswered when the run ended.
  int AnsweredFrames() const { return answered_; }
  bool UnansweredInFlight() const { return started_ > answered_; }

  // Told of every block the engine sends and receives, its clock in ms since the session
  // began (nullptr: nobody). A frame held back because the run is stopping is not told of.
  void SetObserver(LinkObserver* observer) { observer_ = observer; }

  ParamBlock& Params() { return params_; }
  AcqTable& Table() { return table_; }
  AcqGrid& Grid() { return grid_; }
  // The identity text up to its first zero byte (at most 18 bytes), as UTF-8.
  const std::string& Identity() const { return identity_; }

 private:
  void StoreReply(const AcceptedReply& row, const uint8_t* payload) override;
  void SetCommandButtonsEnabled(bool) override {}
  void SetStatusText(std::string_view text) override;
  void CloseLink() override;
  void StartTimer(int id, uint32_t periodMs) override;
  void KillTimer(int id) override;
  void OnLinkEvent(const LinkEvent& event) override;

  uint32_t NowMs() const;
  Outcome Tick(const std::function<bool()>& finished);

  // Lets nothing through once the run is stopping, and notes when a frame last went out.
  class Gate final : public BlockTransport {
   public:
    explicit Gate(BlockTransport& inner) : inner_(inner) {}
    bool ReceiveBlock(uint8_t* buffer, int32_t& length) override {
      return inner_.ReceiveBlock(buffer, length);
    }
    bool SendBlock(int32_t length, const uint8_t* data) override;
    bool closed = false;
    std::chrono::steady_clock::time_point lastSend;

   private:
    BlockTransport& inner_;
  };

  std::function<bool()> lost_;
  std::function<bool()> stop_;
  Gate gate_;
  int32_t replyTimeoutMs_;
  int answered_ = 0;
  int started_ = 0;
  std::chrono::steady_clock::time_point epoch_;
  std::chrono::steady_clock::time_point nextTick_;
  std::set<int> timers_;
  RequestEngine engine_;
  std::string status_;
  bool linkClosed_ = false;
  LinkObserver* observer_ = nullptr;

  ParamBlock params_;
  AcqTable table_;
  AcqGrid grid_;
  std::string identity_;
};

}  // namespace qv31

#pragma once

// The dialog in memory: a view that keeps every control's state by ID, timers on a clock the
// test moves, and a gateway on a real UDP socket on 127.0.0.1 that answers from the
// simulator's memory between ticks.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "file_bytes.h"
#include "sim/factory_state.h"
#include "sim/gateway_memory.h"

namespace qv31 {

class FakeView final : public DialogView {
 public:
  struct Control {
    std::string text;
    std::string toolTip;
    bool checked = false;
    std::vector<std::string> items;
    int selected = -1;
    bool enabled = true;
    bool visible = true;
    ControlRect rect;
  };
  struct EditorOpen {
    int row = -1;
    int column = -1;
    std::vector<std::string> entries;
    int selected = -1;
    std::string text;
  };

  std::string Text(int id) const override {
    const Control& c = Get(id);
    if (!c.items.empty() || IsCombo(id)) {
      return c.selected >= 0 && c.selected < static_cast<int>(c.items.size())
                 ? c.items[static_cast<size_t>(c.selected)]
                 : std::string();
    }
    return c.text;
  }
  void SetText(int id, std::string_view text) override { controls[id].text = text; }
  void SetToolTip(int id, std::string_view text) override { controls[id].toolTip = text; }
  bool Checked(int id) const override { return Get(id).checked; }
  void SetChecked(int id, bool checked) override { controls[id].checked = checked; }
  std::vector<std::string> ComboItems(int id) const override { return Get(id).items; }
  void ComboAdd(int id, std::string_view text) override { controls[id].items.emplace_back(text); }
  void ComboClear(int id) override {
    controls[id].items.clear();
    controls[id].selected = -1;
  }
  int ComboSelected(int id) const override { return Get(id).selected; }
  void ComboSelect(int id, int index) override {
    Control& c = controls[id];
    c.selected = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
  }
  void SetComboItemToolTip(int id, int index, std::string_view text) override {
    itemToolTips[{id, index}] = text;
  }
  void Enable(int id, bool enabled) override { controls[id].enabled = enabled; }
  bool IsEnabled(int id) const override { return Get(id).enabled; }
  void Show(int id, bool visible) override { controls[id].visible = visible; }
  bool IsVisible(int id) const override { return Get(id).visible; }
  void Move(int id, const ControlRect& rect) override { controls[id].rect = rect; }
  void CellsChanged(int firstRow, int lastRow) override {
    changedRows.emplace_back(firstRow, lastRow);
  }
  void OpenCellCombo(int row, int column, std::span<const std::string> entries,
                     int selected) override {
    combo = EditorOpen{row, column, {entries.begin(), entries.end()}, selected, {}};
    controls[IDC_CELL_COMBO].items = combo->entries;
    controls[IDC_CELL_COMBO].selected = selected;
    controls[IDC_CELL_COMBO].visible = true;
  }
  void OpenCellEdit(int row, int column, std::string_view text) override {
    edit = EditorOpen{row, column, {}, -1, std::string(text)};
    controls[IDC_CELL_EDIT].text = text;
    controls[IDC_CELL_EDIT].visible = true;
  }
  void HideCellEditors() override {
    controls[IDC_CELL_EDIT].visible = false;
    controls[IDC_CELL_COMBO].visible = false;
  }
  void MessageBox(std::string_view text) override { messages.emplace_back(text); }
  bool AskYesNo(std::string_view text) override {
    questions.emplace_back(text);
    if (answers.empty()) return false;
    const bool yes = answers.front();
    answers.pop_front();
    return yes;
  }
  void Focus(int id) override { focused = id; }
  std::optional<std::string> ChooseOpenFile(std::string_view filterName, std::string_view,
                                            std::string_view directory) override {
    chooserCalls.push_back(std::string(filterName) + "|" + std::string(directory));
    return chooserAnswer;
  }
  void ShowAbout(std::string_view versionLine) override { about = versionLine; }
  void MarkCells(std::span<const AcqFinding> findings) override {
    marks.assign(findings.begin(), findings.end());
  }
  void ShowProgress(int answered, int total) override { progress.emplace_back(answered, total); }

  std::map<int, Control> controls;
  std::map<std::pair<int, int>, std::string> itemToolTips;
  std::vector<AcqFinding> marks;
  std::vector<std::pair<int, int>> progress;  // every change shown, in order
  std::vector<std::pair<int, int>> changedRows;
  std::optional<EditorOpen> combo;
  std::optional<EditorOpen> edit;
  std::vector<std::string> messages;
  std::vector<std::string> questions;
  std::deque<bool> answers;  // to the questions, in order; none left: No
  int focused = 0;
  std::vector<std::string> chooserCalls;
  std::optional<std::string> chooserAnswer;
  std::string about;

 private:
  static bool IsCombo(int id) {
    return (id >= IDC_LINK_PORT && id <= IDC_LINK_FORMAT) ||
           (id >= IDC_PORT1_BAUD && id <= IDC_PORT4_FORMAT) || id == IDC_CH1_PROTOCOL ||
           id == IDC_CH2_PROTOCOL || id == IDC_CELL_COMBO || id == IDC_LINK_PROTOCOL;
  }
  const Control& Get(int id) const {
    static const Control kNone;
    const auto it = controls.find(id);
    return it == controls.end() ? kNone : it->second;
  }
};

// Timers on a millisecond clock that only moves when the test says so. Before each timer
// fires, `beforeTick` runs (the gateway answers what it has received).
class FakeTimers final : public TimerService {
 public:
  void StartTimer(int id, uint32_t periodMs) override {
    timers[id] = {periodMs, now + periodMs};
    started.emplace_back(id, periodMs);
  }
  void KillTimer(int id) override { timers.erase(id); }
  bool Running(int id) const { return timers.count(id) != 0; }

  // Moves the clock by `ms`, firing every timer that falls due on the way, in time order.
  void Advance(uint32_t ms) {
    const uint64_t end = now + ms;
    while (true) {
      auto next = std::min_element(timers.begin(), timers.end(), [](const auto& a, const auto& b) {
        return a.second.due < b.second.due;
      });
      if (next == timers.end() || next->second.due > end) break;
      const int id = next->first;
      now = next->second.due;
      next->second.due += next->second.period;
      if (beforeTick) beforeTick();
      if (onTimer) onTimer(id);
    }
    now = end;
  }
  // Advances in 10 ms steps until `done` holds or `limitMs` passed; true when it held.
  bool AdvanceUntil(const std::function<bool()>& done, uint32_t limitMs) {
    for (uint32_t t = 0; t < limitMs; t += 10) {
      if (done()) return true;
      Advance(10);
    }
    return done();
  }
  uint32_t Now() const { return static_cast<uint32_t>(now); }

  struct Timer {
    uint32_t period;
    uint64_t due;
  };
  std::map<int, Timer> timers;
  std::vector<std::pair<int, uint32_t>> started;
  uint64_t now = 1000;
  std::function<void()> beforeTick;
  std::function<void(int)> onTimer;
};

// The simulator's memory behind a UDP socket on 127.0.0.1. Pump() answers every waiting
// datagram; loopback delivery is immediate, so a reply is there for the dialog's next tick.
class UdpGateway {
 public:
  UdpGateway() : memory(FactoryMemory()) {
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin_port);
  }
  ~UdpGateway() { ::close(fd_); }

  // `now`: the fake clock, for replies held back by delayMs.
  void Pump(uint64_t now = 0) {
    uint8_t buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    ssize_t n;
    while ((n = ::recvfrom(fd_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from),
                           &len)) > 0) {
      received.emplace_back(buffer, buffer + n);
      len = sizeof from;
      if (silent || answerLimit == 0) continue;
      if (answerLimit > 0) --answerLimit;
      const GatewayAnswer answer = memory.Answer({buffer, static_cast<size_t>(n)});
      if (!answer.reply.empty()) held_.push_back({now + delayMs, answer.reply, from});
    }
    while (!held_.empty() && held_.front().due <= now) {
      const Held& h = held_.front();
      ::sendto(fd_, h.reply.data(), h.reply.size(), 0, reinterpret_cast<const sockaddr*>(&h.to),
               sizeof h.to);
      held_.pop_front();
    }
  }

  GatewayMemory memory;
  std::vector<std::vector<uint8_t>> received;
  bool silent = false;
  int answerLimit = -1;  // requests still answered; -1: all
  uint32_t delayMs = 0;  // on the fake clock
  uint16_t port = 0;

 private:
  struct Held {
    uint64_t due;
    std::vector<uint8_t> reply;
    sockaddr_in to;
  };
  std::deque<Held> held_;
  int fd_ = -1;
};

// The bytes of an area that differ between two memories, as (offset, new value).
inline std::vector<std::pair<int, int>> Changed(const GatewayMemory& before,
                                                const GatewayMemory& after, uint8_t area) {
  std::vector<std::pair<int, int>> diff;
  const auto a = before.AreaBytes(area);
  const auto b = after.AreaBytes(area);
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) diff.emplace_back(static_cast<int>(i), b[i]);
  }
  return diff;
}

// A dialog over a fake view and fake timers, its settings in a temporary directory.
struct DialogRig {
  explicit DialogRig(std::vector<std::string> ports = {"/dev/ttyUSB0", "/dev/ttyUSB1"},
                     const std::string& ini = {})
      : dir("qv31-dlg") {
    if (!ini.empty()) WriteBytes(dir.Dir() / "配置.ini", ini);
    timers.beforeTick = [this] { gateway.Pump(timers.now); };
    timers.onTimer = [this](int id) { dlg->OnTimer(id); };
    DialogEnvironment env;
    env.view = &view;
    env.timers = &timers;
    env.clock = [this] { return timers.Now(); };
    env.settingsDir = dir.Dir().string();
    env.discoverPorts = [this] { return discovered; };
    env.wallClock = [] { return std::time_t{1700000000}; };
    env.version = "1.2.3.4";
    discovered = std::move(ports);
    dlg = std::make_unique<CQV31Dlg>(std::move(env));
    dlg->OnInitDialog();
  }

  // Network mode towards the gateway, then "打开".
  void OpenUdp() {
    view.SetChecked(IDC_MODE, false);
    dlg->OnModeCheck();
    view.SetText(IDC_LINK_ADDRESS, "127.0.0.1");
    view.SetText(IDC_LINK_TARGET_PORT, std::to_string(gateway.port));
    dlg->OnCommand(IDC_OPEN_CLOSE);
  }
  bool Idle() const { return dlg->Engine().State() == ExchangeState::Idle; }
  std::string Status() const { return view.Text(IDC_STATUS); }
  bool RunToIdle(uint32_t limitMs = 5000) {
    return timers.AdvanceUntil([this] { return Idle(); }, limitMs);
  }

  TempDir dir;
  FakeView view;
  FakeTimers timers;
  UdpGateway gateway;
  std::vector<std::string> discovered;
  std::unique_ptr<CQV31Dlg> dlg;
};

}  // namespace qv31

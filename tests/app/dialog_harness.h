#pragma once

// The dialog in memory: a view that keeps every control's state by ID, over the fake timers
// and the UDP gateway of gateway_rig.h.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "file_bytes.h"
#include "gateway_rig.h"

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

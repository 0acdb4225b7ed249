#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "acq/acq_checks.h"
#include "acq/acq_grid.h"
#include "acq/acq_table.h"
#include "app/dialog_view.h"
#include "app/gateway_finder.h"
#include "app/text_catalogue.h"
#include "app/traffic_log.h"
#include "session/gateway_session.h"
#include "settings/ckx_file_ini.h"
#include "settings/link_settings.h"

namespace qv31 {

// After a close the Open/Close button (and "停止采集") stays disabled for this long, so the
// port or socket is never reopened sooner than the gateway and the line can take it. The rest
// of the window is usable at once.
constexpr int TIMER_REOPEN = 103;
constexpr uint32_t SERIAL_CLOSE_PAUSE_MS = 1000;
constexpr uint32_t UDP_CLOSE_PAUSE_MS = 100;
// A click on "关闭" this soon after "打开" is the second half of a double click.
constexpr uint32_t DOUBLE_CLICK_MS = 500;

constexpr std::string_view WINDOW_TITLE = "采集管理设置软件";
constexpr std::string_view CSV_FILTER_NAME = "参数文件 (*.csv)";
constexpr std::string_view CSV_FILTER_PATTERN = "*.csv";
// The window's language as the operator chose it, "zh" or "en", in the settings file's
// section beside the link settings; the command line and older versions ignore it.
constexpr std::string_view LANGUAGE_KEY = "语言";

// What the dialog needs from the world around it; tests give fakes for all of it.
struct DialogEnvironment {
  DialogView* view = nullptr;
  TimerService* timers = nullptr;
  MsClock clock;  // the 32-bit millisecond tick counter
  // Directory of "配置.ini" and the CSV exports; empty means SettingsDirectory().
  std::string settingsDir;
  // The system's serial ports as device paths; empty means DiscoverSerialPorts().
  std::function<std::vector<std::string>()> discoverPorts;
  // Wall-clock time for the export's file name; empty means std::time.
  std::function<std::time_t()> wallClock;
  std::string version = QV31_VERSION;  // a.b.c.d, for the about box
  // Watch this socket for datagrams and call OnLinkReadable (-1: stop watching). Empty: the
  // window has no such notifier and a reply waits for the next tick.
  std::function<void(int fd)> watchSocket;
};

// The main dialog's behaviour: the link settings and their file, the gateway session (link,
// engine, images, the table's cells) and what the window shows of them. Every handler of the
// window is an operation here; the window only draws and forwards events.
class CQV31Dlg final : private SessionListener {
 public:
  explicit CQV31Dlg(DialogEnvironment env);
  ~CQV31Dlg() override;
  CQV31Dlg(const CQV31Dlg&) = delete;
  CQV31Dlg& operator=(const CQV31Dlg&) = delete;

  // Fills the lists, loads the settings, numbers the rows; the link stays closed.
  void OnInitDialog();

  // A click on a button or check box, by control ID: the dialog's routing table.
  void OnCommand(int id);
  // A window timer fired.
  void OnTimer(int id);
  // A block has arrived on the link (the socket or the serial line has something to read).
  void OnLinkReadable() { session_.Wake(); }

  // Link control.
  void ToggleLink();
  void StopAcquisition();
  void OnModeCheck();
  // The operator is opening the list of ports: look for ports again.
  void OnPortListOpening();

  // Commands: each disables the command buttons, queues its frames and leaves the sending to
  // the engine.
  void QueryVersion();
  void Query4G();
  void Set4G();
  void QueryPort(int port);  // 1 to 4
  void SetPort(int port);
  void QueryNetwork();
  void SetNetwork();
  void QueryAcq();
  void SetAcq();
  void QueryAll();
  void SetAll();
  void SaveCsv();
  void LoadCsv();

  // In-place editing of the acquisition list.
  void OnClickAcqList(int row, int column);  // row -1: the click hit no row
  void OnRClickAcqList() {}
  void OnLButtonUp();
  void OnSelChangeCellCombo();
  void OnKillFocusCellEdit();
  // Esc in an open editor: that edit is dropped, nothing is written.
  void OnCancelCellEditor();

  // The window is asked to close (close box, "退出", Esc): true when it may. While an
  // exchange runs the operator is asked first.
  bool MayClose();

  void OnAbout();
  std::string AboutText() const;

  // The language chosen in the window and kept in the settings file, read with the settings;
  // nothing when none was chosen (or the file's value is neither "zh" nor "en").
  std::optional<Language> ChosenLanguage() const { return chosenLanguage_; }
  // Keeps the operator's choice in the settings file at once. False when it cannot be
  // written; the window still switches.
  bool ChooseLanguage(Language language);

  // The cells of the list, for the window's table model, and what the table checks found.
  const AcqGrid& Grid() const { return session_.Grid(); }
  const std::vector<AcqFinding>& Findings() const { return findings_; }
  // "搜索" and "检测"; the window tells it when the search dialog closes.
  GatewayFinder& Finder() { return finder_; }
  // Every block the engine sent and received, for the traffic monitor.
  TrafficLog& Traffic() { return traffic_; }

  // State, for the window's title and for tests.
  bool LinkOpen() const { return linkOpen_ != 0; }
  const ParamBlock& Params() const { return session_.Params(); }
  const AcqTable& Table() const { return session_.Table(); }
  const LinkSettings& Settings() const { return settings_; }
  const CKXFileIni& SettingsFile() const { return ini_; }
  const RequestEngine& Engine() const { return session_.Engine(); }
  LinkTransport& Link() { return session_.Link(); }
  GatewaySession& Session() { return session_; }
  int EditRow() const { return editRow_; }
  int EditColumn() const { return editColumn_; }
  bool ComboShown() const { return comboShown_ != 0; }

 private:
  // SessionListener
  void ReplyStored(const AcceptedReply& row) override;
  void ExchangeEnded(const ExchangeOutcome& outcome) override;
  void StopFinished() override;

  void SetCommandButtonsEnabled(bool enabled);

  // "打开"/"关闭" from the button: a second click of a double click is not another toggle.
  void OnOpenClose();
  // The "设置" of groups: refused values and groups left blank stop it before anything is
  // queued; false when nothing was queued.
  bool WriteGroups(const std::vector<GroupId>& groups);
  void CopyGroupControls(GroupId group);
  // Groups whose controls an unanswered query emptied and nothing has filled since.
  void MarkBlank(GroupId group);
  void ClearBlank(const AcceptedReply& row);
  bool StillBlank(GroupId group) const;
  bool ControlsEmpty(GroupId group) const;
  // After an exchange with writes that did not finish: what reached the gateway.
  void TellWriteAccount(const ExchangeOutcome& outcome, std::string_view head);

  void FillPortList();
  void FillNetworkLists();
  void LoadSettings();
  void SaveSettings();
  void InitAcqList();
  void CopyLinkControls();
  void OpenLink();
  void CloseLinkNow();
  void StartReopenPause(uint32_t ms);
  void StopTick(int id);
  void ShowOpenFailure(std::string_view firstLine);
  void ClosePortLost(const ExchangeOutcome& outcome);
  void SelectText(int id, std::string_view text);
  void AddPort(const std::string& path);
  void AddPortIfPresent(const std::string& path);
  void SetStatus(std::string_view text, std::string_view toolTip = {});
  void CommitCellEdit();
  // Rows of the list changed: redraw them and check the table again.
  void TableChanged(int firstRow, int lastRow);
  void UpdateProgress();
  void SetCellText(int row, int column, std::string_view text);

  // Copy the controls of a group into the image, as its "设置" does before it queues.
  void Copy4GControls();
  void CopyPortControls(int port);
  void CopyNetworkControls();
  void CopyAcqSettings();
  // Show a group from the image.
  void Show4G();
  void ShowPort(int port);
  void ShowNetwork();
  void ShowAcqSettings();
  void ClearNetwork();
  void ClearAcqView();

  DialogView& view_;
  TimerService& timers_;
  MsClock clock_;
  std::function<std::vector<std::string>()> discoverPorts_;
  std::function<std::time_t()> wallClock_;
  std::function<void(int)> watchSocket_;
  std::string settingsDir_;
  std::string version_;

  CKXFileIni ini_;
  LinkSettings settings_;
  TrafficLog traffic_;
  GatewaySession session_;
  ExchangeProgress shownProgress_;
  int32_t linkOpen_ = 0;
  uint32_t openedAt_ = 0;
  // Bits by GroupId; the table by block in acqBlank_.
  uint32_t blank_ = 0;
  uint32_t acqBlank_ = 0;
  // The frames of the "设置" running now, for its account.
  Frames writes_;
  GatewayFinder finder_;
  std::vector<AcqFinding> findings_;
  std::optional<Language> chosenLanguage_;

  int editRow_ = -1;
  int editColumn_ = 0;
  int comboShown_ = 0;
  bool editOpen_ = false;
};

}  // namespace qv31

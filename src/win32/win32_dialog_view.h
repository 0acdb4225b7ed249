#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/dialog_view.h"
#include "win32/win32_acq_list.h"
#include "win32/win32_api.h"
#include "win32/win32_language.h"

namespace qv31 {

// The main dialog's native controls behind the dialog's view interface: every control is
// found by its ID with GetDlgItem, texts cross as UTF-8. The two in-place editors are the
// dialog's own controls 1050 and 1051, laid over a cell of the list. The search window is
// IDC_SEARCH_DIALOG and its controls are found in it.
class Win32DialogView final : public DialogView {
 public:
  Win32DialogView(HWND dialog, HICON icon);
  ~Win32DialogView() override;
  Win32DialogView(const Win32DialogView&) = delete;
  Win32DialogView& operator=(const Win32DialogView&) = delete;

  HWND Dialog() const { return dialog_; }
  HWND Control(int id) const;
  // The window "搜索网关", once made.
  void SetSearchWindow(HWND search) { search_ = search; }
  Win32AcqList& List() { return list_; }
  // What the editors report: the edit box left with a commit (focus lost, Enter), an editor
  // dropped without one (Esc, the drop-down's list closed without a choice), a choice in the
  // drop-down list, and Tab or Shift+Tab (step 1 or -1) once the editor has committed.
  void SetCellEditorHandlers(std::function<void()> commit, std::function<void()> cancel,
                             std::function<void()> choose, std::function<void(int step)> move);
  bool CellEditOpen() const { return editOpen_; }
  bool CellComboOpen() const { return comboOpen_; }
  // Notifications of the editors, from the dialog's WM_COMMAND.
  void OnCellEditNotify(int code);
  void OnCellComboNotify(int code);
  // The ports' list 1000 changed its selection: its tool tip names the chosen port.
  void OnPortSelectionChanged();
  // Redraws every text of the dialog in the window's language.
  void Retranslate();

  std::string Text(int id) const override;
  void SetText(int id, std::string_view text) override;
  void SetToolTip(int id, std::string_view text) override;
  bool Checked(int id) const override;
  void SetChecked(int id, bool checked) override;
  std::vector<std::string> ComboItems(int id) const override;
  void ComboAdd(int id, std::string_view text) override;
  void ComboClear(int id) override;
  int ComboSelected(int id) const override;
  void ComboSelect(int id, int index) override;
  void SetComboItemToolTip(int id, int index, std::string_view text) override;
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) const override;
  void Show(int id, bool visible) override;
  bool IsVisible(int id) const override;
  void Move(int id, const ControlRect& rect) override;
  void CellsChanged(int firstRow, int lastRow) override;
  void MarkCells(std::span<const AcqFinding> findings) override;
  void ShowProgress(int answered, int total) override;
  void OpenCellCombo(int row, int column, std::span<const std::string> entries,
                     int selected) override;
  void OpenCellEdit(int row, int column, std::string_view text) override;
  void HideCellEditors() override;
  void MessageBox(std::string_view text) override;
  bool AskYesNo(std::string_view text) override;
  void Focus(int id) override;
  std::optional<std::string> ChooseOpenFile(std::string_view filterName, std::string_view pattern,
                                            std::string_view directory) override;
  void ShowAbout(std::string_view versionLine) override;

 private:
  static LRESULT CALLBACK EditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     UINT_PTR id, DWORD_PTR self);
  void MakeEditors();
  RECT CellInDialog(int row, int column) const;
  void CommitCellEdit();
  void CancelCellEditor();
  // Tab in an editor: commits it and moves on.
  void TabFromEditor(bool isEdit);
  void AddToolTip(HWND control, const std::wstring& text);
  void ShowSearchWindow(bool visible);
  // Dialog units of the original layout's pixels (7 by 14 pixels a base unit), so a place the
  // dialog gives in pixels keeps its spot among the controls at any font and dpi.
  RECT PixelsToDialog(const ControlRect& rect) const;

  HWND dialog_;
  HWND search_ = nullptr;
  HICON icon_;
  Win32AcqList list_;
  HWND tip_ = nullptr;
  WindowTexts texts_;
  std::map<int, std::string> toolTipKeys_;  // Chinese
  std::map<int, std::wstring> toolTips_;    // as shown
  std::vector<std::string> portToolTips_;
  bool editOpen_ = false;
  bool comboOpen_ = false;
  bool editLosingFocus_ = false;
  std::function<void()> commitEdit_;
  std::function<void()> cancelEdit_;
  std::function<void()> chooseEntry_;
  std::function<void(int)> moveEditor_;
};

}  // namespace qv31

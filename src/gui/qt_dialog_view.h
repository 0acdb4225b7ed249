#pragma once

#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <functional>
#include <map>

#include "app/dialog_view.h"

class QComboBox;
class QLineEdit;
class QProgressBar;
class QTableView;
class QWidget;

namespace qv31 {

class AcqTableModel;

// The main dialog's widgets behind the dialog's view interface. Every control is found by its
// object name "c<ID>" once, at construction; an ID without a widget is ignored. The two
// in-place editors are made here, over the list's viewport, so they scroll with its cells.
class QtDialogView final : public QObject, public DialogView {
 public:
  // `window` holds the form's widgets; `list` is the acquisition list 1041.
  QtDialogView(QWidget* window, QTableView* list, QIcon icon);
  ~QtDialogView() override;

  void SetModel(AcqTableModel* model) { model_ = model; }
  // What the editors report: the edit box left with a commit (focus lost, Enter), an
  // editor dropped without one (Esc, the drop-down's list closed without a choice), and Tab
  // or Shift+Tab (step 1 or -1) once the editor has committed.
  void SetCellEditorHandlers(std::function<void()> commit, std::function<void()> cancel,
                             std::function<void(int step)> move) {
    commitEdit_ = std::move(commit);
    cancelEdit_ = std::move(cancel);
    moveEditor_ = std::move(move);
  }

  QWidget* Widget(int id) const;
  QComboBox* CellCombo() const { return combo_; }
  QLineEdit* CellEdit() const { return edit_; }
  bool CellEditOpen() const { return editOpen_; }
  // Commits the open edit box now (before a click on the list is reported).
  void CommitCellEdit();
  void CancelCellEditor();

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
  void Enable(int id, bool enabled) override;
  bool IsEnabled(int id) const override;
  void Show(int id, bool visible) override;
  bool IsVisible(int id) const override;
  void Move(int id, const ControlRect& rect) override;
  void CellsChanged(int firstRow, int lastRow) override;
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
  void SetComboItemToolTip(int id, int index, std::string_view text) override;
  void MarkCells(std::span<const AcqFinding> findings) override;
  void ShowProgress(int answered, int total) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FindControls();
  void MakeCellEditors();
  void PlaceOverCell(QWidget* editor, int row, int column);
  // Tab in an editor: commits it and moves on; false for any other key.
  bool TabFromEditor(QObject* watched, QEvent* event);
  QComboBox* Combo(int id) const;

  QWidget* window_;
  QTableView* list_;
  QIcon icon_;
  AcqTableModel* model_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::map<int, QPointer<QWidget>> controls_;
  QComboBox* combo_ = nullptr;
  QLineEdit* edit_ = nullptr;
  QObject* popupList_ = nullptr;  // the drop-down's opened list
  bool editOpen_ = false;
  int comboOpenings_ = 0;  // tells a late close of an earlier list from the current one
  int closedOpening_ = 0;
  QTimer openPopup_;     // opens the drop-down's list right after the click
  QTimer dropUnchosen_;  // takes the drop-down away when its list closed without a choice
  std::function<void()> commitEdit_;
  std::function<void()> cancelEdit_;
  std::function<void(int)> moveEditor_;
};

}  // namespace qv31

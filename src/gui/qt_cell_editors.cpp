// The two in-place editors of the acquisition list: made over the list's viewport, laid over a
// cell, and the events that commit or cancel them.
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTableView>
#include <algorithm>

#include "app/control_ids.h"
#include "gui/qt_dialog_view.h"

namespace qv31 {
namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void QtDialogView::MakeCellEditors() {
  QWidget* viewport = list_->viewport();
  combo_ = new QComboBox(viewport);
  combo_->setObjectName(QStringLiteral("c%1").arg(IDC_CELL_COMBO));
  combo_->setMaxVisibleItems(12);  // every type entry at once
  combo_->hide();
  edit_ = new QLineEdit(viewport);
  edit_->setObjectName(QStringLiteral("c%1").arg(IDC_CELL_EDIT));
  edit_->setAlignment(Qt::AlignCenter);
  edit_->hide();
  combo_->installEventFilter(this);
  combo_->view()->window()->installEventFilter(this);
  popupList_ = combo_->view();
  popupList_->installEventFilter(this);  // after the combo's own filter, so seen first
  edit_->installEventFilter(this);

  openPopup_.setSingleShot(true);
  openPopup_.setInterval(0);
  connect(&openPopup_, &QTimer::timeout, combo_, [this] {
    if (combo_->isVisible()) combo_->showPopup();
  });
  dropUnchosen_.setSingleShot(true);
  dropUnchosen_.setInterval(0);
  connect(&dropUnchosen_, &QTimer::timeout, combo_, [this] {
    if (closedOpening_ == comboOpenings_ && combo_->isVisible() && !combo_->view()->isVisible()) {
      CancelCellEditor();
    }
  });
}

void QtDialogView::PlaceOverCell(QWidget* editor, int row, int column) {
  const QModelIndex index = list_->model()->index(row, column);
  list_->scrollTo(index);
  QRect cell = list_->visualRect(index);
  // An editor needs its own height for its text; it overlaps the neighbouring rows if the
  // cell is lower.
  const int height = std::max(cell.height(), editor->minimumSizeHint().height());
  cell.setTop(cell.center().y() - height / 2);
  cell.setHeight(height);
  editor->setGeometry(cell);
}

void QtDialogView::OpenCellCombo(int row, int column, std::span<const std::string> entries,
                                 int selected) {
  HideCellEditors();
  ++comboOpenings_;
  combo_->clear();
  for (const std::string& entry : entries) combo_->addItem(QString::fromStdString(entry));
  combo_->setCurrentIndex(selected >= 0 && selected < combo_->count() ? selected : -1);
  // The opened list is as wide as its longest entry, however narrow the cell.
  QAbstractItemView* popup = combo_->view();
  popup->setMinimumWidth(popup->sizeHintForColumn(0) + 2 * popup->frameWidth());
  PlaceOverCell(combo_, row, column);
  combo_->show();
  combo_->raise();
  combo_->setFocus(Qt::OtherFocusReason);
  // Opened once the click that asked for it has been handled, so its release cannot close it.
  openPopup_.start();
}

void QtDialogView::OpenCellEdit(int row, int column, std::string_view text) {
  HideCellEditors();
  edit_->setText(Q(text));
  PlaceOverCell(edit_, row, column);
  edit_->show();
  edit_->raise();
  edit_->setFocus(Qt::OtherFocusReason);
  edit_->selectAll();
  editOpen_ = true;
}

void QtDialogView::HideCellEditors() {
  editOpen_ = false;
  // The focus goes back to the list, never on to the next control of the window, where a
  // Space typed next would press a button.
  if (edit_->hasFocus() || combo_->hasFocus()) list_->setFocus(Qt::OtherFocusReason);
  if (combo_->view()->isVisible()) combo_->hidePopup();
  combo_->hide();
  edit_->hide();
}

void QtDialogView::CommitCellEdit() {
  if (!editOpen_) return;
  editOpen_ = false;
  if (commitEdit_) commitEdit_();
}

void QtDialogView::CancelCellEditor() {
  editOpen_ = false;  // hiding the focused edit box must not commit it
  if (cancelEdit_) cancelEdit_();
  HideCellEditors();
  list_->setFocus(Qt::OtherFocusReason);
}

bool QtDialogView::TabFromEditor(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const bool back = key->key() == Qt::Key_Backtab ||
                    (key->key() == Qt::Key_Tab && (key->modifiers() & Qt::ShiftModifier));
  if (!back && key->key() != Qt::Key_Tab) return false;
  if (watched == edit_) {
    CommitCellEdit();
  } else {
    // Tab in the opened list takes its highlighted entry, as Enter does.
    const int row = combo_->view()->currentIndex().row();
    if (row < 0) return false;
    combo_->setCurrentIndex(row);
    emit combo_->activated(row);
  }
  if (moveEditor_) moveEditor_(back ? -1 : 1);
  return true;
}

bool QtDialogView::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if ((watched == edit_ || watched == popupList_) && TabFromEditor(watched, event)) return true;
  if (watched == popupList_) return QObject::eventFilter(watched, event);
  if (watched == edit_) {
    if (type == QEvent::FocusOut &&
        static_cast<QFocusEvent*>(event)->reason() != Qt::PopupFocusReason) {
      CommitCellEdit();
    } else if (type == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        CommitCellEdit();
        return true;
      }
      if (key == Qt::Key_Escape) {  // cancels this edit only; the window stays
        CancelCellEditor();
        return true;
      }
    }
  } else if (watched == combo_) {
    if (type == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
      CancelCellEditor();
      return true;
    }
  } else if (type == QEvent::Hide) {
    // The drop-down list closed. With a choice the dialog has hidden the combo by now; without
    // one (Esc, a click elsewhere) the cell keeps its text and the combo goes away.
    closedOpening_ = comboOpenings_;
    dropUnchosen_.start();
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace qv31

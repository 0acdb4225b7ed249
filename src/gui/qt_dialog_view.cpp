#include "gui/qt_dialog_view.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpressionValidator>
#include <QTableView>
#include <QTimer>
#include <algorithm>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "gui/acq_table_model.h"
#include "gui/cabout_dlg.h"
#include "gui/window_language.h"

namespace qv31 {
namespace {

QString Q(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// Every control the view serves, with the name a screen reader and an automated check find it
// by. The name is also set as the accessible description, because Qt's Linux accessibility
// bridge names a combo box by its current value. A null name: the control's own text names it
// (the mode check box and the Open/Close button, whose texts change), or it is a label.
struct ControlEntry {
  int id;
  const char* name;
  const char* description;  // when it differs from the name
  bool digitsOnly = false;
};

constexpr ControlEntry kControls[] = {
    {IDC_MODE, nullptr, "通信口"},
    {IDC_LINK_PORT, "串口号", nullptr},
    {IDC_LINK_BAUD, "软件参数 波特率", nullptr},
    {IDC_LINK_FORMAT, "软件参数 格式", nullptr},
    {IDC_LINK_PROTOCOL, "软件参数 协议类型", nullptr},
    {IDC_LINK_ADDRESS, "目标地址", nullptr},
    {IDC_LINK_TARGET_PORT, "软件参数 目标端口", nullptr},
    {IDC_OPEN_CLOSE, nullptr, "打开/关闭"},
    {IDC_STOP_ACQ, "停止采集", nullptr},
    {IDC_FIND_GATEWAYS, "搜索网关", nullptr},
    {IDC_DETECT_LINE, "检测串口参数", nullptr},
    {IDC_SEARCH_DIALOG, nullptr, nullptr},
    {IDC_SEARCH_RANGE, "搜索范围", nullptr},
    {IDC_SEARCH_START, "开始搜索", nullptr},
    {IDC_SEARCH_LIST, "搜索结果", nullptr},
    {IDC_SEARCH_USE, "使用所选网关", nullptr},
    {IDC_SEARCH_STATUS, "搜索状态", nullptr},
    {IDC_PORT1_BAUD, "串口1 波特率", nullptr},
    {IDC_PORT1_FORMAT, "串口1 格式", nullptr},
    {IDC_PORT2_BAUD, "串口2 波特率", nullptr},
    {IDC_PORT2_FORMAT, "串口2 格式", nullptr},
    {IDC_PORT3_BAUD, "串口3 波特率", nullptr},
    {IDC_PORT3_FORMAT, "串口3 格式", nullptr},
    {IDC_PORT4_BAUD, "串口4 波特率", nullptr},
    {IDC_PORT4_FORMAT, "串口4 格式", nullptr},
    {IDC_PORT1_QUERY, "串口1 查询", nullptr},
    {IDC_PORT1_SET, "串口1 设置", nullptr},
    {IDC_PORT2_QUERY, "串口2 查询", nullptr},
    {IDC_PORT2_SET, "串口2 设置", nullptr},
    {IDC_PORT3_QUERY, "串口3 查询", nullptr},
    {IDC_PORT3_SET, "串口3 设置", nullptr},
    {IDC_PORT4_QUERY, "串口4 查询", nullptr},
    {IDC_PORT4_SET, "串口4 设置", nullptr},
    {IDC_VERSION, "版本号", nullptr},
    {IDC_VERSION_QUERY, "版本号 查询", nullptr},
    {IDC_GROUP, "4G参数 组号", nullptr, true},
    {IDC_STATION, "4G参数 站点号", nullptr, true},
    {IDC_LOG, "输出日志", nullptr},
    {IDC_4G_QUERY, "4G参数 查询", nullptr},
    {IDC_4G_SET, "4G参数 设置", nullptr},
    {IDC_DHCP, "自动获取IP", nullptr},
    {IDC_LOCAL_IP, "本机IP", nullptr},
    {IDC_SUBNET_MASK, "子网掩码", nullptr},
    {IDC_GATEWAY, "默认网关", nullptr},
    {IDC_DNS, "DNS服务器", nullptr},
    {IDC_CH1_ENABLE, "网络通道1", nullptr},
    {IDC_CH2_ENABLE, "网络通道2", nullptr},
    {IDC_CH1_PROTOCOL, "网络通道1 协议类型", nullptr},
    {IDC_CH2_PROTOCOL, "网络通道2 协议类型", nullptr},
    {IDC_CH1_TARGET, "网络通道1 目标IP/域名", nullptr},
    {IDC_CH2_TARGET, "网络通道2 目标IP/域名", nullptr},
    {IDC_CH1_PORT, "网络通道1 目标端口", nullptr},
    {IDC_CH2_PORT, "网络通道2 目标端口", nullptr},
    {IDC_MAC, "MAC地址", nullptr},
    {IDC_NET_QUERY, "网口参数 查询", nullptr},
    {IDC_NET_SET, "网口参数 设置", nullptr},
    {IDC_ACQ_ENABLE, "采集管理使能", nullptr},
    {IDC_ACQ_INTERVAL, "间隔时间", nullptr, true},
    {IDC_ACQ_TIMEOUT, "超时时间", nullptr, true},
    {IDC_ACQ_TIMEOUT_COUNT, "超时次数", nullptr, true},
    {IDC_ACQ_QUERY, "采集管理参数 查询", nullptr},
    {IDC_ACQ_SET, "采集管理参数 设置", nullptr},
    {IDC_ACQ_LIST, "采集管理参数", nullptr},
    {IDC_QUERY_ALL, "查询全部", nullptr},
    {IDC_SET_ALL, "设置全部", nullptr},
    {IDC_SAVE_CSV, "保存到文件", nullptr},
    {IDC_LOAD_CSV, "从文件加载", nullptr},
    {IDC_STATUS, "状态", nullptr},
    {IDC_CANCEL, "退出", nullptr},
    {IDC_CELL_EDIT, "单元格编辑框", nullptr},
    {IDC_CELL_COMBO, "单元格选择框", nullptr},
    {IDC_LABEL_LINK, nullptr, nullptr},
    {IDC_LABEL_PORT, nullptr, nullptr},
    {IDC_LABEL_BAUD, nullptr, nullptr},
    {IDC_LABEL_FORMAT, nullptr, nullptr},
    {IDC_LABEL_PROTOCOL, nullptr, nullptr},
    {IDC_LABEL_ADDRESS, nullptr, nullptr},
    {IDC_LABEL_TARGET_PORT, nullptr, nullptr},
};

}  // namespace

QtDialogView::QtDialogView(QWidget* window, QTableView* list, QIcon icon)
    : window_(window), list_(list), icon_(std::move(icon)) {
  MakeCellEditors();
  FindControls();
}

QtDialogView::~QtDialogView() = default;

void QtDialogView::FindControls() {
  const auto* digits = new QRegularExpressionValidator(QRegularExpression("[0-9]*"), window_);
  progress_ = window_->findChild<QProgressBar*>(QStringLiteral("progress"));
  for (const ControlEntry& entry : kControls) {
    auto* widget = window_->findChild<QWidget*>(QStringLiteral("c%1").arg(entry.id));
    if (widget == nullptr) continue;
    controls_[entry.id] = widget;
    if (entry.name != nullptr) widget->setAccessibleName(QString::fromUtf8(entry.name));
    const char* description = entry.description != nullptr ? entry.description : entry.name;
    if (description != nullptr) widget->setAccessibleDescription(QString::fromUtf8(description));
    if (auto* edit = qobject_cast<QLineEdit*>(widget); edit != nullptr && entry.digitsOnly) {
      edit->setValidator(digits);
    }
  }
}

QWidget* QtDialogView::Widget(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second.data();
}

QComboBox* QtDialogView::Combo(int id) const { return qobject_cast<QComboBox*>(Widget(id)); }

std::string QtDialogView::Text(int id) const {
  QWidget* w = Widget(id);
  QString text;
  if (auto* edit = qobject_cast<QLineEdit*>(w); edit != nullptr && id != IDC_STATUS) {
    text = edit->text();
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    text = combo->currentText();
  } else if (auto* list = qobject_cast<QListWidget*>(w)) {
    text = list->currentItem() != nullptr ? list->currentItem()->text() : QString();
  } else if (w != nullptr) {
    text = WidgetText(w);  // in Chinese, whatever the window's language
  }
  return text.toStdString();
}

void QtDialogView::SetText(int id, std::string_view text) {
  QWidget* w = Widget(id);
  const QString value = Q(text);
  // The status box and the labels and buttons show the program's own texts, in the window's
  // language; the other edit boxes and the combos show values as they are.
  if (auto* edit = qobject_cast<QLineEdit*>(w); edit != nullptr && id != IDC_STATUS) {
    edit->setText(value);
    edit->setCursorPosition(0);
  } else if (auto* combo = qobject_cast<QComboBox*>(w)) {
    combo->setCurrentIndex(combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (combo->isEditable() && combo->currentIndex() < 0) combo->setEditText(value);
  } else {
    SetWidgetText(w, text);
    if (id == IDC_MODE || id == IDC_OPEN_CLOSE) SetWidgetAccessibleName(w, text);
  }
}

void QtDialogView::SetToolTip(int id, std::string_view text) { SetWidgetToolTip(Widget(id), text); }

bool QtDialogView::Checked(int id) const {
  const auto* button = qobject_cast<QAbstractButton*>(Widget(id));
  return button != nullptr && button->isChecked();
}

void QtDialogView::SetChecked(int id, bool checked) {
  if (auto* button = qobject_cast<QAbstractButton*>(Widget(id))) button->setChecked(checked);
}

// A list box (the search's list of gateways) takes the drop-down list's calls too.
std::vector<std::string> QtDialogView::ComboItems(int id) const {
  std::vector<std::string> items;
  if (const QComboBox* combo = Combo(id)) {
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
  } else if (const auto* list = qobject_cast<QListWidget*>(Widget(id))) {
    for (int i = 0; i < list->count(); ++i) items.push_back(list->item(i)->text().toStdString());
  }
  return items;
}

void QtDialogView::ComboAdd(int id, std::string_view text) {
  if (QComboBox* combo = Combo(id)) combo->addItem(Q(text));
  if (auto* list = qobject_cast<QListWidget*>(Widget(id))) list->addItem(Q(text));
}

void QtDialogView::ComboClear(int id) {
  if (QComboBox* combo = Combo(id)) combo->clear();
  if (auto* list = qobject_cast<QListWidget*>(Widget(id))) list->clear();
}

int QtDialogView::ComboSelected(int id) const {
  if (const auto* list = qobject_cast<QListWidget*>(Widget(id))) return list->currentRow();
  const QComboBox* combo = Combo(id);
  return combo == nullptr ? -1 : combo->currentIndex();
}

void QtDialogView::ComboSelect(int id, int index) {
  if (QComboBox* combo = Combo(id)) {
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
  }
  if (auto* list = qobject_cast<QListWidget*>(Widget(id))) {
    list->setCurrentRow(index >= 0 && index < list->count() ? index : -1);
  }
}

void QtDialogView::Enable(int id, bool enabled) {
  if (QWidget* w = Widget(id)) w->setEnabled(enabled);
}

bool QtDialogView::IsEnabled(int id) const {
  const QWidget* w = Widget(id);
  return w != nullptr && w->isEnabled();
}

void QtDialogView::Show(int id, bool visible) {
  if (id == IDC_CELL_EDIT && !visible) editOpen_ = false;
  QWidget* w = Widget(id);
  if (w == nullptr) return;
  w->setVisible(visible);
  if (visible && w->isWindow()) {  // the search dialog: in front, ready for typing
    w->raise();
    w->activateWindow();
  }
}

bool QtDialogView::IsVisible(int id) const {
  const QWidget* w = Widget(id);
  return w != nullptr && !w->isHidden();
}

// The layouts place every control; the Open/Close button's row is centred, so it sits where
// it should in both modes without being moved.
void QtDialogView::Move(int, const ControlRect&) {}

void QtDialogView::CellsChanged(int firstRow, int lastRow) {
  if (model_ != nullptr) model_->RowsChanged(firstRow, lastRow);
}

void QtDialogView::MessageBox(std::string_view text) {
  QMessageBox box(QMessageBox::Warning, Tr(WINDOW_TITLE), Tr(text), QMessageBox::Ok, window_);
  box.exec();
}

bool QtDialogView::AskYesNo(std::string_view text) {
  QMessageBox box(QMessageBox::Question, Tr(WINDOW_TITLE), Tr(text),
                  QMessageBox::Yes | QMessageBox::No, window_);
  box.setDefaultButton(QMessageBox::No);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes;
}

void QtDialogView::Focus(int id) {
  if (QWidget* w = Widget(id)) w->setFocus(Qt::OtherFocusReason);
}

std::optional<std::string> QtDialogView::ChooseOpenFile(std::string_view filterName,
                                                        std::string_view pattern,
                                                        std::string_view directory) {
  QString filter = Tr(filterName);
  if (!filter.contains(Q(pattern))) filter += QStringLiteral(" (%1)").arg(Q(pattern));
  QFileDialog chooser(window_, QString(), Q(directory), filter);
  chooser.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::ReadOnly);
  chooser.setFileMode(QFileDialog::ExistingFile);
  chooser.setAcceptMode(QFileDialog::AcceptOpen);
  chooser.setDefaultSuffix(QStringLiteral("csv"));
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return {};
  return chooser.selectedFiles().front().toStdString();
}

void QtDialogView::ShowAbout(std::string_view versionLine) {
  CAboutDlg about(window_, icon_, Q(versionLine));
  about.exec();
}

void QtDialogView::SetComboItemToolTip(int id, int index, std::string_view text) {
  if (QComboBox* combo = Combo(id); combo != nullptr && index >= 0 && index < combo->count()) {
    combo->setItemData(index, text.empty() ? QVariant() : QVariant(Q(text)), Qt::ToolTipRole);
  }
}

void QtDialogView::MarkCells(std::span<const AcqFinding> findings) {
  if (model_ != nullptr) model_->SetMarks(findings);
}

void QtDialogView::ShowProgress(int answered, int total) {
  if (progress_ == nullptr) return;
  if (total <= 0) {
    progress_->hide();
    return;
  }
  progress_->setRange(0, total);
  progress_->setValue(answered);
  progress_->show();
}

}  // namespace qv31

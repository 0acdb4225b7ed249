#include "gui/main_dialog.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>

#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "gui/acq_table_model.h"
#include "gui/app_icon.h"
#include "gui/qt_dialog_view.h"
#include "gui/qt_timer_service.h"
#include "gui/search_dialog.h"
#include "gui/traffic_monitor.h"
#include "ui_main_dialog.h"

namespace qv31 {
namespace {

const QColor LIST_BACKGROUND(209, 209, 209);
constexpr double BASE_DPI = 96.0;  // the list's column widths are pixels at 96 dpi

// The width of `chars` digits in an edit box of `edit`'s font, frame and margins included.
int DigitsWidth(const QWidget* edit, int chars) {
  const QFontMetrics metrics = edit->fontMetrics();
  return metrics.horizontalAdvance(QString(chars, QLatin1Char('0'))) + 2 * metrics.height();
}

}  // namespace

MainDialog::MainDialog(const WindowOptions& options, QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::MainDialog>()) {
  ui_->setupUi(this);
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint |
                 Qt::WindowCloseButtonHint);
  const QIcon icon = AppIcon();
  setWindowIcon(icon);

  // Made before the view, which finds the search window's controls by ID with the others.
  search_ = new SearchDialog(this);
  view_ = std::make_unique<QtDialogView>(this, ui_->c1041, icon);
  timers_ = std::make_unique<QtTimerService>([this](int id) { dlg_->OnTimer(id); });
  DialogEnvironment env;
  env.view = view_.get();
  env.timers = timers_.get();
  env.clock = MonotonicMs;
  env.settingsDir = options.settingsDir;
  env.discoverPorts = options.discoverPorts;
  env.version = options.version;
  dlg_ = std::make_unique<CQV31Dlg>(std::move(env));
  model_ = std::make_unique<AcqTableModel>(dlg_->Grid());
  view_->SetModel(model_.get());
  view_->SetCellEditorHandlers([this] { dlg_->OnKillFocusCellEdit(); },
                               [this] { dlg_->OnCancelCellEditor(); });

  // The progress bar takes its room from the free space of the bottom row, not from the
  // status box.
  ui_->progress->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
  ui_->progress->setFixedWidth(
      ui_->progress->fontMetrics().horizontalAdvance(QStringLiteral("000/000")) +
      4 * ui_->progress->fontMetrics().height());
  ui_->progress->hide();
  // The operator may type a port that discovery does not list (a virtual port, a
  // pseudo-terminal); typing never adds it to the list.
  ui_->c1000->setEditable(true);
  ui_->c1000->setInsertPolicy(QComboBox::NoInsert);
  SetUpList();
  ConnectControls();
  FitEditWidths();
  dlg_->OnInitDialog();
  ApplyOptions(options);
  resize(sizeHint());
}

MainDialog::~MainDialog() {
  // The dialog's end may still touch the view and the timers, but no event reaches it any
  // more; the list lets go of the model before the model goes. The monitor reads the
  // dialog's record, so it goes first.
  monitor_.reset();
  view_->SetCellEditorHandlers({}, {});
  dlg_.reset();
  ui_->c1041->setModel(nullptr);
  model_.reset();
  timers_.reset();
  view_.reset();
}

void MainDialog::SetUpList() {
  QTableView* list = ui_->c1041;
  list->setModel(model_.get());
  QPalette palette = list->palette();
  palette.setColor(QPalette::Base, LIST_BACKGROUND);
  palette.setColor(QPalette::AlternateBase, LIST_BACKGROUND);
  palette.setColor(QPalette::Text, Qt::black);
  list->setPalette(palette);
  list->setContextMenuPolicy(Qt::PreventContextMenu);  // a right click on the list does nothing

  const double scale = list->logicalDpiX() / BASE_DPI;
  int width = 0;
  const auto columns = AcqColumns();
  for (int c = 0; c < static_cast<int>(columns.size()); ++c) {
    const int w = qRound(columns[static_cast<size_t>(c)].width * scale);
    list->horizontalHeader()->resizeSection(c, w);
    width += w;
  }
  list->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 8);
  // Every column visible without scrolling sideways; at least a dozen rows.
  const int frame = 2 * list->frameWidth();
  list->setMinimumWidth(width + list->verticalScrollBar()->sizeHint().width() + frame);
  list->setMinimumHeight(list->horizontalHeader()->sizeHint().height() +
                         12 * list->verticalHeader()->defaultSectionSize() + frame);
  list->viewport()->installEventFilter(this);
}

void MainDialog::ConnectControls() {
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    bool ok = false;
    const int id = button->objectName().mid(1).toInt(&ok);
    if (!button->objectName().startsWith(QLatin1Char('c')) || !ok) continue;
    if (id == IDC_CANCEL) {
      connect(button, &QAbstractButton::clicked, this, &QDialog::reject);
    } else {
      connect(button, &QAbstractButton::clicked, this, [this, id] { dlg_->OnCommand(id); });
    }
  }
  connect(ui_->c1000, &PortComboBox::popupOpening, this, [this] { dlg_->OnPortListOpening(); });
  connect(search_, &SearchDialog::chosen, this, [this] { dlg_->OnCommand(IDC_SEARCH_USE); });
  connect(search_, &SearchDialog::searchRequested, this,
          [this] { dlg_->OnCommand(IDC_SEARCH_START); });
  connect(search_, &QDialog::finished, this, [this] { dlg_->Finder().OnSearchDialogClosed(); });
  connect(view_->CellCombo(), &QComboBox::activated, this,
          [this] { dlg_->OnSelChangeCellCombo(); });
  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  connect(help, &QShortcut::activated, this, [this] { dlg_->OnAbout(); });
  auto* traffic = new QShortcut(QKeySequence(Qt::Key_F12), this);
  connect(traffic, &QShortcut::activated, this, &MainDialog::ShowMonitor);
}

TrafficMonitor& MainDialog::Monitor() {
  if (!monitor_) {
    monitor_ = std::make_unique<TrafficMonitor>(dlg_->Traffic(), dlg_->SettingsFile().DirPath());
    monitor_->setWindowIcon(windowIcon());
  }
  return *monitor_;
}

void MainDialog::ShowMonitor() {
  TrafficMonitor& monitor = Monitor();
  monitor.show();
  monitor.raise();
  monitor.activateWindow();
}

void MainDialog::FitEditWidths() {
  for (QLineEdit* edit : {ui_->c1068, ui_->c1046, ui_->c1047}) {
    edit->setMaximumWidth(DigitsWidth(edit, 5));
  }
  for (QLineEdit* edit : {ui_->c1036, ui_->c1037}) edit->setMinimumWidth(DigitsWidth(edit, 5));
  // A domain name such as "data.example.com" shows whole.
  for (QLineEdit* edit : {ui_->c1034, ui_->c1035}) edit->setMinimumWidth(DigitsWidth(edit, 18));
  // The status box keeps one width whether the progress bar beside it shows or not; the free
  // room of the bottom row goes to the space before "退出".
  const QFontMetrics metrics = ui_->c1052->fontMetrics();
  ui_->c1052->setSizePolicy(QSizePolicy::Preferred, ui_->c1052->sizePolicy().verticalPolicy());
  ui_->c1052->setMinimumWidth(2 * metrics.horizontalAdvance(QStringLiteral("数据内容不符合")) +
                              4 * metrics.height());
}

void MainDialog::ApplyOptions(const WindowOptions& options) {
  if (options.udpHost.empty()) return;
  view_->SetChecked(IDC_MODE, false);
  dlg_->OnModeCheck();
  view_->SetText(IDC_LINK_ADDRESS, options.udpHost);
  if (!options.udpPort.empty()) view_->SetText(IDC_LINK_TARGET_PORT, options.udpPort);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // No default button: Enter does nothing anywhere. Esc ends the program (QDialog's reject).
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dlg_->OnLButtonUp();
  QDialog::mouseReleaseEvent(event);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("通信记录(&T)...\tF12"), this, &MainDialog::ShowMonitor);
  menu.addAction(QStringLiteral("关于 QV31(&A)..."), this, [this] { dlg_->OnAbout(); });
  menu.exec(event->globalPos());
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  QTableView* list = ui_->c1041;
  if (watched != list->viewport() || event->type() != QEvent::MouseButtonRelease) {
    return QDialog::eventFilter(watched, event);
  }
  const auto* mouse = static_cast<QMouseEvent*>(event);
  const QPoint pos = mouse->position().toPoint();
  for (const QWidget* editor :
       {static_cast<QWidget*>(view_->CellCombo()), static_cast<QWidget*>(view_->CellEdit())}) {
    if (editor->isVisible() && editor->geometry().contains(pos)) return false;
  }
  if (mouse->button() == Qt::LeftButton) {
    // An edit box left by this click commits into its own cell before the click moves on.
    view_->CommitCellEdit();
    const QModelIndex index = list->indexAt(pos);
    if (index.isValid()) {
      dlg_->OnClickAcqList(index.row(), index.column());
    } else {
      dlg_->OnClickAcqList(-1, std::max(list->columnAt(pos.x()), 0));
    }
  } else if (mouse->button() == Qt::RightButton) {
    dlg_->OnRClickAcqList();
  }
  return false;
}

}  // namespace qv31

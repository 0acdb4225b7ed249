#include "gui/main_dialog.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <algorithm>

#include "acq/acq_grid.h"
#include "app/control_ids.h"
#include "app/cqv31_dlg.h"
#include "gui/acq_list_columns.h"
#include "gui/acq_table_model.h"
#include "gui/app_icon.h"
#include "gui/qt_dialog_view.h"
#include "gui/qt_timer_service.h"
#include "gui/search_dialog.h"
#include "gui/traffic_monitor.h"
#include "gui/window_language.h"
#include "ui_main_dialog.h"

namespace qv31 {
namespace {

const QColor LIST_BACKGROUND(209, 209, 209);
// The fewest rows and leading columns the list shows however small the window; it scrolls
// to the rest.
constexpr int LIST_MIN_ROWS = 6;
constexpr int LIST_MIN_COLUMNS = 4;
// The serial and the network link controls share their places; each set keeps its room while
// hidden, so a mode switch moves nothing and leaves the window's size alone.
constexpr int MODE_CONTROLS[] = {IDC_LABEL_PORT,     IDC_LINK_PORT,         IDC_LABEL_BAUD,
                                 IDC_LINK_BAUD,      IDC_LABEL_FORMAT,      IDC_LINK_FORMAT,
                                 IDC_LABEL_PROTOCOL, IDC_LINK_PROTOCOL,     IDC_LABEL_ADDRESS,
                                 IDC_LINK_ADDRESS,   IDC_LABEL_TARGET_PORT, IDC_LINK_TARGET_PORT};

// The width of `text` in an edit box of `edit`'s font, frame and margins included.
int TextWidth(const QWidget* edit, const QString& text) {
  const QFontMetrics metrics = edit->fontMetrics();
  return metrics.horizontalAdvance(text) + metrics.height();
}
int DigitsWidth(const QWidget* edit, int chars) {
  return TextWidth(edit, QString(chars, QLatin1Char('0')));
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
  timers_ = std::make_unique<QtTimerService>([this](int id) { OnTimer(id); });
  DialogEnvironment env;
  env.view = view_.get();
  env.timers = timers_.get();
  env.clock = MonotonicMs;
  env.settingsDir = options.settingsDir;
  env.discoverPorts = options.discoverPorts;
  env.version = options.version;
  env.watchSocket = [this](int fd) { WatchSocket(fd); };
  dlg_ = std::make_unique<CQV31Dlg>(std::move(env));
  // The serial receive thread's signal, carried onto this thread by the event loop.
  dlg_->Session().SetReceiverWake([this] {
    QMetaObject::invokeMethod(
        this, [this] { dlg_->OnLinkReadable(); }, Qt::QueuedConnection);
  });
  model_ = std::make_unique<AcqTableModel>(dlg_->Grid());
  view_->SetModel(model_.get());
  view_->SetCellEditorHandlers([this] { dlg_->OnKillFocusCellEdit(); },
                               [this] { dlg_->OnCancelCellEditor(); },
                               [this](int step) { EditNextCell(step); });

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
  for (const int id : MODE_CONTROLS) {
    QWidget* control = view_->Widget(id);
    QSizePolicy policy = control->sizePolicy();
    policy.setRetainSizeWhenHidden(true);
    control->setSizePolicy(policy);
  }
  SetUpList();
  ConnectControls();
  FitEditWidths();
  dlg_->OnInitDialog();
  ApplyOptions(options);
  ApplyLanguage(dlg_->ChosenLanguage().value_or(options.language));
  FitScreen();
}

MainDialog::~MainDialog() {
  // The dialog's end may still touch the view and the timers, but no event reaches it any
  // more; the list lets go of the model before the model goes. The monitor reads the
  // dialog's record, so it goes first.
  monitor_.reset();
  view_->SetCellEditorHandlers({}, {}, {});
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

  columns_ = new AcqListColumns(list);
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  const int frame = 2 * list->frameWidth();
  list->setMinimumWidth(columns_->NaturalWidth(LIST_MIN_COLUMNS) +
                        list->verticalScrollBar()->sizeHint().width() + frame);
  list->setMinimumHeight(list->horizontalHeader()->sizeHint().height() +
                         LIST_MIN_ROWS * list->verticalHeader()->defaultSectionSize() +
                         list->horizontalScrollBar()->sizeHint().height() + frame);
  list->installEventFilter(this);
  list->viewport()->installEventFilter(this);
}

void MainDialog::ConnectControls() {
  for (QAbstractButton* button : findChildren<QAbstractButton*>()) {
    bool ok = false;
    const int id = button->objectName().mid(1).toInt(&ok);
    if (!button->objectName().startsWith(QLatin1Char('c')) || !ok) continue;
    if (id == IDC_MODE) continue;  // below
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
  // The mode follows the check box however its state changes: a click, the keyboard, or a
  // screen reader's toggle action, which clicks nothing.
  connect(ui_->c1065, &QAbstractButton::toggled, this, [this] { dlg_->OnModeCheck(); });

  // The window's own menu: its entries' keys work anywhere in the window, and the menu opens
  // from the keyboard too.
  about_ = new QAction(this);
  about_->setShortcut(QKeySequence(Qt::Key_F1));
  connect(about_, &QAction::triggered, this, [this] { dlg_->OnAbout(); });
  traffic_ = new QAction(this);
  traffic_->setShortcut(QKeySequence(Qt::Key_F12));
  connect(traffic_, &QAction::triggered, this, &MainDialog::ShowMonitor);
  language_ = new QAction(this);
  connect(language_, &QAction::triggered, this, [this] {
    ChooseLanguage(WindowLanguage() == Language::Chinese ? Language::English : Language::Chinese);
  });
  for (QAction* action : {about_, traffic_}) {
    action->setShortcutContext(Qt::WindowShortcut);
    action->setShortcutVisibleInContextMenu(true);
    addAction(action);
  }
  // The Menu key reaches keyPressEvent; Shift+F10 would be taken by an edit box first.
  auto* menu = new QShortcut(QKeySequence(Qt::SHIFT | Qt::Key_F10), this);
  connect(menu, &QShortcut::activated, this, &MainDialog::ShowMenuAtFocus);
}

void MainDialog::ShowMenuAtFocus() {
  QWidget* focus = focusWidget() != nullptr ? focusWidget() : this;
  ShowMenu(focus->mapToGlobal(focus->rect().center()));
}

void MainDialog::ShowMenu(const QPoint& at) {
  QMenu menu(this);
  menu.addAction(about_);
  menu.addAction(traffic_);
  menu.addSeparator();
  menu.addAction(language_);
  menu.exec(at);
}

// On a small screen the window opens fitting it, every control inside; on a larger one it
// opens wide enough for every column of the list at its natural width.
void MainDialog::FitScreen() {
  QSize size = sizeHint();
  const int listExtra = columns_->NaturalWidth(ACQ_COLUMN_COUNT) +
                        ui_->c1041->verticalScrollBar()->sizeHint().width() +
                        2 * ui_->c1041->frameWidth() - ui_->c1041->minimumWidth();
  size.rwidth() += std::max(listExtra, 0);
  if (const QScreen* screen = this->screen()) {
    // Room for the window manager's frame and title bar, which are not yet known.
    const int title = 2 * fontMetrics().height();
    const QRect room = screen->availableGeometry().adjusted(0, 0, -8, -title - 8);
    size = size.boundedTo(room.size()).expandedTo(minimumSizeHint());
  }
  resize(size);
}

void MainDialog::EditNextCell(int step) {
  QTableView* list = ui_->c1041;
  const QModelIndex current = list->currentIndex();
  int cell = current.isValid() ? current.row() * ACQ_COLUMN_COUNT + current.column() : -1;
  for (cell += step; cell >= 0 && cell < ACQ_ROW_COUNT * ACQ_COLUMN_COUNT; cell += step) {
    if (AcqListColumns::Editable(cell % ACQ_COLUMN_COUNT)) break;
  }
  if (cell < 0 || cell >= ACQ_ROW_COUNT * ACQ_COLUMN_COUNT) return;  // stays on the list
  EditCell(model_->index(cell / ACQ_COLUMN_COUNT, cell % ACQ_COLUMN_COUNT));
}

void MainDialog::EditCell(const QModelIndex& index) {
  QTableView* list = ui_->c1041;
  list->setCurrentIndex(index);
  list->scrollTo(index);
  dlg_->OnClickAcqList(index.row(), index.column());
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

void MainDialog::WatchSocket(int fd) {
  readable_.reset();
  if (fd < 0) return;
  readable_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
  connect(readable_.get(), &QSocketNotifier::activated, this, [this] {
    // The notifier fires for as long as a datagram waits; the ticks take it from here.
    readable_->setEnabled(false);
    dlg_->OnLinkReadable();
  });
}

void MainDialog::OnTimer(int id) {
  dlg_->OnTimer(id);
  if (readable_ && !timers_->IsRunning(TIMER_ENGINE)) readable_->setEnabled(true);
}

void MainDialog::FitEditWidths() {
  for (QLineEdit* edit : {ui_->c1068, ui_->c1046, ui_->c1047}) {
    edit->setMaximumWidth(DigitsWidth(edit, 5));
  }
  for (QLineEdit* edit : {ui_->c1036, ui_->c1037}) edit->setMinimumWidth(DigitsWidth(edit, 5));
  // The groups' "查询" and "设置" may give up their style's generous width on a small screen.
  for (QAbstractButton* button : findChildren<QPushButton*>()) {
    const QString text = WidgetText(button);
    if (text == QStringLiteral("查询") || text == QStringLiteral("设置")) {
      button->setMinimumWidth(TextWidth(button, button->text()) + button->fontMetrics().height());
    }
  }
  // "搜索" and "检测" take a third column beside the link's fields, which must not make the
  // link's group wider than the port groups under it: the buttons keep only a narrow margin,
  // and the protocol list, which only ever shows "UDP", gives up the width of "TCP Server".
  for (QPushButton* button : {ui_->c1070, ui_->c1071}) {
    const QFontMetrics metrics = button->fontMetrics();
    button->setMinimumWidth(metrics.horizontalAdvance(button->text()) + metrics.height() / 2);
  }
  ui_->c1056->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  ui_->c1056->setMinimumContentsLength(3);
  // A version text of twelve characters shows whole.
  ui_->c1020->setMinimumWidth(DigitsWidth(ui_->c1020, 12));
  // An address shows whole; a longer domain name when the window is wider.
  for (QLineEdit* edit : {ui_->c1034, ui_->c1035, ui_->c1025, ui_->c1026, ui_->c1027, ui_->c1028}) {
    edit->setMinimumWidth(TextWidth(edit, QStringLiteral("255.255.255.255")));
  }
  // The status box keeps one width whether the progress bar beside it shows or not; the free
  // room of the bottom row goes to the space before "退出".
  const QFontMetrics metrics = ui_->c1052->fontMetrics();
  ui_->c1052->setSizePolicy(QSizePolicy::Preferred, ui_->c1052->sizePolicy().verticalPolicy());
  ui_->c1052->setMinimumWidth(2 * metrics.horizontalAdvance(Tr("数据内容不符合")) +
                              4 * metrics.height());
}

void MainDialog::ChooseLanguage(Language language) {
  dlg_->ChooseLanguage(language);
  ApplyLanguage(language);
}

void MainDialog::ApplyLanguage(Language language) {
  SetWindowLanguage(language);
  TranslateWidgets(this);
  about_->setText(Tr("关于 QV31(&A)..."));
  traffic_->setText(Tr("通信记录"));
  // Each language is offered by its own name, so an operator who reads only it finds it.
  language_->setText(language == Language::Chinese ? QStringLiteral("English")
                                                   : QStringLiteral("中文"));
  model_->Retranslate();
  columns_->Measure();
  FitEditWidths();
  if (monitor_) monitor_->Retranslate();
}

void MainDialog::ApplyOptions(const WindowOptions& options) {
  if (options.udpHost.empty()) return;
  view_->SetChecked(IDC_MODE, false);
  dlg_->OnModeCheck();
  view_->SetText(IDC_LINK_ADDRESS, options.udpHost);
  if (!options.udpPort.empty()) view_->SetText(IDC_LINK_TARGET_PORT, options.udpPort);
}

void MainDialog::reject() {
  if (dlg_->MayClose()) QDialog::reject();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // No default button: Enter does nothing anywhere. Esc ends the program (QDialog's reject).
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    event->accept();
    return;
  }
  if (event->key() == Qt::Key_Menu) {
    event->accept();
    ShowMenuAtFocus();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) dlg_->OnLButtonUp();
  QDialog::mouseReleaseEvent(event);
}

void MainDialog::contextMenuEvent(QContextMenuEvent* event) { ShowMenu(event->globalPos()); }

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  QTableView* list = ui_->c1041;
  if (watched == list && event->type() == QEvent::KeyPress) {
    // F2 or Enter opens the current cell's editor, as a click on it does.
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_F2 || key == Qt::Key_Return || key == Qt::Key_Enter) {
      if (list->currentIndex().isValid()) EditCell(list->currentIndex());
      return true;
    }
  }
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

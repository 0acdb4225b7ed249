#include "gui/traffic_monitor.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "app/traffic_log.h"
#include "gui/traffic_model.h"
#include "gui/window_language.h"

namespace qv31 {
namespace {

constexpr int LOOK_MS = 100;

}  // namespace

TrafficMonitor::TrafficMonitor(TrafficLog& log, std::string saveDir, QWidget* parent)
    : QWidget(parent, Qt::Window),
      log_(log),
      saveDir_(std::move(saveDir)),
      model_(new TrafficModel(log, this)),
      table_(new QTableView(this)),
      pause_(new QPushButton(this)),
      note_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("通信记录"));
  SetWidgetText(pause_, "暂停");
  setObjectName(QStringLiteral("trafficMonitor"));

  table_->setObjectName(QStringLiteral("trafficTable"));
  table_->setAccessibleName(QStringLiteral("通信记录"));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  table_->horizontalHeader()->setStretchLastSection(true);
  const QFontMetrics m = table_->fontMetrics();

  pause_->setObjectName(QStringLiteral("trafficPause"));
  pause_->setCheckable(true);
  pause_->setAutoDefault(false);
  connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
    log_.SetPaused(paused);
    SetWidgetText(pause_, paused ? "继续" : "暂停");
  });
  auto* clear = new QPushButton(QStringLiteral("清除"), this);
  clear->setObjectName(QStringLiteral("trafficClear"));
  clear->setAutoDefault(false);
  connect(clear, &QPushButton::clicked, this, [this] {
    log_.Clear();
    Sync();
    SetWidgetText(note_, "");
  });
  auto* save = new QPushButton(QStringLiteral("保存..."), this);
  save->setObjectName(QStringLiteral("trafficSave"));
  save->setAutoDefault(false);
  connect(save, &QPushButton::clicked, this, &TrafficMonitor::Save);
  auto* close = new QPushButton(QStringLiteral("关闭"), this);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QWidget::close);
  auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(esc, &QShortcut::activated, this, &QWidget::close);

  note_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pause_);
  buttons->addWidget(clear);
  buttons->addWidget(save);
  buttons->addWidget(note_, 1);
  buttons->addWidget(close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(table_, 1);
  layout->addLayout(buttons);

  look_.setInterval(LOOK_MS);
  connect(&look_, &QTimer::timeout, this, &TrafficMonitor::Sync);
  resize(m.horizontalAdvance(QLatin1Char('0')) * 130, m.height() * 30);
  Retranslate();
}

void TrafficMonitor::Retranslate() {
  TranslateWidgets(this);
  model_->Retranslate();
  FitColumns();
}

// Each column as wide as its longest text in the window's language.
void TrafficMonitor::FitColumns() {
  QHeaderView* header = table_->horizontalHeader();
  const QFontMetrics m = table_->fontMetrics();
  const int pad = 2 * m.height();
  const auto width = [&](std::string_view text) { return m.horizontalAdvance(Tr(text)) + pad; };
  header->resizeSection(TrafficModel::TIME, width("时间 (ms)"));
  header->resizeSection(TrafficModel::DIRECTION, std::max(width("收 <"), width("发 >")));
  header->resizeSection(TrafficModel::LENGTH, width("长度"));
  header->resizeSection(TrafficModel::HEADER, width("区1 写应答 地址65535 长度1024"));
  header->resizeSection(TrafficModel::FATE, width("迟到应答，丢弃"));
}

TrafficMonitor::~TrafficMonitor() = default;

void TrafficMonitor::Sync() {
  QScrollBar* bar = table_->verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  if (model_->Sync() && atEnd) table_->scrollToBottom();
}

void TrafficMonitor::showEvent(QShowEvent* event) {
  Sync();
  look_.start();
  QWidget::showEvent(event);
}

void TrafficMonitor::hideEvent(QHideEvent* event) {
  look_.stop();
  QWidget::hideEvent(event);
}

void TrafficMonitor::Save() {
  const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
  const QString name = Tr("通信记录-" + stamp.toStdString() + ".txt");
  const QString start = QDir(QString::fromStdString(saveDir_)).filePath(name);
  const QString path =
      QFileDialog::getSaveFileName(this, Tr("保存通信记录"), start, Tr("文本文件 (*.txt)"));
  if (!path.isEmpty()) SaveTo(path);
}

bool TrafficMonitor::SaveTo(const QString& path) {
  const bool saved = log_.SaveText(path.toStdString());
  SetWidgetText(note_, (saved ? "已保存到 " : "无法写入 ") + path.toStdString());
  return saved;
}

}  // namespace qv31

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
#include <utility>

#include "app/traffic_log.h"
#include "gui/traffic_model.h"

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
      pause_(new QPushButton(QStringLiteral("暂停"), this)),
      note_(new QLabel(this)) {
  setWindowTitle(QStringLiteral("通信记录"));
  setObjectName(QStringLiteral("trafficMonitor"));

  SetUpTable();

  pause_->setObjectName(QStringLiteral("trafficPause"));
  pause_->setCheckable(true);
  pause_->setAutoDefault(false);
  connect(pause_, &QPushButton::toggled, this, [this](bool paused) {
    log_.SetPaused(paused);
    pause_->setText(paused ? QStringLiteral("继续") : QStringLiteral("暂停"));
  });
  auto* clear = new QPushButton(QStringLiteral("清除"), this);
  clear->setObjectName(QStringLiteral("trafficClear"));
  clear->setAutoDefault(false);
  connect(clear, &QPushButton::clicked, this, [this] {
    log_.Clear();
    Sync();
    note_->clear();
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
  const QFontMetrics m = table_->fontMetrics();
  resize(m.horizontalAdvance(QLatin1Char('0')) * 130, m.height() * 30);
}

// Columns sized by the font, so the longest header and fate texts fit without a cut.
void TrafficMonitor::SetUpTable() {
  table_->setObjectName(QStringLiteral("trafficTable"));
  table_->setAccessibleName(QStringLiteral("通信记录"));
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
  QHeaderView* header = table_->horizontalHeader();
  header->setStretchLastSection(true);
  const QFontMetrics m = table_->fontMetrics();
  const int pad = 2 * m.height();
  header->resizeSection(TrafficModel::TIME, m.horizontalAdvance(QStringLiteral("时间 (ms)")) + pad);
  header->resizeSection(TrafficModel::DIRECTION, m.horizontalAdvance(QStringLiteral("收 <")) + pad);
  header->resizeSection(TrafficModel::LENGTH, m.horizontalAdvance(QStringLiteral("长度")) + pad);
  header->resizeSection(TrafficModel::HEADER,
                        m.horizontalAdvance(QStringLiteral("区1 写应答 地址65535 长度1024")) + pad);
  header->resizeSection(TrafficModel::FATE,
                        m.horizontalAdvance(QStringLiteral("迟到应答，丢弃")) + pad);
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
  const QString name =
      QStringLiteral("通信记录-%1.txt")
          .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
  const QString start = QDir(QString::fromStdString(saveDir_)).filePath(name);
  const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("保存通信记录"), start,
                                                    QStringLiteral("文本文件 (*.txt)"));
  if (!path.isEmpty()) SaveTo(path);
}

bool TrafficMonitor::SaveTo(const QString& path) {
  const bool saved = log_.SaveText(path.toStdString());
  note_->setText(saved ? QStringLiteral("已保存到 %1").arg(path)
                       : QStringLiteral("无法写入 %1").arg(path));
  return saved;
}

}  // namespace qv31

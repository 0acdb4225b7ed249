#include "gui/cabout_dlg.h"

#include "gui/window_language.h"
#include "ui_cabout_dlg.h"

namespace qv31 {

CAboutDlg::CAboutDlg(QWidget* parent, const QIcon& icon, const QString& versionLine)
    : QDialog(parent), ui_(std::make_unique<Ui::CAboutDlg>()) {
  ui_->setupUi(this);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  // Two lines of text high, so the icon grows with the font.
  const int side = 2 * fontMetrics().height();
  ui_->labelIcon->setPixmap(icon.pixmap(QSize(side, side)));
  TranslateWidgets(this);
  SetWidgetText(ui_->c1066, versionLine.toStdString());
  connect(ui_->c1, &QPushButton::clicked, this, &QDialog::accept);
}

CAboutDlg::~CAboutDlg() = default;

}  // namespace qv31

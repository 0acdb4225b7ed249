#include "gui/search_dialog.h"

#include "ui_search_dialog.h"

namespace qv31 {

SearchDialog::SearchDialog(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::SearchDialog>()) {
  ui_->setupUi(this);
  setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
  // Wide enough for an address, a port and an 18-byte identity side by side.
  ui_->c1075->setMinimumWidth(
      ui_->c1075->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255:65535  ")) +
      20 * ui_->c1075->fontMetrics().height());
  connect(ui_->closeSearch, &QPushButton::clicked, this, &QDialog::reject);
  connect(ui_->c1075, &QListWidget::itemDoubleClicked, this, &SearchDialog::chosen);
  connect(ui_->c1073, &QLineEdit::returnPressed, this, &SearchDialog::searchRequested);
}

SearchDialog::~SearchDialog() = default;

}  // namespace qv31

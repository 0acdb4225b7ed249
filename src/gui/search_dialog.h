#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class SearchDialog;
}

namespace qv31 {

// The small window of "搜索": a range box, the list of gateways that answered and "确定". It has
// no behaviour of its own: its controls carry IDs (1072 to 1077) like the main window's and
// are served by the same view; a double click on a gateway is "确定".
class SearchDialog final : public QDialog {
  Q_OBJECT

 public:
  explicit SearchDialog(QWidget* parent);
  ~SearchDialog() override;

 signals:
  // A double click on a gateway; Enter in the range box.
  void chosen();
  void searchRequested();

 private:
  std::unique_ptr<Ui::SearchDialog> ui_;
};

}  // namespace qv31

#pragma once

#include <QDialog>
#include <QIcon>
#include <memory>

namespace Ui {
class CAboutDlg;
}

namespace qv31 {

// The about box: the program's icon, its version line and a fixed notice, closed by "确定".
class CAboutDlg final : public QDialog {
  Q_OBJECT

 public:
  CAboutDlg(QWidget* parent, const QIcon& icon, const QString& versionLine);
  ~CAboutDlg() override;

 private:
  std::unique_ptr<Ui::CAboutDlg> ui_;
};

}  // namespace qv31

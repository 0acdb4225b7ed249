#pragma once

#include <QComboBox>

namespace qv31 {

// A drop-down list that says when its list is about to open, so its owner can refill it first
// (the serial ports are looked for again each time).
class PortComboBox final : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;

  void showPopup() override;

 signals:
  void popupOpening();
};

}  // namespace qv31

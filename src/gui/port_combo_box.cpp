#include "gui/port_combo_box.h"

namespace qv31 {

void PortComboBox::showPopup() {
  emit popupOpening();
  QComboBox::showPopup();
}

}  // namespace qv31

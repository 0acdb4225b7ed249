#pragma once

#include <QIcon>

namespace qv31 {

// The program's icon, drawn from the SVG compiled into the program at the usual icon sizes.
QIcon AppIcon();

}  // namespace qv31

#pragma once

#include <QIcon>

namespace selvo::gui {

// The program icon (window, tray, login and about box), drawn once.
QIcon AppIcon();

} // namespace selvo::gui

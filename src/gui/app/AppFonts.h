#pragma once

#include <QFont>

namespace selvo::gui {

// The application's bold and large fonts, as the till's screens use them (defaults when no
// application object runs, in tests).
QFont AppBoldFont();
QFont AppLargeFont();

} // namespace selvo::gui

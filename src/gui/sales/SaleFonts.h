#pragma once

#include <QFont>

namespace selvo::gui {

// The application's bold and large fonts, as the sales screens use them (defaults when no
// application object runs, in tests).
QFont SaleBoldFont();
QFont SaleLargeFont();

} // namespace selvo::gui

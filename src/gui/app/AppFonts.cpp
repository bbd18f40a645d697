#include "gui/app/AppFonts.h"

#include "gui/app/CSelvoApp.h"

namespace selvo::gui {

QFont AppBoldFont() {
    if (CSelvoApp* app = CSelvoApp::instance())
        return app->boldFont();
    QFont f;
    f.setBold(true);
    return f;
}

QFont AppLargeFont() {
    if (CSelvoApp* app = CSelvoApp::instance())
        return app->largeFont();
    QFont f;
    f.setPixelSize(22);
    f.setBold(true);
    return f;
}

} // namespace selvo::gui

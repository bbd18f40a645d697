#include "core/store/Startup.h"
#include "gui/app/CSelvoApp.h"

int main(int argc, char* argv[]) {
    selvo::KeepNewFilesPrivate();
    selvo::gui::CSelvoApp app(argc, argv);
    const int code = app.start();
    if (code >= 0)
        return code;
    return app.exec();
}

#include "gui/app/CSelvoApp.h"
#include "gui/app/SectionPages.h"
#include "gui/sales/CSaleDlg.h"

namespace selvo::gui {

SectionPage CreateSalePage(AppContext& ctx, QWidget* parent) {
    CSelvoApp* app = CSelvoApp::instance();
    auto* page = new CSaleDlg(ctx, app ? app->dataFolder() : QString(), parent);
    // Each time the tab is chosen the category tree is read again.
    return {page, [page] {
                page->loadTree();
            }};
}

} // namespace selvo::gui

#include "gui/app/CSelvoApp.h"
#include "gui/app/SectionPages.h"
#include "gui/members/CMemManDlg.h"

namespace selvo::gui {

SectionPage CreateMemberPage(AppContext& ctx, QWidget* parent) {
    CSelvoApp* app = CSelvoApp::instance();
    auto* page = new CMemManDlg(ctx, app ? app->dataFolder() : QString(), parent);
    // Each time the tab is chosen the list is read again.
    // The list also sets which buttons the operator's role shows.
    return {page, [page] { page->fillList(); },
            [page] {
                page->fillList();
            }};
}

} // namespace selvo::gui

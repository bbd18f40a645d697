#include "gui/app/SectionPages.h"
#include "gui/products/CPrdManDlg.h"

namespace selvo::gui {

// The product page fills itself once it is on screen and keeps itself up to date; choosing
// the tab again needs nothing.
SectionPage CreateProductPage(AppContext& ctx, QWidget* parent) {
    return {new CPrdManDlg(ctx, parent), {}};
}

} // namespace selvo::gui

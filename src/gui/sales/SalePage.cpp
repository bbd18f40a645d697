#include "gui/app/SectionPages.h"

namespace selvo::gui {

// Empty until the section's screen is built.
SectionPage CreateSalePage(AppContext&, QWidget* parent) {
    auto* page = new QWidget(parent);
    page->setAccessibleName(QStringLiteral("销售"));
    return {page, {}};
}

} // namespace selvo::gui

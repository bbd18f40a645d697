#pragma once

#include <QWidget>

#include <functional>

namespace selvo {
struct AppContext;
}

namespace selvo::gui {

// A section page of the main window, created once after the first login, and what the page
// does each time its tab is chosen (the sale screen reloads its category tree, the member page
// its list). The main window shows the page and, for the sale screen, gives it the focus.
struct SectionPage {
    QWidget* widget = nullptr;
    std::function<void()> activated;
    // After every login ("切换用户"): the page shows what the new operator's role allows.
    std::function<void()> operatorChanged = nullptr;
};

// One factory per section, each in its section's folder, so a section plugs its screen in
// without touching the main window.
SectionPage CreateSalePage(AppContext& ctx, QWidget* parent);    // gui/sales/SalePage.cpp
SectionPage CreateProductPage(AppContext& ctx, QWidget* parent); // gui/products/ProductPage.cpp
SectionPage CreateMemberPage(AppContext& ctx, QWidget* parent);  // gui/members/MemberPage.cpp

} // namespace selvo::gui

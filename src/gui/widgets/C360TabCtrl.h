#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QWidget>

#include <functional>

namespace selvo::gui {

class C360TabBar;

// The main window's painted tab strip: tabs along the top on a warm grey ground, the chosen
// (or hovered) tab marked by an orange bar, and a white page area below, framed in grey.
// Pages given to addTab are placed in the page area and only the current one is shown.
// Qt paints into the window's back buffer and the strip fills all it covers, so switching
// and hovering never flicker.
class C360TabCtrl final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(C360TabCtrl)

public:
    static constexpr int kDefaultTabHeight = 35;
    static constexpr int kDefaultMinTabWidth = 100;
    static constexpr int kMaxCaption = 63;

    explicit C360TabCtrl(QWidget* parent = nullptr);
    ~C360TabCtrl() override;

    // Adds a tab; `page` (may be null) becomes a child placed in the page area. Returns its index.
    int addTab(const QString& caption, QWidget* page = nullptr);
    int count() const;
    QString tabText(int index) const;
    QWidget* page(int index) const;
    QRect tabRect(int index) const; // in this widget's coordinates
    QRect pageRect() const;         // where pages go: 2 px in from left, right and bottom, below the tabs

    int currentIndex() const;
    // Chooses a tab from code: no guard, currentChanged is emitted when it changes.
    void setCurrentIndex(int index);

    // Asked before the operator's choice (click, wheel, keys) takes effect; false keeps the
    // current tab, as if nothing had been chosen.
    using ChangeGuard = std::function<bool(int from, int to)>;
    void setChangeGuard(ChangeGuard guard);

    void setTabHeight(int height);
    int tabHeight() const { return m_tabHeight; }
    void setMinimumTabWidth(int width);
    int minimumTabWidth() const { return m_minTabWidth; }

    static QFont tabFont();
    static QColor groundColor(); // 0xEBE6E3
    static QColor lineColor();   // 0xD3D3D3
    static QColor barColor();    // 0x3CC8FF, orange-yellow
    static QColor borderColor(); // 0xC5C5C5

    // The tab bar inside (for tests and accessibility: each tab is an accessible item).
    QWidget* tabBar() const;

signals:
    void currentChanged(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void barChanged(int index);
    void layoutChildren();

    C360TabBar* m_bar;
    QList<QPointer<QWidget>> m_pages;
    ChangeGuard m_guard;
    int m_current = -1;
    int m_tabHeight = kDefaultTabHeight;
    int m_minTabWidth = kDefaultMinTabWidth;
    bool m_reverting = false;

    friend class C360TabBar;
};

} // namespace selvo::gui

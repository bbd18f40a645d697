#include "gui/widgets/C360TabCtrl.h"

#include "gui/widgets/ColorRef.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <QTabBar>

namespace selvo::gui {

// The tabs themselves: a QTabBar for input and accessibility, painted our way.
class C360TabBar final : public QTabBar {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(C360TabBar)

public:
    explicit C360TabBar(C360TabCtrl* owner) : QTabBar(owner), m_owner(owner) {
        setDrawBase(false);
        setExpanding(false);
        setUsesScrollButtons(false);
        setElideMode(Qt::ElideNone);
        setDocumentMode(true);
        setFocusPolicy(Qt::NoFocus);
        setMouseTracking(true);
        setFont(C360TabCtrl::tabFont());
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    int hovered() const { return m_hovered; }

protected:
    QSize tabSizeHint(int index) const override {
        const int text = QFontMetrics(font()).horizontalAdvance(tabText(index));
        return {std::max(m_owner->minimumTabWidth(), text + 24), m_owner->tabHeight()};
    }
    QSize minimumTabSizeHint(int index) const override { return tabSizeHint(index); }

    void mouseMoveEvent(QMouseEvent* event) override {
        setHovered(hoverIndex(event->position().toPoint()));
        QTabBar::mouseMoveEvent(event);
    }
    void leaveEvent(QEvent* event) override {
        setHovered(-1);
        QTabBar::leaveEvent(event);
    }

    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), C360TabCtrl::groundColor());
        p.setFont(font());
        for (int i = count() - 1; i >= 0; --i)
            paintTab(p, i);
    }

private:
    // Inside the tab and above its bottom two pixels.
    int hoverIndex(const QPoint& pos) const {
        const int index = tabAt(pos);
        if (index < 0)
            return -1;
        const QRect r = tabRect(index);
        return pos.y() < r.y() + r.height() - 2 ? index : -1;
    }

    void setHovered(int index) {
        if (index == m_hovered)
            return;
        m_hovered = index;
        update();
    }

    void paintTab(QPainter& p, int index) const {
        const QRect r = tabRect(index);
        const bool selected = index == currentIndex();
        if (selected) {
            // White, with a grey border on three sides; open towards the page below.
            p.fillRect(r, Qt::white);
            p.setPen(C360TabCtrl::borderColor());
            p.drawLine(r.topLeft(), r.topRight());
            p.drawLine(r.topLeft(), r.bottomLeft());
            p.drawLine(r.topRight(), r.bottomRight());
        } else {
            QLinearGradient ground(r.topLeft(), r.bottomLeft());
            ground.setColorAt(0, QColor(0xFB, 0xFB, 0xFB));
            ground.setColorAt(1, QColor(0xE4, 0xE4, 0xE4));
            p.fillRect(r, ground);
            p.setPen(C360TabCtrl::borderColor());
            p.drawLine(r.topLeft(), r.topRight());
            p.setPen(C360TabCtrl::lineColor());
            p.drawLine(r.bottomLeft(), r.bottomRight());
        }
        if (selected || index == m_hovered)
            p.fillRect(QRect(r.x(), r.y() + r.height() - 4, r.width(), 2), C360TabCtrl::barColor());
        p.setPen(Qt::black);
        p.drawText(r, Qt::AlignCenter | Qt::TextSingleLine, tabText(index));
    }

    C360TabCtrl* m_owner;
    int m_hovered = -1;
};

C360TabCtrl::C360TabCtrl(QWidget* parent) : QWidget(parent), m_bar(new C360TabBar(this)) {
    // Everything is painted here and by the bar; no separate erase of the background.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(m_bar, &QTabBar::currentChanged, this, &C360TabCtrl::barChanged);
    layoutChildren();
}

C360TabCtrl::~C360TabCtrl() = default;

QFont C360TabCtrl::tabFont() {
    QFont font(QStringList{QStringLiteral("Microsoft YaHei"), QStringLiteral("微软雅黑"),
                           QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(19);
    font.setWeight(QFont::Bold);
    return font;
}

QColor C360TabCtrl::groundColor() {
    return ColorFromRef(0xEBE6E3);
}
QColor C360TabCtrl::lineColor() {
    return ColorFromRef(0xD3D3D3);
}
QColor C360TabCtrl::barColor() {
    return ColorFromRef(0x3CC8FF);
}
QColor C360TabCtrl::borderColor() {
    return ColorFromRef(0xC5C5C5);
}

QWidget* C360TabCtrl::tabBar() const {
    return m_bar;
}

int C360TabCtrl::addTab(const QString& caption, QWidget* page) {
    const int index = count();
    m_pages << page;
    if (page) {
        page->setParent(this);
        page->hide();
    }
    {
        // The first tab becomes current inside addTab; report it once, below.
        const QSignalBlocker block(m_bar);
        m_bar->addTab(caption.left(kMaxCaption));
    }
    layoutChildren();
    if (m_current < 0)
        barChanged(m_bar->currentIndex());
    update();
    return index;
}

int C360TabCtrl::count() const {
    return m_bar->count();
}

QString C360TabCtrl::tabText(int index) const {
    return m_bar->tabText(index);
}

QWidget* C360TabCtrl::page(int index) const {
    return index >= 0 && index < m_pages.size() ? m_pages[index].data() : nullptr;
}

QRect C360TabCtrl::tabRect(int index) const {
    const QRect r = m_bar->tabRect(index);
    return r.isValid() ? r.translated(m_bar->pos()) : QRect();
}

QRect C360TabCtrl::pageRect() const {
    return QRect(2, m_tabHeight, std::max(0, width() - 4), std::max(0, height() - m_tabHeight - 2));
}

int C360TabCtrl::currentIndex() const {
    return m_current;
}

void C360TabCtrl::setCurrentIndex(int index) {
    if (index < 0 || index >= count())
        return;
    m_reverting = true; // a choice from code is not guarded
    m_bar->setCurrentIndex(index);
    m_reverting = false;
    barChanged(index);
}

void C360TabCtrl::setChangeGuard(ChangeGuard guard) {
    m_guard = std::move(guard);
}

void C360TabCtrl::setTabHeight(int height) {
    m_tabHeight = std::max(1, height);
    layoutChildren();
}

void C360TabCtrl::setMinimumTabWidth(int width) {
    m_minTabWidth = std::max(0, width);
    layoutChildren();
}

void C360TabCtrl::barChanged(int index) {
    if (index == m_current || index < 0)
        return;
    if (!m_reverting && m_guard && m_current >= 0 && !m_guard(m_current, index)) {
        m_reverting = true;
        m_bar->setCurrentIndex(m_current);
        m_reverting = false;
        return;
    }
    if (QWidget* old = page(m_current))
        old->hide();
    m_current = index;
    if (QWidget* now = page(index)) {
        now->setGeometry(pageRect());
        now->show();
    }
    update();
    emit currentChanged(index);
}

void C360TabCtrl::layoutChildren() {
    // Make the bar re-measure its tabs after a change of height or width.
    m_bar->setIconSize(m_bar->iconSize());
    int tabsWidth = 0;
    for (int i = 0; i < count(); ++i)
        tabsWidth += m_bar->tabRect(i).width();
    m_bar->setGeometry(2, 0, std::max(0, std::min(tabsWidth, width() - 2)), m_tabHeight);
    for (const QPointer<QWidget>& page : std::as_const(m_pages))
        if (page)
            page->setGeometry(pageRect());
}

void C360TabCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutChildren();
}

void C360TabCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), groundColor());
    if (count() == 0)
        return;
    // The frame of the page area: a line under the tabs to the right edge, a line 2 px in
    // from the left and one on the right edge, white between them.
    const int bottom = m_tabHeight - 1;
    const int lastRight = tabRect(count() - 1).right();
    p.fillRect(QRect(3, m_tabHeight, std::max(0, width() - 4), std::max(0, height() - m_tabHeight)),
               Qt::white);
    p.setPen(lineColor());
    p.drawLine(lastRight + 1, bottom, width() - 1, bottom);
    p.drawLine(2, bottom, 2, height() - 1);
    p.drawLine(width() - 1, bottom, width() - 1, height() - 1);
}

} // namespace selvo::gui

#include "C360TabCtrl.moc"

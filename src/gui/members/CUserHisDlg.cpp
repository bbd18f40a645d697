#include "gui/members/CUserHisDlg.h"

#include "core/members/MemberHistory.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QTabBar>

namespace selvo::gui {

CUserHisDlg::CUserHisDlg(AppContext& ctx, int memberId, QWidget* parent)
    : QDialog(parent), m_memberId(memberId), m_tabs(new QTabBar(this)), m_orders(new CListCtrlPlus(this)),
      m_topups(new CListCtrlPlus(this)) {
    setWindowTitle(MemberHistoryCaption(ctx, memberId));
    setAccessibleName(QStringLiteral("用户消费/充值记录"));
    m_tabs->addTab(QStringLiteral("消费记录"));
    m_tabs->addTab(QStringLiteral("充值记录"));
    m_tabs->setAccessibleName(QStringLiteral("记录类型"));

    for (int c = 0; c < MemOrderColumnCount; ++c)
        m_orders->addColumn(MemberOrderHeader(c), MemberOrderWidth(c),
                            c == MemOrderPrice ? Qt::AlignRight : Qt::AlignCenter);
    m_orders->setAccessibleName(QStringLiteral("消费记录"));
    for (int c = 0; c < MemTopupColumnCount; ++c)
        m_topups->addColumn(MemberTopupHeader(c), MemberTopupWidth(c),
                            c == MemTopupTotal    ? Qt::AlignRight
                            : c == MemTopupRemark ? Qt::AlignLeft
                                                  : Qt::AlignCenter);
    m_topups->setAccessibleName(QStringLiteral("充值记录"));

    if (const auto rows = QueryMemberOrders(ctx, memberId)) {
        for (const QStringList& texts : *rows)
            m_orders->addRow(texts);
    }
    if (const auto rows = QueryMemberTopups(ctx, memberId)) {
        for (const QStringList& texts : *rows)
            m_topups->addRow(texts);
    }

    connect(m_tabs, &QTabBar::currentChanged, this, &CUserHisDlg::showTab);
    resize(720, 480);
    showTab(0);
}

CUserHisDlg::~CUserHisDlg() = default;

void CUserHisDlg::OpenForMember(AppContext& ctx, int memberId, QWidget* parent) {
    if (memberId <= 0)
        return;
    CUserHisDlg dlg(ctx, memberId, parent);
    dlg.exec();
}

void CUserHisDlg::showTab(int index) {
    m_orders->setVisible(index == 0);
    m_topups->setVisible(index == 1);
}

void CUserHisDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const int top = m_tabs->sizeHint().height();
    m_tabs->setGeometry(0, 0, width(), top);
    for (CListCtrlPlus* list : {m_orders, m_topups})
        list->setGeometry(0, top, width(), qMax(0, height() - top));
}

} // namespace selvo::gui

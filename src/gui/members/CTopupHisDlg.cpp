#include "gui/members/CTopupHisDlg.h"

#include "core/sales/Settlement.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "gui/app/DialogParts.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/FieldParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
constexpr int kBarHeight = 80;
constexpr int kMargin = 2;

QPushButton* button(QWidget* parent, const QString& caption) {
    auto* b = Named(new QPushButton(caption, parent), caption);
    b->setAutoDefault(false);
    return b;
}

QLabel* captionFor(QWidget* parent, QWidget* control) {
    auto* label = new QLabel(control->accessibleName(), parent);
    label->setBuddy(control);
    return label;
}

Qt::Alignment topupAlignment(int column) {
    switch (column) {
    case TopupBonus:
    case TopupTotal:
    case TopupBefore:
    case TopupAfter:
        return Qt::AlignRight;
    case TopupRemark:
        return Qt::AlignLeft;
    default:
        return Qt::AlignCenter;
    }
}
} // namespace

CTopupHisDlg::CTopupHisDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_bar(new QWidget(this)),
      m_useMember(Named(new QCheckBox(QStringLiteral("指定会员"), m_bar), QStringLiteral("指定会员"))),
      m_chooseMember(button(m_bar, QStringLiteral("选择会员"))), m_memberPanel(new QWidget(m_bar)),
      m_name(ReadOnlyField(m_memberPanel, QStringLiteral("姓名："), kFieldRed)),
      m_mobile(ReadOnlyField(m_memberPanel, QStringLiteral("手机："), kFieldRed)),
      m_balance(ReadOnlyField(m_memberPanel, QStringLiteral("余额："), kFieldBlue)),
      m_points(ReadOnlyField(m_memberPanel, QStringLiteral("积分："), kFieldBlue)),
      m_operator(Named(new QComboBox(m_bar), QStringLiteral("售货员："))),
      m_useFrom(Named(new QCheckBox(QStringLiteral("充值日期："), m_bar), QStringLiteral("充值日期："))),
      m_from(Named(new QDateEdit(m_bar), QStringLiteral("充值日期："))),
      m_useTo(Named(new QCheckBox(QStringLiteral("至"), m_bar), QStringLiteral("至"))),
      m_to(Named(new QDateEdit(m_bar), QStringLiteral("至"))), m_list(new CListCtrlPlus(this)) {
    setWindowTitle(QStringLiteral("充值记录"));
    setAccessibleName(windowTitle());
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    for (const auto& [text, id] : OperatorChoices(ctx))
        m_operator->addItem(text, id);
    m_operator->setCurrentIndex(0);

    // The date boxes show today but start switched off: the first list is every record, newest
    // first, which the paged list opens at once however many there are.
    const QDate today = Clock::instance().now().date();
    for (auto [check, date] : {std::pair{m_useFrom, m_from}, std::pair{m_useTo, m_to}}) {
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setDate(today);
        check->setChecked(false);
        date->setEnabled(false);
        connect(check, &QCheckBox::toggled, date, &QDateEdit::setEnabled);
    }

    auto* member = new QHBoxLayout(m_memberPanel);
    member->setContentsMargins(0, 0, 0, 0);
    for (QLineEdit* f : {m_name, m_mobile, m_balance, m_points}) {
        member->addWidget(captionFor(m_memberPanel, f));
        member->addWidget(f);
    }
    clearMemberPanel();
    m_memberPanel->hide();
    m_chooseMember->setEnabled(false);

    QPushButton* search = button(m_bar, QStringLiteral("查询"));
    QPushButton* close = button(m_bar, QStringLiteral("关闭"));

    auto* first = new QHBoxLayout;
    first->addWidget(m_useMember);
    first->addWidget(m_chooseMember);
    first->addWidget(m_memberPanel);
    first->addStretch(1);
    auto* second = new QHBoxLayout;
    second->addWidget(captionFor(m_bar, m_operator));
    second->addWidget(m_operator);
    second->addSpacing(8);
    second->addWidget(m_useFrom);
    second->addWidget(m_from);
    second->addWidget(m_useTo);
    second->addWidget(m_to);
    second->addWidget(search);
    second->addWidget(close);
    second->addStretch(1);
    auto* bar = new QVBoxLayout(m_bar);
    bar->setContentsMargins(8, 6, 8, 6);
    bar->addLayout(first);
    bar->addLayout(second);

    for (int c = 0; c < TopupColumnCount; ++c)
        m_list->addColumn(TopupRecordHeader(c), TopupRecordWidth(c), topupAlignment(c));
    m_list->setAccessibleName(QStringLiteral("充值记录列表"));

    connect(m_useMember, &QCheckBox::toggled, this, &CTopupHisDlg::memberToggled);
    connect(m_chooseMember, &QPushButton::clicked, this, &CTopupHisDlg::chooseMember);
    connect(search, &QPushButton::clicked, this, &CTopupHisDlg::query);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);

    resize(1280, 720);
    setWindowState(windowState() | Qt::WindowMaximized);
    query();
}

CTopupHisDlg::~CTopupHisDlg() = default;

void CTopupHisDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_bar->setGeometry(0, 0, width(), kBarHeight);
    m_list->setGeometry(kMargin, kBarHeight, qMax(0, width() - 2 * kMargin),
                        qMax(0, height() - kBarHeight - kMargin));
}

QLineEdit* CTopupHisDlg::field(const QString& caption) const {
    for (QLineEdit* f : {m_name, m_mobile, m_balance, m_points}) {
        if (f->accessibleName() == caption)
            return f;
    }
    return nullptr;
}

TopupRecordFilter CTopupHisDlg::currentFilter() const {
    TopupRecordFilter f;
    f.memberId = m_memberId;
    f.operatorId = m_operator->currentData().toInt();
    if (m_useFrom->isChecked())
        f.from = m_from->date();
    if (m_useTo->isChecked())
        f.to = m_to->date();
    return f;
}

void CTopupHisDlg::query() {
    const TopupRecordFilter filter = currentFilter();
    // Pages are asked for in order; each one continues after the last row of the one before.
    m_list->setPagedSource([this, filter](int offset, int limit) {
        if (offset == 0)
            m_pageEnd.reset();
        else if (!m_pageEnd)
            return QList<CListCtrlPlus::Row>();
        QList<CListCtrlPlus::Row> rows;
        const auto page = QueryTopupRecordPage(m_ctx, filter, m_pageEnd, limit);
        if (!page)
            return rows;
        m_pageEnd = page->last;
        for (const QStringList& texts : page->rows)
            rows.append({texts, {}});
        return rows;
    });
}

void CTopupHisDlg::clearMemberPanel() {
    m_name->clear();
    m_mobile->clear();
    m_balance->setText(FormatMoney(0));
    m_points->setText(QStringLiteral("0"));
}

void CTopupHisDlg::memberToggled(bool on) {
    clearMemberPanel();
    m_memberPanel->setVisible(on);
    m_chooseMember->setEnabled(on);
    m_memberId = -1;
}

bool CTopupHisDlg::chooseMember() {
    CSelUserDlg dlg(m_ctx, CSelUserDlg::below(m_chooseMember), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    clearMemberPanel();
    m_memberPanel->show();
    m_memberId = dlg.memberId();
    if (const auto member = LoadSettlementMember(m_ctx, m_memberId)) {
        m_name->setText(member->name);
        m_mobile->setText(member->mobile);
        m_balance->setText(FormatMoney(member->balance));
        m_points->setText(QString::number(member->points));
    }
    return true;
}

} // namespace selvo::gui

#include "gui/app/CLogDlg.h"

#include "core/store/AppContext.h"
#include "core/store/OpLog.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"
#include "gui/app/DialogParts.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace selvo::gui {

CLogDlg::CLogDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_operator(Named(new QComboBox(this), QStringLiteral("操作员："))),
      m_kind(Named(new QComboBox(this), QStringLiteral("类型："))),
      m_useFrom(Named(new QCheckBox(this), QStringLiteral("起始日期"))),
      m_from(Named(new QDateEdit(this), QStringLiteral("日期："))),
      m_useTo(Named(new QCheckBox(this), QStringLiteral("截止日期"))),
      m_to(Named(new QDateEdit(this), QStringLiteral("至"))), m_list(new CListCtrlPlus(this)) {
    setWindowTitle(QStringLiteral("操作日志"));
    setAccessibleName(windowTitle());
    setWindowFlag(Qt::WindowMaximizeButtonHint);

    m_kind->addItems(OpLogKindNames());
    m_kind->setCurrentIndex(0);
    for (const auto& [name, id] : OperatorChoices(m_ctx))
        m_operator->addItem(name, id);
    m_operator->setCurrentIndex(0);
    // Both pickers start switched on at today, as a date picker with a check box does.
    const QDate today = Clock::instance().now().date();
    for (auto [check, date] : {std::pair{m_useFrom, m_from}, std::pair{m_useTo, m_to}}) {
        date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        date->setCalendarPopup(true);
        date->setDate(today);
        check->setChecked(true);
        connect(check, &QCheckBox::toggled, date, &QDateEdit::setEnabled);
    }

    auto* searchButton = new QPushButton(QStringLiteral("查询"), this);
    searchButton->setAccessibleName(searchButton->text());
    searchButton->setAutoDefault(false);
    connect(searchButton, &QPushButton::clicked, this, &CLogDlg::search);

    auto* bar = m_bar = new QWidget(this);
    auto* row = new QHBoxLayout(bar);
    row->setContentsMargins(8, 8, 8, 8);
    row->addWidget(new QLabel(QStringLiteral("操作员："), bar));
    row->addWidget(m_operator);
    row->addWidget(new QLabel(QStringLiteral("类型："), bar));
    row->addWidget(m_kind);
    row->addWidget(new QLabel(QStringLiteral("日期："), bar));
    row->addWidget(m_useFrom);
    row->addWidget(m_from);
    row->addWidget(new QLabel(QStringLiteral("至"), bar));
    row->addWidget(m_useTo);
    row->addWidget(m_to);
    row->addWidget(searchButton);
    row->addWidget(new QLabel(QStringLiteral("最多显示500条记录"), bar));
    row->addStretch();

    m_list->addColumn(QStringLiteral("序号"), 50, Qt::AlignCenter);
    m_list->addColumn(QStringLiteral("操作员"), 80, Qt::AlignCenter);
    m_list->addColumn(QStringLiteral("详情"), 480, Qt::AlignLeft);
    m_list->addColumn(QStringLiteral("操作时间"), 120, Qt::AlignCenter);

    resize(900, 600);
    setWindowState(windowState() | Qt::WindowMaximized);
}

CLogDlg::~CLogDlg() = default;

void CLogDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    m_bar->setGeometry(0, 0, width(), 50);
    m_list->setGeometry(2, 50, qMax(0, width() - 4), qMax(0, height() - 52));
}

void CLogDlg::search() {
    m_list->clear();
    OpLogFilter filter;
    if (m_useFrom->isChecked())
        filter.from = m_from->date();
    if (m_useTo->isChecked())
        filter.to = m_to->date();
    filter.operatorId = m_operator->currentData().toInt();
    filter.kind = static_cast<OpLogKind>(m_kind->currentIndex());
    const QList<OpLogRow> rows = QueryOpLog(m_ctx, filter);
    int n = 0;
    for (const OpLogRow& r : rows) {
        m_list->addRow({QString::number(++n), r.operatorName, r.content,
                        r.addDate.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))});
    }
}

} // namespace selvo::gui

#include "gui/members/CMemManDlg.h"

#include "core/members/MemberList.h"
#include "core/store/AppContext.h"
#include "core/store/Operator.h"
#include "gui/app/CInteralRole.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/members/CMemAddDlg.h"
#include "gui/members/CTopupDlg.h"
#include "gui/members/CTopupHisDlg.h"
#include "gui/members/CUserHisDlg.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
QPushButton* button(QWidget* parent, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    return b;
}
} // namespace

CMemManDlg::CMemManDlg(AppContext& ctx, const QString& dataFolder, QWidget* parent)
    : QWidget(parent), m_ctx(ctx), m_dataFolder(dataFolder), m_add(button(this, QStringLiteral("新增"))),
      m_delete(button(this, QStringLiteral("删除"))), m_state(new QComboBox(this)),
      m_search(new QLineEdit(this)), m_query(button(this, QStringLiteral("查询"))),
      m_recharge(button(this, QStringLiteral("会员充值\\扣款"))),
      m_history(button(this, QStringLiteral("充值记录"))),
      m_rules(button(this, QStringLiteral("积分规则设置"))), m_totals(new QLabel(this)),
      m_list(new CListCtrlPlus(this)) {
    setAccessibleName(QStringLiteral("会员"));
    m_state->setAccessibleName(QStringLiteral("用户状态"));
    m_search->setAccessibleName(QStringLiteral("查询条件"));
    // Heard as the totals it shows.
    m_totals->setObjectName(QStringLiteral("合计"));

    // 1. Only role 0 deletes members.
    m_delete->setVisible(HasRight(m_ctx.op.role, Right::DeleteMember));

    // 2. Columns and the status filter.
    for (const MemberListColumn& c : MemberListColumns())
        m_list->addColumn(c.header, c.width, c.centred ? Qt::AlignHCenter : Qt::AlignLeft);
    // The given widths are the least: a column grows to what it shows in this font (the
    // date-times, a long card number).
    QList<int> everyColumn;
    for (int c = 0; c < m_list->columnCount(); ++c)
        everyColumn << c;
    m_list->setWidenToFit(everyColumn);
    m_list->setCheckBoxes(true);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    for (const auto& [text, state] : MemberStateChoices())
        m_state->addItem(text, state);
    m_state->setCurrentIndex(0);

    // 3. A 40-pixel band of controls, the list below it.
    auto* band = new QWidget(this);
    band->setFixedHeight(40);
    auto* controls = new QHBoxLayout(band);
    controls->setContentsMargins(4, 4, 4, 4);
    controls->addWidget(m_add);
    controls->addWidget(m_delete);
    controls->addWidget(m_state);
    controls->addWidget(m_search);
    controls->addWidget(m_query);
    controls->addWidget(m_recharge);
    controls->addWidget(m_history);
    controls->addWidget(m_rules);
    controls->addWidget(m_totals, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 0, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(band);
    layout->addWidget(m_list, 1);

    connect(m_add, &QPushButton::clicked, this, &CMemManDlg::addMember);
    connect(m_delete, &QPushButton::clicked, this, &CMemManDlg::deleteChecked);
    connect(m_query, &QPushButton::clicked, this, &CMemManDlg::fillList);
    connect(m_recharge, &QPushButton::clicked, this, &CMemManDlg::rechargeMember);
    connect(m_history, &QPushButton::clicked, this, &CMemManDlg::openTopupRecords);
    connect(m_rules, &QPushButton::clicked, this, &CMemManDlg::openPointsRules);
    connect(m_list, &CListCtrlPlus::itemDoubleClicked, this, [this](int row, int) { editRow(row); });
    connect(m_list, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = m_list->indexAt(pos);
        if (QMenu* menu = contextMenuFor(index.isValid() ? index.row() : -1)) {
            menu->exec(m_list->viewport()->mapToGlobal(pos));
            menu->deleteLater();
        }
    });

    // 4. The page is drawn before the first query runs.
    m_firstFill.setSingleShot(true);
    m_firstFill.setInterval(50);
    connect(&m_firstFill, &QTimer::timeout, this, &CMemManDlg::fillList);
    m_firstFill.start();
}

CMemManDlg::~CMemManDlg() = default;

void CMemManDlg::fillList() {
    m_firstFill.stop();
    m_delete->setVisible(HasRight(m_ctx.op.role, Right::DeleteMember));
    m_totals->clear();
    m_totals->setText(MemberTotalsText(m_ctx));
    m_list->clear();
    // IDs are read a page at a time as the list scrolls. Rows removed or appended by hand, and
    // members deleted by another till, must not shift which members come next.
    auto pages = std::make_shared<MemberListPages>(
        m_ctx, MemberFilter{m_state->currentData().toInt(), m_search->text()});
    const auto more = [pages](int count) {
        return pages->next(count).value_or(QVector<int>());
    };
    m_list->setPagedIds(more, [this](const QVector<int>& chunk) {
        QList<CListCtrlPlus::Row> rows;
        for (const MemberListRow& row : MemberListRows(m_ctx, chunk))
            rows.append({row.texts, row.id});
        return rows;
    });
}

void CMemManDlg::appendMember(int id) {
    // Rows still to be fetched come first; the new member follows them at the end.
    if (m_list->canFetchMore()) {
        m_list->appendPagedId(id);
        return;
    }
    const QList<MemberListRow> rows = MemberListRows(m_ctx, {id});
    if (rows.isEmpty())
        return;
    m_list->addRow(rows.first().texts, id);
}

void CMemManDlg::rewriteMember(int id) {
    const int row = m_list->findRowByData(id);
    if (row < 0)
        return;
    const QList<MemberListRow> rows = MemberListRows(m_ctx, {id});
    if (rows.isEmpty())
        return;
    for (int column = 1; column < rows.first().texts.size(); ++column)
        m_list->setItemText(row, column, rows.first().texts.at(column));
}

void CMemManDlg::addMember() {
    CMemAddDlg dlg(m_ctx, m_dataFolder, -1, this);
    if (dlg.exec() == QDialog::Accepted)
        appendMember(dlg.memberId());
}

void CMemManDlg::editRow(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    CMemAddDlg dlg(m_ctx, m_dataFolder, m_list->itemData(row).toInt(), this);
    if (dlg.exec() == QDialog::Accepted)
        rewriteMember(dlg.memberId());
}

void CMemManDlg::rechargeRow(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    CTopupDlg dlg(m_ctx, m_list->itemData(row).toInt(), this);
    if (dlg.exec() == QDialog::Accepted)
        rewriteMember(dlg.memberId());
}

void CMemManDlg::rechargeMember() {
    CTopupDlg dlg(m_ctx, -1, this);
    if (dlg.exec() == QDialog::Accepted)
        rewriteMember(dlg.memberId());
}

void CMemManDlg::openTopupRecords() {
    CTopupHisDlg dlg(m_ctx, this);
    dlg.exec();
}

QMenu* CMemManDlg::contextMenuFor(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return nullptr;
    auto* menu = new QMenu(this);
    connect(menu->addAction(QStringLiteral("充值/扣款")), &QAction::triggered, this,
            [this, row] { rechargeRow(row); });
    connect(menu->addAction(QStringLiteral("充值/扣款/消费 记录")), &QAction::triggered, this, [this, row] {
        CUserHisDlg dlg(m_ctx, m_list->itemData(row).toInt(), this);
        dlg.exec();
    });
    connect(menu->addAction(QStringLiteral("编辑")), &QAction::triggered, this,
            [this, row] { editRow(row); });
    return menu;
}

void CMemManDlg::deleteChecked() {
    const QList<int> checked = m_list->checkedRows();
    const QString refusal = MemberDeleteRefusal(m_ctx, checked.size());
    if (!refusal.isEmpty()) {
        ToastError(this, refusal);
        return;
    }
    if (!Messages::ask(this, MemberDeleteQuestion(), QString()))
        return;
    // From the last row up, as the rows go.
    QVector<int> ids;
    for (auto it = checked.crbegin(); it != checked.crend(); ++it)
        ids.append(m_list->itemData(*it).toInt());
    const QVector<int> gone = DeleteMembers(m_ctx, ids);
    for (int id : gone) {
        const int row = m_list->findRowByData(id);
        if (row >= 0)
            m_list->removeRow(row);
    }
}

void CMemManDlg::openPointsRules() {
    CInteralRole dlg(m_ctx, this);
    dlg.exec();
}

} // namespace selvo::gui

#include "gui/app/CManageManDlg.h"

#include "core/store/AppContext.h"
#include "core/store/Operator.h"
#include "core/store/Operators.h"
#include "gui/app/CManagerAddDlg.h"
#include "gui/app/Toast.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CManageManDlg::CManageManDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_list(new CListCtrlPlus(this)) {
    setWindowTitle(QStringLiteral("售货员管理"));
    setAccessibleName(windowTitle());
    for (const char* caption : {"登陆帐号", "姓名", "电话", "角色", "状态"})
        m_list->addColumn(QString::fromUtf8(caption), 100);
    m_list->setMinimumSize(540, 320);

    auto* add = new QPushButton(QStringLiteral("添加"), this);
    auto* close = new QPushButton(QStringLiteral("取消"), this);
    add->setAccessibleName(add->text());
    close->setAccessibleName(close->text());
    add->setAutoDefault(false);
    close->setAutoDefault(false);
    connect(add, &QPushButton::clicked, this, &CManageManDlg::addOperator);
    connect(close, &QPushButton::clicked, this, &CManageManDlg::reject);
    connect(m_list, &CListCtrlPlus::itemDoubleClicked, this, [this](int row, int) { editRow(row); });

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(add);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    layout->addLayout(buttons);

    for (const OperatorRecord& op : ListOperators(m_ctx))
        m_list->addRow(rowTexts(op), op.id);
}

CManageManDlg::~CManageManDlg() = default;

QStringList CManageManDlg::rowTexts(const OperatorRecord& op) {
    return {op.account, op.name, op.phone, RoleName(op.role), OperatorStateName(op.state)};
}

void CManageManDlg::addOperator() {
    CManagerAddDlg editor(m_ctx, -1, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    if (const auto op = LoadOperator(m_ctx, editor.operatorId()))
        m_list->addRow(rowTexts(*op), op->id);
}

void CManageManDlg::editRow(int row) {
    if (row < 0 || row >= m_list->rowCount())
        return;
    const int id = m_list->itemData(row).toInt();
    if (id == kSuperAdminId) {
        ToastError(this, QStringLiteral("不允许修改超级管理员"));
        return;
    }
    CManagerAddDlg editor(m_ctx, id, this);
    if (editor.exec() != QDialog::Accepted)
        return;
    const auto op = LoadOperator(m_ctx, id);
    const int at = m_list->findRowByData(id);
    if (!op || at < 0)
        return;
    const QStringList texts = rowTexts(*op);
    for (int column = 0; column < texts.size(); ++column)
        m_list->setItemText(at, column, texts.at(column));
}

} // namespace selvo::gui

#include "gui/app/CSysmanDlg.h"

#include "core/db/Backup.h"
#include "core/store/AppContext.h"
#include "core/store/Operator.h"
#include "gui/app/CLogDlg.h"
#include "gui/app/CManageManDlg.h"
#include "gui/app/CPasswordDlg.h"
#include "gui/app/CStoreInfo.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"

#include <QDir>
#include <QGridLayout>
#include <QPushButton>

namespace selvo::gui {

CSysmanDlg::CSysmanDlg(AppContext& ctx, QWidget* parent) : QWidget(parent), m_ctx(ctx) {
    setAccessibleName(QStringLiteral("系统管理"));
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(40, 40, 40, 40);
    grid->setSpacing(24);
    const struct {
        const char* caption;
        void (CSysmanDlg::*open)();
    } buttons[] = {
        {"操作员管理", &CSysmanDlg::openOperators}, {"商店基本信息", &CSysmanDlg::openStoreInfo},
        {"修改密码", &CSysmanDlg::openPassword},    {"日志", &CSysmanDlg::openLog},
        {"数据备份", &CSysmanDlg::backupNow},
    };
    int i = 0;
    for (const auto& b : buttons) {
        auto* button = new QPushButton(QString::fromUtf8(b.caption), this);
        button->setAccessibleName(button->text());
        button->setFixedSize(160, 60);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, b.open);
        grid->addWidget(button, 0, i++, Qt::AlignLeft | Qt::AlignTop);
    }
    grid->setColumnStretch(i, 1);
    grid->setRowStretch(1, 1);
}

CSysmanDlg::~CSysmanDlg() = default;

void CSysmanDlg::openOperators() {
    if (!HasRight(m_ctx.op.role, Right::OperatorManagement)) {
        ToastError(this, NoRightText());
        return;
    }
    CManageManDlg dlg(m_ctx, this);
    dlg.exec();
}

void CSysmanDlg::openStoreInfo() {
    if (!HasRight(m_ctx.op.role, Right::StoreInformation)) {
        ToastError(this, NoRightText());
        return;
    }
    CStoreInfo dlg(m_ctx, this);
    dlg.exec();
}

void CSysmanDlg::openPassword() {
    CPasswordDlg dlg(m_ctx, this);
    dlg.exec();
}

void CSysmanDlg::openLog() {
    CLogDlg dlg(m_ctx, this);
    dlg.exec();
}

void CSysmanDlg::backupNow() {
    if (!HasRight(m_ctx.op.role, Right::Backup)) {
        ToastError(this, NoRightText());
        return;
    }
    const db::BackupResult r = db::BackupNow(m_ctx.db);
    if (!r.ok) {
        Messages::warn(this, QStringLiteral("备份失败"), r.message);
        return;
    }
    Messages::inform(this, QStringLiteral("备份成功，备份文件：\n%1").arg(QDir::toNativeSeparators(r.file)));
}

} // namespace selvo::gui

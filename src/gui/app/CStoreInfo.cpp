#include "gui/app/CStoreInfo.h"

#include "core/store/AppContext.h"
#include "core/store/StoreInfo.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CStoreInfo::CStoreInfo(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_name(Named(new QLineEdit(this), QStringLiteral("商店名称："))),
      m_location(Named(new QLineEdit(this), QStringLiteral("商店地址："))),
      m_website(Named(new QLineEdit(this), QStringLiteral("官方网站："))),
      m_phone(Named(new QLineEdit(this), QStringLiteral("电话："))),
      m_announcement(Named(new QPlainTextEdit(this), QStringLiteral("公告："))),
      m_greeting(Named(new QLineEdit(this), QStringLiteral("小票欢迎语："))) {
    setWindowTitle(QStringLiteral("商店基本信息设置"));
    setAccessibleName(windowTitle());
    auto* form = new QFormLayout;
    form->addRow(m_name->accessibleName(), m_name);
    form->addRow(m_location->accessibleName(), m_location);
    form->addRow(m_website->accessibleName(), m_website);
    form->addRow(m_phone->accessibleName(), m_phone);
    form->addRow(m_announcement->accessibleName(), m_announcement);
    form->addRow(m_greeting->accessibleName(), m_greeting);
    m_name->setMinimumWidth(320);
    m_announcement->setFixedHeight(90);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));

    if (const auto info = LoadStoreInfo(m_ctx)) {
        m_name->setText(info->storeName);
        m_location->setText(info->location);
        m_website->setText(info->website);
        m_announcement->setPlainText(info->announcement);
        m_phone->setText(info->phone);
        m_greeting->setText(info->piaoInfo);
        m_loaded = true;
    }
}

CStoreInfo::~CStoreInfo() = default;

void CStoreInfo::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!m_loaded)
        ToastError(this, QStringLiteral("打开商店信息失败"));
}

void CStoreInfo::accept() {
    StoreInfo info;
    info.storeName = m_name->text();
    info.location = m_location->text();
    info.website = m_website->text();
    info.phone = m_phone->text();
    info.announcement = m_announcement->toPlainText();
    info.piaoInfo = m_greeting->text();
    const StoreSaveResult r = SaveStoreInfo(m_ctx, info);
    if (!r.databaseError.isEmpty()) {
        Messages::warn(this, r.databaseError);
        return;
    }
    if (!r.ok) {
        ToastError(this, r.message);
        if (r.focus == StoreSaveResult::Field::StoreName)
            m_name->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace selvo::gui

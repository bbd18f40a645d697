#include "gui/app/CInteralRole.h"

#include "core/store/AppContext.h"
#include "core/store/StoreInfo.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Toast.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace selvo::gui {

CInteralRole::CInteralRole(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_pointsRate(Named(new QLineEdit(this), QStringLiteral("每消费"))),
      m_redemptionRate(Named(new QLineEdit(this), QStringLiteral("每"))),
      m_earns(Named(new QRadioButton(QStringLiteral("积分"), this), QStringLiteral("积分"))),
      m_doesNotEarn(Named(new QRadioButton(QStringLiteral("不积分"), this), QStringLiteral("不积分"))) {
    setWindowTitle(QStringLiteral("积分规则设置"));
    setAccessibleName(windowTitle());
    m_pointsRate->setFixedWidth(80);
    m_redemptionRate->setFixedWidth(80);

    auto* line1 = new QHBoxLayout;
    line1->addWidget(new QLabel(QStringLiteral("每消费"), this));
    line1->addWidget(m_pointsRate);
    line1->addWidget(new QLabel(QStringLiteral("元积1分"), this));
    line1->addStretch();
    auto* line2 = new QHBoxLayout;
    line2->addWidget(new QLabel(QStringLiteral("每"), this));
    line2->addWidget(m_redemptionRate);
    line2->addWidget(new QLabel(QStringLiteral("积分可以兑换1元商品"), this));
    line2->addStretch();
    auto* line3 = new QHBoxLayout;
    line3->addWidget(new QLabel(QStringLiteral("特价商品是否积分："), this));
    line3->addWidget(m_earns);
    line3->addWidget(m_doesNotEarn);
    line3->addStretch();
    auto* group = new QButtonGroup(this);
    group->addButton(m_earns);
    group->addButton(m_doesNotEarn);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(line1);
    layout->addLayout(line2);
    layout->addLayout(line3);
    layout->addWidget(OkCancelButtons(this));

    m_pointsRate->setText(QString::number(m_ctx.settings.yuanToInteral));
    m_redemptionRate->setText(QString::number(m_ctx.settings.interalToYuan));
    (m_ctx.settings.specialOffer ? m_earns : m_doesNotEarn)->setChecked(true);
}

CInteralRole::~CInteralRole() = default;

void CInteralRole::accept() {
    const StoreSaveResult r =
        SavePointsRules(m_ctx, m_pointsRate->text(), m_redemptionRate->text(), m_earns->isChecked());
    if (!r.ok) {
        ToastError(this, r.message);
        if (r.focus == StoreSaveResult::Field::PointsRate)
            m_pointsRate->setFocus();
        else if (r.focus == StoreSaveResult::Field::RedemptionRate)
            m_redemptionRate->setFocus();
        return;
    }
    QDialog::accept();
}

} // namespace selvo::gui

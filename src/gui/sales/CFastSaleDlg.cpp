#include "gui/sales/CFastSaleDlg.h"

#include "core/sales/Posting.h"
#include "core/store/AppContext.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "gui/app/AppFonts.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/app/Toast.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/members/CUserHisDlg.h"
#include "gui/sales/CSettlementDlg.h"
#include "gui/widgets/FieldParts.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace selvo::gui {

CFastSaleDlg::CFastSaleDlg(AppContext& ctx, QWidget* parent)
    : QDialog(parent), m_ctx(ctx),
      m_guest(Named(new QCheckBox(QStringLiteral("散客消费"), this), QStringLiteral("散客消费"))),
      m_choose(Named(new QPushButton(QStringLiteral("选择会员"), this), QStringLiteral("选择会员"))),
      m_backDate(Named(new QCheckBox(QStringLiteral("历史消费"), this), QStringLiteral("历史消费"))),
      m_date(Named(new QDateTimeEdit(this), QStringLiteral("消费日期"))),
      m_history(Named(new QPushButton(QStringLiteral("消费记录"), this), QStringLiteral("消费记录"))),
      m_name(ValueLabel(this, QStringLiteral("姓名："))),
      m_mobile(ValueLabel(this, QStringLiteral("手机："))),
      m_balance(ValueLabel(this, QStringLiteral("余额："))),
      m_memberPoints(ValueLabel(this, QStringLiteral("积分："))),
      m_amount(Named(new QLineEdit(this), QStringLiteral("消费金额："))),
      m_pointsLabel(new QLabel(QStringLiteral("获得积分："), this)),
      m_points(Named(new QLineEdit(QStringLiteral("0"), this), QStringLiteral("获得积分："))),
      m_remark(Named(new QLineEdit(this), QStringLiteral("备注："))) {
    setWindowTitle(QStringLiteral("快速销售"));
    setAccessibleName(windowTitle());
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setCalendarPopup(true);
    m_date->setDateTime(Clock::instance().now());
    m_date->hide();
    // Shown once a member is chosen.
    m_history->hide();
    m_amount->setFont(AppBoldFont());
    SetTextColour(m_amount, kFieldRed);
    SetTextColour(m_points, kFieldRed);

    auto* top = new QHBoxLayout;
    top->addWidget(m_guest);
    top->addWidget(m_choose);
    top->addWidget(m_backDate);
    top->addWidget(m_date);
    top->addStretch(1);
    top->addWidget(m_history);

    auto* member = new QGridLayout;
    const auto pair = [&](int row, int column, const QString& caption, QLabel* value) {
        QLabel* label = CaptionFor(this, caption, value);
        SetTextColour(value, kFieldBlue);
        member->addWidget(label, row, column);
        member->addWidget(value, row, column + 1);
        m_memberWidgets << label << value;
    };
    pair(0, 0, QStringLiteral("姓名："), m_name);
    pair(0, 2, QStringLiteral("手机："), m_mobile);
    pair(1, 0, QStringLiteral("余额："), m_balance);
    pair(1, 2, QStringLiteral("积分："), m_memberPoints);
    member->setColumnStretch(1, 1);
    member->setColumnStretch(3, 1);

    auto* form = new QGridLayout;
    form->addWidget(CaptionFor(this, QStringLiteral("消费金额："), m_amount), 0, 0);
    form->addWidget(m_amount, 0, 1);
    m_pointsLabel->setBuddy(m_points);
    form->addWidget(m_pointsLabel, 1, 0);
    form->addWidget(m_points, 1, 1);
    form->addWidget(CaptionFor(this, QStringLiteral("备注："), m_remark), 2, 0);
    form->addWidget(m_remark, 2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(member);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));

    connect(m_guest, &QCheckBox::toggled, this, &CFastSaleDlg::guestToggled);
    connect(m_choose, &QPushButton::clicked, this, &CFastSaleDlg::chooseMember);
    connect(m_history, &QPushButton::clicked, this,
            [this] { CUserHisDlg::OpenForMember(m_ctx, m_memberId, this); });
    connect(m_backDate, &QCheckBox::toggled, m_date, &QWidget::setVisible);
    connect(m_amount, &QLineEdit::textChanged, this, &CFastSaleDlg::amountChanged);
    clearMember(true);
    m_amount->setFocus();
}

CFastSaleDlg::~CFastSaleDlg() = default;

void CFastSaleDlg::clearMember(bool visible) {
    m_name->clear();
    m_mobile->clear();
    m_balance->setText(FormatMoney(0));
    m_memberPoints->setText(QStringLiteral("0"));
    for (QWidget* w : std::as_const(m_memberWidgets))
        w->setVisible(visible);
}

bool CFastSaleDlg::chooseMember() {
    CSelUserDlg dlg(m_ctx, CSelUserDlg::below(m_choose), this);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    clearMember(true);
    m_memberId = dlg.memberId();
    if (const auto member = LoadSettlementMember(m_ctx, m_memberId)) {
        m_name->setText(member->name);
        m_mobile->setText(member->mobile);
        m_balance->setText(FormatMoney(member->balance));
        m_memberPoints->setText(QString::number(member->points));
    }
    m_history->show();
    return true;
}

void CFastSaleDlg::guestToggled(bool guest) {
    if (guest) {
        m_history->hide();
        clearMember(false);
        m_memberId = kWalkInMember;
    }
    m_choose->setEnabled(!guest);
    m_points->setVisible(!guest);
    m_pointsLabel->setVisible(!guest);
}

void CFastSaleDlg::amountChanged() {
    m_points->setText(FastSalePointsText(m_amount->text(), m_ctx.settings.yuanToInteral));
}

void CFastSaleDlg::accept() {
    const FastSaleInput input{m_guest->isChecked(), m_memberId, m_amount->text(), m_points->text()};
    FastSaleField at = FastSaleField::None;
    if (const QString refusal = CheckFastSale(input, &at); !refusal.isEmpty()) {
        ToastError(this, refusal);
        // The focus goes to what is to be corrected.
        QLineEdit* field = at == FastSaleField::Amount   ? m_amount
                           : at == FastSaleField::Points ? m_points
                                                         : nullptr;
        if (field) {
            field->setFocus();
            field->selectAll();
        } else if (at == FastSaleField::Member) {
            m_choose->setFocus();
        }
        return;
    }
    const QDateTime saleDate = m_backDate->isChecked() ? m_date->dateTime() : Clock::instance().now();
    CSettlementDlg settlement(m_ctx, input.guest ? kWalkInMember : m_memberId,
                              FastSaleAmount(input.amountText), this);
    if (settlement.exec() != QDialog::Accepted)
        return;
    const PostResult result =
        PostOrder(m_ctx, MakeFastSaleDraft(input, settlement.payment(), m_remark->text(), saleDate));
    if (!result.ok) {
        ShowPostingFailure(this, result);
        return;
    }
    ShowPostingDone(this, SaleDoneText());
    Messages::inform(this, SaleDoneText());
    clearMember(true);
    m_memberId = kWalkInMember;
    m_backDate->setChecked(false);
    m_date->setDateTime(Clock::instance().now());
    QDialog::accept();
}

} // namespace selvo::gui

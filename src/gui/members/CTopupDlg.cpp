#include "gui/members/CTopupDlg.h"

#include "core/members/Member.h"
#include "core/members/Topup.h"
#include "core/support/Money.h"
#include "gui/app/AppFonts.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/PostingOutcome.h"
#include "gui/app/Toast.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/members/CUserHisDlg.h"

#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
void colour(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    p.setColor(QPalette::Text, c);
    w->setPalette(p);
}

// A value heard as its text; its caption (the key) names it.
QLabel* valueLabel(QWidget* parent, const QString& caption, bool blue) {
    auto* l = ValueLabel(parent, caption);
    l->setTextInteractionFlags(Qt::TextSelectableByMouse);
    if (blue)
        colour(l, Qt::blue);
    return l;
}
} // namespace

CTopupDlg::CTopupDlg(AppContext& ctx, int memberId, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_memberId(memberId),
      m_choose(Named(new QPushButton(QStringLiteral("选择会员"), this), QStringLiteral("选择会员"))),
      m_history(Named(new QPushButton(QStringLiteral("消费记录"), this), QStringLiteral("消费记录"))),
      m_name(valueLabel(this, QStringLiteral("会员姓名："), true)),
      m_sex(valueLabel(this, QStringLiteral("性别："), true)),
      m_mobile(valueLabel(this, QStringLiteral("会员手机："), true)),
      m_code(valueLabel(this, QStringLiteral("会员卡号："), false)),
      m_balanceValue(valueLabel(this, QStringLiteral("当前余额:"), true)),
      m_cumulative(valueLabel(this, QStringLiteral("累计消费："), true)),
      m_points(valueLabel(this, QStringLiteral("当前积分："), true)),
      m_rechargeRadio(Named(new QRadioButton(QStringLiteral("充值"), this), QStringLiteral("充值"))),
      m_deductRadio(Named(new QRadioButton(QStringLiteral("扣款"), this), QStringLiteral("扣款"))),
      m_amountLabel(new QLabel(QStringLiteral("充值金额："), this)), m_amount(new QLineEdit(this)),
      m_bonusLabel(new QLabel(QStringLiteral("赠送金额："), this)),
      m_bonus(Named(new QLineEdit(this), QStringLiteral("赠送金额："))),
      m_totalLabel(new QLabel(QStringLiteral("合计充值："), this)),
      m_total(ValueLabel(this, QStringLiteral("合计充值："))),
      m_remark(Named(new QPlainTextEdit(this), QStringLiteral("备注："))) {
    setAccessibleName(QStringLiteral("会员充值"));
    m_amount->setAccessibleName(QStringLiteral("金额"));
    // Shown once a member is chosen here; opened for a member, the dialog keeps it hidden.
    m_history->hide();

    auto* top = new QHBoxLayout;
    top->addWidget(m_choose);
    top->addWidget(m_history);
    top->addStretch();

    auto* panel = new QGroupBox(QStringLiteral("会员信息"), this);
    auto* grid = new QGridLayout(panel);
    const std::pair<const char*, QLabel*> fields[] = {
        {"会员姓名：", m_name},        {"性别：", m_sex},
        {"会员手机：", m_mobile},      {"会员卡号：", m_code},
        {"当前余额:", m_balanceValue}, {"累计消费：", m_cumulative},
        {"当前积分：", m_points},
    };
    int i = 0;
    for (const auto& [caption, value] : fields) {
        grid->addWidget(CaptionFor(panel, QString::fromUtf8(caption), value), i / 2, (i % 2) * 2);
        grid->addWidget(value, i / 2, (i % 2) * 2 + 1);
        ++i;
    }

    auto* modes = new QHBoxLayout;
    modes->addWidget(m_rechargeRadio);
    modes->addWidget(m_deductRadio);
    modes->addStretch();

    const QFont big = AppLargeFont();
    for (QWidget* w :
         {static_cast<QWidget*>(m_amount), static_cast<QWidget*>(m_bonus), static_cast<QWidget*>(m_total)}) {
        w->setFont(big);
        colour(w, Qt::red);
    }
    auto* form = new QFormLayout;
    form->addRow(m_amountLabel, m_amount);
    form->addRow(m_bonusLabel, m_bonus);
    form->addRow(m_totalLabel, m_total);
    m_amountLabel->setBuddy(m_amount);
    m_bonusLabel->setBuddy(m_bonus);
    m_totalLabel->setBuddy(m_total);
    form->addRow(CaptionFor(this, QStringLiteral("备注："), m_remark), m_remark);
    m_remark->setFixedHeight(60);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(panel);
    layout->addLayout(modes);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));

    connect(m_choose, &QPushButton::clicked, this, &CTopupDlg::chooseMember);
    connect(m_history, &QPushButton::clicked, this,
            [this] { CUserHisDlg::OpenForMember(m_ctx, m_memberId, this); });
    // The mode follows the ticked button however it was ticked: mouse, arrow keys or an
    // accessibility action.
    connect(m_rechargeRadio, &QRadioButton::toggled, this, [this](bool on) {
        if (on && !m_recharge)
            enterMode(true);
    });
    connect(m_deductRadio, &QRadioButton::toggled, this, [this](bool on) {
        if (on && m_recharge)
            enterMode(false);
    });
    connect(m_amount, &QLineEdit::textChanged, this, &CTopupDlg::recalculate);
    connect(m_bonus, &QLineEdit::textChanged, this, &CTopupDlg::recalculate);

    if (!loadMember())
        clearMember();
    enterMode(true);
}

CTopupDlg::~CTopupDlg() = default;

bool CTopupDlg::loadMember() {
    if (m_memberId == -1)
        return false;
    const auto m = ReadMember(m_ctx, m_memberId);
    if (!m)
        return false;
    m_name->setText(m->trueName.value_or(QString()));
    m_sex->setText(m->sex.value_or(false) ? QStringLiteral("男") : QStringLiteral("女"));
    m_mobile->setText(m->mobilePhone.value_or(QString()));
    m_code->setText(m->memberCode.value_or(QString()));
    m_balanceBefore = m->balance.value_or(0);
    m_balanceValue->setText(FormatMoney(m_balanceBefore));
    m_cumulative->setText(FormatMoney(m->cumulative.value_or(0)));
    m_points->setText(QString::number(m->integral.value_or(0)));
    m_amount->setFocus();
    return true;
}

void CTopupDlg::clearMember() {
    m_memberId = -1;
    m_balanceBefore = 0;
    for (QLabel* l : {m_name, m_sex, m_mobile, m_code})
        l->clear();
    m_balanceValue->setText(FormatMoney(0));
    m_cumulative->setText(FormatMoney(0));
    m_points->setText(QStringLiteral("0"));
}

void CTopupDlg::enterMode(bool recharge) {
    m_recharge = recharge;
    setWindowTitle(recharge ? QStringLiteral("会员充值") : QStringLiteral("会员扣款"));
    m_amountLabel->setText(recharge ? QStringLiteral("充值金额：") : QStringLiteral("扣款金额："));
    m_amount->setAccessibleName(m_amountLabel->text());
    for (QWidget* w : {static_cast<QWidget*>(m_bonusLabel), static_cast<QWidget*>(m_bonus),
                       static_cast<QWidget*>(m_totalLabel), static_cast<QWidget*>(m_total)})
        w->setVisible(recharge);
    (recharge ? m_rechargeRadio : m_deductRadio)->setChecked(true);
    m_amount->setText(FormatMoney(0));
    m_bonus->setText(FormatMoney(0));
    focusAmount();
    // Typing replaces the number but keeps the "￥".
    m_amount->setSelection(1, m_amount->text().size() - 1);
}

void CTopupDlg::focusAmount() {
    m_amount->setFocus();
}

void CTopupDlg::recalculate() {
    m_total->setText(FormatMoney(ParseMoneyText(m_amount->text()) + ParseMoneyText(m_bonus->text())));
}

void CTopupDlg::chooseMember() {
    CSelUserDlg picker(m_ctx, CSelUserDlg::below(m_choose), this);
    if (picker.exec() != QDialog::Accepted)
        return;
    m_memberId = picker.memberId();
    if (loadMember())
        m_history->show();
    else
        clearMember();
}

void CTopupDlg::accept() {
    TopupRequest request;
    request.memberId = m_memberId;
    request.recharge = m_recharge;
    request.amountText = m_amount->text();
    request.bonusText = m_bonus->text();
    request.remark = m_remark->toPlainText();
    request.balanceBefore = m_balanceBefore;
    request.name = m_name->text();
    request.mobile = m_mobile->text();
    const TopupPlan plan = PrepareTopup(request);
    if (!plan.ok()) {
        ToastError(this, plan.refusal);
        if (plan.focusAmount) {
            focusAmount();
            m_amount->selectAll();
        } else if (m_memberId == -1) {
            m_choose->setFocus(); // no member chosen yet
        }
        return;
    }
    if (!Messages::ask(this, plan.question, TopupQuestionCaption()))
        return;
    const TopupResult result = CommitTopup(m_ctx, plan);
    if (result.outcomeUnknown) {
        // Perhaps saved: closed, so that it is looked up before anyone tries again.
        ShowPostingFailure(this, PostFailure::MessageBox, result.message);
        QDialog::accept();
        return;
    }
    if (!result.ok) {
        ShowPostingFailure(this, result.databaseTrouble ? PostFailure::MessageBox : PostFailure::Toast,
                           result.message);
        // Another till changed the balance: show what is there now.
        if (!loadMember())
            clearMember();
        focusAmount();
        m_amount->selectAll();
        return;
    }
    // Owned by the opener so it stays readable after this dialog has closed.
    ShowPostingDone(StayingOwner(this), result.message);
    QDialog::accept();
}

} // namespace selvo::gui

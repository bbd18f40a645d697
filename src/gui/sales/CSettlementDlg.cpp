#include "gui/sales/CSettlementDlg.h"

#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Money.h"
#include "core/support/Number.h"
#include "gui/app/AppFonts.h"
#include "gui/app/DialogParts.h"
#include "gui/app/Messages.h"
#include "gui/app/Toast.h"
#include "gui/widgets/FieldParts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QRadioButton>
#include <QVBoxLayout>

namespace selvo::gui {

namespace {
// The member's picture, stretched over the frame less its border (8 left, 12 top, 8 right and
// bottom); a missing or unreadable file draws nothing.
class PhotoView final : public QGroupBox {
public:
    explicit PhotoView(QWidget* parent) : QGroupBox(parent) { setMinimumSize(120, 150); }
    void setPath(const QString& path) {
        m_path = path;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        QGroupBox::paintEvent(event);
        if (m_path.isEmpty())
            return;
        QImageReader reader(m_path);
        const QImage image = reader.read();
        if (image.isNull())
            return;
        QPainter p(this);
        p.drawImage(rect().adjusted(8, 12, -8, -8), image);
    }

private:
    QString m_path;
};

QLabel* caption(QWidget* parent, const QString& text) {
    return new QLabel(text, parent);
}

// A value heard as its text; `key` finds it in code.
QLabel* value(QWidget* parent, const QString& key, quint32 colorRef) {
    auto* l = ValueLabel(parent, key);
    SetTextColour(l, colorRef);
    return l;
}
} // namespace

CSettlementDlg::CSettlementDlg(AppContext& ctx, int memberId, double amountDue, QWidget* parent)
    : QDialog(parent), m_ctx(ctx), m_memberId(memberId), m_amountDue(RoundCents(amountDue)),
      m_pointsNeeded(PointsNeeded(amountDue, ctx.settings.interalToYuan)),
      m_nameCaption(caption(this, QStringLiteral("会员姓名："))),
      m_name(value(this, QStringLiteral("会员姓名"), kFieldBlue)),
      m_mobileCaption(caption(this, QStringLiteral("手机号码："))),
      m_mobile(value(this, QStringLiteral("手机号码"), kFieldBlue)),
      m_idCardCaption(caption(this, QStringLiteral("身份证："))),
      m_idCard(value(this, QStringLiteral("身份证"), kFieldBlue)),
      m_balanceCaption(caption(this, QStringLiteral("帐户余额："))),
      m_balance(value(this, QStringLiteral("帐户余额"), kFieldBlue)),
      m_pointsCaption(caption(this, QStringLiteral("剩余积分："))),
      m_points(value(this, QStringLiteral("剩余积分"), kFieldBlue)), m_photoFrame(new PhotoView(this)),
      m_amount(value(this, QStringLiteral("应付金额："), kFieldGrey)),
      m_cashRadio(Named(new QRadioButton(QStringLiteral("现金支付"), this), QStringLiteral("现金支付"))),
      m_balanceRadio(
          Named(new QRadioButton(QStringLiteral("余额支付(会员)"), this), QStringLiteral("余额支付(会员)"))),
      m_pointsRadio(
          Named(new QRadioButton(QStringLiteral("积分兑换(会员)"), this), QStringLiteral("积分兑换(会员)"))),
      m_cashLabel(new QLabel(QStringLiteral("收银："), this)),
      m_cash(Named(new QLineEdit(this), QStringLiteral("收银："))),
      m_changeLine(ValueLabel(this, QStringLiteral("找零："))),
      m_idHint(Named(new QLabel(QStringLiteral("请核对会员证件信息"), this),
                     QStringLiteral("请核对会员证件信息"))),
      m_clearPoints(
          Named(new QCheckBox(QStringLiteral("兑换后积分清零"), this), QStringLiteral("兑换后积分清零"))),
      m_extraLabel(new QLabel(QStringLiteral("收银："), this)),
      m_extraCash(Named(new QLineEdit(this), QStringLiteral("收银："))),
      // Heard with the amount their captions carry.
      m_giveChange(new QRadioButton(QStringLiteral("找零0元"), this)),
      m_deposit(new QRadioButton(QStringLiteral("充入余额0元"), this)),
      m_info(ValueLabel(this, QStringLiteral("提示"))) {
    setWindowTitle(QStringLiteral("结算帐单"));
    setAccessibleName(windowTitle());

    m_amount->setFont(AppBoldFont());
    m_cash->setFont(AppBoldFont());
    m_extraCash->setFont(AppBoldFont());
    SetTextColour(m_cash, kFieldRed);
    SetTextColour(m_extraCash, kFieldRed);
    SetTextColour(m_idHint, kFieldRed);
    m_changeLine->setText(QStringLiteral("找零："));
    // Each caption names its value for a screen reader.
    m_nameCaption->setBuddy(m_name);
    m_mobileCaption->setBuddy(m_mobile);
    m_idCardCaption->setBuddy(m_idCard);
    m_balanceCaption->setBuddy(m_balance);
    m_pointsCaption->setBuddy(m_points);
    m_extraLabel->setBuddy(m_extraCash);

    auto* member = new QGridLayout;
    member->addWidget(m_nameCaption, 0, 0);
    member->addWidget(m_name, 0, 1);
    member->addWidget(m_mobileCaption, 1, 0);
    member->addWidget(m_mobile, 1, 1);
    member->addWidget(m_idCardCaption, 2, 0);
    member->addWidget(m_idCard, 2, 1);
    member->addWidget(m_balanceCaption, 3, 0);
    member->addWidget(m_balance, 3, 1);
    member->addWidget(m_pointsCaption, 4, 0);
    member->addWidget(m_points, 4, 1);
    member->setColumnStretch(1, 1);
    auto* top = new QHBoxLayout;
    top->addLayout(member, 1);
    top->addWidget(m_photoFrame);

    auto* modes = new QButtonGroup(this);
    modes->addButton(m_cashRadio);
    modes->addButton(m_balanceRadio);
    modes->addButton(m_pointsRadio);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_cashRadio);
    radios->addWidget(m_balanceRadio);
    radios->addWidget(m_pointsRadio);
    auto* excess = new QButtonGroup(this);
    excess->addButton(m_giveChange);
    excess->addButton(m_deposit);

    auto* pay = new QGridLayout;
    pay->addWidget(CaptionFor(this, QStringLiteral("应付金额："), m_amount), 0, 0);
    pay->addWidget(m_amount, 0, 1);
    // The label before the cash field names what the row shows: the cash, the shortfall, or
    // (in points mode, in the info line beside it) the points needed.
    pay->addWidget(m_cashLabel, 1, 0);
    auto* cashRow = new QHBoxLayout;
    cashRow->addWidget(m_cash, 1);
    cashRow->addWidget(m_info, 1);
    pay->addLayout(cashRow, 1, 1);
    pay->addWidget(m_changeLine, 2, 0, 1, 2);
    pay->addWidget(m_extraLabel, 3, 0);
    pay->addWidget(m_extraCash, 3, 1);
    auto* excessRow = new QHBoxLayout;
    excessRow->addWidget(m_giveChange);
    excessRow->addWidget(m_deposit);
    pay->addLayout(excessRow, 4, 0, 1, 2);
    pay->addWidget(m_idHint, 5, 0, 1, 2);
    pay->addWidget(m_clearPoints, 6, 0, 1, 2);
    pay->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(radios);
    layout->addLayout(pay);
    layout->addWidget(OkCancelButtons(this));

    connect(m_cash, &QLineEdit::textChanged, this, &CSettlementDlg::cashChanged);
    connect(m_extraCash, &QLineEdit::textChanged, this, &CSettlementDlg::extraCashChanged);
    m_amount->setText(FormatMoney(m_amountDue));
    loadMember();
    if (m_usable) {
        m_cashRadio->setChecked(true);
        enterCash();
    }
    // The mode follows the ticked button however it was ticked: mouse, arrow keys or an
    // accessibility action.
    const auto onTicked = [this](QRadioButton* radio, void (CSettlementDlg::*enter)()) {
        connect(radio, &QRadioButton::toggled, this, [this, enter](bool on) {
            if (on)
                (this->*enter)();
        });
    };
    onTicked(m_cashRadio, &CSettlementDlg::enterCash);
    onTicked(m_balanceRadio, &CSettlementDlg::enterBalance);
    onTicked(m_pointsRadio, &CSettlementDlg::enterPoints);
}

CSettlementDlg::~CSettlementDlg() = default;

void CSettlementDlg::loadMember() {
    const bool guest = IsWalkIn(m_memberId);
    if (guest) {
        for (QWidget* w : {static_cast<QWidget*>(m_nameCaption), static_cast<QWidget*>(m_mobileCaption),
                           static_cast<QWidget*>(m_idCardCaption), static_cast<QWidget*>(m_balanceCaption),
                           static_cast<QWidget*>(m_pointsCaption), static_cast<QWidget*>(m_balance),
                           static_cast<QWidget*>(m_points), m_photoFrame})
            w->hide();
        m_name->setText(QStringLiteral("散客消费"));
        m_balanceRadio->setEnabled(false);
        m_pointsRadio->setEnabled(false);
        return;
    }
    const auto member = LoadSettlementMember(m_ctx, m_memberId);
    if (!member) {
        // Nothing to settle against: no amounts, no payment mode, OK refuses.
        m_usable = false;
        Messages::warn(this, QStringLiteral("无法读取会员信息，请重试！"));
        m_amount->clear();
        for (QWidget* w : {static_cast<QWidget*>(m_cashRadio), static_cast<QWidget*>(m_balanceRadio),
                           static_cast<QWidget*>(m_pointsRadio), static_cast<QWidget*>(m_cash),
                           static_cast<QWidget*>(m_extraCash), static_cast<QWidget*>(m_clearPoints)})
            w->setEnabled(false);
        m_changeLine->clear();
        m_extraLabel->hide();
        m_extraCash->hide();
        m_giveChange->hide();
        m_deposit->hide();
        m_idHint->hide();
        m_clearPoints->hide();
        return;
    }
    m_name->setText(member->name);
    m_mobile->setText(member->mobile);
    m_idCard->setText(member->idCard);
    m_balance->setText(FormatMoney(member->balance));
    m_points->setText(QString::number(member->points));
    m_photo = member->photo;
    static_cast<PhotoView*>(m_photoFrame)->setPath(m_photo);
}

void CSettlementDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_usable && m_cashRadio->isChecked())
        focusMoney(m_cash);
}

void CSettlementDlg::focusMoney(QLineEdit* field) {
    field->setFocus();
    // The figure after the "￥" is what the cashier types over.
    const QString text = field->text();
    if (text.startsWith(QStringLiteral("￥")))
        field->setSelection(1, int(text.size()) - 1);
    else
        field->selectAll();
}

void CSettlementDlg::setCashCaption(const QString& caption, QWidget* field) {
    m_cashLabel->setText(caption);
    m_cashLabel->setBuddy(field);
    if (field == m_cash)
        m_cash->setAccessibleName(caption);
}

void CSettlementDlg::enterCash() {
    m_cash->show();
    m_cash->setEnabled(true);
    m_changeLine->show();
    setCashCaption(QStringLiteral("收银："), m_cash);
    m_changeLine->setText(QStringLiteral("找零："));
    m_cash->setText(FormatMoney(m_amountDue));
    m_info->hide();
    m_idHint->hide();
    m_clearPoints->hide();
    m_extraLabel->hide();
    m_extraCash->hide();
    m_giveChange->hide();
    m_deposit->hide();
    focusMoney(m_cash);
}

void CSettlementDlg::enterBalance() {
    m_idHint->show();
    m_clearPoints->hide();
    m_cash->hide();
    m_changeLine->hide();
    setCashCaption(QString(), m_info);
    m_extraLabel->hide();
    m_extraCash->hide();
    m_giveChange->hide();
    m_deposit->hide();
    const double balance = GetMemberBalance(m_ctx, m_memberId);
    if (BalanceCovers(balance, m_amountDue)) {
        m_info->setText(BalanceSufficientText());
        m_info->show();
        return;
    }
    m_shortfall = BalanceShortfall(balance, m_amountDue);
    setCashCaption(BalanceShortLabel(), m_cash);
    m_cash->show();
    m_cash->setEnabled(false);
    m_cash->setText(FormatMoney(m_shortfall));
    m_extraLabel->show();
    m_extraCash->show();
    m_extraCash->setText(FormatMoney(m_shortfall));
    m_giveChange->show();
    m_deposit->show();
    m_giveChange->setText(QStringLiteral("找零0元"));
    m_deposit->setText(QStringLiteral("充入余额0元"));
    m_giveChange->setChecked(true);
    m_info->hide();
    focusMoney(m_extraCash);
}

void CSettlementDlg::enterPoints() {
    m_idHint->show();
    m_clearPoints->show();
    m_info->show();
    m_cash->hide();
    m_extraLabel->hide();
    m_extraCash->hide();
    m_giveChange->hide();
    m_deposit->hide();
    m_changeLine->show();
    m_changeLine->clear();
    setCashCaption(QStringLiteral("所需积分："), m_info);
    m_info->setText(QString::number(m_pointsNeeded));
}

void CSettlementDlg::cashChanged() {
    if (m_cashRadio->isChecked())
        m_changeLine->setText(ChangeLineText(m_cash->text(), m_amountDue));
}

void CSettlementDlg::extraCashChanged() {
    const ExcessCaptions captions = ExcessCaptionsFor(m_extraCash->text(), m_shortfall);
    m_giveChange->setText(captions.change);
    m_deposit->setText(captions.deposit);
}

void CSettlementDlg::accept() {
    if (!m_usable) {
        ToastError(this, QStringLiteral("无法读取会员信息，请重试！"));
        return;
    }
    SettlementCheck check;
    if (m_balanceRadio->isChecked()) {
        const double balance = GetMemberBalance(m_ctx, m_memberId);
        check = CheckBalancePayment(m_memberId, balance, m_amountDue, m_cash->text(), m_extraCash->text(),
                                    m_deposit->isChecked());
    } else if (m_pointsRadio->isChecked()) {
        check = CheckPointsPayment(m_memberId, GetMemberPoints(m_ctx, m_memberId), m_pointsNeeded,
                                   m_amountDue, m_clearPoints->isChecked());
    } else {
        check = CheckCashPayment(m_cash->text(), m_amountDue);
    }
    if (!check.ok()) {
        ToastError(this, check.refusal);
        // Back on the money that fell short (points have no field to correct).
        if (m_cashRadio->isChecked())
            focusMoney(m_cash);
        else if (m_balanceRadio->isChecked() && m_extraCash->isVisible())
            focusMoney(m_extraCash);
        return;
    }
    if (!Messages::ask(this, BoxText(check.confirmation), QStringLiteral("确认订单")))
        return;
    m_payment = check.payment;
    QDialog::accept();
}

} // namespace selvo::gui

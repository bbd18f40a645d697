#include "core/sales/Settlement.h"

#include "core/store/AppContext.h"
#include "core/store/Vocabulary.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <cmath>
#include <limits>

namespace selvo {

namespace {
// A money field that holds something other than one number, or an absurd amount.
bool badMoneyText(const QString& text) {
    const QString s = StripMoneySigns(text);
    return !IsWholeNumberText(s) || std::fabs(ParseLeadingNumber(s)) > kMaxAmount;
}
} // namespace

std::optional<SettlementMember> LoadSettlementMember(AppContext& ctx, int memberId) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT ID, TrueName, MobilePhone, IdCard, Balance, Integral, photo "
                                     "FROM tb_members WHERE ID = ?"),
                      {memberId});
    if (!q || !q->next())
        return std::nullopt;
    SettlementMember m;
    m.id = q->value(0).toInt();
    m.name = q->value(1).toString();
    m.mobile = q->value(2).toString();
    m.idCard = q->value(3).toString();
    m.balance = q->value(4).toDouble();
    m.points = q->value(5).toInt();
    m.photo = q->value(6).toString();
    return m;
}

int PointsNeeded(double amountDue, int interalToYuan) {
    const double yuan = std::ceil(RoundCents(amountDue));
    const double points = std::trunc(yuan * interalToYuan);
    if (!(points > 0))
        return 0;
    return points >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(points);
}

QString ChangeLineText(const QString& cashText, double amountDue) {
    const double change = RoundCents(ParseMoneyText(cashText) - RoundCents(amountDue));
    if (change >= 0)
        return QStringLiteral("        找零：   ￥ ") + FormatAmount(change);
    return QStringLiteral("        找零：    收款不足");
}

ExcessCaptions ExcessCaptionsFor(const QString& extraCashText, double shortfall) {
    const double excess = RoundCents(ParseMoneyText(extraCashText) - RoundCents(shortfall));
    if (excess >= 0)
        return {QStringLiteral("找零￥") + FormatAmount(excess),
                QStringLiteral("充入余额￥") + FormatAmount(excess)};
    return {QStringLiteral("收款不足"), QStringLiteral("收款不足")};
}

SettlementCheck CheckCashPayment(const QString& cashText, double amountDue) {
    SettlementCheck c;
    if (badMoneyText(cashText)) {
        c.refusal = QStringLiteral("请输入正确的收款金额");
        return c;
    }
    const double cash = ParseMoneyText(cashText);
    const double change = RoundCents(cash - RoundCents(amountDue));
    if (change < 0) {
        c.refusal = QStringLiteral("收款金额不足,不能结账");
        return c;
    }
    c.payment.payType = PayCash;
    c.payment.cashReceived = cash;
    c.payment.change = change;
    c.confirmation = QString::asprintf("收取现金￥ %8.2f 元\r\n%-6s找零￥ %8.2f 元", cash, "", change);
    return c;
}

bool BalanceCovers(double balance, double amountDue) {
    return MoneyCovers(balance, RoundCents(amountDue));
}

double BalanceShortfall(double balance, double amountDue) {
    return RoundCents(amountDue - balance);
}

SettlementCheck CheckBalancePayment(int memberId, double balance, double amountDue,
                                    const QString& shortfallText, const QString& extraCashText,
                                    bool keepExcess) {
    SettlementCheck c;
    const double due = RoundCents(amountDue);
    if (IsWalkIn(memberId)) {
        c.refusal = QStringLiteral("散客不能使用余额支付");
        return c;
    }
    c.payment.payType = PayBalance;
    if (BalanceCovers(balance, due)) {
        c.confirmation = QString::asprintf("扣除余额: ￥ %8.2f 元\r\n无需收银、无需找零", due);
        return c;
    }
    if (badMoneyText(extraCashText)) {
        c.refusal = QStringLiteral("请输入正确的收款金额");
        return c;
    }
    const double shortfall = ParseMoneyText(shortfallText);
    const double extra = ParseMoneyText(extraCashText);
    if (!MoneyCovers(extra, shortfall)) {
        c.refusal = QStringLiteral("余额不足,不能结账!");
        return c;
    }
    const double excess = RoundCents(extra - shortfall);
    if (keepExcess) {
        c.confirmation =
            QString::asprintf("扣除余额￥ %8.2f 元\r\n收取现金￥ %8.2f 元\r\n%-6s找零￥   %-2s无需找零\r\n"
                              "充入余额￥ %8.2f 元",
                              balance, extra, "", "", excess);
        c.payment.recharge = extra;
    } else {
        c.confirmation = QString::asprintf(
            "扣除余额￥ %8.2f 元\r\n收取现金￥ %8.2f 元\r\n%-6s找零￥ %8.2f 元", balance, extra, "", excess);
        c.payment.recharge = shortfall;
    }
    c.payment.shortfall = shortfall;
    c.payment.balanceBefore = balance;
    return c;
}

SettlementCheck CheckPointsPayment(int memberId, int memberPoints, int pointsNeeded, double amountDue,
                                   bool clearAll) {
    SettlementCheck c;
    if (IsWalkIn(memberId)) {
        c.refusal = QStringLiteral("散客不能使用积分兑换");
        return c;
    }
    if (memberPoints < pointsNeeded) {
        c.refusal = QStringLiteral("积分不足,不能兑换!");
        return c;
    }
    c.payment.payType = PayPoints;
    c.payment.pointsUsed = clearAll ? memberPoints : pointsNeeded;
    c.confirmation = QString::asprintf("确认使用 %d 积分兑换价值 ￥ %.2f 元 的商品吗？", pointsNeeded,
                                       RoundCents(amountDue));
    return c;
}

QString AutoRechargeRemark(double recharge, double shortfall) {
    return QString::asprintf("余额付款自动充值￥ %.2f 元,并立即消费￥ %.2f 元", recharge, shortfall);
}

} // namespace selvo

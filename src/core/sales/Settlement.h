#pragma once

#include "core/store/Vocabulary.h"

#include <QString>

#include <optional>

namespace selvo {

struct AppContext;

// Largest amount a till takes as cash or as an order total.
inline constexpr double kMaxAmount = 99999999.99;

// What the settlement dialog hands to the posting. The automatic recharge of a short balance is
// only planned here: it is written by the posting, in the same transaction as the sale it pays for.
struct Payment {
    int payType = PayCash;
    double cashReceived = 0;
    double change = 0;
    int pointsUsed = 0;
    // Balance payment with too little on the balance: put `recharge` on it first.
    double recharge = 0;
    double shortfall = 0;
    double balanceBefore = 0;
    bool autoRecharge() const { return recharge > 0; }
};

// The member shown in the settlement dialog.
struct SettlementMember {
    int id = -1;
    QString name;
    QString mobile;
    QString idCard;
    double balance = 0;
    int points = 0;
    QString photo;
};
// Reads the member for the dialog; std::nullopt when it cannot be read.
std::optional<SettlementMember> LoadSettlementMember(AppContext& ctx, int memberId);

// Points that pay for an amount: the amount rounded up to a whole yuan × the redemption rate.
int PointsNeeded(double amountDue, int interalToYuan);

// "        找零：   ￥ %.02f" or "        找零：    收款不足" for the cash field's text.
QString ChangeLineText(const QString& cashText, double amountDue);
// The captions of the two radio buttons of the automatic recharge for the extra-cash text.
struct ExcessCaptions {
    QString change;
    QString deposit;
};
ExcessCaptions ExcessCaptionsFor(const QString& extraCashText, double shortfall);
// The balance pays the whole amount due, to the fen: the dialog then says BalanceSufficientText()
// and asks for no cash, and CheckBalancePayment deducts it alone.
bool BalanceCovers(double balance, double amountDue);
// What a balance that does not cover the amount due falls short by, to the fen.
double BalanceShortfall(double balance, double amountDue);
inline QString BalanceSufficientText() {
    return QStringLiteral("余额充足，可以消费");
}
inline QString BalanceShortLabel() {
    return QStringLiteral("余额不足，请补收：");
}

// The dialog's OK in one payment mode: a refusal (a toast), or the question to ask and the
// payment that a Yes accepts.
struct SettlementCheck {
    QString refusal;
    QString confirmation;
    Payment payment;
    bool ok() const { return refusal.isEmpty(); }
};

SettlementCheck CheckCashPayment(const QString& cashText, double amountDue);
// `balance` is the balance read again at OK; `shortfallText` the disabled field that shows the
// shortfall, `extraCashText` the cash collected for it; `keepExcess` is "充入余额" ticked.
SettlementCheck CheckBalancePayment(int memberId, double balance, double amountDue,
                                    const QString& shortfallText, const QString& extraCashText,
                                    bool keepExcess);
SettlementCheck CheckPointsPayment(int memberId, int memberPoints, int pointsNeeded, double amountDue,
                                   bool clearAll);

// The remark of the recharge record an automatic recharge writes.
QString AutoRechargeRemark(double recharge, double shortfall);

} // namespace selvo

#pragma once

#include <QString>

namespace selvo {

struct AppContext;

// The largest amount one recharge or deduction may move.
inline constexpr double kMaxTopupAmount = 99999999.99;

// What the recharge dialog has on screen when the operator presses OK.
struct TopupRequest {
    int memberId = -1;
    bool recharge = true; // false: deduction
    QString amountText;
    QString bonusText; // recharges only
    QString remark;
    double balanceBefore = 0; // as shown
    QString name;             // as shown, for the question
    QString mobile;
};

// The checked request: either a refusal or the question to ask and what to do after Yes.
struct TopupPlan {
    QString refusal;          // toast text; empty when the operator is asked
    bool focusAmount = false; // the refusal is about the amount field
    QString question;         // Yes/No question, caption TopupQuestionCaption()
    int memberId = -1;
    bool recharge = true;
    double amount = 0;
    double bonus = 0;
    QString remark;
    bool ok() const { return refusal.isEmpty(); }
};

QString TopupQuestionCaption();

TopupPlan PrepareTopup(const TopupRequest& request);

struct TopupResult {
    bool ok = false;
    QString message; // the success or failure toast
    double balanceAfter = 0;
    // The connection broke at commit and the record could not be found: message says where to
    // look, for a message box; a retry could credit or charge twice.
    bool outcomeUnknown = false;
    // The database itself failed (its file vanished, or it stayed busy): for a message box.
    bool databaseTrouble = false;
};

// Changes the balance and writes the recharge record in one transaction. The balance before is
// read again inside it, so the record is right even when another till changed the balance
// meanwhile, and a deduction never takes more than the stored balance ("余额不足").
TopupResult CommitTopup(AppContext& ctx, const TopupPlan& plan);

} // namespace selvo

#include "core/members/Topup.h"

#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

namespace selvo {

QString TopupQuestionCaption() {
    return QStringLiteral("充值提示");
}

TopupPlan PrepareTopup(const TopupRequest& r) {
    TopupPlan plan;
    plan.memberId = r.memberId;
    plan.recharge = r.recharge;
    plan.remark = r.remark;
    if (r.memberId == -1) {
        plan.refusal = QStringLiteral("请选择会员");
        return plan;
    }
    const auto refuse = [&](const QString& text) {
        plan.refusal = text;
        plan.focusAmount = true;
        return plan;
    };
    const double amount = ParseMoneyText(r.amountText);
    if (r.recharge) {
        const double bonus = ParseMoneyText(r.bonusText);
        const double total = RoundCents(amount + bonus);
        // The test is on the total, so a bonus alone may be given; a negative amount may not
        // hide inside a positive total.
        if (!(total > 0) || amount < 0)
            return refuse(QStringLiteral("请输入充值金额"));
        if (bonus < 0) {
            plan.refusal = QStringLiteral("赠送金额不能为负数");
            return plan;
        }
        if (total > kMaxTopupAmount)
            return refuse(QStringLiteral("充值金额过大，请重新输入"));
        plan.amount = amount;
        plan.bonus = bonus;
        plan.question = QStringLiteral("确认为会员 ") + r.name + r.mobile + QStringLiteral(" 充值: ") +
                        FormatMoney(total) + QStringLiteral("元 吗？");
        return plan;
    }
    if (!(amount > 0))
        return refuse(QStringLiteral("请输入扣款金额"));
    if (amount > RoundCents(r.balanceBefore))
        return refuse(QStringLiteral("余额不足"));
    plan.amount = amount;
    // The amount that will be taken, not the raw typing ("12abc" takes 12).
    plan.question = QStringLiteral("确认扣除会员 ") + r.name + r.mobile + QStringLiteral("  ￥") +
                    FormatAmount(amount) + QStringLiteral("元 吗？");
    return plan;
}

TopupResult CommitTopup(AppContext& ctx, const TopupPlan& plan) {
    TopupResult result;
    const QString failed =
        plan.recharge ? QStringLiteral("充值失败，请重试") : QStringLiteral("扣款失败，请重试");
    if (!plan.ok() || plan.memberId == -1) {
        result.message = failed;
        return result;
    }
    // The plan may not have come from PrepareTopup: its figures are checked again here.
    const double total = plan.recharge ? RoundCents(plan.amount + plan.bonus) : plan.amount;
    if (!IsValidMoney(plan.amount) || !IsValidMoney(plan.bonus) || (!plan.recharge && plan.bonus != 0) ||
        !(total > 0) || total > kMaxTopupAmount) {
        result.message =
            InvalidFigureText(plan.recharge ? QStringLiteral("充值金额") : QStringLiteral("扣款金额"),
                              !IsValidMoney(plan.amount)  ? plan.amount
                              : !IsValidMoney(plan.bonus) ? plan.bonus
                                                          : total);
        return result;
    }
    bool short_ = false;
    // The record is dated by the till's clock, to the second, no earlier than this.
    QDateTime started = Clock::instance().now();
    started = started.addMSecs(-started.time().msec());
    double recordedBefore = 0;
    const bool ok = db::runTransaction(ctx.db, [&] {
        short_ = false;
        auto before =
            ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {plan.memberId});
        if (!before)
            return false;
        const double balanceBefore = before->toDouble();
        recordedBefore = balanceBefore;
        if (plan.recharge) {
            if (!AddMemberBalance(ctx, plan.memberId, total))
                return false;
            result.balanceAfter = balanceBefore + total;
            return WriteTopupRecord(ctx, true, plan.memberId, plan.remark, plan.amount, plan.bonus,
                                    balanceBefore);
        }
        if (!DeductMemberBalance(ctx, plan.memberId, plan.amount)) {
            // Refused by the stored balance, or the statement failed: tell which.
            auto now =
                ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {plan.memberId});
            short_ = now && !MoneyCovers(now->toDouble(), plan.amount);
            return false;
        }
        result.balanceAfter = balanceBefore - plan.amount;
        return WriteTopupRecord(ctx, false, plan.memberId, plan.remark, plan.amount, 0, balanceBefore);
    });
    // The connection broke at COMMIT: the server kept the work when this member has a record of
    // this kind and total, from the balance read inside the transaction, since it began.
    const db::LostCommit lost =
        ok ? db::LostCommit::No
           : db::CheckLostCommit(
                 ctx.db,
                 QStringLiteral("SELECT count(*) FROM tb_TopupRecord WHERE MemID = ? AND OpType = ? "
                                "AND Total = ? AND BefBalance = ? AND AddDate >= ?"),
                 {plan.memberId, plan.recharge ? 1 : 0,
                  plan.recharge ? plan.amount + plan.bonus : -plan.amount, recordedBefore,
                  ctx.db.dateTimeValue(started)});
    if (lost == db::LostCommit::Unknown) {
        result.outcomeUnknown = true;
        result.message =
            OutcomeUnknownText(plan.recharge ? QStringLiteral("这笔充值") : QStringLiteral("这笔扣款"),
                               QStringLiteral("充值记录"));
        return result;
    }
    if (!ok && lost != db::LostCommit::Saved) {
        // The conditional update refused: another till spent the money since it was shown.
        const QString trouble = DatabaseTroubleText(ctx.db);
        result.databaseTrouble = !short_ && !trouble.isEmpty();
        result.message = short_ ? QStringLiteral("余额不足") : !trouble.isEmpty() ? trouble : failed;
        return result;
    }
    result.ok = true;
    result.message = plan.recharge ? QStringLiteral("充值成功") : QStringLiteral("扣款成功");
    return result;
}

} // namespace selvo

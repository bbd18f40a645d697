#include "core/store/StoreOps.h"

#include "core/store/AppContext.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Password.h"

#include <QMutex>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

namespace selvo {

namespace {
// Money is kept in yuan as doubles; half a fen absorbs their rounding noise in comparisons.

bool changeOneRow(AppContext& ctx, const QString& sql, const QVariantList& binds) {
    int affected = 0;
    return ctx.db.exec(sql, binds, &affected) && affected == 1;
}
} // namespace

bool AddMemberPoints(AppContext& ctx, int memberId, int points) {
    // The points stay within 0 and what 32 bits hold; the bounds are compared with the stored value.
    return changeOneRow(ctx,
                        QStringLiteral("UPDATE tb_members SET Integral = Integral + ? WHERE ID = ? "
                                       "AND Integral >= CAST(? AS bigint) AND Integral <= CAST(? AS bigint)"),
                        {points, memberId, -qint64(points), qint64(kMaxPoints) - points});
}

bool AddMemberCumulative(AppContext& ctx, int memberId, double amount) {
    if (!IsValidMoney(amount, FigureSign::Any))
        return false;
    return changeOneRow(ctx, QStringLiteral("UPDATE tb_members SET Cumulative = Cumulative + ? WHERE ID = ?"),
                        {amount, memberId});
}

bool AddMemberBalance(AppContext& ctx, int memberId, double amount) {
    if (!IsValidMoney(amount, FigureSign::Any))
        return false;
    if (amount < 0)
        return DeductMemberBalance(ctx, memberId, -amount);
    return changeOneRow(ctx, QStringLiteral("UPDATE tb_members SET Balance = Balance + ? WHERE ID = ?"),
                        {amount, memberId});
}

bool DeductMemberBalance(AppContext& ctx, int memberId, double amount) {
    if (!IsValidMoney(amount))
        return false;
    return changeOneRow(
        ctx, QStringLiteral("UPDATE tb_members SET Balance = Balance - ? WHERE ID = ? AND Balance >= ?"),
        {amount, memberId, amount - kHalfFen});
}

bool DeductMemberPoints(AppContext& ctx, int memberId, int points) {
    if (points < 0)
        return false;
    return changeOneRow(
        ctx, QStringLiteral("UPDATE tb_members SET Integral = Integral - ? WHERE ID = ? AND Integral >= ?"),
        {points, memberId, points});
}

QString GetMemberLabel(AppContext& ctx, int memberId) {
    auto q = ctx.db.select(QStringLiteral("SELECT TrueName, MobilePhone FROM tb_members WHERE ID = ?"),
                           {memberId});
    if (!q || !q->next()) {
        ctx.notify(QStringLiteral("无法读取会员信息"));
        return {};
    }
    return q->value(0).toString() + QLatin1Char('(') + q->value(1).toString() + QLatin1Char(')');
}

double GetMemberBalance(AppContext& ctx, int memberId) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {memberId});
    if (!v) {
        ctx.notify(QStringLiteral("无法读取会员信息"));
        return 0;
    }
    return v->toDouble();
}

int GetMemberPoints(AppContext& ctx, int memberId) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT Integral FROM tb_members WHERE ID = ?"), {memberId});
    if (!v) {
        ctx.notify(QStringLiteral("无法读取会员积分"));
        return 0;
    }
    return v->toInt();
}

QString GetOperatorName(AppContext& ctx, int operatorId) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT TrueName FROM tb_manager WHERE ID = ?"), {operatorId});
    return v ? v->toString() : QString();
}

QString GetPasswordHint(AppContext& ctx, int operatorId, const QString& account) {
    std::optional<QVariant> v;
    if (!account.isEmpty())
        v = ctx.db.scalar(QStringLiteral("SELECT pwdWarn FROM tb_manager WHERE UID = ?"), {account});
    else
        v = ctx.db.scalar(QStringLiteral("SELECT pwdWarn FROM tb_manager WHERE ID = ?"), {operatorId});
    return v && !v->isNull() ? v->toString() : QString();
}

bool SetProductState(AppContext& ctx, int productId, int state) {
    return ctx.db.exec(QStringLiteral("UPDATE tb_product SET State = ? WHERE ID = ?"), {state, productId});
}

bool DeleteProduct(AppContext& ctx, int productId) {
    return ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE ID = ?"), {productId});
}

bool DeleteOrder(AppContext& ctx, const QString& orderNo) {
    return db::runTransaction(ctx.db, [&] {
        return ctx.db.exec(QStringLiteral("DELETE FROM tb_orders WHERE OrderNo = ?"), {orderNo}) &&
               ctx.db.exec(QStringLiteral("DELETE FROM tb_order_lines WHERE OrderNo = ?"), {orderNo});
    });
}

bool DeleteMember(AppContext& ctx, int memberId) {
    const bool ok = db::runTransaction(ctx.db, [&] {
        return ctx.db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {memberId}) &&
               ctx.db.exec(QStringLiteral("DELETE FROM tb_order_lines WHERE OrderNo IN "
                                          "(SELECT OrderNo FROM tb_orders WHERE MemID = ?)"),
                           {memberId}) &&
               ctx.db.exec(QStringLiteral("DELETE FROM tb_orders WHERE MemID = ?"), {memberId}) &&
               ctx.db.exec(QStringLiteral("DELETE FROM tb_TopupRecord WHERE MemID = ?"), {memberId});
    });
    if (!ok)
        ctx.notify(QStringLiteral("删除会员失败！请重试"));
    return ok;
}

bool WriteOpLog(AppContext& ctx, const QString& text) {
    return ctx.db.exec(QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content) VALUES(?, ?)"),
                       {ctx.op.id, text});
}

bool WriteTopupRecord(AppContext& ctx, bool recharge, int memberId, const QString& remark, double amount,
                      double bonus, double balanceBefore) {
    // Dated by the till's clock, as its orders are, so a record and the order it belongs to agree.
    const QString sql = QStringLiteral(
        "INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, Total, "
        "BefBalance, AftBalance, OpType, Remark, AddDate) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    const QVariant now = ctx.db.dateTimeValue(Clock::instance().now());
    if (recharge)
        return ctx.db.exec(sql, {ctx.op.id, memberId, amount, bonus, amount + bonus, balanceBefore,
                                 balanceBefore + amount + bonus, 1, remark, now});
    return ctx.db.exec(sql, {ctx.op.id, memberId, 0.0, 0.0, -amount, balanceBefore,
                             balanceBefore - (amount + bonus), 0, remark, now});
}

bool MoveStock(AppContext& ctx, const QString& productCode, int kind, bool writeHistory,
               const QString& remark, double change) {
    // A product deleted meanwhile has no stock to move; that is not an error for the caller.
    if (!ctx.db.exec(
            QStringLiteral("UPDATE tb_product SET PrdInventory = PrdInventory + ? WHERE PrdCode = ?"),
            {change, productCode}))
        return false;
    if (!writeHistory)
        return true;
    return ctx.db.exec(
        QStringLiteral("INSERT INTO tb_prdnum_record(SaleManID, prdCode, addNum, addType, addDate, "
                       "Remark) VALUES(?, ?, ?, ?, ?, ?)"),
        {ctx.op.id, productCode, change, kind, ctx.db.dateTimeValue(Clock::instance().now()), remark});
}

QString DrawOrderNo() {
    // Numbers handed out in the current second by this process; the database catches the rest
    // (and the unique index catches another till drawing the same number at the same moment).
    static QMutex mutex;
    static QString second;
    static QSet<int> issued;
    const QMutexLocker lock(&mutex);
    for (;;) {
        const QString stamp = Clock::instance().now().toString(QStringLiteral("yyyyMMddHHmmss"));
        if (stamp != second) {
            second = stamp;
            issued.clear();
        }
        if (issued.size() < 89999) {
            for (;;) {
                const int n = 10000 + static_cast<int>(QRandomGenerator::global()->bounded(89999));
                if (!issued.contains(n)) {
                    issued.insert(n);
                    return stamp + QString::asprintf("%04d", n);
                }
            }
        }
        // Every number of this second is taken: the next second has a fresh supply.
        QThread::msleep(50);
    }
}

QString MakeOrderNo(AppContext& ctx) {
    for (;;) {
        const QString number = DrawOrderNo();
        auto used = ctx.db.scalar(QStringLiteral("SELECT 1 FROM tb_orders WHERE OrderNo = ?"), {number});
        if (!used)
            return number;
    }
}

bool ProductCodeExists(AppContext& ctx, const QString& code, int excludeId) {
    return ctx.db
        .scalar(QStringLiteral("SELECT ID FROM tb_product WHERE trim(PrdCode) = ? AND ID <> ?"),
                {code.trimmed(), excludeId})
        .has_value();
}

bool ProductNameExists(AppContext& ctx, const QString& name, int excludeId) {
    return ctx.db
        .scalar(QStringLiteral("SELECT ID FROM tb_product WHERE trim(PrdName) = ? AND ID <> ?"),
                {name.trimmed(), excludeId})
        .has_value();
}

int FindCategoryByName(AppContext& ctx, const QString& name) {
    const QString trimmed = name.trimmed();
    if (trimmed.isEmpty())
        return 0;
    auto v = ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_productTypes WHERE PrdTypeName = ? ORDER BY ID"),
                           {trimmed});
    return v ? v->toInt() : 0;
}

QList<std::pair<QString, int>> OperatorChoices(AppContext& ctx) {
    QList<std::pair<QString, int>> choices{{QStringLiteral("所有员工"), 0}};
    if (auto q = ctx.db.select(QStringLiteral("SELECT ID, TrueName FROM tb_manager ORDER BY ID"))) {
        while (q->next())
            choices.append({q->value(1).toString(), q->value(0).toInt()});
    }
    return choices;
}

int CheckOperatorPassword(AppContext& ctx, int operatorId, const QString& typed) {
    auto q = ctx.db.select(QStringLiteral("SELECT PWD FROM tb_manager WHERE ID = ?"), {operatorId});
    if (!q)
        return -1;
    if (!q->next())
        return 0;
    const PasswordCheck check = VerifyPassword(typed, q->value(0).toString());
    q->finish();
    if (!check.matches)
        return 0;
    if (!check.rehash.isEmpty())
        ctx.db.exec(QStringLiteral("UPDATE tb_manager SET PWD = ? WHERE ID = ?"), {check.rehash, operatorId});
    return 1;
}

} // namespace selvo

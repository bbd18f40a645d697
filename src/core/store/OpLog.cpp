#include "core/store/OpLog.h"

#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"

namespace selvo {

namespace {
// Each kind is matched by the fixed form its line is written in, not by the word alone: a login
// line carries the operator's name and a member deletion the member's, and either may contain
// the word of another kind ("删除会员" as a name must not turn a login into a deletion).
QString kindPattern(OpLogKind kind) {
    switch (kind) {
    case OpLogKind::Login:
        // "<name>(<account>) 登陆成功   yyyy-MM-dd HH:mm:ss": the only lines ending in a time.
        return QStringLiteral("%) 登陆成功   ____-__-__ __:__:__");
    case OpLogKind::OrderCancel:
        return QStringLiteral("撤销订单，%");
    case OpLogKind::MemberDelete:
        return QStringLiteral("删除会员：%");
    case OpLogKind::All:
        break;
    }
    return {};
}
} // namespace

QStringList OpLogKindNames() {
    return {QStringLiteral("所有日志"), QStringLiteral("登陆"), QStringLiteral("撤销订单"),
            QStringLiteral("删除会员")};
}

QList<OpLogRow> QueryOpLog(AppContext& ctx, const OpLogFilter& filter) {
    QString sql = QStringLiteral("SELECT tb_manager.TrueName, tb_OpRecord.Content, tb_OpRecord.AddDate, "
                                 "tb_manager.ID FROM tb_OpRecord LEFT JOIN tb_manager ON "
                                 "tb_OpRecord.SaleManID = tb_manager.ID WHERE 1=1");
    QVariantList binds;
    if (filter.from.isValid()) {
        sql += QStringLiteral(" AND tb_OpRecord.AddDate >= ?");
        binds << ctx.db.dateTimeValue(filter.from.startOfDay());
    }
    if (filter.to.isValid()) {
        // Up to the next midnight, so every moment of the last day is inside.
        sql += QStringLiteral(" AND tb_OpRecord.AddDate < ?");
        binds << ctx.db.dateTimeValue(filter.to.addDays(1).startOfDay());
    }
    if (filter.operatorId != 0) {
        sql += QStringLiteral(" AND tb_manager.ID = ?");
        binds << filter.operatorId;
    }
    const QString pattern = kindPattern(filter.kind);
    if (!pattern.isEmpty()) {
        sql += QStringLiteral(" AND ") + ctx.db.likeClause(QStringLiteral("tb_OpRecord.Content"));
        binds << pattern;
    }
    sql += QStringLiteral(" ORDER BY tb_OpRecord.AddDate DESC LIMIT %1").arg(kOpLogLimit);

    QList<OpLogRow> rows;
    auto q = ctx.db.select(sql, binds);
    if (!q)
        return rows;
    while (q->next()) {
        OpLogRow row;
        row.operatorName = q->value(3).isNull() ? DeletedMark() : q->value(0).toString();
        row.content = q->value(1).toString();
        row.addDate = db::toDateTime(q->value(2));
        rows.append(row);
    }
    return rows;
}

} // namespace selvo

#include "core/members/MemberHistory.h"

#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"

#include <QSqlQuery>
#include <QTime>

namespace selvo {

namespace {

QString opTypeText(int opType) {
    return opType == 1 ? QStringLiteral("充值+") : QStringLiteral("扣款-");
}

} // namespace

QString RecordTimeText(const QString& stored) {
    const QString today = Clock::instance().now().date().toString(QStringLiteral("yyyy-MM-dd"));
    if (stored.size() > 11 && stored.startsWith(today) && stored.at(10) == QLatin1Char(' '))
        return QStringLiteral("今天 ") + stored.mid(11);
    return stored;
}

QString TopupRecordHeader(int column) {
    static const char* const kHeaders[] = {"会员姓名", "会员电话", "操作",       "客户缴费",
                                           "赠送金额", "合计充值", "充值前余额", "充值后余额",
                                           "充值时间", "操作员",   "备注"};
    return column >= 0 && column < TopupColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int TopupRecordWidth(int column) {
    static const int kWidths[] = {100, 100, 100, 100, 100, 100, 100, 100, 120, 100, 350};
    return column >= 0 && column < TopupColumnCount ? kWidths[column] : 0;
}

std::optional<TopupRecordPage> QueryTopupRecordPage(AppContext& ctx, const TopupRecordFilter& f,
                                                    const std::optional<TopupPageKey>& after, int limit) {
    QString where;
    QVariantList binds;
    if (f.from) {
        where += QStringLiteral(" AND tb_TopupRecord.AddDate >= ?");
        binds << ctx.db.dateTimeValue(QDateTime(*f.from, QTime(0, 0, 0)));
    }
    if (f.to) {
        where += QStringLiteral(" AND tb_TopupRecord.AddDate <= ?");
        binds << ctx.db.dateTimeValue(QDateTime(*f.to, QTime(23, 59, 59)));
    }
    if (f.memberId != -1) {
        where += QStringLiteral(" AND tb_TopupRecord.MemID = ?");
        binds << f.memberId;
    }
    if (f.operatorId != 0) {
        where += QStringLiteral(" AND tb_TopupRecord.SaleManID = ?");
        binds << f.operatorId;
    }
    const QString addDate = ctx.db.dateTimeTextOf(QStringLiteral("tb_TopupRecord.AddDate"));
    const QString head =
        QStringLiteral("SELECT tb_members.ID, tb_members.TrueName, tb_members.MobilePhone, "
                       "tb_manager.TrueName, tb_TopupRecord.OpType, tb_TopupRecord.Amount, "
                       "tb_TopupRecord.Giving, tb_TopupRecord.Total, tb_TopupRecord.BefBalance, "
                       "tb_TopupRecord.AftBalance, ") +
        addDate +
        QStringLiteral(", tb_TopupRecord.Remark FROM tb_TopupRecord "
                       "LEFT JOIN tb_members ON tb_TopupRecord.MemID = tb_members.ID "
                       "LEFT JOIN tb_manager ON tb_TopupRecord.SaleManID = tb_manager.ID WHERE 1=1") +
        where;
    const QString dash = QStringLiteral("-");
    QList<QString> dates;
    TopupRecordPage page;
    const auto read = [&](QSqlQuery& q) {
        while (q.next()) {
            const bool memberExists = !q.value(0).isNull();
            const bool recharge = q.value(4).toInt() == 1;
            dates.append(q.value(10).toString());
            page.rows.append(QStringList{
                memberExists ? q.value(1).toString() : DeletedMark(),
                memberExists ? q.value(2).toString() : QString(),
                opTypeText(q.value(4).toInt()),
                recharge ? FormatMoney(q.value(5).toDouble()) : dash,
                recharge ? FormatMoney(q.value(6).toDouble()) : dash,
                FormatMoney(q.value(7).toDouble()),
                FormatMoney(q.value(8).toDouble()),
                FormatMoney(q.value(9).toDouble()),
                RecordTimeText(q.value(10).toString()),
                q.value(3).isNull() ? DeletedMark() : q.value(3).toString(),
                q.value(11).toString(),
            });
        }
    };
    // Each page goes on below the last second of the one before through the AddDate index, so a
    // page deep in a million records costs what the first one does. The records have no key of
    // their own to break ties within a second: a page therefore ends with the whole of its last
    // second, read apart.
    QVariantList firstBinds = binds;
    QString firstSql = head;
    if (after) {
        firstSql += QStringLiteral(" AND tb_TopupRecord.AddDate < ?");
        firstBinds << after->addDate;
    }
    firstBinds << limit;
    auto q =
        ctx.db.select(firstSql + QStringLiteral(" ORDER BY tb_TopupRecord.AddDate DESC LIMIT ?"), firstBinds);
    if (!q)
        return std::nullopt;
    read(*q);
    if (dates.isEmpty())
        return page;
    const QString lastSecond = dates.last();
    page.last = TopupPageKey{lastSecond};
    if (dates.size() < limit)
        return page;
    while (!dates.isEmpty() && dates.last() == lastSecond) {
        dates.removeLast();
        page.rows.removeLast();
    }
    QVariantList secondBinds = binds;
    secondBinds << lastSecond;
    auto rest = ctx.db.select(head + QStringLiteral(" AND tb_TopupRecord.AddDate = ?"), secondBinds);
    if (!rest)
        return std::nullopt;
    read(*rest);
    return page;
}

QString MemberOrderHeader(int column) {
    static const char* const kHeaders[] = {"消费时间", "订单类型", "价格", "支付方式", "操作员"};
    return column >= 0 && column < MemOrderColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int MemberOrderWidth(int column) {
    static const int kWidths[] = {120, 80, 120, 80, 80};
    return column >= 0 && column < MemOrderColumnCount ? kWidths[column] : 0;
}

QString MemberTopupHeader(int column) {
    static const char* const kHeaders[] = {"充值时间", "充值类型", "合计充值", "操作员", "备注"};
    return column >= 0 && column < MemTopupColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int MemberTopupWidth(int column) {
    static const int kWidths[] = {120, 80, 120, 80, 260};
    return column >= 0 && column < MemTopupColumnCount ? kWidths[column] : 0;
}

std::optional<QList<QStringList>> QueryMemberOrders(AppContext& ctx, int memberId, int limit) {
    auto q = ctx.db.select(
        QStringLiteral("SELECT ") + ctx.db.dateTimeTextOf(QStringLiteral("tb_orders.SaleDate")) +
            QStringLiteral(", tb_orders.OrderType, tb_orders.Integral, "
                           "tb_orders.RealTotalPrice, tb_orders.PayType, tb_manager.TrueName "
                           "FROM tb_orders LEFT JOIN tb_manager "
                           "ON tb_orders.SaleManID = tb_manager.ID WHERE tb_orders.MemID = ? "
                           "ORDER BY tb_orders.SaleDate DESC, tb_orders.ID DESC LIMIT ?"),
        {memberId, limit});
    if (!q)
        return std::nullopt;
    QList<QStringList> rows;
    while (q->next()) {
        const int orderType = q->value(1).isNull() ? OrderSale : q->value(1).toInt();
        rows.append(QStringList{
            q->value(0).toString(),
            OrderTypeText(orderType),
            orderType == OrderPointsExchange ? QString::number(q->value(2).toInt()) + QStringLiteral("积分")
                                             : FormatMoney(q->value(3).toDouble()),
            PayTypeText(q->value(4).toInt()),
            q->value(5).isNull() ? DeletedMark() : q->value(5).toString(),
        });
    }
    return rows;
}

std::optional<QList<QStringList>> QueryMemberTopups(AppContext& ctx, int memberId, int limit) {
    auto q = ctx.db.select(
        QStringLiteral("SELECT ") + ctx.db.dateTimeTextOf(QStringLiteral("tb_TopupRecord.AddDate")) +
            QStringLiteral(", tb_TopupRecord.OpType, tb_TopupRecord.Total, tb_manager.TrueName, "
                           "tb_TopupRecord.Remark FROM tb_TopupRecord LEFT JOIN tb_manager "
                           "ON tb_TopupRecord.SaleManID = tb_manager.ID "
                           "WHERE tb_TopupRecord.MemID = ? "
                           "ORDER BY tb_TopupRecord.AddDate DESC LIMIT ?"),
        {memberId, limit});
    if (!q)
        return std::nullopt;
    QList<QStringList> rows;
    while (q->next()) {
        rows.append(QStringList{
            RecordTimeText(q->value(0).toString()),
            opTypeText(q->value(1).toInt()),
            FormatMoney(q->value(2).toDouble()),
            // A deleted operator: the same mark as every other list.
            q->value(3).isNull() ? DeletedMark() : q->value(3).toString(),
            q->value(4).toString(),
        });
    }
    return rows;
}

QString MemberHistoryCaption(AppContext& ctx, int memberId) {
    return GetMemberLabel(ctx, memberId) + QStringLiteral("的消费/充值记录  最多显示500条");
}

} // namespace selvo

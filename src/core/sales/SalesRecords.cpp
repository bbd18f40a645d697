#include "core/sales/SalesRecords.h"

#include "core/db/DaySums.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"

#include <QSqlRecord>
#include <QTime>

#include <cmath>

namespace selvo {

namespace {

struct Fragments {
    QString orders;
    QVariantList orderBinds;
    QString recharges;
    QVariantList rechargeBinds;
};

// The filter as condition fragments with bound values, for the orders and for the recharge records.
// `qualified` writes the order columns with their table, for the joined list statement.
Fragments buildFilter(AppContext& ctx, const SalesRecordFilter& f, bool qualified) {
    Fragments out;
    const QString t = qualified ? QStringLiteral("tb_orders.") : QString();
    const auto both = [&](const QString& orderSql, const QString& rechargeSql, const QVariant& value) {
        out.orders += orderSql;
        out.recharges += rechargeSql;
        if (value.isValid()) {
            out.orderBinds << value;
            out.rechargeBinds << value;
        }
    };
    if (f.customer == SalesRecordFilter::Members) {
        if (f.memberId > 0)
            both(QStringLiteral(" AND %1MemID = ?").arg(t), QStringLiteral(" AND MemID = ?"), f.memberId);
        else
            both(QStringLiteral(" AND %1MemID <> -1").arg(t), QStringLiteral(" AND MemID <> -1"), {});
    } else if (f.customer == SalesRecordFilter::Guests) {
        both(QStringLiteral(" AND %1MemID = -1").arg(t), QStringLiteral(" AND MemID = -1"), {});
    }
    if (f.payType != 0) {
        out.orders += QStringLiteral(" AND %1PayType = ?").arg(t);
        out.orderBinds << f.payType;
    }
    if (f.orderType != 0) {
        out.orders += QStringLiteral(" AND %1OrderType = ?").arg(t);
        out.orderBinds << f.orderType;
    }
    if (f.operatorId != 0)
        both(QStringLiteral(" AND %1SaleManID = ?").arg(t), QStringLiteral(" AND SaleManID = ?"),
             f.operatorId);
    if (f.from) {
        const QVariant v = ctx.db.dateTimeValue(QDateTime(*f.from, QTime(0, 0, 0)));
        out.orders += QStringLiteral(" AND %1SaleDate >= ?").arg(t);
        out.orderBinds << v;
        out.recharges += QStringLiteral(" AND AddDate >= ?");
        out.rechargeBinds << v;
    }
    if (f.to) {
        const QVariant v = ctx.db.dateTimeValue(QDateTime(*f.to, QTime(23, 59, 59)));
        out.orders += QStringLiteral(" AND %1SaleDate <= ?").arg(t);
        out.orderBinds << v;
        out.recharges += QStringLiteral(" AND AddDate <= ?");
        out.rechargeBinds << v;
    }
    return out;
}

// "yyyy-MM-dd HH:mm:ss" naming a real date and time.
bool isShownDateTime(QStringView s) {
    if (s.size() != 19 || s[4] != u'-' || s[7] != u'-' || s[10] != u' ' || s[13] != u':' || s[16] != u':')
        return false;
    const auto number = [&](int at, int length) {
        int n = 0;
        for (int i = at; i < at + length; ++i) {
            if (!s[i].isDigit() || s[i].unicode() > '9')
                return -1;
            n = n * 10 + (s[i].unicode() - '0');
        }
        return n;
    };
    return QDate::isValid(number(0, 4), number(5, 2), number(8, 2)) &&
           QTime::isValid(number(11, 2), number(14, 2), number(17, 2));
}

QString dateText(const QVariant& v) {
    // SQLite hands back the stored text, already as shown; reading it as a local date-time costs
    // a time-zone lookup (a system call) per value, 1,000 per list.
    if (v.typeId() == QMetaType::QString) {
        const QString s = v.toString();
        if (isShownDateTime(s))
            return s;
    }
    return db::toDateTime(v).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

} // namespace

QString SalesRecordHeader(int column) {
    static const char* const kHeaders[] = {
        "订单流水号", "客户姓名", "客户手机号", "订单类型", "商品总价值", "成交价", "支付方式",     "收款",
        "找零",       "商品数量", "获得积分",   "售货员",   "消费时间",   "备注",   "订单生成时间", "利润"};
    return column >= 0 && column < RecColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int SalesRecordWidth(int column) {
    static const int kWidths[] = {130, 80, 90, 60, 80, 80, 60, 80, 80, 60, 60, 80, 120, 100, 120, 100};
    return column >= 0 && column < RecColumnCount ? kWidths[column] : 0;
}

QString SalesLineHeader(int column) {
    static const char* const kHeaders[] = {"序号", "产品编号", "产品名称", "计量",     "单价",
                                           "折扣", "折扣价",   "总价",     "所得积分", "利润"};
    return column >= 0 && column < LineColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int SalesLineWidth(int column) {
    static const int kWidths[] = {40, 130, 300, 70, 80, 80, 80, 100, 100, 100};
    return column >= 0 && column < LineColumnCount ? kWidths[column] : 0;
}

QString SalesSummary::ordersLine() const {
    return QStringLiteral("现金支付:￥ %1元 / 余额支付:￥ %2元 / 积分支付:%3 / 利润:￥ %4元")
        .arg(QString::asprintf("%0.02f", cash), QString::asprintf("%0.02f", balance), QString::number(points),
             QString::asprintf("%0.02f", profit));
}

QString SalesSummary::rechargesLine() const {
    return QStringLiteral("充值收银:￥ %1元 / 充值赠送:￥ %2元 / 扣除余额:￥ %3元")
        .arg(QString::asprintf("%0.02f", recharged), QString::asprintf("%0.02f", bonus),
             QString::asprintf("%0.02f", deducted));
}

namespace {

// The order sums straight from tb_orders.
bool orderSumsFromRows(AppContext& ctx, const Fragments& f, SalesSummary& s) {
    // Each sum keeps its own payment condition on top of the filter, so a payment filter
    // leaves the other payments' sums at 0.
    auto orders = ctx.db.select(QStringLiteral("SELECT sum(CASE WHEN PayType = 1 THEN RealTotalPrice END), "
                                               "sum(CASE WHEN PayType = 2 THEN RealTotalPrice END), "
                                               "sum(CASE WHEN PayType = 3 THEN Integral END), sum(Profits) "
                                               "FROM tb_orders WHERE 1=1") +
                                    f.orders,
                                f.orderBinds);
    if (!orders || !orders->next())
        return false;
    s.cash = orders->value(0).toDouble();
    s.balance = orders->value(1).toDouble();
    s.points = static_cast<qint64>(std::trunc(orders->value(2).toDouble()));
    s.profit = orders->value(3).toDouble();
    return true;
}

// The recharge sums straight from tb_TopupRecord.
bool topupSumsFromRows(AppContext& ctx, const Fragments& f, SalesSummary& s) {
    auto topups = ctx.db.select(QStringLiteral("SELECT sum(CASE WHEN OpType = 1 THEN Amount END), "
                                               "sum(CASE WHEN OpType = 1 THEN Giving END), "
                                               "sum(CASE WHEN OpType = 0 THEN Total END) "
                                               "FROM tb_TopupRecord WHERE OpType IN (0, 1)") +
                                    f.recharges,
                                f.rechargeBinds);
    if (!topups || !topups->next())
        return false;
    s.recharged = topups->value(0).toDouble();
    s.bonus = topups->value(1).toDouble();
    s.deducted = topups->value(2).toDouble();
    return true;
}

enum class DaySums { Read, Unanswerable, Failed };

// Reads `sums` from a day-sum table (see DaySums.h) under the customer, code and date parts of the
// filter. Unanswerable for a single member, for the stand-in of NULL as a code, and for a date
// filter while some rows' dates cannot be placed on a day.
DaySums readDaySums(AppContext& ctx, const SalesRecordFilter& f, const QString& table,
                    const QString& dayColumn, const QList<std::pair<const char*, int>>& codes,
                    const QString& sums, QVariantList& out) {
    if (f.customer == SalesRecordFilter::Members && f.memberId > 0)
        return DaySums::Unanswerable;
    QString where;
    QVariantList binds;
    if (f.customer == SalesRecordFilter::Members)
        where += QStringLiteral(" AND CustKind = 1");
    else if (f.customer == SalesRecordFilter::Guests)
        where += QStringLiteral(" AND CustKind = 2");
    for (const auto& [column, value] : codes) {
        if (value == 0)
            continue;
        if (value == db::kDaySumNoValue)
            return DaySums::Unanswerable;
        where += QStringLiteral(" AND %1 = ?").arg(QLatin1String(column));
        binds << value;
    }
    const bool dated = f.from || f.to;
    if (dated)
        where += QStringLiteral(" AND DateState = 0");
    if (f.from) {
        where += QStringLiteral(" AND %1 >= ?").arg(dayColumn);
        binds << f.from->toString(Qt::ISODate);
    }
    if (f.to) {
        where += QStringLiteral(" AND %1 <= ?").arg(dayColumn);
        binds << f.to->toString(Qt::ISODate);
    }
    // The last column counts the rows that keep a date filter from being answered here.
    const QString undated = dated ? QStringLiteral("(SELECT count(*) FROM %1 WHERE DateState = 2)").arg(table)
                                  : QStringLiteral("0");
    auto q = ctx.db.select(
        QStringLiteral("SELECT %1, %2 FROM %3 WHERE 1=1").arg(sums, undated, table) + where, binds);
    if (!q || !q->next())
        return DaySums::Failed;
    const int undatedColumn = q->record().count() - 1;
    if (q->value(undatedColumn).toLongLong() > 0)
        return DaySums::Unanswerable;
    out.clear();
    for (int i = 0; i < undatedColumn; ++i)
        out << q->value(i);
    return DaySums::Read;
}

} // namespace

std::optional<SalesSummary> QuerySalesSummary(AppContext& ctx, const SalesRecordFilter& filter) {
    const Fragments f = buildFilter(ctx, filter, false);
    SalesSummary s;
    QVariantList sums;
    switch (readDaySums(
        ctx, filter, QStringLiteral("tb_OrderDaySums"), QStringLiteral("SaleDay"),
        {{"PayType", filter.payType}, {"OrderType", filter.orderType}, {"SaleManID", filter.operatorId}},
        QStringLiteral("sum(CASE WHEN PayType = 1 THEN RealTotal END), "
                       "sum(CASE WHEN PayType = 2 THEN RealTotal END), "
                       "sum(CASE WHEN PayType = 3 THEN Points END), sum(Profits)"),
        sums)) {
    case DaySums::Failed:
        return std::nullopt;
    case DaySums::Unanswerable:
        if (!orderSumsFromRows(ctx, f, s))
            return std::nullopt;
        break;
    case DaySums::Read:
        s.cash = sums[0].toDouble();
        s.balance = sums[1].toDouble();
        s.points = static_cast<qint64>(std::trunc(sums[2].toDouble()));
        s.profit = sums[3].toDouble();
        break;
    }
    switch (readDaySums(ctx, filter, QStringLiteral("tb_TopupDaySums"), QStringLiteral("AddDay"),
                        {{"SaleManID", filter.operatorId}},
                        QStringLiteral("sum(CASE WHEN OpType = 1 THEN Amount END), "
                                       "sum(CASE WHEN OpType = 1 THEN Giving END), "
                                       "sum(CASE WHEN OpType = 0 THEN Total END)"),
                        sums)) {
    case DaySums::Failed:
        return std::nullopt;
    case DaySums::Unanswerable:
        if (!topupSumsFromRows(ctx, f, s))
            return std::nullopt;
        break;
    case DaySums::Read:
        s.recharged = sums[0].toDouble();
        s.bonus = sums[1].toDouble();
        s.deducted = sums[2].toDouble();
        break;
    }
    return s;
}

std::optional<SalesSummary> QuerySalesSummaryFromRows(AppContext& ctx, const SalesRecordFilter& filter) {
    const Fragments f = buildFilter(ctx, filter, false);
    SalesSummary s;
    if (!orderSumsFromRows(ctx, f, s) || !topupSumsFromRows(ctx, f, s))
        return std::nullopt;
    return s;
}

SalesRecords QuerySalesRecords(AppContext& ctx, const SalesRecordFilter& filter, int limit) {
    const std::optional<SalesSummary> summary = QuerySalesSummary(ctx, filter);
    SalesRecords out = QuerySalesList(ctx, filter, limit);
    out.summary = summary;
    return out;
}

SalesRecords QuerySalesList(AppContext& ctx, const SalesRecordFilter& filter, int limit) {
    SalesRecords out;
    const Fragments f = buildFilter(ctx, filter, true);
    QVariantList binds = f.orderBinds;
    binds << limit;
    auto q = ctx.db.select(
        QStringLiteral(
            "SELECT tb_orders.ID, tb_orders.OrderNo, tb_orders.MemID, tb_members.ID, "
            "tb_members.TrueName, tb_members.MobilePhone, tb_orders.OrderType, tb_orders.TotalPrice, "
            "tb_orders.RealTotalPrice, tb_orders.PayType, tb_orders.GetMoney, tb_orders.Change, "
            "tb_orders.PrdSum, tb_orders.Integral, tb_manager.TrueName, %1, "
            "tb_orders.Remark, %2, tb_orders.Profits "
            "FROM tb_orders LEFT JOIN tb_members ON tb_orders.MemID = tb_members.ID "
            "LEFT JOIN tb_manager ON tb_orders.SaleManID = tb_manager.ID WHERE 1=1")
                .arg(ctx.db.dateTimeTextOf(QStringLiteral("tb_orders.SaleDate")),
                     ctx.db.dateTimeTextOf(QStringLiteral("tb_orders.AddDate"))) +
            f.orders + QStringLiteral(" ORDER BY tb_orders.SaleDate DESC, tb_orders.ID DESC LIMIT ?"),
        binds);
    if (!q)
        return out;
    out.listOk = true;
    while (q->next()) {
        SalesRecordRow row;
        row.id = q->value(0).toInt();
        row.orderNo = q->value(1).toString();
        const int memberId = q->value(2).toInt();
        const bool memberExists = !q->value(3).isNull();
        const int orderType = q->value(6).isNull() ? OrderSale : q->value(6).toInt();
        const int payType = q->value(9).toInt();
        const bool noCash = payType == PayBalance || payType == PayPoints;
        const QString dash = QStringLiteral("-");
        QString customer;
        if (IsWalkIn(memberId))
            customer = QStringLiteral("散客消费");
        else if (!memberExists)
            customer = DeletedMark();
        else
            customer = q->value(4).toString();
        row.texts = QStringList{
            row.orderNo,
            customer,
            memberExists && !IsWalkIn(memberId) ? q->value(5).toString() : QString(),
            OrderTypeText(orderType),
            FormatMoney(std::fabs(q->value(7).toDouble())),
            payType == PayPoints ? dash : FormatMoney(q->value(8).toDouble()),
            PayTypeText(payType),
            noCash ? dash : FormatMoney(q->value(10).toDouble()),
            noCash ? dash : FormatMoney(q->value(11).toDouble()),
            FormatQuantity(q->value(12).toDouble()),
            QString::number(q->value(13).toInt()),
            q->value(14).isNull() ? DeletedMark() : q->value(14).toString(),
            dateText(q->value(15)),
            q->value(16).toString(),
            dateText(q->value(17)),
            FormatAmount(q->value(18).toDouble()),
        };
        out.rows.append(row);
    }
    return out;
}

std::optional<QList<QStringList>> QueryOrderLineTexts(AppContext& ctx, const QString& orderNo) {
    auto q = ctx.db.select(QStringLiteral("SELECT tb_product.PrdCode, tb_product.MeasuringUnit, "
                                          "tb_order_lines.PrdName, tb_order_lines.PrdNum, "
                                          "tb_order_lines.PrdPrice, tb_order_lines.DisCount, "
                                          "tb_order_lines.DisCountPrice, tb_order_lines.TotalPrice, "
                                          "tb_order_lines.Integral, tb_order_lines.Profits "
                                          "FROM tb_order_lines LEFT JOIN tb_product "
                                          "ON tb_order_lines.PrdCode = tb_product.PrdCode "
                                          "WHERE tb_order_lines.OrderNo = ?"),
                           {orderNo});
    if (!q)
        return std::nullopt;
    QList<QStringList> lines;
    while (q->next()) {
        lines.append(QStringList{
            QString::number(lines.size() + 1),
            q->value(0).isNull() ? DeletedMark() : q->value(0).toString(),
            q->value(2).toString(),
            FormatQuantity(q->value(3).toDouble()) + QLatin1Char(' ') + q->value(1).toString(),
            FormatMoney(q->value(4).toDouble()),
            q->value(5).isNull() ? QString() : FormatQuantity(q->value(5).toDouble()),
            FormatMoney(q->value(6).toDouble()),
            FormatMoney(q->value(7).toDouble()),
            QString::number(q->value(8).toInt()),
            FormatMoney(q->value(9).toDouble()),
        });
    }
    return lines;
}

QString CancelLogText(const QStringList& rowTexts) {
    const auto at = [&](int column) {
        return rowTexts.value(column);
    };
    return QStringLiteral("撤销订单，订单详情（会员：%1;  电话：%2; 订单类型：%3; 价格:%4; 支付方式:%5 )")
        .arg(at(RecCustomer), at(RecMobile), at(RecOrderType), at(RecTotalValue), at(RecPayType));
}

QString SalesRecordExportName() {
    return QStringLiteral("销售记录") +
           Clock::instance().now().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")) + QStringLiteral(".csv");
}

} // namespace selvo

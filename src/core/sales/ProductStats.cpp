#include "core/sales/ProductStats.h"

#include "core/store/AppContext.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"

#include <QTime>

#include <cmath>

namespace selvo {

namespace {

// The payment and date conditions on tb_order_lines, with their bound values.
QString lineConditions(AppContext& ctx, const ProductStatsFilter& f, QVariantList& binds) {
    QString sql;
    if (f.payType == PayCash || f.payType == PayBalance) {
        sql += QStringLiteral(" AND tb_order_lines.PayType = ?");
        binds << f.payType;
    } else {
        sql += QStringLiteral(" AND tb_order_lines.PayType IN (1, 2)");
    }
    if (f.from) {
        sql += QStringLiteral(" AND tb_order_lines.SaleDate >= ?");
        binds << ctx.db.dateTimeValue(QDateTime(*f.from, QTime(0, 0, 0)));
    }
    if (f.to) {
        sql += QStringLiteral(" AND tb_order_lines.SaleDate <= ?");
        binds << ctx.db.dateTimeValue(QDateTime(*f.to, QTime(23, 59, 59)));
    }
    return sql;
}

} // namespace

QString ProductStatsHeader(int column) {
    static const char* const kHeaders[] = {"产品编号",   "产品名称", "单价", "参考进价", "销售总数量",
                                           "销售总金额", "总成本",   "利润", "毛利率"};
    return column >= 0 && column < StatColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int ProductStatsWidth(int column) {
    static const int kWidths[] = {130, 80, 90, 90, 100, 100, 100, 100, 80};
    return column >= 0 && column < StatColumnCount ? kWidths[column] : 0;
}

QString ProductDetailHeader(int column) {
    static const char* const kHeaders[] = {"订单号", "会员姓名(手机号)", "订单类型",   "支付类型", "产品名称",
                                           "数量",   "总金额",           "订单总金额", "消费时间"};
    return column >= 0 && column < DetailColumnCount ? QString::fromUtf8(kHeaders[column]) : QString();
}

int ProductDetailWidth(int column) {
    static const int kWidths[] = {120, 150, 80, 80, 90, 100, 100, 100, 120};
    return column >= 0 && column < DetailColumnCount ? kWidths[column] : 0;
}

QString GrossMarginText(double takings, double profit) {
    if (takings > -0.00001 && takings < 0.00001)
        return QStringLiteral("-");
    return QString::asprintf("%.2f%%", profit * 100 / std::fabs(takings));
}

std::optional<QList<QStringList>> QueryProductStats(AppContext& ctx, const ProductStatsFilter& filter) {
    QVariantList binds;
    const QString where = lineConditions(ctx, filter, binds);
    // Each engine adds up a range of lines its own fastest way. SQLite walks the catalogue in code
    // order (CROSS JOIN keeps the products as the outer loop) and reads each product's lines of the
    // range from the covering (PrdCode, SaleDate, ...) index, so the groups come out in order with
    // no sort of the range's lines. PostgreSQL reads the range from the covering (SaleDate, ...)
    // index and hashes it into groups first; a loop over the catalogue costs it more. Products no
    // longer in the catalogue, and products without lines in the range, drop out of the inner join.
    const QString sql =
        ctx.db.engine() == db::Engine::Sqlite
            ? QStringLiteral("SELECT tb_product.PrdCode, tb_product.PrdName, tb_product.Price, "
                             "tb_product.PurchasePrice, sum(tb_order_lines.PrdNum), "
                             "sum(tb_order_lines.Profits), sum(tb_order_lines.TotalPrice), "
                             "sum(tb_order_lines.PrdPurchasePrice * tb_order_lines.PrdNum) FROM tb_product "
                             "CROSS JOIN tb_order_lines ON tb_order_lines.PrdCode = tb_product.PrdCode") +
                  where + QStringLiteral(" GROUP BY tb_product.PrdCode ORDER BY tb_product.PrdCode")
            : QStringLiteral(
                  "SELECT tb_product.PrdCode, tb_product.PrdName, tb_product.Price, "
                  "tb_product.PurchasePrice, s.Num, s.Profits, s.Takings, s.Cost FROM (SELECT "
                  "PrdCode, sum(PrdNum) AS Num, sum(Profits) AS Profits, sum(TotalPrice) AS "
                  "Takings, sum(PrdPurchasePrice * PrdNum) AS Cost FROM tb_order_lines WHERE 1=1") +
                  where +
                  QStringLiteral(
                      " GROUP BY PrdCode) s INNER JOIN tb_product ON tb_product.PrdCode = s.PrdCode "
                      "ORDER BY tb_product.PrdCode");
    auto q = ctx.db.select(sql, binds);
    if (!q)
        return std::nullopt;
    QList<QStringList> rows;
    while (q->next()) {
        const double takings = q->value(6).toDouble();
        const double profit = q->value(5).toDouble();
        rows.append(QStringList{
            q->value(0).toString(),
            q->value(1).toString(),
            FormatMoney(q->value(2).toDouble()),
            FormatMoney(q->value(3).toDouble()),
            FormatQuantity(q->value(4).toDouble()),
            FormatMoney(takings),
            FormatMoney(q->value(7).toDouble()),
            FormatMoney(profit),
            GrossMarginText(takings, profit),
        });
    }
    return rows;
}

std::optional<QList<QStringList>> QueryProductStatDetails(AppContext& ctx, const QString& productCode,
                                                          const ProductStatsFilter& filter) {
    QVariantList binds{productCode};
    const QString where = lineConditions(ctx, filter, binds);
    auto q = ctx.db.select(
        QStringLiteral("SELECT tb_order_lines.OrderNo, tb_members.TrueName, tb_members.MobilePhone, "
                       "tb_orders.OrderType, tb_order_lines.PayType, tb_order_lines.PrdName, "
                       "tb_order_lines.PrdNum, tb_order_lines.TotalPrice, tb_orders.RealTotalPrice, ") +
            ctx.db.dateTimeTextOf(QStringLiteral("tb_order_lines.SaleDate")) +
            QStringLiteral(
                " FROM tb_order_lines INNER JOIN tb_orders ON tb_order_lines.OrderNo = tb_orders.OrderNo "
                "LEFT JOIN tb_members ON tb_order_lines.MemID = tb_members.ID "
                "WHERE tb_order_lines.PrdCode = ?") +
            where + QStringLiteral(" ORDER BY tb_order_lines.SaleDate DESC"),
        binds);
    if (!q)
        return std::nullopt;
    QList<QStringList> rows;
    while (q->next()) {
        // A walk-in guest, or a member deleted since, has no name.
        const QString member = q->value(1).isNull() ? QStringLiteral("散客消费")
                                                    : q->value(1).toString() + QLatin1Char('(') +
                                                          q->value(2).toString() + QLatin1Char(')');
        rows.append(QStringList{
            q->value(0).toString(), member,
            OrderTypeText(q->value(3).isNull() ? OrderSale : q->value(3).toInt()),
            PayTypeText(q->value(4).toInt()), q->value(5).toString(), FormatQuantity(q->value(6).toDouble()),
            FormatMoney(q->value(7).toDouble()), FormatMoney(q->value(8).toDouble()),
            q->value(9).toString().mid(2), // two-digit year
        });
    }
    return rows;
}

QString ProductStatsExportName() {
    return QStringLiteral("产品销售统计") +
           Clock::instance().now().toString(QStringLiteral("yyyy-MM-dd HH.mm.ss")) + QStringLiteral(".csv");
}

} // namespace selvo

#include "core/products/StockTake.h"

#include "core/sales/QuantityEdit.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <cmath>

namespace selvo {

namespace {
constexpr double kSameStock = 0.00001;

StockTakeResult refusal(const QString& text, bool refocus = true) {
    StockTakeResult r;
    r.message = text;
    r.refocus = refocus;
    return r;
}
} // namespace

StockTakeProduct LoadStockTakeProduct(AppContext& ctx, const QString& code) {
    StockTakeProduct p;
    auto q = ctx.db.select(
        QStringLiteral("SELECT PrdName, PrdInventory, MustIntNum FROM tb_product WHERE PrdCode = ?"), {code});
    if (!q || !q->next())
        return p;
    p.found = true;
    p.name = q->value(0).toString();
    p.stockText = FormatQuantity(q->value(1).toDouble());
    p.mustIntNum = q->value(2).toInt();
    return p;
}

StockTakeResult BookStockTake(AppContext& ctx, const QString& code, int mustIntNum, const QString& shownStock,
                              const QString& newStock, const QString& reason) {
    const double counted = ParseLeadingNumber(newStock);
    const bool isNumber = IsWholeNumberText(newStock);
    // "1e-1" has no decimal point but is no whole number either.
    if (mustIntNum == 1 &&
        (newStock.contains(QLatin1Char('.')) || (isNumber && counted != std::trunc(counted))))
        return refusal(QStringLiteral("必须输入整数"));
    if (!isNumber || std::fabs(counted) > kMaxQuantity)
        return refusal(QStringLiteral("请输入正确的数量"));
    if (counted < 0)
        return refusal(QStringLiteral("数量不能小于0"));
    const double difference = counted - ParseLeadingNumber(shownStock);
    if (difference > -kSameStock && difference < kSameStock)
        return refusal(QStringLiteral("请先调整库存量"));

    StockTakeResult result;
    const auto work = [&]() -> bool {
        result = {};
        auto stock =
            ctx.db.select(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = ?"), {code});
        if (!stock)
            return false;
        if (!stock->next()) {
            result = refusal(QStringLiteral("无法找到产品信息"), false);
            return false;
        }
        // Counted against what is stored now: another till may have sold some since the dialog opened.
        const double change = counted - stock->value(0).toDouble();
        stock.reset();
        if (std::fabs(change) < kSameStock)
            return true;
        if (!MoveStock(ctx, code, StockTake, true, reason, change))
            return false;
        result.change = change;
        return true;
    };
    if (db::runTransaction(ctx.db, work)) {
        result.ok = true;
        return result;
    }
    if (const QString trouble = DatabaseTroubleText(ctx.db); !trouble.isEmpty())
        result.message = trouble;
    else if (result.message.isEmpty())
        result.message = QStringLiteral("盘点失败，请重试！");
    result.ok = false;
    return result;
}

QList<StockTakeRecord> ListStockTakes(AppContext& ctx, const QString& code) {
    QList<StockTakeRecord> rows;
    auto q = ctx.db.select(
        QStringLiteral("SELECT m.TrueName, r.addDate, r.addNum, r.Remark FROM tb_prdnum_record r "
                       "INNER JOIN tb_manager m ON r.SaleManID = m.ID WHERE r.prdCode = ? AND r.addType = ? "
                       "ORDER BY r.addDate DESC LIMIT ?"),
        {code, int(StockTake), kStockTakeRecordLimit});
    if (!q)
        return rows;
    while (q->next())
        rows.append({q->value(0).toString(), db::toDateTime(q->value(1)), q->value(2).toDouble(),
                     q->value(3).toString()});
    return rows;
}

QString StockTakeRecordCaption(const QString& productName) {
    return QStringLiteral("盘点历史(") + productName + QStringLiteral(")  最多显示500条");
}

} // namespace selvo

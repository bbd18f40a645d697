#include "core/products/Purchasing.h"

#include "core/products/ProductPicker.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <QSet>

#include <algorithm>

namespace selvo {

namespace {
// Enough for any shop: a clash needs another till to draw the same number in the same second.
constexpr int kOrderNoAttempts = 20;

QString goneText() {
    return QStringLiteral("订单不存在或已被删除");
}

QString placeholders(qsizetype n) {
    QStringList marks;
    for (qsizetype i = 0; i < n; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

QString dateText(const QDateTime& when) {
    return when.toString(QStringLiteral("yy-MM-dd HH:mm:ss"));
}

// Moves stock of each (code, change) with a history row, products in code order (two tills
// moving the same goods lock them in the same order).
bool moveWithHistory(AppContext& ctx, QList<std::pair<QString, double>> changes, int kind) {
    std::stable_sort(changes.begin(), changes.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [code, change] : changes) {
        if (!MoveStock(ctx, code, kind, true, QString(), change))
            return false;
    }
    return true;
}
} // namespace

QString PurchaseHeader(int column, int mode) {
    static const char* const kHeaders[] = {"序号",       "商品名称", "进货数量", "采购单价(￥)", "折扣",
                                           "折扣价(￥)", "合计(￥)", "整数销售", "商品编号",     "计量单位"};
    if (column == PurColQuantity && mode == PurchaseReturn)
        return QStringLiteral("退货数量");
    if (column < 0 || column >= PurchaseColumnCount)
        return {};
    return QString::fromUtf8(kHeaders[column]);
}

QString PurchaseCaption(int mode) {
    return mode == PurchaseReturn ? QStringLiteral("退货出库") : QStringLiteral("采购入库");
}

QString PurchaseDoneText(int mode) {
    return mode == PurchaseReturn ? QStringLiteral("退货成功") : QStringLiteral("采购成功");
}

QList<SaleProduct> LoadPurchaseProducts(AppContext& ctx, const QString& pickedIds) {
    QList<SaleProduct> products;
    const QList<int> ids = ParsePickedIds(pickedIds);
    if (ids.isEmpty())
        return products;
    QVariantList binds;
    for (int id : ids)
        binds << id;
    auto q =
        ctx.db.select(QStringLiteral("SELECT ID, PrdCode, PrdName, MeasuringUnit, PurchasePrice, "
                                     "PrdInventory, PrdProperty, MustIntNum FROM tb_product WHERE ID IN (") +
                          placeholders(ids.size()) + QStringLiteral(") ORDER BY ID"),
                      binds);
    if (!q)
        return products;
    while (q->next()) {
        SaleProduct p;
        p.id = q->value(0).toInt();
        p.code = q->value(1).toString();
        p.name = q->value(2).toString();
        p.unit = q->value(3).toString();
        p.price = q->value(4).toDouble();
        p.cost = p.price;
        p.stock = q->value(5).toDouble();
        p.property = q->value(6).isNull() ? 0 : q->value(6).toInt();
        p.mustIntNum = q->value(7).toInt();
        products.append(p);
    }
    return products;
}

void PurchaseList::add(const QList<SaleProduct>& products) {
    for (const SaleProduct& p : products)
        m_cart.add(p, false);
}

QString PurchaseList::text(int row, int column) const {
    if (row < 0 || row >= m_cart.size())
        return {};
    const CartRow& r = m_cart.rows()[row];
    if (column == PurColName)
        return r.lineName();
    return r.text(column);
}

double PurchaseList::totalValue() const {
    return m_cart.totals(StoreSettings{}).discountedTotal;
}

int PurchaseList::itemCount() const {
    return m_cart.totals(StoreSettings{}).productCount;
}

QString PurchaseList::totalValueText() const {
    return FormatMoney(totalValue());
}

QString PaidMark(bool paid) {
    return paid ? QStringLiteral("√") : QStringLiteral("×");
}

QStringList PurchaseOrderColumns(const PurchaseOrder& order) {
    return {dateText(order.addDate),
            QString::asprintf("%g", order.total),
            order.buyer,
            order.code,
            PaidMark(order.paid),
            order.isReturn ? QStringLiteral("退货") : QStringLiteral("采购进货")};
}

PurchaseSaveResult SavePurchase(AppContext& ctx, const PurchaseList& list, int mode, bool paid) {
    PurchaseSaveResult result;
    if (list.isEmpty()) {
        result.message = QStringLiteral("请选择商品");
        return result;
    }
    const bool isReturn = mode == PurchaseReturn;
    const QList<CartRow>& rows = list.cart().rows();
    // Whoever filled the list: only sound figures are written.
    for (const CartRow& r : rows) {
        for (const double v : {r.price, r.discountPrice}) {
            if (!IsValidMoney(v)) {
                result.message = InvalidFigureText(QStringLiteral("商品“%1”的价格").arg(r.code), v);
                return result;
            }
        }
        if (!IsValidFigure(r.quantity) || !(r.quantity > 0)) {
            result.message = InvalidFigureText(QStringLiteral("商品“%1”的数量").arg(r.code), r.quantity);
            return result;
        }
    }
    if (!IsValidMoney(list.totalValue())) {
        result.message = InvalidFigureText(QStringLiteral("采购金额"), list.totalValue());
        return result;
    }
    const auto fail = [&](const QString& message, bool withDetail = true) {
        result.message = message;
        result.detail = withDetail ? ctx.db.lastError() : QString();
        return false;
    };
    const QString failedText =
        isReturn ? QStringLiteral("退货失败，请重试！") : QStringLiteral("采购失败，请重试！");

    const auto work = [&]() -> bool {
        result = {};
        // Another till may have deleted a product since it was added to the list.
        QVariantList codes;
        for (const CartRow& r : rows)
            codes << r.code;
        auto present = ctx.db.select(QStringLiteral("SELECT PrdCode FROM tb_product WHERE PrdCode IN (") +
                                         placeholders(codes.size()) + QLatin1Char(')'),
                                     codes);
        if (!present)
            return fail(failedText);
        QSet<QString> found;
        while (present->next())
            found.insert(present->value(0).toString());
        present.reset();
        for (const CartRow& r : rows) {
            if (!found.contains(r.code))
                return fail(QStringLiteral("无法找到产品信息"), false);
        }

        // Stored to the second; the opener shows the order as it was stored.
        QDateTime now = Clock::instance().now();
        now = now.addMSecs(-now.time().msec());
        const QVariant added = ctx.db.dateTimeValue(now);
        const double total = list.totalValue();
        QString number;
        for (int attempt = 0;; ++attempt) {
            ctx.db.clearLastError();
            number = QStringLiteral("CG") + MakeOrderNo(ctx);
            if (!ctx.db.lastError().isEmpty())
                return fail(failedText);
            db::Transaction savepoint(ctx.db);
            if (!savepoint.ok())
                return fail(failedText);
            if (ctx.db.exec(QStringLiteral("INSERT INTO tb_StorageIn_His(StoreInCode, SaleManID, totalPrice, "
                                           "IsPay, addDate, IsReturn) VALUES(?, ?, ?, ?, ?, ?)"),
                            {number, ctx.op.id, total, paid ? 1 : 0, added, isReturn ? 1 : 0})) {
                if (!savepoint.commit())
                    return fail(failedText);
                break;
            }
            const bool clash = ctx.db.lastErrorIsUniqueViolation();
            savepoint.rollback();
            if (!clash || attempt + 1 >= kOrderNoAttempts)
                return fail(failedText);
        }

        QList<std::pair<QString, double>> stock;
        for (int i = 0; i < rows.size(); ++i) {
            const CartRow& r = rows[i];
            // InNum keeps the whole part the quantity column starts with; MovedNum what the stock moves.
            const int wholePart = ParseLeadingInt(list.text(i, PurColQuantity));
            if (!ctx.db.exec(
                    QStringLiteral("INSERT INTO tb_StorageIn_His_details(StoreInCode, PrdCode, InPrice, "
                                   "InNum, SaleManID, addDate, IsReturn, DisCountPrice, DisCount, "
                                   "MovedNum) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                    {number, r.code, r.price, double(wholePart), ctx.op.id, added, isReturn ? 1 : 0,
                     r.discountPrice, r.discountValue(), r.quantity}))
                return fail(failedText);
            stock.append({r.code, isReturn ? -r.quantity : r.quantity});
        }
        if (!moveWithHistory(ctx, stock, isReturn ? StockPurchaseReturn : StockPurchaseIn))
            return fail(failedText);
        result.order = {number, ctx.op.id, ctx.op.name, total, paid, now, isReturn};
        return true;
    };
    if (db::runTransaction(ctx.db, work)) {
        result.ok = true;
        result.message.clear();
        result.detail.clear();
        return result;
    }
    if (!result.order.code.isEmpty()) {
        // The connection broke at COMMIT: a second try would book the goods twice.
        const QString cause = ctx.db.lastError();
        switch (db::CheckLostCommit(
            ctx.db, QStringLiteral("SELECT count(*) FROM tb_StorageIn_His WHERE StoreInCode = ?"),
            {result.order.code})) {
        case db::LostCommit::No:
            break;
        case db::LostCommit::Saved:
            result.ok = true;
            result.message.clear();
            result.detail.clear();
            return result;
        case db::LostCommit::Unknown:
            result.ok = false;
            result.message = OutcomeUnknownText(QStringLiteral("采购单 %1 ").arg(result.order.code),
                                                QStringLiteral("采购入库管理"));
            result.detail = cause;
            return result;
        }
    }
    if (!TakeDatabaseTrouble(ctx.db, result.message, result.detail) && result.message.isEmpty())
        fail(failedText);
    result.ok = false;
    return result;
}

QList<PurchaseOrder> ListPurchaseOrders(AppContext& ctx) {
    QList<PurchaseOrder> orders;
    auto q = ctx.db.select(
        QStringLiteral("SELECT h.StoreInCode, h.SaleManID, m.TrueName, h.totalPrice, h.IsPay, h.addDate, "
                       "h.IsReturn FROM tb_StorageIn_His h INNER JOIN tb_manager m ON h.SaleManID = m.ID "
                       "ORDER BY h.addDate DESC, h.StoreInCode DESC"));
    if (!q)
        return orders;
    while (q->next())
        orders.append({q->value(0).toString(), q->value(1).toInt(), q->value(2).toString(),
                       q->value(3).toDouble(), q->value(4).toInt() == 1, db::toDateTime(q->value(5)),
                       q->value(6).toInt() == 1});
    return orders;
}

QList<PurchaseLine> ListPurchaseLines(AppContext& ctx, const QString& code) {
    QList<PurchaseLine> lines;
    auto q = ctx.db.select(
        QStringLiteral("SELECT d.PrdCode, p.PrdName, d.InNum, d.InPrice, d.DisCount, d.DisCountPrice "
                       "FROM tb_StorageIn_His_details d INNER JOIN tb_product p ON d.PrdCode = p.PrdCode "
                       "WHERE d.StoreInCode = ?"),
        {code});
    if (!q)
        return lines;
    while (q->next())
        lines.append({q->value(0).toString(), q->value(1).toString(), q->value(2).toDouble(),
                      q->value(3).toDouble(), q->value(4).toDouble(), q->value(5).toDouble()});
    return lines;
}

QStringList PurchaseLineColumns(const PurchaseLine& line) {
    return {line.code,
            line.name,
            QString::asprintf("%g", line.quantity),
            QString::asprintf("%g", line.price),
            QString::asprintf("%.1f", line.discount),
            QString::asprintf("%.2f", line.discountPrice),
            QString::asprintf("%.2f", line.quantity * line.discountPrice)};
}

bool SetPurchasePaid(AppContext& ctx, const QString& code, bool paid) {
    int affected = 0;
    return ctx.db.exec(QStringLiteral("UPDATE tb_StorageIn_His SET IsPay = ? WHERE StoreInCode = ?"),
                       {paid ? 1 : 0, code}, &affected) &&
           affected == 1;
}

QString PurchaseCancelLogText(bool isReturn, const QString& totalText, const QString& buyer,
                              const QString& dateText) {
    return QStringLiteral("撤销%1，订单详情（总价：%2; 订单创建人：%3; 订单创建时间:%4)")
        .arg(isReturn ? QStringLiteral("采购退货单") : QStringLiteral("采购进货单"), totalText, buyer,
             dateText);
}

PurchaseCancelResult CancelPurchase(AppContext& ctx, const QString& code, const QString& totalText,
                                    const QString& buyer, const QString& dateText) {
    PurchaseCancelResult result;
    const QString failedText = QStringLiteral("撤销订单失败，请重试！");
    const auto fail = [&](const QString& message, bool withDetail = true) {
        result.message = message;
        result.detail = withDetail ? ctx.db.lastError() : QString();
        return false;
    };
    const auto work = [&]() -> bool {
        result = {};
        // Deleting the header first claims the order: a second till cancelling it at the same
        // moment waits here and then finds nothing to delete.
        int affected = 0;
        if (!ctx.db.exec(QStringLiteral("DELETE FROM tb_StorageIn_His WHERE StoreInCode = ?"), {code},
                         &affected))
            return fail(failedText);
        if (affected != 1)
            return fail(goneText(), false);
        QList<std::pair<QString, double>> stock;
        bool isReturn = false;
        {
            auto lines = ctx.db.select(QStringLiteral("SELECT PrdCode, InNum, MovedNum, IsReturn FROM "
                                                      "tb_StorageIn_His_details WHERE StoreInCode = ?"),
                                       {code});
            if (!lines)
                return fail(failedText);
            while (lines->next()) {
                if (stock.isEmpty())
                    isReturn = lines->value(3).toInt() == 1;
                // Lines written before MovedNum existed moved what InNum says.
                const double moved =
                    lines->value(2).isNull() ? lines->value(1).toDouble() : lines->value(2).toDouble();
                stock.append({lines->value(0).toString(), isReturn ? moved : -moved});
            }
        }
        if (stock.isEmpty()) {
            result.nothing = true;
            return false;
        }
        if (!ctx.db.exec(QStringLiteral("DELETE FROM tb_StorageIn_His_details WHERE StoreInCode = ?"),
                         {code}))
            return fail(failedText);
        if (!moveWithHistory(ctx, stock, isReturn ? StockPurchaseReturn : StockPurchaseDelete))
            return fail(failedText);
        if (!WriteOpLog(ctx, PurchaseCancelLogText(isReturn, totalText, buyer, dateText)))
            return fail(failedText);
        return true;
    };
    if (db::runTransaction(ctx.db, work)) {
        result = {};
        result.ok = true;
        return result;
    }
    // The connection broke at COMMIT: the header is gone when the cancellation was kept.
    const QString cause = ctx.db.lastError();
    switch (db::CheckLostCommit(ctx.db,
                                QStringLiteral("SELECT count(*) FROM tb_StorageIn_His WHERE StoreInCode = ?"),
                                {code}, false)) {
    case db::LostCommit::No:
        break;
    case db::LostCommit::Saved:
        result = {};
        result.ok = true;
        return result;
    case db::LostCommit::Unknown:
        result.message =
            OutcomeUnknownText(QStringLiteral("采购单 %1 的撤销").arg(code), QStringLiteral("采购入库管理"));
        result.detail = cause;
        return result;
    }
    if (!TakeDatabaseTrouble(ctx.db, result.message, result.detail) && !result.nothing &&
        result.message.isEmpty())
        fail(failedText);
    return result;
}

} // namespace selvo

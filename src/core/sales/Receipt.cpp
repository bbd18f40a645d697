#include "core/sales/Receipt.h"

#include "core/db/Database.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Money.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace selvo {

namespace {
constexpr int kLineCells = 36;

QString rule() {
    return QString(kLineCells, QLatin1Char('-'));
}

bool isWide(char32_t c) {
    // East Asian wide and full-width ranges: what a CJK monospace font draws two cells wide.
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
           (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
           (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
           (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}
} // namespace

int TextCells(const QString& text) {
    int cells = 0;
    for (const char32_t c : text.toUcs4())
        cells += isWide(c) ? 2 : 1;
    return cells;
}

QString PadRight(const QString& text, int cells) {
    const int n = cells - TextCells(text);
    return n > 0 ? text + QString(n, QLatin1Char(' ')) : text;
}

QString PadLeft(const QString& text, int cells) {
    const int n = cells - TextCells(text);
    return n > 0 ? QString(n, QLatin1Char(' ')) + text : text;
}

int Receipt::rowCount() const {
    int rows = 0;
    for (const ReceiptText& t : texts)
        rows = std::max(rows, t.row);
    return rows;
}

QStringList Receipt::row(int n) const {
    QStringList out;
    for (const ReceiptText& t : texts) {
        if (t.row == n)
            out << t.text;
    }
    return out;
}

Receipt BuildReceipt(AppContext& ctx, const QString& orderNo) {
    Receipt r;
    auto order =
        ctx.db.select(QStringLiteral("SELECT MemID, SaleManID, TotalPrice, RealTotalPrice, Integral, "
                                     "SaleDate, PayType, OrderType FROM tb_orders WHERE OrderNo = ?"),
                      {orderNo});
    if (!order || !order->next()) {
        r.failure = QStringLiteral("打开订单失败");
        return r;
    }
    const int memberId = order->value(0).toInt();
    const int operatorId = order->value(1).toInt();
    const double totalPrice = order->value(2).toDouble();
    const double realTotalPrice = order->value(3).toDouble();
    const int points = order->value(4).toInt();
    const QDateTime saleDate = db::toDateTime(order->value(5));
    const int payType = order->value(6).toInt();
    const int orderType = order->value(7).toInt();
    order->finish();

    auto lines = ctx.db.select(
        QStringLiteral("SELECT tb_order_lines.PrdName, tb_order_lines.PrdNum, tb_order_lines.TotalPrice, "
                       "tb_product.MeasuringUnit FROM tb_order_lines LEFT JOIN tb_product "
                       "ON tb_product.PrdCode = tb_order_lines.PrdCode WHERE tb_order_lines.OrderNo = ?"),
        {orderNo});
    if (!lines) {
        r.failure = QStringLiteral("打开订单详情失败");
        return r;
    }
    struct Line {
        QString name;
        double quantity;
        double total;
        QString unit;
    };
    QList<Line> items;
    while (lines->next()) {
        // A product deleted since has no unit: the column stays empty.
        items.append({lines->value(0).toString(), lines->value(1).toDouble(), lines->value(2).toDouble(),
                      lines->value(3).isNull() ? QString() : lines->value(3).toString()});
    }
    lines->finish();
    if (items.isEmpty()) {
        r.failure = QStringLiteral("无订单详情");
        return r;
    }

    const auto put = [&](int row, int column, const QString& text) {
        r.texts.append({row, column, text});
    };
    const QString& storeName = ctx.settings.storeName;
    const int blanks = (kLineCells - TextCells(storeName)) / 2;
    put(1, 0, (blanks > 0 ? QString(blanks, QLatin1Char(' ')) : QString()) + storeName);
    put(2, 0, QStringLiteral("单号:") + orderNo);
    const QString memberText = IsWalkIn(memberId) ? QStringLiteral("散客") : GetMemberLabel(ctx, memberId);
    put(3, 0, QStringLiteral("会员：") + PadRight(memberText, 8));
    put(4, 0,
        QStringLiteral("付款方式：") + PadRight(PayTypeText(payType), 8) + QStringLiteral("消费类型：") +
            PadRight(OrderTypeText(orderType), 15));
    put(5, 0, QStringLiteral("获得积分：") + QString::number(points));
    put(6, 0,
        PadRight(QStringLiteral("产品名称"), 14) + PadLeft(QStringLiteral("数量"), 6) +
            PadLeft(QStringLiteral("规格"), 4) + PadLeft(QStringLiteral("小计"), 8));
    put(7, 0, rule());
    int row = 8;
    for (const Line& item : items) {
        put(row, 0, item.name);
        put(row, 22, PadLeft(FormatQuantity(item.quantity), 4));
        put(row, 27, PadLeft(item.unit, 4));
        put(row, 33, PadLeft(FormatMoney(item.total), 10));
        ++row;
    }
    put(row++, 0, rule());
    put(row++, 0, QStringLiteral("产品金额:") + PadLeft(FormatMoney(totalPrice), 20));
    // An order without a list value (a fast sale paid with points) has no discount to show.
    const bool noDiscount = std::fabs(totalPrice) < 0.000001;
    put(row++, 0,
        QStringLiteral("折扣:") + (noDiscount
                                       ? PadLeft(QStringLiteral("-"), 24)
                                       : QString::asprintf("%24.1f", realTotalPrice * 10 / totalPrice)));
    put(row++, 0, QStringLiteral("折扣金额:") + PadLeft(FormatMoney(realTotalPrice), 20));
    put(row++, 0, rule());
    put(row++, 0, QStringLiteral("服务员:") + GetOperatorName(ctx, operatorId));
    put(row++, 0, QStringLiteral("结帐时间：") + saleDate.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    put(row, 0, ctx.settings.piaoInfo);
    r.ok = true;
    return r;
}

QList<QList<ReceiptText>> PaginateReceipt(const QList<ReceiptText>& texts, int rowsPerPage) {
    QList<QList<ReceiptText>> pages;
    const int perPage = std::max(1, rowsPerPage);
    for (const ReceiptText& t : texts) {
        const int page = (t.row - 1) / perPage;
        while (pages.size() <= page)
            pages.append(QList<ReceiptText>());
        pages[page].append({(t.row - 1) % perPage + 1, t.column, t.text});
    }
    return pages;
}

} // namespace selvo

#include "core/sales/Cart.h"

#include "core/store/AppContext.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <cmath>
#include <limits>

namespace selvo {

namespace {
constexpr double kTiny = 0.000001;

QString prefixFor(int property) {
    if (property == PropertySpecialOffer)
        return QStringLiteral("[特] ");
    if (property == PropertyGift)
        return QStringLiteral("[赠] ");
    return {};
}

SaleProduct productFrom(QSqlQuery& q) {
    SaleProduct p;
    p.id = q.value(0).toInt();
    p.code = q.value(1).toString();
    p.name = q.value(2).toString();
    p.unit = q.value(3).toString();
    p.price = q.value(4).toDouble();
    p.cost = q.value(5).toDouble();
    p.stock = q.value(6).toDouble();
    p.property = q.value(7).isNull() ? 0 : q.value(7).toInt();
    p.mustIntNum = q.value(8).toInt();
    return p;
}
} // namespace

std::optional<SaleProduct> LoadSaleProduct(AppContext& ctx, int productId) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT ID, PrdCode, PrdName, MeasuringUnit, Price, PurchasePrice, "
                                     "PrdInventory, PrdProperty, MustIntNum FROM tb_product WHERE ID = ?"),
                      {productId});
    if (!q || !q->next())
        return std::nullopt;
    return productFrom(*q);
}

int FindOnSaleProductByCode(AppContext& ctx, const QString& code) {
    if (code.trimmed().isEmpty())
        return 0;
    auto v = ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_product WHERE PrdCode = ? AND State = 1"),
                           {code.trimmed()});
    return v ? v->toInt() : 0;
}

QString CartHeader(int column) {
    static const char* const kHeaders[] = {"序号",     "商品名称 (库存)", "计量",     "单价(￥)",
                                           "折扣",     "折扣价(￥)",      "合计(￥)", "整数销售",
                                           "产品编码", "计量单位",        "成本价"};
    if (column < 0 || column >= CartColumnCount)
        return {};
    return QString::fromUtf8(kHeaders[column]);
}

double ShownQuantity(double quantity) {
    return ParseLeadingNumber(FormatQuantity(quantity));
}

double CartRow::lineTotal() const {
    return RoundCents(lineAmount());
}

double CartRow::discountValue() const {
    return ParseLeadingNumber(discount);
}

QString CartRow::text(int column) const {
    switch (column) {
    case ColRowNo:
        return QString::number(rowNo);
    case ColName:
        return prefix + name + QStringLiteral(" (") + FormatQuantity(stock) + QLatin1Char(')');
    case ColQuantity:
        return FormatQuantity(quantity) + QLatin1Char(' ') + unit;
    case ColPrice:
        return FormatMoney(price);
    case ColDiscount:
        return discount;
    case ColDiscountPrice:
        return FormatMoney(discountPrice);
    case ColLineTotal:
        return QLatin1Char('=') + FormatMoney(lineAmount());
    case ColMustInt:
        return QString::number(mustIntNum);
    case ColCode:
        return code;
    case ColUnit:
        return unit;
    case ColCost:
        return FormatAmount(cost);
    default:
        return {};
    }
}

double CartTotals::amountDue() const {
    return RoundCents(discountedTotal);
}

QString CartTotals::amountDueText() const {
    return FormatMoney(discountedTotal);
}

QString CheckCartHasProducts(const CartTotals& totals) {
    return totals.productCount < 1 ? QStringLiteral("请选择商品") : QString();
}

QString CheckAmountDue(const CartTotals& totals) {
    const double due = totals.amountDue();
    return due < 0 || IsZeroMoney(due) ? QStringLiteral("实收价格不能为0") : QString();
}

QString CartTotals::listTotalText() const {
    return FormatMoney(listTotal);
}

int PointsForAmount(double amount, int yuanToInteral) {
    // Rounded to the fen first, so 100.00 held as 99.999999 still earns its full points.
    const double whole = std::floor(RoundCents(amount));
    if (!(whole > 0) || yuanToInteral < 1)
        return 0;
    const double points = std::floor(whole / yuanToInteral);
    return points >= double(std::numeric_limits<int>::max()) ? std::numeric_limits<int>::max() : int(points);
}

int Cart::findProduct(int productId) const {
    for (int i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].productId == productId)
            return i;
    }
    return -1;
}

int Cart::add(const SaleProduct& product, bool increment) {
    int index = findProduct(product.id);
    double quantity = 1;
    if (index >= 0) {
        if (!increment)
            return index;
        quantity = m_rows[index].quantity + 1;
    } else {
        CartRow row;
        row.productId = product.id;
        // Numbered once, from the count at insertion: removing a row renumbers nothing.
        row.rowNo = int(m_rows.size()) + 1;
        m_rows.append(row);
        index = int(m_rows.size()) - 1;
    }
    CartRow& row = m_rows[index];
    row.prefix = prefixFor(product.property);
    row.name = product.name;
    row.stock = product.stock;
    row.quantity = ShownQuantity(quantity);
    row.unit = product.unit;
    row.price = RoundCents(product.price);
    row.discount = QStringLiteral("10");
    row.discountPrice = row.price;
    row.mustIntNum = product.mustIntNum;
    row.property = product.property;
    row.code = product.code;
    row.cost = RoundCents(product.cost);
    return index;
}

int Cart::append(const CartRow& row) {
    if (const int index = findProduct(row.productId); index >= 0)
        return index;
    m_rows.append(row);
    m_rows.last().rowNo = int(m_rows.size());
    return int(m_rows.size()) - 1;
}

void Cart::remove(int row) {
    if (row >= 0 && row < m_rows.size())
        m_rows.removeAt(row);
}

bool Cart::increment(int row) {
    if (row < 0 || row >= m_rows.size())
        return false;
    m_rows[row].quantity = ShownQuantity(m_rows[row].quantity + 1);
    return true;
}

bool Cart::decrement(int row) {
    if (row < 0 || row >= m_rows.size() || !(m_rows[row].quantity > 1))
        return false;
    m_rows[row].quantity = ShownQuantity(m_rows[row].quantity - 1);
    return true;
}

void Cart::applyEdit(int row, const CartEdit& edit) {
    if (row < 0 || row >= m_rows.size())
        return;
    CartRow& r = m_rows[row];
    if (edit.sameForAll) {
        r.quantity = ShownQuantity(edit.quantity);
        const QString discountText = QString::asprintf("%.1f", edit.discount);
        for (CartRow& each : m_rows) {
            each.discount = discountText;
            each.discountPrice = RoundCents(each.price * edit.discount / 10);
        }
        return;
    }
    const double quantity = ShownQuantity(edit.quantity);
    const double discountPrice = RoundCents(edit.discountPrice);
    if (quantity == r.quantity && discountPrice == r.discountPrice && edit.discount == r.discountValue())
        return;
    r.quantity = quantity;
    r.discountPrice = discountPrice;
    r.discount = std::fabs(r.price) > kTiny ? QString::asprintf("%.1f", discountPrice / r.price * 10)
                                            : QString::asprintf("%.1f", edit.discount);
}

CartTotals Cart::totals(const StoreSettings& settings) const {
    CartTotals t;
    for (const CartRow& row : m_rows) {
        const double q = row.quantity;
        t.costTotal += row.cost * q;
        t.listTotal += row.price * q;
        const double line = row.lineAmount();
        t.discountedTotal += line;
        if (!settings.specialOffer && row.property == PropertySpecialOffer)
            t.specialOfferAmount += line;
        // A weighed or fractional item counts as one piece.
        if (row.integerOnly())
            t.productCount += int(std::trunc(q));
        else
            t.productCount += 1;
    }
    t.points = PointsForAmount(t.discountedTotal - t.specialOfferAmount, settings.yuanToInteral);
    return t;
}

} // namespace selvo

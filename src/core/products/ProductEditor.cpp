#include "core/products/ProductEditor.h"

#include "core/products/Categories.h"
#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"
#include "core/support/Money.h"
#include "core/support/Number.h"

#include <QRandomGenerator>

#include <cmath>

namespace selvo {

namespace {
// Larger figures are typing mistakes, not prices or stock of a small shop.
constexpr double kMaxAmount = 99999999.0;
} // namespace

bool ReadProductAmount(const QString& text, double* value) {
    const QString t = text.trimmed();
    *value = 0;
    if (t.isEmpty())
        return true;
    if (!IsWholeNumberText(t))
        return false;
    bool ok = false;
    const double v = t.toDouble(&ok); // refuses what overflows a double ("1e400")
    if (!ok || !std::isfinite(v) || v < 0 || v > kMaxAmount || (v == 0 && t.contains(QLatin1Char('-'))))
        return false;
    *value = v;
    return true;
}

namespace {
ProductCheck refuse(const QString& message, ProductField field, bool selectText = false) {
    ProductCheck c;
    c.message = message;
    c.field = field;
    c.selectText = selectText;
    return c;
}

QString codeTakenText() {
    return QStringLiteral("产品编号已存在，请重新填写！");
}
QString nameTakenText() {
    return QStringLiteral("产品名称已存在，请重新填写！");
}
QString categoryMissingText() {
    return QStringLiteral("请选择商品类别");
}
QString saveFailedText() {
    return QStringLiteral("无法打开数据库！");
}

// The checks that depend on other rows; run again inside the saving transaction.
ProductCheck checkAgainstOthers(AppContext& ctx, int productId, const QString& code, const QString& name,
                                int category) {
    if (ProductCodeExists(ctx, code, productId))
        return refuse(codeTakenText(), ProductField::Code, true);
    if (ProductNameExists(ctx, name, productId))
        return refuse(nameTakenText(), ProductField::Name, true);
    // A category deleted at another till would leave the product out of every list.
    if (!ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_productTypes WHERE ID = ?"), {category}))
        return refuse(categoryMissingText(), ProductField::Category);
    return {};
}
} // namespace

ProductCheck CheckProduct(AppContext& ctx, int productId, const ProductForm& form) {
    const QString code = form.code.trimmed();
    const QString name = form.name.trimmed();
    if (code.isEmpty())
        return refuse(QStringLiteral("产品编号不能为空！"), ProductField::Code);
    if (ProductCodeExists(ctx, code, productId))
        return refuse(codeTakenText(), ProductField::Code, true);
    if (name.isEmpty())
        return refuse(QStringLiteral("请输入产品名称！"), ProductField::Name);
    // The sale screen puts "[特] " before special offers; a name holding it would be ambiguous.
    if (name.contains(QStringLiteral("[特] ")))
        return refuse(QStringLiteral("产品名称不能含 '[特]  ' 请修改后重试"), ProductField::Name, true);
    if (ProductNameExists(ctx, name, productId))
        return refuse(nameTakenText(), ProductField::Name, true);
    if (form.category == 0)
        return refuse(categoryMissingText(), ProductField::Category);
    if (!ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_productTypes WHERE ID = ?"), {form.category}))
        return refuse(categoryMissingText(), ProductField::Category);
    if (form.unit.trimmed().isEmpty())
        return refuse(QStringLiteral("请选择计量单位"), ProductField::Unit);
    double purchase = 0;
    double price = 0;
    double stock = 0;
    if (!ReadProductAmount(form.purchasePrice, &purchase))
        return refuse(QStringLiteral("请输入正确的采购价！"), ProductField::PurchasePrice, true);
    if (!ReadProductAmount(form.price, &price))
        return refuse(QStringLiteral("请输入正确的零售价！"), ProductField::Price, true);
    if (productId == -1 && !ReadProductAmount(form.openingStock, &stock))
        return refuse(QStringLiteral("请输入正确的初始库存！"), ProductField::Stock, true);
    ProductCheck passed;
    passed.askBelowCost = price < purchase;
    return passed;
}

QString BelowCostQuestion() {
    return QStringLiteral("确认要以低于成本价销售吗？");
}

ProductSave SaveProduct(AppContext& ctx, int productId, const ProductForm& form) {
    ProductSave result;
    const ProductCheck check = CheckProduct(ctx, productId, form);
    if (!check.ok()) {
        result.message = check.message;
        result.field = check.field;
        result.selectText = check.selectText;
        return result;
    }
    const QString code = form.code.trimmed();
    const QString name = form.name.trimmed();
    double purchase = 0;
    double price = 0;
    double stock = 0;
    ReadProductAmount(form.purchasePrice, &purchase);
    ReadProductAmount(form.price, &price);
    ReadProductAmount(form.openingStock, &stock);
    if (form.mustInt)
        stock = std::trunc(stock);
    const QVariant now = ctx.db.dateTimeValue(Clock::instance().now());
    const QString unit = form.unit.trimmed();

    ProductCheck lateRefusal;
    bool missing = false;
    const bool ok = db::runTransaction(ctx.db, [&] {
        lateRefusal = checkAgainstOthers(ctx, productId, code, name, form.category);
        if (!lateRefusal.ok())
            return false;
        if (productId == -1) {
            auto id = ctx.db.insertReturningId(
                QStringLiteral(
                    "INSERT INTO tb_product(PrdCode, PrdInventory, PrdName, FirstSpell, PurchasePrice, "
                    "Price, MustIntNum, PrdType, MeasuringUnit, LastEditDate, State, PrdProperty) "
                    "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                {code, stock, name, form.initials, purchase, price, form.mustInt ? 1 : 0, form.category, unit,
                 now, form.state, form.property});
            if (!id)
                return false;
            result.id = int(*id);
            return true;
        }
        int affected = 0;
        if (!ctx.db.exec(
                QStringLiteral("UPDATE tb_product SET PrdName = ?, FirstSpell = ?, PurchasePrice = ?, "
                               "Price = ?, MustIntNum = ?, PrdType = ?, MeasuringUnit = ?, "
                               "LastEditDate = ?, State = ?, PrdProperty = ? WHERE ID = ?"),
                {name, form.initials, purchase, price, form.mustInt ? 1 : 0, form.category, unit, now,
                 form.state, form.property, productId},
                &affected))
            return false;
        if (affected != 1) {
            missing = true;
            return false;
        }
        result.id = productId;
        return true;
    });
    if (ok) {
        result.ok = true;
        return result;
    }
    if (!lateRefusal.ok()) {
        result.message = lateRefusal.message;
        result.field = lateRefusal.field;
        result.selectText = lateRefusal.selectText;
    } else if (missing) {
        result.message = ProductReadFailedText();
    } else if (ctx.db.lastErrorIsUniqueViolation()) {
        result.message = codeTakenText();
        result.field = ProductField::Code;
        result.selectText = true;
    } else {
        result.message = saveFailedText();
    }
    result.id = -1;
    return result;
}

QString ProductAddedText() {
    return QStringLiteral("添加成功");
}

QString ProductChangedText() {
    return QStringLiteral("产品修改成功");
}

QString ProductReadFailedText() {
    return QStringLiteral("无法读取商品信息");
}

std::optional<ProductForm> LoadProductForm(AppContext& ctx, int productId) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT PrdCode, PrdName, FirstSpell, PurchasePrice, Price, MustIntNum, "
                                     "MeasuringUnit, PrdType, State, PrdProperty, PrdInventory "
                                     "FROM tb_product WHERE ID = ?"),
                      {productId});
    if (!q || !q->next())
        return std::nullopt;
    const auto money = [&](int column) {
        return q->value(column).isNull() ? QStringLiteral("0") : FormatAmount(q->value(column).toDouble());
    };
    ProductForm f;
    f.code = q->value(0).toString();
    f.name = q->value(1).toString();
    f.initials = q->value(2).toString();
    f.purchasePrice = money(3);
    f.price = money(4);
    f.mustInt = q->value(5).toInt() == 1;
    f.unit = q->value(6).toString();
    f.category = q->value(7).toInt();
    f.state = q->value(8).toInt() == ProductOffShelf ? int(ProductOffShelf) : int(ProductOnSale);
    const int property = q->value(9).toInt();
    f.property = property >= PropertyRegular && property <= PropertyGift ? property : int(PropertyRegular);
    const double stock = q->value(10).toDouble();
    f.openingStock = f.mustInt ? QString::number(qint64(std::trunc(stock))) : FormatQuantity(stock);
    return f;
}

int UnitEntryIndex(const QStringList& entries, const QString& unit) {
    if (unit.isEmpty() || entries.isEmpty())
        return -1;
    for (qsizetype k = 1; k <= entries.size(); ++k) {
        const qsizetype i = k % entries.size();
        if (entries[i] == unit)
            return int(i);
    }
    return -1;
}

QString MakeProductCode(AppContext& ctx, int productId) {
    return MakeProductCode(
        ctx, productId, [] { return QRandomGenerator::global()->generate(); }, kProductCodeTries);
}

QString MakeProductCode(AppContext& ctx, int productId, const std::function<quint32()>& draw, int tries) {
    constexpr quint32 kLowest = 1000000;
    constexpr quint32 kSpan = 999000000; // up to 999999999
    for (int i = 0; i < tries; ++i) {
        const QString code = QString::number(kLowest + draw() % kSpan);
        if (!ProductCodeExists(ctx, code, productId))
            return code;
    }
    return {};
}

QString ProductCodeExhaustedText() {
    return QStringLiteral("无法自动生成产品编号，请手动填写！");
}

QString WholeNumberHelpCaption() {
    return QStringLiteral("整数销售说明");
}

QString WholeNumberHelpText() {
    return QStringLiteral(
        "【整数销售】说明\n整数销售：商品数量必须为1的整数倍(如：牙刷不可能是1.5个，必须为整数个)\n"
        "非整数销售：数量可以带小数点(如：西瓜可以是3.5公斤)");
}

} // namespace selvo

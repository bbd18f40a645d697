#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace selvo {

struct AppContext;

// What the product editor collects, as typed. Numbers stay text until they are checked.
struct ProductForm {
    QString code;
    QString name;
    QString initials;
    QString purchasePrice = QStringLiteral("0");
    QString price = QStringLiteral("0");
    bool mustInt = true; // "整数销售"
    QString unit;
    int category = 0; // 0 = the placeholder, no category chosen
    int state = 1;
    int property = 1;
    QString openingStock = QStringLiteral("0"); // written when adding only
};

// A price or stock figure as typed: blank counts as 0; anything else must be a plain decimal
// number from 0 to 99999999 ("abc", "nan", "inf", "0x10", "-1" and "1e400" are refused).
bool ReadProductAmount(const QString& text, double* value);

// The field a refusal points at, so the dialog can focus it.
enum class ProductField { None, Code, Name, Category, Unit, PurchasePrice, Price, Stock };

struct ProductCheck {
    QString message; // empty when every check passed
    ProductField field = ProductField::None;
    bool selectText = false;   // select the field's text as well as focusing it
    bool askBelowCost = false; // passed, but the retail price is below the purchase price
    bool ok() const { return message.isEmpty(); }
};

// The editor's checks in order (productId -1 = adding). The first failure is returned.
ProductCheck CheckProduct(AppContext& ctx, int productId, const ProductForm& form);
QString BelowCostQuestion(); // "确认要以低于成本价销售吗？"

struct ProductSave {
    bool ok = false;
    int id = -1; // the new row's ID when adding, else the edited ID
    QString message;
    ProductField field = ProductField::None;
    bool selectText = false;
};

// Adds (productId -1) or changes one product. The checks run again inside the transaction
// (another till may have taken the code or the name meanwhile); code and name are stored
// trimmed, as they were checked.
ProductSave SaveProduct(AppContext& ctx, int productId, const ProductForm& form);

QString ProductAddedText();      // "添加成功"
QString ProductChangedText();    // "产品修改成功"
QString ProductReadFailedText(); // "无法读取商品信息"

// The stored product as the editor shows it: prices "%.2f" ("0" when NULL), stock "%d"
// (truncated) with "整数销售" and "%g" without. std::nullopt when it cannot be read.
std::optional<ProductForm> LoadProductForm(AppContext& ctx, int productId);

// The unit entry showing a stored unit: the first exact match from the second entry on,
// wrapping round to the first; -1 when none (the box then shows the stored text as typed).
int UnitEntryIndex(const QStringList& entries, const QString& unit);

// A product code of 7 to 9 digits (1000000 to 999999999) that no product other than
// `productId` has. Empty when every one of a bounded number of draws was taken.
QString MakeProductCode(AppContext& ctx, int productId);
// The same with the random draws supplied (tests); `draw` returns any non-negative number.
QString MakeProductCode(AppContext& ctx, int productId, const std::function<quint32()>& draw, int tries);
inline constexpr int kProductCodeTries = 100;
QString ProductCodeExhaustedText();

// The "?" beside "整数销售".
QString WholeNumberHelpCaption();
QString WholeNumberHelpText();

} // namespace selvo

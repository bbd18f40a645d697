#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace selvo {

struct AppContext;

// What the product sales statistics filter by. Points redemptions are never counted: payType 0
// means cash or balance.
struct ProductStatsFilter {
    int payType = 0;           // 0 cash or balance, 1 cash, 2 balance
    std::optional<QDate> from; // whole days, on the lines' SaleDate
    std::optional<QDate> to;
};

// The product list's columns.
enum ProductStatsColumn {
    StatCode = 0,
    StatName,
    StatPrice,
    StatPurchasePrice,
    StatQuantity,
    StatTakings,
    StatCost,
    StatProfit,
    StatMargin,
    StatColumnCount
};
QString ProductStatsHeader(int column);
int ProductStatsWidth(int column);

// The detail list's columns.
enum ProductDetailColumn {
    DetailOrderNo = 0,
    DetailMember,
    DetailOrderType,
    DetailPayType,
    DetailName,
    DetailQuantity,
    DetailTotal,
    DetailOrderTotal,
    DetailSaleDate,
    DetailColumnCount
};
QString ProductDetailHeader(int column);
int ProductDetailWidth(int column);

// "-" when the takings are (nearly) 0, else the profit against the absolute takings, "%.2f%".
QString GrossMarginText(double takings, double profit);

// One row per product still in the catalogue, in product-code order, texts as shown;
// std::nullopt when the statement failed.
std::optional<QList<QStringList>> QueryProductStats(AppContext& ctx, const ProductStatsFilter& filter);
// The order lines of one product behind its figures, newest sale first.
std::optional<QList<QStringList>> QueryProductStatDetails(AppContext& ctx, const QString& productCode,
                                                          const ProductStatsFilter& filter);

// "产品销售统计" + local time + ".csv".
QString ProductStatsExportName();

} // namespace selvo

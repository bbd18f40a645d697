#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

namespace selvo {

struct AppContext;

// "盘点": sets a product's stock to the counted amount, with a history row (kind 6) of the
// difference, the operator and the reason.

// What the dialog shows on opening; found is false (and the rest empty) for an unknown code.
struct StockTakeProduct {
    bool found = false;
    QString name;
    QString stockText; // "%g" of the stock
    int mustIntNum = 0;
};
StockTakeProduct LoadStockTakeProduct(AppContext& ctx, const QString& code);

struct StockTakeResult {
    bool ok = false;
    QString message;      // the refusal or failure; empty on success
    bool refocus = false; // the refusal is about the new-stock text
    double change = 0;    // what the stock moved by
};

// "确定": checks the typed new stock against the stock shown and books it in one transaction.
// The stock is read again inside it, so a sale at another till meanwhile does not spoil the
// count: the stock ends at the counted amount and the history row holds the real change.
StockTakeResult BookStockTake(AppContext& ctx, const QString& code, int mustIntNum, const QString& shownStock,
                              const QString& newStock, const QString& reason);

// One row of "盘点记录".
struct StockTakeRecord {
    QString operatorName;
    QDateTime when;
    double change = 0;
    QString remark;
};
inline constexpr int kStockTakeRecordLimit = 500;
// The latest stock-takes (kind 6 only) of a product, newest first, at most 500; those of
// operators who no longer exist are left out.
QList<StockTakeRecord> ListStockTakes(AppContext& ctx, const QString& code);
QString StockTakeRecordCaption(const QString& productName);

} // namespace selvo

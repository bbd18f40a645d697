#pragma once

#include <QString>

#include <optional>

namespace selvo {

struct AppContext;

// The texts of the store information dialog (the single tb_StoreInfo row).
struct StoreInfo {
    QString storeName;
    QString location;
    QString website;
    QString phone;
    QString announcement;
    QString piaoInfo;
};

std::optional<StoreInfo> LoadStoreInfo(AppContext& ctx);

struct StoreSaveResult {
    enum class Field { None, StoreName, PointsRate, RedemptionRate };

    bool ok = false;
    QString message;
    Field focus = Field::None;
    // Set when the database refused the write: its own error text, shown in a message box.
    QString databaseError;
};

// Saves the store information (name trimmed, the rest as typed) and reloads the settings block.
StoreSaveResult SaveStoreInfo(AppContext& ctx, const StoreInfo& info);

// Saves the points rules typed into the points rules dialog. Rates are read as leading whole
// numbers and must be at least 1. The settings block takes the new values only once the row is
// written, so a refused or failed save leaves the rules in force unchanged.
StoreSaveResult SavePointsRules(AppContext& ctx, const QString& pointsRateText,
                                const QString& redemptionRateText, bool specialOfferEarns);

} // namespace selvo

#include "core/store/StoreInfo.h"

#include "core/store/AppContext.h"
#include "core/support/Number.h"

namespace selvo {

namespace {
std::optional<int> storeRowId(AppContext& ctx) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT id FROM tb_StoreInfo ORDER BY id ASC LIMIT 1"));
    if (!v)
        return std::nullopt;
    return v->toInt();
}

StoreSaveResult refuse(const char* text, StoreSaveResult::Field focus) {
    StoreSaveResult r;
    r.message = QString::fromUtf8(text);
    r.focus = focus;
    return r;
}
} // namespace

std::optional<StoreInfo> LoadStoreInfo(AppContext& ctx) {
    auto q =
        ctx.db.select(QStringLiteral("SELECT StoreName, Location, Website, Announcement, Phone, piaoInfo "
                                     "FROM tb_StoreInfo ORDER BY id ASC LIMIT 1"));
    if (!q || !q->next())
        return std::nullopt;
    StoreInfo info;
    info.storeName = q->value(0).toString();
    info.location = q->value(1).toString();
    info.website = q->value(2).toString();
    info.announcement = q->value(3).toString();
    info.phone = q->value(4).toString();
    info.piaoInfo = q->value(5).toString();
    return info;
}

StoreSaveResult SaveStoreInfo(AppContext& ctx, const StoreInfo& info) {
    using F = StoreSaveResult::Field;
    const QString name = info.storeName.trimmed();
    if (name.isEmpty())
        return refuse("请输入商店名称", F::StoreName);
    const auto id = storeRowId(ctx);
    if (!id)
        return refuse("打开商店信息失败", F::None);
    if (!ctx.db.exec(
            QStringLiteral("UPDATE tb_StoreInfo SET StoreName = ?, Location = ?, Website = ?, "
                           "Announcement = ?, Phone = ?, piaoInfo = ? WHERE id = ?"),
            {name, info.location, info.website, info.announcement, info.phone, info.piaoInfo, *id})) {
        StoreSaveResult r;
        r.databaseError = ctx.db.lastError();
        return r;
    }
    LoadStoreSettings(ctx.db, ctx.settings);
    StoreSaveResult ok;
    ok.ok = true;
    return ok;
}

StoreSaveResult SavePointsRules(AppContext& ctx, const QString& pointsRateText,
                                const QString& redemptionRateText, bool specialOfferEarns) {
    using F = StoreSaveResult::Field;
    const int pointsRate = ParseLeadingInt(pointsRateText);
    if (pointsRate <= 0)
        return refuse("不能小于1元", F::PointsRate);
    const int redemptionRate = ParseLeadingInt(redemptionRateText);
    if (redemptionRate <= 0)
        return refuse("不能小于1分", F::RedemptionRate);
    const auto id = storeRowId(ctx);
    int affected = 0;
    if (!id ||
        !ctx.db.exec(QStringLiteral("UPDATE tb_StoreInfo SET YuanToInteral = ?, InteralToYuan = ?, "
                                    "SpecialOffer = ? WHERE id = ?"),
                     {pointsRate, redemptionRate, specialOfferEarns ? -1 : 0, *id}, &affected) ||
        affected != 1)
        return refuse("修改失败，请重试", F::None);
    ctx.settings.yuanToInteral = pointsRate;
    ctx.settings.interalToYuan = redemptionRate;
    ctx.settings.specialOffer = specialOfferEarns;
    StoreSaveResult ok;
    ok.ok = true;
    return ok;
}

} // namespace selvo

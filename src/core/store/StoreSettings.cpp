#include "core/store/StoreSettings.h"

#include "core/db/Database.h"

namespace selvo {

bool LoadStoreSettings(db::Database& db, StoreSettings& settings) {
    auto q =
        db.select(QStringLiteral("SELECT YuanToInteral, InteralToYuan, SpecialOffer, StoreName, piaoInfo "
                                 "FROM tb_StoreInfo ORDER BY id ASC LIMIT 1"));
    if (!q || !q->next())
        return false;
    settings.yuanToInteral = q->value(0).toInt();
    settings.interalToYuan = q->value(1).toInt();
    settings.specialOffer = q->value(2).toInt() != 0;
    settings.storeName = q->value(3).toString();
    settings.piaoInfo = q->value(4).toString();
    return true;
}

} // namespace selvo

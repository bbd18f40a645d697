#pragma once

#include <QString>

namespace selvo {

namespace db {
class Database;
}

// Store settings block: the points rules and the texts other screens print.
struct StoreSettings {
    int yuanToInteral = 1;   // yuan of spending that earn one point
    int interalToYuan = 100; // points that pay for one yuan of goods
    bool specialOffer = false;
    QString storeName;
    QString piaoInfo;
};

// Reads the first tb_StoreInfo row into the block; false (block unchanged) when it cannot be read.
bool LoadStoreSettings(db::Database& db, StoreSettings& settings);

} // namespace selvo

#include "TableDump.h"

#include "core/store/AppContext.h"

#include <QSqlRecord>

namespace selvo::test {

QMap<QString, QStringList> DumpTables(AppContext& ctx) {
    static const char* const kTables[] = {"tb_manager",       "tb_members",       "tb_product",
                                          "tb_productTypes",  "tb_Units",         "tb_orders",
                                          "tb_order_lines",   "tb_TopupRecord",   "tb_OpRecord",
                                          "tb_prdnum_record", "tb_StorageIn_His", "tb_StorageIn_His_details",
                                          "tb_StoreInfo"};
    QMap<QString, QStringList> dump;
    for (const char* table : kTables) {
        const QString name = QString::fromLatin1(table);
        QStringList rows;
        auto q = ctx.db.select(QStringLiteral("SELECT * FROM ") + name);
        if (!q) {
            rows << QStringLiteral("<unreadable: %1>").arg(ctx.db.lastError());
        } else {
            while (q->next()) {
                QStringList values;
                const QSqlRecord rec = q->record();
                for (int i = 0; i < rec.count(); ++i)
                    values << (q->value(i).isNull() ? QStringLiteral("NULL") : q->value(i).toString());
                rows << values.join(QLatin1Char('|'));
            }
        }
        rows.sort();
        dump.insert(name, rows);
    }
    return dump;
}

} // namespace selvo::test

#include "TestShop.h"

#include "core/db/Schema.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {
QByteArray fileHash(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// An old database as an earlier release left it: no version table, order lines without the
// two later columns, one order line already written.
void writeLegacyDatabase(const QString& file, bool withIntegral) {
    db::Database legacy;
    db::ConnectionConfig c;
    c.sqliteFile = file;
    QVERIFY(legacy.open(c));
    QVERIFY(legacy.exec(
        QStringLiteral("CREATE TABLE tb_order_lines (OrderNo text, MemID integer, SaleManID integer, "
                       "PrdCode text, PrdName text, PrdPrice REAL, PrdNum REAL, DisCount REAL, "
                       "DisCountPrice REAL, PrdPurchasePrice REAL, Profits REAL, TotalPrice REAL, "
                       "SaleDate TEXT") +
        (withIntegral ? QStringLiteral(", Integral integer)") : QStringLiteral(")"))));
    QVERIFY(legacy.exec(
        QStringLiteral("INSERT INTO tb_order_lines(OrderNo, PrdCode, PrdNum) VALUES('A1', 'P1', 2)")));
    if (withIntegral)
        QVERIFY(legacy.exec(QStringLiteral("UPDATE tb_order_lines SET Integral = 7")));
    legacy.close();
}
} // namespace

class TestSchema final : public QObject {
    Q_OBJECT

private slots:
    void freshDatabaseHasEveryTableAndColumn_data() {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QStringList>("columns");
        const auto cols = [](const char* s) {
            return QString::fromLatin1(s).split(QLatin1Char(' '));
        };
        QTest::newRow("tb_manager") << "tb_manager"
                                    << cols("ID UID PWD SalesManCode TrueName Phone UserType state pwdWarn");
        QTest::newRow("tb_members")
            << "tb_members"
            << cols("ID MemberCode TrueName FirstSpell MobilePhone Sex BirthDay IsLuner QQ Email "
                    "IdCard Integral Cumulative Balance Remark UserState photo AddDate "
                    "LastEditDate");
        QTest::newRow("tb_product")
            << "tb_product"
            << cols("ID PrdCode PrdName FirstSpell Price PurchasePrice PrdType MeasuringUnit "
                    "MustIntNum PrdInventory State PrdProperty LastEditDate AddDate");
        QTest::newRow("tb_productTypes") << "tb_productTypes" << cols("ID Pid PrdTypeName");
        QTest::newRow("tb_Units") << "tb_Units" << cols("ID Units");
        QTest::newRow("tb_orders")
            << "tb_orders"
            << cols("ID OrderNo MemID SaleManID TotalPrice RealTotalPrice PrdPurchasePrice Profits "
                    "PrdSum Integral GetMoney Change Remark SaleDate PayType OrderType AddDate");
        QTest::newRow("tb_order_lines")
            << "tb_order_lines"
            << cols("OrderNo MemID SaleManID PrdCode PrdName PrdPrice PrdNum DisCount "
                    "DisCountPrice PrdPurchasePrice Profits TotalPrice Integral PayType "
                    "SaleDate");
        QTest::newRow("tb_TopupRecord")
            << "tb_TopupRecord"
            << cols("MemID SaleManID Amount Giving Total BefBalance AftBalance OpType Remark AddDate");
        QTest::newRow("tb_OpRecord") << "tb_OpRecord" << cols("SaleManID Content AddDate");
        QTest::newRow("tb_prdnum_record")
            << "tb_prdnum_record" << cols("SaleManID prdCode addNum addType addDate Remark");
        QTest::newRow("tb_StorageIn_His")
            << "tb_StorageIn_His" << cols("StoreInCode SaleManID totalPrice IsPay addDate IsReturn");
        QTest::newRow("tb_StorageIn_His_details")
            << "tb_StorageIn_His_details"
            << cols("StoreInCode PrdCode InPrice InNum SaleManID addDate IsReturn DisCountPrice DisCount");
        QTest::newRow("tb_StoreInfo")
            << "tb_StoreInfo"
            << cols("id StoreName Location Website Phone Announcement piaoInfo YuanToInteral "
                    "InteralToYuan SpecialOffer");
    }
    void freshDatabaseHasEveryTableAndColumn() {
        QFETCH(QString, table);
        QFETCH(QStringList, columns);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        for (const QString& column : columns)
            QVERIFY2(db::ColumnExists(shop.ctx.db, table, column) == 1,
                     qPrintable(table + QLatin1Char('.') + column));
    }

    void initialRows() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        auto op = shop.ctx.db.select(QStringLiteral("SELECT ID, UID, UserType, state, PWD FROM tb_manager"));
        QVERIFY(op && op->next());
        QCOMPARE(op->value(0).toInt(), 1);
        QCOMPARE(op->value(1).toString(), QStringLiteral("admin"));
        QCOMPARE(op->value(2).toInt(), 0);
        QCOMPARE(op->value(3).toInt(), 0);
        QVERIFY2(op->value(4).toString() != QLatin1String("admin"),
                 "password must not be stored in plain text");
        QVERIFY(!op->next());

        auto info = shop.ctx.db.select(QStringLiteral(
            "SELECT YuanToInteral, InteralToYuan, SpecialOffer FROM tb_StoreInfo ORDER BY id"));
        QVERIFY(info && info->next());
        QCOMPARE(info->value(0).toInt(), 1);
        QCOMPARE(info->value(1).toInt(), 100);
        QCOMPARE(info->value(2).toInt(), 0);
        QVERIFY(!info->next());

        QCOMPARE(shop.count(QStringLiteral("tb_Units")), 1);
        const QString units = shop.ctx.db.scalar(QStringLiteral("SELECT Units FROM tb_Units"))->toString();
        QVERIFY(units.endsWith(QLatin1Char('|')));
        QVERIFY(units.split(QLatin1Char('|'), Qt::SkipEmptyParts).contains(QStringLiteral("个")));

        // A new operator after the seeded admin gets the next ID on either engine.
        QCOMPARE(shop.addOperator(QStringLiteral("clerk"), QStringLiteral("pw")), 2);
    }

    void defaultsAreFilledByTheDatabase() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-2);
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content) VALUES(1, 'x')")));
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("INSERT INTO tb_order_lines(OrderNo, PrdCode) VALUES('N1', 'P')")));
        const QDateTime stamp =
            db::toDateTime(*shop.ctx.db.scalar(QStringLiteral("SELECT AddDate FROM tb_OpRecord")));
        QVERIFY2(stamp >= before && stamp <= QDateTime::currentDateTime().addSecs(2),
                 qPrintable(stamp.toString(Qt::ISODate)));
        auto line = shop.ctx.db.select(QStringLiteral("SELECT Integral, PayType FROM tb_order_lines"));
        QVERIFY(line && line->next());
        QCOMPARE(line->value(0).toInt(), 0);
        QCOMPARE(line->value(1).toInt(), 0);
        // Money columns of a new member start at zero, so adding to them never meets NULL.
        const int id =
            *shop.ctx.db.insertReturningId(QStringLiteral("INSERT INTO tb_members(TrueName) VALUES('m')"));
        auto m = shop.ctx.db.select(
            QStringLiteral("SELECT Balance, Integral, Cumulative FROM tb_members WHERE ID = ?"), {id});
        QVERIFY(m && m->next());
        QCOMPARE(m->value(0).toDouble(), 0.0);
        QCOMPARE(m->value(1).toInt(), 0);
        QCOMPARE(m->value(2).toDouble(), 0.0);
    }

    void orderNumbersAreUnique() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QString sql = QStringLiteral("INSERT INTO tb_orders(OrderNo) VALUES(?)");
        QVERIFY(shop.ctx.db.exec(sql, {QStringLiteral("2026121012000010001")}));
        QVERIFY(!shop.ctx.db.exec(sql, {QStringLiteral("2026121012000010001")}));
        QVERIFY(shop.ctx.db.lastErrorIsUniqueViolation());
    }

    void reopeningChangesNothing() {
        QTemporaryDir dir;
        {
            AppContext ctx;
            QVERIFY(OpenDatabase(ctx, dir.path()).ok);
        }
        AppContext ctx;
        QVERIFY(OpenDatabase(ctx, dir.path()).ok);
        QCOMPARE(db::schemaVersion(ctx.db), db::kSchemaVersion);
        QCOMPARE(ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_manager"))->toInt(), 1);
        QCOMPARE(ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_SchemaVersion"))->toInt(), 1);
    }

    // SQLite only: these build old database files by hand.
    void legacyOrderLinesGainMissingColumns_data() {
        QTest::addColumn<bool>("withIntegral");
        QTest::newRow("lacking both") << false;
        QTest::newRow("lacking PayType only") << true;
    }
    void legacyOrderLinesGainMissingColumns() {
        QFETCH(bool, withIntegral);
        QTemporaryDir dir;
        writeLegacyDatabase(dir.filePath(QStringLiteral("hydb.db")), withIntegral);
        AppContext ctx;
        QVERIFY(OpenDatabase(ctx, dir.path()).ok);
        QCOMPARE(db::ColumnExists(ctx.db, QStringLiteral("tb_order_lines"), QStringLiteral("Integral")), 1);
        QCOMPARE(db::ColumnExists(ctx.db, QStringLiteral("tb_order_lines"), QStringLiteral("PayType")), 1);
        auto q = ctx.db.select(QStringLiteral("SELECT Integral, PayType, PrdNum FROM tb_order_lines"));
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), withIntegral ? 7 : 0); // an existing column keeps its values
        QCOMPARE(q->value(1).toInt(), 0);
        QCOMPARE(q->value(2).toDouble(), 2.0);
        // Each column exists once: a second start adds nothing.
        QCOMPARE(q->record().count(), 3);
    }

    void columnCheckCountsAFailedQueryAsPresent() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QCOMPARE(db::ColumnExists(shop.ctx.db, QStringLiteral("no_such_table"), QStringLiteral("Integral")),
                 -1);
        QCOMPARE(db::ColumnExists(shop.ctx.db, QStringLiteral("tb_order_lines"), QStringLiteral("integral")),
                 shop.isPostgres() ? 1 : 0); // case-sensitive where the engine keeps the case
        QCOMPARE(db::ColumnExists(shop.ctx.db, QStringLiteral("tb_order_lines"), QStringLiteral("Nope")), 0);
    }

    void newerDatabaseIsRefusedUntouched() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("hydb.db"));
        {
            AppContext ctx;
            QVERIFY(OpenDatabase(ctx, dir.path()).ok);
            QVERIFY(ctx.db.exec(QStringLiteral("UPDATE tb_SchemaVersion SET Version = ?"),
                                {db::kSchemaVersion + 1}));
            QVERIFY(ctx.db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
            QVERIFY(ctx.db.exec(QStringLiteral("PRAGMA journal_mode=DELETE")));
        }
        const QByteArray before = fileHash(file);
        AppContext ctx;
        const OpenResult r = OpenDatabase(ctx, dir.path());
        QVERIFY(!r.ok);
        QVERIFY2(r.detail.contains(QStringLiteral("较新版本")), qPrintable(r.detail));
        ctx.db.close();
        QCOMPARE(fileHash(file), before);
    }

    void damagedFileIsRefusedUntouched_data() {
        QTest::addColumn<QByteArray>("content");
        QByteArray noise(8192, Qt::Uninitialized);
        for (int i = 0; i < noise.size(); ++i)
            noise[i] = char((i * 7919 + 13) % 251);
        QTest::newRow("random bytes") << noise;
        QTest::newRow("text file") << QByteArray("this is not a database\n");
        QByteArray truncated("SQLite format 3\0", 16);
        truncated.append(QByteArray(84, '\x01'));
        QTest::newRow("truncated header") << truncated;
    }
    void damagedFileIsRefusedUntouched() {
        QFETCH(QByteArray, content);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("hydb.db"));
        {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        AppContext ctx;
        const OpenResult r = OpenDatabase(ctx, dir.path());
        QVERIFY(!r.ok);
        QVERIFY(!r.detail.isEmpty());
        ctx.db.close();
        QCOMPARE(fileHash(file), QCryptographicHash::hash(content, QCryptographicHash::Sha256));
        QVERIFY(!QFile::exists(file + QStringLiteral("-wal")) ||
                QFileInfo(file + QStringLiteral("-wal")).size() == 0);
    }

    void dataFolderThatCannotHoldTheDatabase() {
        QTemporaryDir dir;
        // A plain file where the folder should be.
        const QString notAFolder = dir.filePath(QStringLiteral("plainfile"));
        QFile f(notAFolder);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        AppContext ctx;
        const OpenResult r = OpenDatabase(ctx, notAFolder);
        QVERIFY(!r.ok);
        QVERIFY(!r.detail.isEmpty());
    }

    void dataFolderRule() {
        QTemporaryDir dir;
        qputenv("SELVO_DATA_DIR", dir.filePath(QStringLiteral("shop")).toUtf8());
        QCOMPARE(ResolveDataFolder(QStringLiteral("/usr/bin")), dir.filePath(QStringLiteral("shop")));
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("shop"))).isDir());
        qunsetenv("SELVO_DATA_DIR");
        // Without an override, a writable executable folder holds the data, unless the program
        // is installed in a system folder (which root may write to).
        QCOMPARE(ResolveDataFolder(dir.path()), QDir::cleanPath(dir.path()));
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("home")).toUtf8());
        for (const char* installed : {"/usr/bin", "/usr/local/bin", "/opt/selvo/bin"})
            QCOMPARE(ResolveDataFolder(QString::fromLatin1(installed)),
                     dir.filePath(QStringLiteral("home/selvo")));
        qunsetenv("XDG_DATA_HOME");
    }
};

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"

#include "TestShop.h"

#include "core/db/Schema.h"
#include "core/db/TextSearch.h"
#include "core/members/MemberList.h"
#include "core/members/MemberPicker.h"
#include "core/products/ProductList.h"
#include "core/products/ProductPicker.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {

// Values that a LIKE pattern, an FTS query or a trigram key could get wrong.
const char* const kNames[] = {
    "张三丰",      "张三",     "李四",       "王五六",    "Zhang San", "ZHANG",      "zhangsan",
    "50%折扣",     "a_b",      "a%b",        "x\\y",      "O'Brien",   "say \"hi\"", "Élodie",
    "élodie",      "emoji😀ok", "  padded  ", "ab",        "abc",       "ABCD",       "黄金AB12",
    "中文English", "𠀀生僻",   "line1",      "tab\there", "e\xcc\x81", "ǅ",          "ßtraße",
};

// Every ID a list reads page by page, `size` at a time; {-1} when a page failed.
template <typename Pages> QList<int> allPages(Pages pages, int size) {
    QList<int> out;
    for (;;) {
        const auto page = pages.next(size);
        if (!page)
            return {-1};
        out += QList<int>(page->cbegin(), page->cend());
        if (page->size() < size)
            return out;
    }
}

QList<int> ids(AppContext& ctx, const QString& sql, const QVariantList& binds) {
    QList<int> out;
    auto q = ctx.db.select(sql, binds);
    if (!q)
        return {-1};
    while (q->next())
        out << q->value(0).toInt();
    return out;
}

} // namespace

class TestTextSearch final : public QObject {
    Q_OBJECT

    std::unique_ptr<TestShop> m_shop;

    AppContext& ctx() { return m_shop->ctx; }

    // The plain statement over one table: exactly what a search must find.
    QList<int> plain(db::SearchTable table, const QString& text, const QString& where, const QString& order,
                     int limit = 0) {
        const QString tableName =
            table == db::SearchTable::Members ? QStringLiteral("tb_members") : QStringLiteral("tb_product");
        const db::SqlPart c = db::ContainsCondition(ctx().db, table, text);
        QString sql = QStringLiteral("SELECT ID FROM ") + tableName + QStringLiteral(" WHERE ") + c.sql;
        if (!where.isEmpty())
            sql += QStringLiteral(" AND ") + where;
        sql += QStringLiteral(" ORDER BY ") + order;
        if (limit > 0)
            sql += QStringLiteral(" LIMIT ") + QString::number(limit);
        return ids(ctx(), sql, c.binds);
    }

private slots:
    void initTestCase() {
        m_shop = std::make_unique<TestShop>();
        QVERIFY2(m_shop->ok(), qPrintable(m_shop->error()));
        const auto category = ctx().db.insertReturningId(
            QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES('类别', 0)"));
        QVERIFY(category);
        int n = 0;
        for (const char* raw : kNames) {
            const QString name = QString::fromUtf8(raw);
            ++n;
            QVERIFY(m_shop->addMember(name, QStringLiteral("1380013%1").arg(n, 4, 10, QLatin1Char('0')), 0, 0,
                                      n % 7 == 0 ? 1 : 0, QStringLiteral("VIP-%1").arg(n)) > 0);
            QVERIFY(m_shop->addProduct(QStringLiteral("P%1x").arg(n, 3, 10, QLatin1Char('0')), name, 1, 0, 0,
                                       int(*category), 1, n % 5 == 0 ? ProductOffShelf : ProductOnSale) > 0);
        }
        // Enough members with a common mobile for a whole picker page among the first rows.
        for (int i = 0; i < 70; ++i)
            QVERIFY(m_shop->addMember(QStringLiteral("m%1").arg(i),
                                      QStringLiteral("1390000%1").arg(i, 4, 10, QLatin1Char('0'))) > 0);
        // Columns left NULL by an older program.
        QVERIFY(
            ctx().db.exec(QStringLiteral("INSERT INTO tb_members(TrueName, UserState) VALUES('无号码', 0)")));
        QVERIFY(ctx().db.exec(QStringLiteral(
            "UPDATE tb_members SET FirstSpell = NULL, MobilePhone = NULL WHERE TrueName = 'ab'")));
        // Rows without a date sort apart (last on SQLite, first on PostgreSQL); others share one.
        QVERIFY(ctx().db.exec(QStringLiteral("UPDATE tb_members SET AddDate = NULL WHERE ID % 9 = 4")));
        QVERIFY(ctx().db.exec(QStringLiteral("UPDATE tb_product SET AddDate = NULL WHERE ID % 9 = 4")));
        QVERIFY(ctx().db.exec(QStringLiteral("UPDATE tb_members SET AddDate = (SELECT min(AddDate) FROM "
                                             "tb_members) WHERE ID % 4 = 1")));
    }

    void cleanupTestCase() { m_shop.reset(); }

    void sameRowsAsThePlainStatement_data() {
        QTest::addColumn<QString>("text");
        const char* const texts[] = {
            "",        "a",         "A",
            "ab",      "AB",        "aB",
            "abc",     "ABC",       "bcd",
            "%",       "_",         "%b",
            "a%",      "a_",        "\\",
            "x\\y",    "'",         "O'B",
            "\"",      "\"hi\"",    "张",
            "张三",    "张三丰",    "三丰",
            "丰",      "zs",        "ZS",
            "zh",      "ang",       "ANG S",
            "1",       "13",        "138",
            "1380013", "13900000",  "0001",
            "VIP",     "vip-1",     "-1",
            "É",       "é",         "élo",
            "ÉLO",     "😀",         "i😀o",
            "𠀀",      "𠀀生",      "e\xcc\x81",
            "ǅ",       "ǆ",         "ß",
            "SS",      "tab\there", "here",
            "折扣",    "0%折",      "no such thing",
            "zzz",     "qq",        "  ab  ",
            "中文E",   "englISH",   "'; DROP TABLE tb_members; --",
        };
        for (const char* t : texts)
            QTest::newRow(t) << QString::fromUtf8(t);
    }

    void sameRowsAsThePlainStatement() {
        QFETCH(QString, text);
        const QString t = text.trimmed();

        // The index alone never loses a row the plain condition keeps.
        for (const db::SearchTable table : {db::SearchTable::Members, db::SearchTable::Products}) {
            const auto narrowed = db::IndexCondition(ctx().db, table, t);
            if (!narrowed || t.isEmpty())
                continue;
            const QString tableName = table == db::SearchTable::Members ? QStringLiteral("tb_members")
                                                                        : QStringLiteral("tb_product");
            const QList<int> found =
                ids(ctx(),
                    QStringLiteral("SELECT ID FROM ") + tableName + QStringLiteral(" WHERE ") +
                        narrowed->sql + QStringLiteral(" ORDER BY ID"),
                    narrowed->binds);
            QVERIFY2(!found.contains(-1), qPrintable(ctx().db.lastError()));
            for (const int id : plain(table, t, QString(), QStringLiteral("ID")))
                QVERIFY2(found.contains(id), qPrintable(QStringLiteral("row %1 not in the index").arg(id)));
        }

        // The pickers: the lowest IDs, as the plain statement finds them.
        if (!t.isEmpty()) {
            QList<int> picked;
            for (const PickerItem& item : PickerMembers(ctx(), text))
                picked << item.id;
            std::sort(picked.begin(), picked.end());
            QCOMPARE(picked, plain(db::SearchTable::Members, t, QStringLiteral("UserState = 0"),
                                   QStringLiteral("ID"), kPickerLimit));
            QList<int> products;
            for (const PickerRow& r : PickerRows(ctx(), text))
                products << r.id;
            QCOMPARE(products, plain(db::SearchTable::Products, t, QStringLiteral("State = 1"),
                                     QStringLiteral("ID"), kPickerRowLimit));
        }

        // The lists: every match, in their order.
        const auto members = MemberListIds(ctx(), {-1, text});
        QVERIFY(members);
        if (!t.isEmpty())
            QCOMPARE(QList<int>(members->cbegin(), members->cend()),
                     plain(db::SearchTable::Members, t, QString(), QStringLiteral("ID")));
        const auto locked = MemberListIds(ctx(), {1, text});
        QVERIFY(locked);
        if (!t.isEmpty())
            QCOMPARE(
                QList<int>(locked->cbegin(), locked->cend()),
                plain(db::SearchTable::Members, t, QStringLiteral("UserState = 1"), QStringLiteral("ID")));
        const auto listed = ListProductIds(ctx(), kListAllOnSale, {text, 0});
        QVERIFY(listed);
        QCOMPARE(QList<int>(listed->cbegin(), listed->cend()),
                 plain(db::SearchTable::Products, t, QStringLiteral("State = 1"),
                       QStringLiteral("AddDate DESC, ID DESC")));

        // Read a page at a time, the same IDs in the same order, whatever the page size.
        for (const int size : {1, 2, 7, 500}) {
            for (const int state : {-1, 1}) {
                const auto whole = MemberListIds(ctx(), {state, text});
                QVERIFY(whole);
                QCOMPARE(allPages(MemberListPages(ctx(), {state, text}), size),
                         QList<int>(whole->cbegin(), whole->cend()));
            }
            for (const int filter : {kListAllOnSale, kListOffShelf}) {
                const auto whole = ListProductIds(ctx(), filter, {text, 0});
                QVERIFY(whole);
                QCOMPARE(allPages(ProductListPages(ctx(), filter, {text, 0}), size),
                         QList<int>(whole->cbegin(), whole->cend()));
            }
        }
    }

    // A shop from before the search index (version 5), and one whose SQLite index kept no
    // positions (version 6): the upgrade makes the index from the rows already there.
    void upgradeMakesTheIndex_data() {
        QTest::addColumn<int>("from");
        QTest::newRow("version 5") << 5;
        QTest::newRow("version 6") << 6;
    }
    void upgradeMakesTheIndex() {
        QFETCH(int, from);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        db::Database& db = shop.ctx.db;
        if (from == 6 && shop.isPostgres())
            QSKIP("PostgreSQL's index is the same in both versions");
        QStringList undo;
        if (shop.isPostgres()) {
            undo << QStringLiteral("DROP FUNCTION selvo_find_grams(text) CASCADE")
                 << QStringLiteral("DROP FUNCTION selvo_find_key(text, text, text, text) CASCADE");
        } else {
            for (const char* index : {"tb_members_find", "tb_product_find"})
                for (const char* drop : {"DROP TRIGGER %1_ai", "DROP TRIGGER %1_ad", "DROP TRIGGER %1_au",
                                         "DROP TABLE %1_terms", "DROP TABLE %1"})
                    undo << QString::fromLatin1(drop).arg(QLatin1String(index));
        }
        for (const QString& sql : undo)
            QVERIFY2(db.exec(sql), qPrintable(db.lastError()));
        // Rows the older program wrote.
        for (int i = 0; i < 30; ++i) {
            QVERIFY(db.exec(
                QStringLiteral("INSERT INTO tb_members(TrueName, FirstSpell, MobilePhone, MemberCode, "
                               "UserState) VALUES(?, ?, ?, ?, 0)"),
                {QStringLiteral("老会员%1").arg(i), QStringLiteral("lhy"),
                 QStringLiteral("1370000%1").arg(i, 4, 10, QLatin1Char('0')),
                 QStringLiteral("8000000%1").arg(i, 3, 10, QLatin1Char('0'))}));
            QVERIFY(shop.addProduct(QStringLiteral("OLD%1").arg(i), QStringLiteral("旧商品%1").arg(i), 1) >
                    0);
        }
        if (from == 6) {
            // The index as version 6 made it: trigrams without their positions.
            for (const QString& ddl : db::SearchIndexDdl(db))
                QVERIFY2(db.exec(QString(ddl).replace(QStringLiteral("detail = full"),
                                                      QStringLiteral("detail = none"))),
                         qPrintable(db.lastError()));
        }
        QVERIFY(db.exec(QStringLiteral("UPDATE tb_SchemaVersion SET Version = ?"), {from}));
        QCOMPARE(db::migrate(db), db::MigrateResult::Ok);
        QCOMPARE(db::schemaVersion(db), db::kSchemaVersion);
        if (!shop.isPostgres())
            QVERIFY(db.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = 'tb_members_find'"))
                        ->toString()
                        .contains(QStringLiteral("detail = full")));

        // Old rows are found through the index, and so are rows written after the upgrade.
        QVERIFY(shop.addMember(QStringLiteral("新会员"), QStringLiteral("13700009999")) > 0);
        for (const char* raw : {"老会员1", "00000", "0000001", "000000", "137000", "lhy", "新会员", "旧商品2",
                                "old1", "无此人"}) {
            const QString text = QString::fromUtf8(raw);
            for (const db::SearchTable table : {db::SearchTable::Members, db::SearchTable::Products}) {
                const auto narrowed = db::IndexCondition(db, table, text);
                QVERIFY(narrowed);
                const QString tableName = table == db::SearchTable::Members ? QStringLiteral("tb_members")
                                                                            : QStringLiteral("tb_product");
                const db::SqlPart c = db::ContainsCondition(db, table, text);
                QCOMPARE(ids(shop.ctx,
                             QStringLiteral("SELECT ID FROM ") + tableName + QStringLiteral(" WHERE ") +
                                 narrowed->sql + QStringLiteral(" AND ") + c.sql +
                                 QStringLiteral(" ORDER BY ID"),
                             narrowed->binds + c.binds),
                         ids(shop.ctx,
                             QStringLiteral("SELECT ID FROM ") + tableName + QStringLiteral(" WHERE ") +
                                 c.sql + QStringLiteral(" ORDER BY ID"),
                             c.binds));
            }
        }
        QCOMPARE(PickerMembers(shop.ctx, QStringLiteral("老会员25")).size(), 1);
    }

    // Rows written by any program, bypassing this one, are found (and no longer found) at once.
    void indexFollowsEveryWrite() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const auto find = [&](const QString& text) {
            QList<int> out;
            for (const PickerItem& item : PickerMembers(shop.ctx, text))
                out << item.id;
            return out;
        };
        const auto findProduct = [&](const QString& text) {
            QList<int> out;
            for (const PickerRow& r : PickerRows(shop.ctx, text))
                out << r.id;
            return out;
        };
        QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_members(TrueName, MobilePhone, UserState) "
                                                "VALUES('外来会员', '15911112222', 0)")));
        const int id = shop.ctx.db.scalar(QStringLiteral("SELECT max(ID) FROM tb_members"))->toInt();
        QCOMPARE(find(QStringLiteral("外来会员")), QList<int>{id});
        QCOMPARE(find(QStringLiteral("1111")), QList<int>{id});
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET TrueName = '改名了' WHERE ID = ?"), {id}));
        QCOMPARE(find(QStringLiteral("外来会员")), QList<int>());
        QCOMPARE(find(QStringLiteral("外来")), QList<int>());
        QCOMPARE(find(QStringLiteral("改名了")), QList<int>{id});
        QCOMPARE(find(QStringLiteral("1111")), QList<int>{id});
        // A write that leaves the searched columns alone (a sale's balance) keeps the row found.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Balance = 5 WHERE ID = ?"), {id}));
        QCOMPARE(find(QStringLiteral("改名了")), QList<int>{id});
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {id}));
        QCOMPARE(find(QStringLiteral("改名了")), QList<int>());

        const int p = shop.addProduct(QStringLiteral("EXT-001"), QStringLiteral("外来商品"), 3, 0, 0, 0, 1,
                                      ProductOnSale);
        QCOMPARE(findProduct(QStringLiteral("ext-0")), QList<int>{p});
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET PrdCode = 'NEW-9' WHERE ID = ?"), {p}));
        QCOMPARE(findProduct(QStringLiteral("ext-0")), QList<int>());
        QCOMPARE(findProduct(QStringLiteral("w-9")), QList<int>{p});
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE ID = ?"), {p}));
        QCOMPARE(findProduct(QStringLiteral("w-9")), QList<int>());
    }

    // The uniqueness checks on saving compare trimmed values, the stored ones too.
    void trimmedUniqueness() {
        QVERIFY(ctx().db.exec(
            QStringLiteral("UPDATE tb_product SET PrdCode = ' P001x ' WHERE PrdCode = 'P001x'")));
        const int other = ctx().db.scalar(QStringLiteral("SELECT max(ID) FROM tb_product"))->toInt();
        QVERIFY(ProductCodeExists(ctx(), QStringLiteral("P001x"), other));
        QVERIFY(ProductCodeExists(ctx(), QStringLiteral(" P001x"), other));
        QVERIFY(!ProductCodeExists(ctx(), QStringLiteral("P001"), other));
        QVERIFY(ProductNameExists(ctx(), QStringLiteral("padded"), other));
    }
};

QTEST_GUILESS_MAIN(TestTextSearch)
#include "tst_text_search.moc"

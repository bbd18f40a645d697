// The same statements on SQLite and on PostgreSQL: dates, case-insensitive search, LIMIT, new IDs,
// column types, transactions after a failed statement, first start of several tills at once and
// the schema check.
#include "TestShop.h"

#include "core/db/Checkpointer.h"
#include "core/db/Database.h"
#include "core/db/Schema.h"
#include "core/store/Startup.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <ctime>

using namespace selvo;
using namespace selvo::test;

class TestEngines final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A zone far from the test server's UTC: the AddDate default must still be this till's time.
        qputenv("TZ", "Asia/Shanghai");
        tzset();
        qInfo("engine: %s", qPrintable(TestShop::engineName()));
    }

    void init() {
        m_shop = std::make_unique<TestShop>();
        QVERIFY2(m_shop->ok(), qPrintable(m_shop->error()));
    }
    void cleanup() { m_shop.reset(); }

    // SQLite's log is copied back on another connection while the program writes, and handed back
    // to the program's connection afterwards; nothing written is lost on the way.
    void logCopiedBackOnAConnectionOfItsOwn() {
        db::Database& db = m_shop->ctx.db;
        const auto autocheckpoint = [&] {
            return db.scalar(QStringLiteral("PRAGMA wal_autocheckpoint")).value_or(-1).toInt();
        };
        QVERIFY(db.exec(QStringLiteral("CREATE TABLE t_log (n integer)")));
        {
            db::Checkpointer checkpointer(db, 10);
            QCOMPARE(checkpointer.running(), !m_shop->isPostgres());
            if (m_shop->isPostgres())
                return;
            QCOMPARE(autocheckpoint(), 0);
            for (int i = 0; i < 300; ++i)
                QVERIFY(db::runTransaction(
                    db, [&] { return db.exec(QStringLiteral("INSERT INTO t_log(n) VALUES(?)"), {i}); }));
            QTRY_VERIFY(checkpointer.rounds() >= 2);
        }
        QCOMPARE(autocheckpoint(), 1000);
        // Everything written is in the database file itself once the log is copied back.
        QVERIFY(db.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")));
        db::Database other;
        QVERIFY(other.open(db.config()));
        QCOMPARE(other.scalar(QStringLiteral("SELECT count(*) FROM t_log"))->toInt(), 300);
    }

    // Whole-day filters, ordering and reading back, with values bound by dateTimeValue().
    void datesFilterSortAndReadBack() {
        db::Database& db = m_shop->ctx.db;
        const QList<QDateTime> times = {
            QDateTime(QDate(2024, 3, 4), QTime(23, 59, 59)), QDateTime(QDate(2024, 3, 5), QTime(0, 0, 0)),
            QDateTime(QDate(2024, 3, 5), QTime(9, 5, 7)), QDateTime(QDate(2024, 3, 5), QTime(23, 59, 59)),
            QDateTime(QDate(2024, 3, 6), QTime(0, 0, 0))};
        for (int i = times.size() - 1; i >= 0; --i)
            QVERIFY2(db.exec(QStringLiteral(
                                 "INSERT INTO tb_OpRecord(SaleManID, Content, AddDate) VALUES(?, ?, ?)"),
                             {i, QString::number(i), db.dateTimeValue(times[i])}),
                     qPrintable(db.lastError()));
        auto q = db.select(QStringLiteral("SELECT SaleManID, AddDate FROM tb_OpRecord WHERE AddDate >= ? AND "
                                          "AddDate <= ? ORDER BY AddDate"),
                           {db.dateTimeValue(QDateTime(QDate(2024, 3, 5), QTime(0, 0, 0))),
                            db.dateTimeValue(QDateTime(QDate(2024, 3, 5), QTime(23, 59, 59)))});
        QVERIFY(q);
        QList<int> ids;
        while (q->next()) {
            ids << q->value(0).toInt();
            QCOMPARE(db::toDateTime(q->value(1)), times[q->value(0).toInt()]);
        }
        QCOMPARE(ids, (QList<int>{1, 2, 3}));
    }

    // The database's own "now" (AddDate default) is this till's local time, on the server too.
    void addDateDefaultIsLocalTime() {
        db::Database& db = m_shop->ctx.db;
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QVERIFY(db.exec(QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content) VALUES(1, 'now')")));
        const QDateTime after = QDateTime::currentDateTime().addSecs(1);
        const QDateTime stored =
            db::toDateTime(*db.scalar(QStringLiteral("SELECT AddDate FROM tb_OpRecord")));
        QVERIFY2(stored >= before.addMSecs(-before.time().msec()) && stored <= after,
                 qPrintable(stored.toString(Qt::ISODate) + QLatin1Char(' ') + before.toString(Qt::ISODate)));
    }

    void searchIgnoresCaseAndEscapes_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("letter case") << "apple"
                                     << QStringList{QStringLiteral("APPLE pie"), QStringLiteral("Apple")};
        QTest::newRow("percent is literal") << "100%" << QStringList{QStringLiteral("100% 果汁")};
        QTest::newRow("underscore is literal") << "a_b" << QStringList{QStringLiteral("a_b")};
        QTest::newRow("backslash is literal") << "a\\b" << QStringList{QStringLiteral("a\\b")};
        QTest::newRow("chinese") << "果汁"
                                 << QStringList{QStringLiteral("1000 果汁"), QStringLiteral("100% 果汁")};
        QTest::newRow("emoji") << "😀" << QStringList{QStringLiteral("笑脸😀")};
        QTest::newRow("quotes and sql") << "'; DROP TABLE tb_members; --" << QStringList{};
        QTest::newRow("empty matches all") << "" << QStringList{};
    }
    void searchIgnoresCaseAndEscapes() {
        QFETCH(QString, typed);
        QFETCH(QStringList, found);
        const QStringList names{QStringLiteral("Apple"),     QStringLiteral("APPLE pie"),
                                QStringLiteral("100% 果汁"), QStringLiteral("1000 果汁"),
                                QStringLiteral("a_b"),       QStringLiteral("axb"),
                                QStringLiteral("a\\b"),      QStringLiteral("笑脸😀")};
        for (int i = 0; i < names.size(); ++i)
            QVERIFY(m_shop->addMember(names[i], QString::number(i)) > 0);
        db::Database& db = m_shop->ctx.db;
        auto q =
            db.select(QStringLiteral("SELECT TrueName FROM tb_members WHERE ") +
                          db.likeClause(QStringLiteral("TrueName")) + QStringLiteral(" ORDER BY ID DESC"),
                      {db::likePattern(typed)});
        QVERIFY2(q, qPrintable(db.lastError()));
        QStringList got;
        while (q->next())
            got << q->value(0).toString();
        if (typed.isEmpty())
            found = QStringList(names.crbegin(), names.crend());
        QCOMPARE(got, found);
        QCOMPARE(m_shop->count(QStringLiteral("tb_members")), qint64(names.size()));
    }

    // LIMIT with a bound count; "add new, then read back the ID" past the administrator's fixed ID 1;
    // the types each column comes back with.
    void limitIdsAndTypes() {
        db::Database& db = m_shop->ctx.db;
        const int op = m_shop->addOperator(QStringLiteral("clerk"), QStringLiteral("pw"));
        QCOMPARE(op, 2);
        const int a = m_shop->addMember(QStringLiteral("甲"), QStringLiteral("1"), 0.1 + 0.2, 7);
        const int b = m_shop->addMember(QStringLiteral("乙"), QStringLiteral("2"));
        QVERIFY(a > 0 && b == a + 1);
        auto q = db.select(
            QStringLiteral("SELECT ID, Balance, Integral, MemberCode, AddDate, BirthDay FROM tb_members "
                           "ORDER BY ID LIMIT ?"),
            {1});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), a);
        QCOMPARE(q->value(1).metaType().id(), int(QMetaType::Double));
        QVERIFY(q->value(1).toDouble() == 0.1 + 0.2); // all 8 bytes survive the trip
        QCOMPARE(q->value(2).toInt(), 7);
        QCOMPARE(q->value(3).toString(), QString());
        QVERIFY(db::toDateTime(q->value(4)).isValid());
        QVERIFY(q->value(5).isNull());
        QVERIFY(!q->next());
    }

    // On PostgreSQL a failed statement spoils the transaction: committing it must not report success.
    // SQLite keeps the other statements, so the caller's choice to commit stands there.
    void commitAfterFailedStatement() {
        db::Database& db = m_shop->ctx.db;
        const QString insert = QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content) VALUES(1, ?)");
        QVERIFY(db.begin());
        QVERIFY(db.exec(insert, {QStringLiteral("a")}));
        QVERIFY(!db.exec(QStringLiteral("INSERT INTO tb_no_such_table VALUES(1)")));
        const bool committed = db.commit();
        QCOMPARE(db.transactionDepth(), 0);
        QCOMPARE(committed, !m_shop->isPostgres());
        QCOMPARE(m_shop->count(QStringLiteral("tb_OpRecord")), qint64(committed ? 1 : 0));

        // Rolling back the savepoint around the failure makes the transaction whole again on both.
        QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_OpRecord")));
        QVERIFY(db.begin());
        QVERIFY(db.exec(insert, {QStringLiteral("b")}));
        {
            db::Transaction inner(db);
            QVERIFY(inner.ok());
            QVERIFY(!db.exec(QStringLiteral("INSERT INTO tb_no_such_table VALUES(1)")));
        }
        QVERIFY(db.exec(insert, {QStringLiteral("c")}));
        QVERIFY2(db.commit(), qPrintable(db.lastError()));
        QCOMPARE(m_shop->count(QStringLiteral("tb_OpRecord")), qint64(2));
    }

    // PostgreSQL will not put a boolean into an integer column; both engines refuse it alike.
    void booleanValuesAreRefused() {
        db::Database& db = m_shop->ctx.db;
        const int m = m_shop->addMember(QStringLiteral("甲"), QStringLiteral("1"));
        QVERIFY(!db.exec(QStringLiteral("UPDATE tb_members SET Sex = ? WHERE ID = ?"), {true, m}));
        QVERIFY(db.lastError().contains(QLatin1String("integers")));
        QVERIFY(db.exec(QStringLiteral("UPDATE tb_members SET Sex = ? WHERE ID = ?"), {0, m}));
        QCOMPARE(db.scalar(QStringLiteral("SELECT Sex FROM tb_members WHERE ID = ?"), {m})->toInt(), 0);
    }

    // Column checks by exact name (the server folds unquoted names to lower case) and the start-up
    // upgrade of an old order-lines table.
    void orderLineColumnsAreAddedWhenMissing() {
        db::Database& db = m_shop->ctx.db;
        const QString t = QStringLiteral("tb_order_lines");
        QCOMPARE(db::ColumnExists(db, t, QStringLiteral("Integral")), 1);
        QCOMPARE(db::ColumnExists(db, t, QStringLiteral("NoSuchColumn")), 0);
        QCOMPARE(db::ColumnExists(db, QStringLiteral("tb_no_such_table"), QStringLiteral("x")), -1);
        QVERIFY(db.exec(QStringLiteral("INSERT INTO tb_order_lines(OrderNo, PrdCode) VALUES('1', 'A')")));
        // A table from before the column had no index naming it either.
        QVERIFY(db.exec(QStringLiteral("DROP INDEX ix_lines_saledate_sums")));
        QVERIFY(db.exec(QStringLiteral("DROP INDEX ix_lines_prd_sums")));
        QVERIFY(db.exec(QStringLiteral("ALTER TABLE tb_order_lines DROP COLUMN PayType")));
        QCOMPARE(db::ColumnExists(db, t, QStringLiteral("PayType")), 0);
        db::UpgradeOrderLines(db);
        QCOMPARE(db::ColumnExists(db, t, QStringLiteral("PayType")), 1);
        QCOMPARE(db.scalar(QStringLiteral("SELECT PayType FROM tb_order_lines"))->toInt(), 0);
        QVERIFY(db::CheckSchema(db).isEmpty());
    }

    // `selvo-cli check` on a sound shop, and on one whose ID generator fell behind (a restore that
    // did not carry the identity along).
    void checkCommand() {
        auto run = [&] {
            QProcess cli;
            cli.start(QStringLiteral(SELVO_CLI_PATH),
                      {QStringLiteral("check"), QStringLiteral("--data"), m_shop->dataFolder()});
            cli.waitForFinished(60000);
            return std::make_pair(
                cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError()));
        };
        const auto [sound, soundText] = run();
        QVERIFY2(sound == 0, qPrintable(soundText));
        QVERIFY(soundText.contains(QLatin1String("tables: ok")));
        if (!m_shop->isPostgres())
            return; // SQLite takes new IDs from the table itself; it cannot fall behind
        QVERIFY(m_shop->ctx.db.exec(
            QStringLiteral("INSERT INTO tb_members(ID, TrueName, MobilePhone) VALUES(500, 'x', '9')")));
        const auto [behind, behindText] = run();
        QCOMPARE(behind, 1);
        QVERIFY2(behindText.contains(QLatin1String("tb_members.ID: identity is behind")),
                 qPrintable(behindText));
    }

    // Tills started at the same moment on an empty shared database: one creates the schema, the
    // others find it made.
    void tillsStartingTogetherOnAnEmptyDatabase() {
        QTemporaryDir folder;
        QString dropName;
        db::Database admin;
        if (m_shop->isPostgres()) {
            const auto server = TestShop::pgServer();
            QVERIFY(server && admin.open(*server));
            dropName = QStringLiteral("selvo_empty_%1").arg(QCoreApplication::applicationPid());
            admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(dropName));
            QVERIFY(admin.exec(QStringLiteral("CREATE DATABASE %1").arg(dropName)));
            QSettings conf(QDir(folder.path()).filePath(QStringLiteral("selvo.conf")), QSettings::IniFormat);
            conf.setValue(QStringLiteral("Database/driver"), QStringLiteral("postgres"));
            conf.setValue(QStringLiteral("Database/host"), server->host);
            conf.setValue(QStringLiteral("Database/port"), server->port);
            conf.setValue(QStringLiteral("Database/name"), dropName);
            conf.setValue(QStringLiteral("Database/user"), server->user);
            conf.setValue(QStringLiteral("Database/password"), server->password);
        }
        QList<QProcess*> tills;
        for (int i = 0; i < 4; ++i) {
            auto* p = new QProcess(this);
            p->setProgram(QStringLiteral(SELVO_CLI_PATH));
            p->setArguments({QStringLiteral("init"), QStringLiteral("--data"), folder.path()});
            tills << p;
        }
        for (QProcess* p : tills)
            p->start();
        for (QProcess* p : tills) {
            QVERIFY(p->waitForFinished(60000));
            QVERIFY2(p->exitCode() == 0, p->readAllStandardError().constData());
        }
        {
            AppContext ctx;
            QVERIFY(OpenDatabase(ctx, folder.path()).ok);
            QCOMPARE(db::schemaVersion(ctx.db), db::kSchemaVersion);
            QCOMPARE(ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_SchemaVersion"))->toInt(), 1);
            QCOMPARE(ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_manager"))->toInt(), 1);
            QCOMPARE(ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_StoreInfo"))->toInt(), 1);
            QCOMPARE(ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_Units"))->toInt(), 1);
        }
        if (!dropName.isEmpty())
            QVERIFY(admin.exec(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(dropName)));
    }

private:
    std::unique_ptr<TestShop> m_shop;
};

QTEST_GUILESS_MAIN(TestEngines)
#include "tst_engines.moc"

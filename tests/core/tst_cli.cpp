#include "TestShop.h"

#include "core/db/Database.h"
#include "core/db/Schema.h"
#include "core/members/MemberPicker.h"
#include "core/products/ProductPicker.h"
#include "core/store/StoreOps.h"
#include "core/store/Vocabulary.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

class TestCli final : public QObject {
    Q_OBJECT

    struct Run {
        int code = -1;
        QString out;
        QString err;
    };
    static Run cli(const QStringList& args) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("SELVO_DATA_DIR"));
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(SELVO_CLI_PATH), args);
        if (!p.waitForFinished(60000))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

private slots:
    void initThenCheck() {
        QTemporaryDir dir;
        const Run init = cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()});
        QCOMPARE(init.code, 0);
        QCOMPARE(init.out.trimmed(), dir.filePath(QStringLiteral("hydb.db")));
        // A second init upgrades nothing and still succeeds.
        QCOMPARE(cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()}).code, 0);
        const Run check = cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()});
        QCOMPARE(check.code, 0);
        QVERIFY(check.out.contains(QStringLiteral("schema version: %1").arg(selvo::db::kSchemaVersion)));
        QVERIFY(check.out.contains(QStringLiteral("day sums: ok")));
        QVERIFY(check.out.contains(QStringLiteral("integrity: ok")));
        QVERIFY(check.out.contains(QStringLiteral("tb_manager: 1")));
    }

    void checkNeverWritesAndReportsProblems() {
        QTemporaryDir dir;
        // No database yet: check reports it and creates nothing.
        QVERIFY(cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()}).code != 0);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("hydb.db"))));

        QFile junk(dir.filePath(QStringLiteral("hydb.db")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write(QByteArray(4096, '\x5a'));
        junk.close();
        QVERIFY(cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()}).code != 0);
        QVERIFY(cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()}).code != 0);
        QVERIFY(junk.open(QIODevice::ReadOnly));
        QCOMPARE(junk.readAll(), QByteArray(4096, '\x5a'));
    }

    void checkFindsAMissingSettingsRow() {
        QTemporaryDir dir;
        QCOMPARE(cli({QStringLiteral("init"), QStringLiteral("--data"), dir.path()}).code, 0);
        {
            selvo::db::Database db;
            selvo::db::ConnectionConfig c;
            c.sqliteFile = dir.filePath(QStringLiteral("hydb.db"));
            QVERIFY(db.open(c));
            QVERIFY(db.exec(QStringLiteral("DELETE FROM tb_StoreInfo")));
        }
        const Run check = cli({QStringLiteral("check"), QStringLiteral("--data"), dir.path()});
        QVERIFY(check.code != 0);
        QVERIFY(check.err.contains(QStringLiteral("tb_StoreInfo")));
    }

    // The pickers' rows for a text, one per line in their order, from outside the program.
    void findPrintsThePickersRows() {
        selvo::test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 0, 0, 0,
                               QStringLiteral("VIP001")) > 0);
        QVERIFY(shop.addMember(QStringLiteral("张\t三\\丰"), QStringLiteral("13800000002")) > 0);
        QVERIFY(shop.addMember(QStringLiteral("李四"), QStringLiteral("13900000003"), 0, 0, 1) > 0); // locked
        QVERIFY(shop.addProduct(QStringLiteral("690001"), QStringLiteral("可乐 500ml"), 3) > 0);
        QVERIFY(shop.addProduct(QStringLiteral("690002"), QStringLiteral("50%折扣可乐"), 2.5) > 0);
        QVERIFY(shop.addProduct(QStringLiteral("690003"), QStringLiteral("下架可乐"), 2, 0, 0, 0, 1,
                                selvo::ProductOffShelf) > 0);
        const QString folder = shop.dataFolder();
        // A cell's tab, line break or backslash is written as an escape, one row per line.
        const auto escaped = [](QString cell) {
            return cell.replace(QStringLiteral("\\"), QStringLiteral("\\\\"))
                .replace(QStringLiteral("\t"), QStringLiteral("\\t"))
                .replace(QStringLiteral("\n"), QStringLiteral("\\n"))
                .replace(QStringLiteral("\r"), QStringLiteral("\\r"));
        };

        const auto lines = [&](const char* command, const QString& text) {
            const Run r = cli({QString::fromLatin1(command), QStringLiteral("--data"), folder, text});
            return r.code == 0 ? r.out.split(u'\n', Qt::SkipEmptyParts) : QStringList{r.err};
        };
        for (const char* raw : {"张", "138", "vip", "李四", "'; DROP TABLE tb_members; --", "无此人"}) {
            const QString text = QString::fromUtf8(raw);
            QStringList expected;
            for (const selvo::PickerItem& item : selvo::PickerMembers(shop.ctx, text))
                expected << QString::number(item.id) + u'\t' + escaped(item.text);
            QCOMPARE(lines("find-member", text), expected);
        }
        QCOMPARE(lines("find-member", QStringLiteral("张")).size(), 2);
        QVERIFY(
            lines("find-member", QStringLiteral("丰")).value(0).contains(QStringLiteral("张\\t三\\\\丰")));
        for (const char* raw : {"可乐", "50%", "6900", "%", "_", "nothing"}) {
            const QString text = QString::fromUtf8(raw);
            QStringList expected;
            for (const selvo::PickerRow& r : selvo::PickerRows(shop.ctx, text))
                expected << QStringList{QString::number(r.id), escaped(r.code), escaped(r.name), r.price,
                                        escaped(r.unit)}
                                .join(u'\t');
            QCOMPARE(lines("find-product", text), expected);
        }
        QCOMPARE(lines("find-product", QStringLiteral("%")).size(), 1);

        // --time adds the search's time on a last line.
        const Run timed = cli({QStringLiteral("find-product"), QStringLiteral("--data"), folder,
                               QStringLiteral("--time"), QStringLiteral("可乐")});
        QCOMPARE(timed.code, 0);
        const QStringList out = timed.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(out.size(), 3);
        QVERIFY2(QRegularExpression(QStringLiteral("^\\d+\\.\\d{3} ms$")).match(out.last()).hasMatch(),
                 qPrintable(out.last()));

        // A shop at another schema version is not searched.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_SchemaVersion SET Version = 1")));
        const Run old =
            cli({QStringLiteral("find-member"), QStringLiteral("--data"), folder, QStringLiteral("张")});
        QCOMPARE(old.code, 1);
        QVERIFY(old.err.contains(QStringLiteral("schema version")));
    }

    void unknownCommand() { QCOMPARE(cli({QStringLiteral("frobnicate")}).code, 2); }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"

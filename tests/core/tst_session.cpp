#include "TestShop.h"

#include "core/store/Operator.h"
#include "core/store/StoreOps.h"
#include "core/store/StoreSettings.h"
#include "core/support/Password.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

class TestSession final : public QObject {
    Q_OBJECT

private slots:
    void nobodyLoggedIn() {
        CurrentOperator op;
        QCOMPARE(op.id, -1);
        QCOMPARE(op.role, -1);
        QVERIFY(!op.loggedIn());
        op = {QStringLiteral("0001"), 1, QStringLiteral("管理员"), 0};
        QVERIFY(op.loggedIn());
        op.clear();
        QCOMPARE(op.id, -1);
        QCOMPARE(op.role, -1);
        QVERIFY(op.name.isEmpty() && op.employeeNo.isEmpty());
    }

    void roleRule_data() {
        QTest::addColumn<int>("right");
        QTest::addColumn<QList<bool>>("allowed"); // roles 0, 1, 2, -1 (nobody)
        QTest::newRow("product section")
            << int(Right::ProductSection) << QList<bool>{true, true, false, false};
        QTest::newRow("member section")
            << int(Right::MemberSection) << QList<bool>{true, false, false, false};
        QTest::newRow("operators") << int(Right::OperatorManagement)
                                   << QList<bool>{true, false, false, false};
        QTest::newRow("store info") << int(Right::StoreInformation) << QList<bool>{true, false, false, false};
        QTest::newRow("delete member") << int(Right::DeleteMember) << QList<bool>{true, false, false, false};
        QTest::newRow("everyday work") << int(Right::Everyday) << QList<bool>{true, true, true, false};
    }
    void roleRule() {
        QFETCH(int, right);
        QFETCH(QList<bool>, allowed);
        const QList<int> roles{0, 1, 2, -1};
        for (int i = 0; i < roles.size(); ++i)
            QVERIFY2(HasRight(roles[i], Right(right)) == allowed[i], qPrintable(QString::number(roles[i])));
        QCOMPARE(NoRightText(), QStringLiteral("对不起，您没有此操作权限"));
    }

    void passwordsAreHashedAndComparedTrimmed_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("matches");
        QTest::newRow("same") << "s3cret"
                              << "s3cret" << true;
        QTest::newRow("typed with blanks") << "s3cret"
                                           << "  s3cret " << true;
        QTest::newRow("different case") << "s3cret"
                                        << "S3cret" << false;
        QTest::newRow("prefix") << "s3cret"
                                << "s3cre" << false;
        QTest::newRow("apostrophe") << "it's"
                                    << "it's" << true;
        QTest::newRow("sql text") << "' OR '1'='1"
                                  << "' OR '1'='1" << true;
        QTest::newRow("sql text does not open the door") << "real"
                                                         << "' OR '1'='1" << false;
        QTest::newRow("chinese and emoji") << "密码😀"
                                           << "密码😀" << true;
        QTest::newRow("empty typed") << "s3cret"
                                     << "" << false;
    }
    void passwordsAreHashedAndComparedTrimmed() {
        QFETCH(QString, stored);
        QFETCH(QString, typed);
        QFETCH(bool, matches);
        const QString hash = HashPassword(stored);
        QVERIFY(IsPasswordHash(hash));
        QVERIFY(!hash.contains(stored));
        const PasswordCheck hashed = VerifyPassword(typed, hash);
        QCOMPARE(hashed.matches, matches);
        QVERIFY(hashed.rehash.isEmpty());
        // A password stored before hashing verifies the same way, once.
        const PasswordCheck legacy = VerifyPassword(typed, stored);
        QCOMPARE(legacy.matches, matches);
        QCOMPARE(legacy.rehash.isEmpty(), !matches);
        if (matches)
            QVERIFY(VerifyPassword(typed, legacy.rehash).matches);
    }

    void legacyPasswordIsRehashedOnFirstUse() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET PWD = 'old''pw' WHERE ID = 1")));
        QCOMPARE(CheckOperatorPassword(shop.ctx, 1, QStringLiteral("wrong")), 0);
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT PWD FROM tb_manager WHERE ID = 1"))->toString(),
                 QStringLiteral("old'pw"));
        QCOMPARE(CheckOperatorPassword(shop.ctx, 1, QStringLiteral(" old'pw ")), 1);
        const QString stored =
            shop.ctx.db.scalar(QStringLiteral("SELECT PWD FROM tb_manager WHERE ID = 1"))->toString();
        QVERIFY(IsPasswordHash(stored));
        QCOMPARE(CheckOperatorPassword(shop.ctx, 1, QStringLiteral("old'pw")), 1);
        QCOMPARE(CheckOperatorPassword(shop.ctx, 77, QStringLiteral("old'pw")), 0);
        // The initial account's password is "admin" until changed.
        TestShop fresh;
        QVERIFY2(fresh.ok(), qPrintable(fresh.error()));
        QCOMPARE(CheckOperatorPassword(fresh.ctx, 1, QStringLiteral("admin")), 1);
    }

    void storeSettings() {
        StoreSettings settings;
        QCOMPARE(settings.yuanToInteral, 1);
        QCOMPARE(settings.interalToYuan, 100);
        QCOMPARE(settings.specialOffer, false);
        QVERIFY(settings.storeName.isEmpty() && settings.piaoInfo.isEmpty());

        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_StoreInfo SET YuanToInteral = 10, InteralToYuan = 50, "
                                            "SpecialOffer = -1, StoreName = ?, piaoInfo = ?"),
                             {QStringLiteral("岚拓小店"), QStringLiteral("欢迎再来")}));
        QVERIFY(LoadStoreSettings(shop.ctx.db, settings));
        QCOMPARE(settings.yuanToInteral, 10);
        QCOMPARE(settings.interalToYuan, 50);
        QCOMPARE(settings.specialOffer, true);
        QCOMPARE(settings.storeName, QStringLiteral("岚拓小店"));
        QCOMPARE(settings.piaoInfo, QStringLiteral("欢迎再来"));

        // Without the row the block keeps what it had.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_StoreInfo")));
        QVERIFY(!LoadStoreSettings(shop.ctx.db, settings));
        QCOMPARE(settings.yuanToInteral, 10);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"

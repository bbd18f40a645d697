#include "TestShop.h"

#include "core/store/StoreInfo.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;
using F = StoreSaveResult::Field;

Q_DECLARE_METATYPE(StoreSaveResult::Field)

class TestStoreInfo final : public QObject {
    Q_OBJECT

private slots:
    void storeInformation() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        StoreInfo info;
        info.storeName = QStringLiteral(" \t ");
        const StoreSaveResult blank = SaveStoreInfo(shop.ctx, info);
        QCOMPARE(blank.message, QStringLiteral("请输入商店名称"));
        QCOMPARE(blank.focus, F::StoreName);

        info.storeName = QStringLiteral("  岚拓小店 😀 ");
        info.location = QStringLiteral(" 路 '1' ");
        info.website = QStringLiteral("http://x");
        info.phone = QStringLiteral("0571");
        info.announcement = QStringLiteral("第一行\n第二行");
        info.piaoInfo = QStringLiteral("欢迎再来'); DROP TABLE tb_StoreInfo; --");
        const StoreSaveResult saved = SaveStoreInfo(shop.ctx, info);
        QVERIFY(saved.ok);
        const StoreInfo back = *LoadStoreInfo(shop.ctx);
        QCOMPARE(back.storeName, QStringLiteral("岚拓小店 😀"));
        QCOMPARE(back.location, info.location);
        QCOMPARE(back.announcement, info.announcement);
        QCOMPARE(back.piaoInfo, info.piaoInfo);
        // The settings block follows at once.
        QCOMPARE(shop.ctx.settings.storeName, QStringLiteral("岚拓小店 😀"));
        QCOMPARE(shop.ctx.settings.piaoInfo, info.piaoInfo);

        shop.ctx.db.failNthStatement(2);
        const StoreSaveResult failed = SaveStoreInfo(shop.ctx, info);
        QVERIFY(!failed.ok);
        QVERIFY(!failed.databaseError.isEmpty());
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_StoreInfo")));
        QCOMPARE(SaveStoreInfo(shop.ctx, info).message, QStringLiteral("打开商店信息失败"));
    }

    void pointsRulesRefusals_data() {
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("redemption");
        QTest::addColumn<QString>("message");
        QTest::addColumn<StoreSaveResult::Field>("focus");
        QTest::newRow("zero rate") << "0"
                                   << "100"
                                   << "不能小于1元" << F::PointsRate;
        QTest::newRow("text rate") << "abc"
                                   << "100"
                                   << "不能小于1元" << F::PointsRate;
        QTest::newRow("negative rate") << "-5"
                                       << "100"
                                       << "不能小于1元" << F::PointsRate;
        QTest::newRow("huge rate") << "99999999999"
                                   << "100"
                                   << "不能小于1元" << F::PointsRate;
        QTest::newRow("hex rate") << "0x10"
                                  << "100"
                                  << "不能小于1元" << F::PointsRate;
        QTest::newRow("the first refusal wins") << ""
                                                << "0"
                                                << "不能小于1元" << F::PointsRate;
        QTest::newRow("zero redemption") << "10"
                                         << "0"
                                         << "不能小于1分" << F::RedemptionRate;
        QTest::newRow("nan redemption") << "10"
                                        << "nan"
                                        << "不能小于1分" << F::RedemptionRate;
        QTest::newRow("fraction below one") << "10"
                                            << "0.9"
                                            << "不能小于1分" << F::RedemptionRate;
    }
    void pointsRulesRefusals() {
        QFETCH(QString, rate);
        QFETCH(QString, redemption);
        QFETCH(QString, message);
        QFETCH(StoreSaveResult::Field, focus);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const StoreSaveResult r = SavePointsRules(shop.ctx, rate, redemption, true);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, message);
        QCOMPARE(r.focus, focus);
        // A refused dialog changes neither the rules in force nor the stored row, even when the
        // first rate was fine.
        QCOMPARE(shop.ctx.settings.yuanToInteral, 1);
        QCOMPARE(shop.ctx.settings.interalToYuan, 100);
        QCOMPARE(shop.ctx.settings.specialOffer, false);
        StoreSettings stored;
        QVERIFY(LoadStoreSettings(shop.ctx.db, stored));
        QCOMPARE(stored.yuanToInteral, 1);
    }

    void pointsRulesSaved() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(SavePointsRules(shop.ctx, QStringLiteral("10"), QStringLiteral("100元"), false).ok);
        StoreSettings stored;
        QVERIFY(LoadStoreSettings(shop.ctx.db, stored));
        QCOMPARE(stored.yuanToInteral, 10);
        QCOMPARE(stored.interalToYuan, 100);
        QCOMPARE(stored.specialOffer, false);
        QCOMPARE(shop.ctx.settings.yuanToInteral, 10);

        QVERIFY(SavePointsRules(shop.ctx, QStringLiteral(" 2.9"), QStringLiteral("50"), true).ok);
        QVERIFY(LoadStoreSettings(shop.ctx.db, stored));
        QCOMPARE(stored.yuanToInteral, 2);
        QCOMPARE(stored.specialOffer, true);

        // A failed write is reported and leaves the rules in force as they were.
        shop.ctx.db.failNthStatement(2);
        QCOMPARE(SavePointsRules(shop.ctx, QStringLiteral("7"), QStringLiteral("7"), false).message,
                 QStringLiteral("修改失败，请重试"));
        QCOMPARE(shop.ctx.settings.yuanToInteral, 2);
        QCOMPARE(shop.ctx.settings.specialOffer, true);
    }
};

QTEST_GUILESS_MAIN(TestStoreInfo)
#include "tst_storeinfo.moc"

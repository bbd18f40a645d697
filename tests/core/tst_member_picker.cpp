#include "TestShop.h"

#include "core/members/MemberPicker.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {
QStringList texts(const QList<PickerItem>& items) {
    QStringList list;
    for (const PickerItem& i : items)
        list << i.text;
    return list;
}
} // namespace

class TestMemberPicker final : public QObject {
    Q_OBJECT

private slots:
    void fiftyLowestIdsSortedByText() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        // Names in falling order, so sorting by text reverses the ID order.
        QList<int> ids;
        for (int i = 0; i < 60; ++i)
            ids << shop.addMember(QStringLiteral("m%1").arg(99 - i, 2, 10, QLatin1Char('0')),
                                  QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
        shop.addMember(QStringLiteral("a locked"), QStringLiteral("1"), 0, 0, 1);
        for (const QString& search :
             {QString(), QStringLiteral("   "), PickerHint(), QStringLiteral(" 139 ")}) {
            const QList<PickerItem> items = PickerMembers(shop.ctx, search);
            QCOMPARE(items.size(), kPickerLimit);
            QCOMPARE(items.first().text, QStringLiteral("m50(13900000049)"));
            QCOMPARE(items.first().id, ids.at(49));
            QCOMPARE(items.last().text, QStringLiteral("m99(13900000000)"));
            QCOMPARE(items.last().id, ids.at(0));
            QStringList sorted = texts(items);
            std::sort(sorted.begin(), sorted.end());
            QCOMPARE(texts(items), sorted);
        }
    }

    void search_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");
        const auto list = [](std::initializer_list<const char*> t) {
            QStringList l;
            for (const char* s : t)
                l << QString::fromUtf8(s);
            return l;
        };
        QTest::newRow("13 anywhere") << "13"
                                     << list({"A13(100)", "Bob(555)", "王五(13500000000)", "张三(200)"});
        QTest::newRow("lower-case initials") << "zs" << list({"张三(200)"});
        QTest::newRow("upper-case letters") << "BOB" << list({"Bob(555)"});
        QTest::newRow("name part") << "五" << list({"王五(13500000000)"});
        QTest::newRow("locked and lost never listed") << "锁" << QStringList();
        QTest::newRow("locked by exact mobile") << "13900000001" << QStringList();
        QTest::newRow("percent is literal") << "%" << list({"百分(%1)"});
        QTest::newRow("empty mobile") << "无号" << list({"无号()"});
        QTest::newRow("quote") << "'" << QStringList();
        QTest::newRow("SQL text") << "' OR ''='" << QStringList();
    }
    void search() {
        QFETCH(QString, text);
        QFETCH(QStringList, expected);
        TestShop shop;
        QVERIFY(shop.ok());
        shop.addMember(QStringLiteral("A13"), QStringLiteral("100"));
        const int zhang =
            shop.addMember(QStringLiteral("张三"), QStringLiteral("200"), 0, 0, 0, QStringLiteral("VIP013"));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET FirstSpell = 'ZS' WHERE ID = ?"),
                                 {zhang}));
        const int bob = shop.addMember(QStringLiteral("Bob"), QStringLiteral("555"));
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET FirstSpell = 'B13' WHERE ID = ?"), {bob}));
        shop.addMember(QStringLiteral("王五"), QStringLiteral("13500000000"));
        shop.addMember(QStringLiteral("锁定的"), QStringLiteral("13900000001"), 0, 0, 1);
        shop.addMember(QStringLiteral("挂失的锁"), QStringLiteral("13900000002"), 0, 0, 2);
        shop.addMember(QStringLiteral("百分"), QStringLiteral("%1"));
        shop.addMember(QStringLiteral("无号"), QString());
        QCOMPARE(texts(PickerMembers(shop.ctx, text)), expected);
    }

    void pickOnlyNormal() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("138"), 12.5, 7);
        auto picked = PickMember(shop.ctx, id);
        QVERIFY(picked);
        QCOMPARE(picked->id, id);
        QCOMPARE(picked->name, QStringLiteral("张三"));
        QCOMPARE(picked->mobile, QStringLiteral("138"));
        QCOMPARE(picked->points, 7);
        QCOMPARE(picked->balance, 12.5);
        // Locked meanwhile, or deleted: not taken.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET UserState = 1")));
        QVERIFY(!PickMember(shop.ctx, id));
        QVERIFY(!PickMember(shop.ctx, 999));
    }
};

QTEST_GUILESS_MAIN(TestMemberPicker)
#include "tst_member_picker.moc"

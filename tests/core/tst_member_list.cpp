#include "TestShop.h"

#include "core/members/Member.h"
#include "core/members/MemberList.h"
#include "core/store/StoreOps.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {
QStringList L(std::initializer_list<const char*> texts) {
    QStringList list;
    for (const char* t : texts)
        list << QString::fromUtf8(t);
    return list;
}

// Members with distinct registration times; `order` is the registration order (0 oldest).
struct Fixture {
    int zhang, li, wang, zhao;
};

bool setAddDate(TestShop& shop, int id, int minute) {
    return shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET AddDate = ? WHERE ID = ?"),
                            {shop.ctx.db.dateTimeValue(QDateTime(QDate(2024, 1, 1), QTime(10, minute))), id});
}

Fixture addFixture(TestShop& shop) {
    Fixture f{};
    // IDs ascend in this order; registration times do not.
    f.zhang = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 10, 1, 0,
                             QStringLiteral("A100%"));
    f.li = shop.addMember(QStringLiteral("李四"), QStringLiteral("13800000002"), 20, 2, 1,
                          QStringLiteral("B_200"));
    f.wang = shop.addMember(QStringLiteral("王五"), QStringLiteral("13900000003"), 30, 3, 0);
    f.zhao = shop.addMember(QStringLiteral("赵六's"), QStringLiteral("13900000004"), 40, 4, 2);
    setAddDate(shop, f.zhang, 3);
    setAddDate(shop, f.li, 1);
    setAddDate(shop, f.wang, 4);
    setAddDate(shop, f.zhao, 2);
    shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET FirstSpell = 'ZS' WHERE ID = ?"), {f.zhang});
    shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET FirstSpell = 'LS' WHERE ID = ?"), {f.li});
    return f;
}
} // namespace

class TestMemberList final : public QObject {
    Q_OBJECT

private slots:
    void filterAndOrder_data() {
        QTest::addColumn<int>("state");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("all, newest first") << -1 << "" << L({"王五", "张三", "赵六's", "李四"});
        QTest::newRow("blanks are no text") << -1 << "   " << L({"王五", "张三", "赵六's", "李四"});
        QTest::newRow("normal only") << 0 << "" << L({"王五", "张三"});
        QTest::newRow("text orders by ID") << -1 << "138" << L({"张三", "李四"});
        QTest::newRow("state and text") << 0 << "138" << L({"张三"});
        QTest::newRow("locked name under normal filter") << 0 << "李四" << QStringList();
        QTest::newRow("lower-case initials") << -1 << "zs" << L({"张三"});
        QTest::newRow("card number") << 2 << "" << L({"赵六's"});
        QTest::newRow("percent is literal") << -1 << "%" << L({"张三"});
        QTest::newRow("underscore is literal") << -1 << "_" << L({"李四"});
        QTest::newRow("quote") << -1 << "'s" << L({"赵六's"});
        QTest::newRow("SQL text") << -1 << "' OR 1=1 --" << QStringList();
        QTest::newRow("emoji") << -1 << "😀" << QStringList();
    }
    void filterAndOrder() {
        QFETCH(int, state);
        QFETCH(QString, text);
        QFETCH(QStringList, names);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        addFixture(shop);
        const auto ids = MemberListIds(shop.ctx, {state, text});
        QVERIFY(ids);
        QStringList got;
        for (const MemberListRow& row : MemberListRows(shop.ctx, *ids))
            got << row.texts.at(1);
        QCOMPARE(got, names);
    }

    void rowTexts() {
        TestShop shop;
        QVERIFY(shop.ok());
        const Fixture f = addFixture(shop);
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_members SET BirthDay = ?, IsLuner = -1, Cumulative = 1234.5, "
                           "LastEditDate = ? WHERE ID = ?"),
            {shop.ctx.db.dateTimeValue(QDateTime(QDate(1990, 5, 1), QTime(0, 0))),
             shop.ctx.db.dateTimeValue(QDateTime(QDate(2024, 2, 3), QTime(4, 5, 6))), f.zhang}));
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET BirthDay = ?, IsLuner = 0 WHERE ID = ?"),
                             {shop.ctx.db.dateTimeValue(QDateTime(QDate(2001, 12, 31), QTime(0, 0))), f.li}));
        // A row written by hand with NULLs where the program writes values.
        const int bare = int(
            *shop.ctx.db.insertReturningId(QStringLiteral("INSERT INTO tb_members(TrueName) VALUES('空')")));
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET UserState = 7 WHERE ID = ?"), {f.wang}));

        const auto rows = MemberListRows(shop.ctx, {f.zhang, f.li, bare, f.wang, 999});
        QCOMPARE(rows.size(), 4); // 999 does not exist
        QCOMPARE(rows[0].id, f.zhang);
        QCOMPARE(rows[0].texts,
                 (L({"A100%", "张三", "13800000001", "1", "￥1234.50", "￥10.00", "【农历】1990-05-01",
                     "2024-01-01 10:03:00", "2024-02-03 04:05:06", "正常"})));
        QCOMPARE(rows[1].texts.at(6), QStringLiteral("【公历】2001-12-31"));
        QCOMPARE(rows[1].texts.at(9), QStringLiteral("锁定"));
        QCOMPARE(rows[2].texts.at(0), QString());
        QCOMPARE(rows[2].texts.at(3), QStringLiteral("0"));
        QCOMPARE(rows[2].texts.at(5), QStringLiteral("￥0.00"));
        QCOMPARE(rows[2].texts.at(6), QStringLiteral("未填写"));
        QCOMPARE(rows[2].texts.at(8), QString());
        QCOMPARE(rows[2].texts.at(9), QStringLiteral("正常"));
        QCOMPARE(rows[3].texts.at(9), QStringLiteral("7"));
        QCOMPARE(MemberListColumns().size(), 10);
        QCOMPARE(MemberListColumns().at(9).header, QStringLiteral("用户状态"));
    }

    void totals() {
        TestShop shop;
        QVERIFY(shop.ok());
        QCOMPARE(MemberTotalsText(shop.ctx),
                 QStringLiteral("当前总余额:￥ 0.00元 / 总积分:0 / 累计消费:￥ 0.00元"));
        addFixture(shop);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET Cumulative = 0.125")));
        QCOMPARE(MemberTotalsText(shop.ctx),
                 QStringLiteral("当前总余额:￥ 100.00元 / 总积分:10 / 累计消费:￥ 0.50元"));
    }

    void deleteTickedMembers() {
        TestShop shop;
        QVERIFY(shop.ok());
        const Fixture f = addFixture(shop);
        const int all[] = {f.zhang, f.li, f.wang, f.zhao};
        for (int id : all) {
            const QString no = QStringLiteral("2024010110000%1").arg(id);
            QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID) VALUES(?, ?)"),
                                     {no, id}));
            QVERIFY(shop.ctx.db.exec(
                QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, PrdCode) VALUES(?, ?, 'P')"),
                {no, id}));
            QVERIFY(WriteTopupRecord(shop.ctx, true, id, QString(), 10, 0, 0));
        }
        QCOMPARE(MemberDeleteRefusal(shop.ctx, 0), QStringLiteral("请选择要删除的会员"));
        QCOMPARE(MemberDeleteRefusal(shop.ctx, 3), QString());
        QVERIFY(MemberDeleteQuestion().startsWith(
            QStringLiteral("确认要删除选中的会员吗？  此操作不可恢复！请慎用！\r\n\r\n")));

        // Three ticked, walked from the last row up; the fourth (wang) stays untouched.
        const QVector<int> gone = DeleteMembers(shop.ctx, {f.zhao, f.li, f.zhang});
        QCOMPARE(gone, (QVector<int>{f.zhao, f.li, f.zhang}));
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_members"), QStringLiteral("ID = ?"), {f.wang}), 1);
        for (const char* table : {"tb_orders", "tb_order_lines", "tb_TopupRecord"}) {
            QCOMPARE(shop.count(QString::fromLatin1(table)), 1);
            QCOMPARE(shop.count(QString::fromLatin1(table), QStringLiteral("MemID = ?"), {f.wang}), 1);
        }
        auto q = shop.ctx.db.select(QStringLiteral("SELECT Content, SaleManID FROM tb_OpRecord"));
        QStringList log;
        while (q && q->next()) {
            log << q->value(0).toString();
            QCOMPARE(q->value(1).toInt(), 1);
        }
        log.sort();
        QStringList expected = L(
            {"删除会员：赵六's(13900000004)", "删除会员：李四(13800000002)", "删除会员：张三(13800000001)"});
        expected.sort();
        QCOMPARE(log, expected);
        QVERIFY(shop.notes.messages.isEmpty());
    }

    void deletionIsAllOrNothingPerMember() {
        TestShop shop;
        QVERIFY(shop.ok());
        const Fixture f = addFixture(shop);
        for (int id : {f.zhang, f.li}) {
            QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID) VALUES(?, ?)"),
                                     {QStringLiteral("X%1").arg(id), id}));
            QVERIFY(WriteTopupRecord(shop.ctx, true, id, QString(), 10, 0, 0));
        }
        // Per member: the name read, four deletions, the log line. The first member's recharge
        // records cannot be deleted, so nothing of that member goes; the second still does.
        shop.ctx.db.failNthStatement(5);
        const QVector<int> gone = DeleteMembers(shop.ctx, {f.zhang, f.li});
        shop.ctx.db.failNthStatement(0);
        QCOMPARE(gone, QVector<int>{f.li});
        QCOMPARE(shop.count(QStringLiteral("tb_members"), QStringLiteral("ID = ?"), {f.zhang}), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_orders"), QStringLiteral("MemID = ?"), {f.zhang}), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("MemID = ?"), {f.zhang}), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_members"), QStringLiteral("ID = ?"), {f.li}), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), 1);
        QCOMPARE(shop.notes.messages, QStringList{QStringLiteral("删除会员失败！请重试")});

        // The log line failing takes the deletion back too.
        shop.notes.messages.clear();
        shop.ctx.db.failNthStatement(6);
        QCOMPARE(DeleteMembers(shop.ctx, {f.zhang}), QVector<int>{});
        shop.ctx.db.failNthStatement(0);
        QCOMPARE(shop.count(QStringLiteral("tb_members"), QStringLiteral("ID = ?"), {f.zhang}), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_orders"), QStringLiteral("MemID = ?"), {f.zhang}), 1);
        QCOMPARE(shop.notes.messages, QStringList{QStringLiteral("删除会员失败！请重试")});

        // Only role 0 may delete.
        shop.ctx.op.role = 1;
        QCOMPARE(MemberDeleteRefusal(shop.ctx, 2), QStringLiteral("对不起，您没有此操作权限"));
    }
};

QTEST_GUILESS_MAIN(TestMemberList)
#include "tst_member_list.moc"

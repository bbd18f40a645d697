#include "TestShop.h"

#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

#define OPEN_SHOP(shop)                                                                                      \
    TestShop shop;                                                                                           \
    QVERIFY2(shop.ok(), qPrintable(shop.error()))

namespace {

// Texts that break naive SQL, LIKE patterns or narrow encodings.
const QStringList kHostile = {
    QStringLiteral("O'Brien"),
    QStringLiteral("say \"hi\""),
    QStringLiteral("100%_off\\"),
    QStringLiteral("x'; DROP TABLE tb_members;--"),
    QStringLiteral("a,b;c"),
    QStringLiteral("😀 emoji"),
    QStringLiteral("𠀀𪚥 outside the BMP"),
    QStringLiteral("  blanks kept  "),
};
} // namespace

class TestStoreOps final : public QObject {
    Q_OBJECT

private slots:
    void memberLabelAndReads() {
        OPEN_SHOP(shop);
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000000"), 12.5, 300);
        QCOMPARE(GetMemberLabel(shop.ctx, id), QStringLiteral("张三(13800000000)"));
        QCOMPARE(GetMemberBalance(shop.ctx, id), 12.5);
        QCOMPARE(GetMemberPoints(shop.ctx, id), 300);
        QVERIFY(shop.notes.messages.isEmpty());
    }

    void missingMemberReadsSayWhy_data() {
        QTest::addColumn<int>("which");
        QTest::addColumn<QString>("message");
        QTest::newRow("label") << 0 << "无法读取会员信息";
        QTest::newRow("balance") << 1 << "无法读取会员信息";
        QTest::newRow("points") << 2 << "无法读取会员积分";
    }
    void missingMemberReadsSayWhy() {
        QFETCH(int, which);
        QFETCH(QString, message);
        OPEN_SHOP(shop);
        switch (which) {
        case 0:
            QCOMPARE(GetMemberLabel(shop.ctx, 999), QString());
            break;
        case 1:
            QCOMPARE(GetMemberBalance(shop.ctx, 999), 0.0);
            break;
        default:
            QCOMPARE(GetMemberPoints(shop.ctx, 999), 0);
        }
        QCOMPARE(shop.notes.messages, QStringList{message});
    }

    void accountChanges() {
        OPEN_SHOP(shop);
        const int id = shop.addMember(QStringLiteral("m"), QStringLiteral("1"), 50, 10);
        QVERIFY(AddMemberBalance(shop.ctx, id, -12.5));
        QCOMPARE(shop.balanceOf(id), 37.5);
        QVERIFY(AddMemberPoints(shop.ctx, id, -4));
        QCOMPARE(shop.pointsOf(id), 6);
        QVERIFY(AddMemberCumulative(shop.ctx, id, 99.99));
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT Cumulative FROM tb_members WHERE ID = ?"), {id})
                     ->toDouble(),
                 99.99);
        // A change for a member who is not there is a failure, not a silent success.
        QVERIFY(!AddMemberBalance(shop.ctx, 999, 1));
        QVERIFY(!AddMemberPoints(shop.ctx, 999, 1));
    }

    void deductionsNeverOverdraw() {
        OPEN_SHOP(shop);
        const int id = shop.addMember(QStringLiteral("m"), QStringLiteral("1"), 35.5, 100);
        QVERIFY(!DeductMemberBalance(shop.ctx, id, 35.51));
        QCOMPARE(shop.balanceOf(id), 35.5);
        QVERIFY(DeductMemberBalance(shop.ctx, id, 35.5)); // the whole balance may go
        QCOMPARE(shop.balanceOf(id), 0.0);
        QVERIFY(!DeductMemberPoints(shop.ctx, id, 101));
        QVERIFY(DeductMemberPoints(shop.ctx, id, 100));
        QCOMPARE(shop.pointsOf(id), 0);
        // Float noise of many small recharges must not block spending the whole balance.
        for (int i = 0; i < 10; ++i)
            QVERIFY(AddMemberBalance(shop.ctx, id, 0.1));
        QVERIFY(DeductMemberBalance(shop.ctx, id, 1.0));
    }

    void operatorReads() {
        OPEN_SHOP(shop);
        QCOMPARE(GetOperatorName(shop.ctx, 1), QStringLiteral("管理员"));
        QCOMPARE(GetOperatorName(shop.ctx, 42), QString());
        const int id = shop.addOperator(QStringLiteral("li"), QStringLiteral("pw"));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET pwdWarn = ? WHERE ID = ?"),
                                 {QStringLiteral("生日"), id}));
        QCOMPARE(GetPasswordHint(shop.ctx, -1, QStringLiteral("li")), QStringLiteral("生日"));
        QCOMPARE(GetPasswordHint(shop.ctx, id, QString()), QStringLiteral("生日"));
        QCOMPARE(GetPasswordHint(shop.ctx, 1, QString()), QString()); // NULL hint reads empty
        QCOMPARE(GetPasswordHint(shop.ctx, -1, QStringLiteral("nobody")), QString());
        QVERIFY(shop.notes.messages.isEmpty());
    }

    void productStateAndDeletion() {
        OPEN_SHOP(shop);
        const int id = shop.addProduct(QStringLiteral("P1"), QStringLiteral("可乐"), 3);
        QVERIFY(SetProductState(shop.ctx, id, 2));
        QCOMPARE(shop.count(QStringLiteral("tb_product"), QStringLiteral("State = 2")), 1);
        QVERIFY(DeleteProduct(shop.ctx, id));
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 0);
    }

    void productLookups() {
        OPEN_SHOP(shop);
        const int cola = shop.addProduct(QStringLiteral("690001"), QStringLiteral("可乐"), 3);
        QVERIFY(!ProductCodeExists(shop.ctx, QStringLiteral("690001"), cola)); // its own code
        QVERIFY(ProductCodeExists(shop.ctx, QStringLiteral("690001"), -1));
        QVERIFY(!ProductCodeExists(shop.ctx, QStringLiteral("69000"), -1)); // exact, not a prefix
        QVERIFY(ProductNameExists(shop.ctx, QStringLiteral("可乐"), -1));
        QVERIFY(!ProductNameExists(shop.ctx, QStringLiteral("可乐"), cola));
        const int drinks = *shop.ctx.db.insertReturningId(
            QStringLiteral("INSERT INTO tb_productTypes(Pid, PrdTypeName) VALUES(0, ?)"),
            {QStringLiteral("饮料")});
        QCOMPARE(FindCategoryByName(shop.ctx, QStringLiteral("  饮料 ")), drinks);
        QCOMPARE(FindCategoryByName(shop.ctx, QStringLiteral("   ")), 0);
        QCOMPARE(FindCategoryByName(shop.ctx, QStringLiteral("零食")), 0);
    }

    void topupRecords() {
        OPEN_SHOP(shop);
        const int id = shop.addMember(QStringLiteral("m"), QStringLiteral("1"), 50);
        QVERIFY(WriteTopupRecord(shop.ctx, true, id, QStringLiteral("充值"), 100, 10, 50));
        QVERIFY(WriteTopupRecord(shop.ctx, false, id, QStringLiteral("扣款"), 20, 0, 50));
        auto q = shop.ctx.db.select(
            QStringLiteral("SELECT Amount, Giving, Total, BefBalance, AftBalance, OpType, "
                           "SaleManID, Remark FROM tb_TopupRecord WHERE MemID = ? ORDER BY OpType DESC"),
            {id});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toDouble(), 100.0);
        QCOMPARE(q->value(1).toDouble(), 10.0);
        QCOMPARE(q->value(2).toDouble(), 110.0);
        QCOMPARE(q->value(3).toDouble(), 50.0);
        QCOMPARE(q->value(4).toDouble(), 160.0);
        QCOMPARE(q->value(5).toInt(), 1);
        QCOMPARE(q->value(6).toInt(), 1);
        QVERIFY(q->next());
        QCOMPARE(q->value(0).toDouble(), 0.0);
        QCOMPARE(q->value(1).toDouble(), 0.0);
        QCOMPARE(q->value(2).toDouble(), -20.0);
        QCOMPARE(q->value(3).toDouble(), 50.0);
        QCOMPARE(q->value(4).toDouble(), 30.0);
        QCOMPARE(q->value(5).toInt(), 0);
        // The record alone never touches the balance.
        QCOMPARE(shop.balanceOf(id), 50.0);
    }

    void stockMoves() {
        OPEN_SHOP(shop);
        shop.addProduct(QStringLiteral("P1"), QStringLiteral("米"), 5, 4, 10);
        QVERIFY(MoveStock(shop.ctx, QStringLiteral("P1"), StockTake, true, QStringLiteral("盘亏"), -3));
        QVERIFY(MoveStock(shop.ctx, QStringLiteral("P1"), StockSale, false, QString(), -1.5));
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT PrdInventory FROM tb_product"))->toDouble(), 5.5);
        auto h = shop.ctx.db.select(
            QStringLiteral("SELECT addNum, addType, prdCode, Remark, SaleManID, addDate FROM "
                           "tb_prdnum_record"));
        QVERIFY(h && h->next());
        QCOMPARE(h->value(0).toDouble(), -3.0);
        QCOMPARE(h->value(1).toInt(), int(StockTake));
        QCOMPARE(h->value(2).toString(), QStringLiteral("P1"));
        QCOMPARE(h->value(3).toString(), QStringLiteral("盘亏"));
        QCOMPARE(h->value(4).toInt(), 1);
        QVERIFY(db::toDateTime(h->value(5)).isValid());
        QVERIFY(!h->next()); // the sale wrote no history
    }

    void opLogKeepsTextExactly() {
        OPEN_SHOP(shop);
        for (const QString& text : kHostile)
            QVERIFY(WriteOpLog(shop.ctx, text));
        auto q = shop.ctx.db.select(QStringLiteral("SELECT Content, SaleManID FROM tb_OpRecord"));
        QStringList stored;
        while (q && q->next()) {
            stored << q->value(0).toString();
            QCOMPARE(q->value(1).toInt(), 1);
        }
        QCOMPARE(QSet<QString>(stored.begin(), stored.end()),
                 QSet<QString>(kHostile.begin(), kHostile.end()));
    }

    void hostileTextRoundTrips() {
        OPEN_SHOP(shop);
        for (const QString& text : kHostile) {
            const int member = shop.addMember(text, text + QStringLiteral("-m"));
            QCOMPARE(GetMemberLabel(shop.ctx, member),
                     text + QLatin1Char('(') + text + QStringLiteral("-m)"));
            const int product = shop.addProduct(text, text + QStringLiteral("-n"), 1, 0, 5);
            QVERIFY(ProductCodeExists(shop.ctx, text, -1));
            QVERIFY(!ProductCodeExists(shop.ctx, text, product));
            QVERIFY(ProductNameExists(shop.ctx, text + QStringLiteral("-n"), -1));
            QVERIFY(MoveStock(shop.ctx, text, StockTake, true, text, 1));
            QCOMPARE(
                shop.ctx.db
                    .scalar(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE ID = ?"), {product})
                    ->toDouble(),
                6.0);
            QVERIFY(WriteTopupRecord(shop.ctx, true, member, text, 1, 0, 0));
            QCOMPARE(
                shop.ctx.db
                    .scalar(QStringLiteral("SELECT Remark FROM tb_TopupRecord WHERE MemID = ?"), {member})
                    ->toString(),
                text);
            shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_productTypes(Pid, PrdTypeName) VALUES(0, ?)"),
                             {text});
            if (text.trimmed() == text)
                QVERIFY(FindCategoryByName(shop.ctx, text) > 0);
            const int op = shop.addOperator(text, QStringLiteral("pw"));
            QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET pwdWarn = ? WHERE ID = ?"),
                                     {text, op}));
            QCOMPARE(GetPasswordHint(shop.ctx, -1, text), text);
        }
        QCOMPARE(shop.count(QStringLiteral("tb_members")), qint64(kHostile.size())); // nothing was dropped
        QCOMPARE(shop.count(QStringLiteral("tb_prdnum_record"), QStringLiteral("Remark = prdCode")),
                 qint64(kHostile.size()));
    }

    void searchMatchesWildcardsLiterally_data() {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("percent") << "%" << QStringList{QStringLiteral("100%_off\\")};
        QTest::newRow("underscore") << "_"
                                    << QStringList{QStringLiteral("100%_off\\"),
                                                   QStringLiteral("x'; DROP TABLE tb_members;--")};
        QTest::newRow("backslash") << "\\" << QStringList{QStringLiteral("100%_off\\")};
        QTest::newRow("apostrophe") << "'"
                                    << QStringList{QStringLiteral("O'Brien"),
                                                   QStringLiteral("x'; DROP TABLE tb_members;--")};
        QTest::newRow("letter case ignored") << "o'b" << QStringList{QStringLiteral("O'Brien")};
        QTest::newRow("emoji") << "😀" << QStringList{QStringLiteral("😀 emoji")};
        QTest::newRow("non-BMP") << "𪚥" << QStringList{QStringLiteral("𠀀𪚥 outside the BMP")};
    }
    void searchMatchesWildcardsLiterally() {
        QFETCH(QString, search);
        QFETCH(QStringList, found);
        OPEN_SHOP(shop);
        for (const QString& text : kHostile)
            shop.addMember(text, QStringLiteral("m"));
        shop.addMember(QStringLiteral("plain"), QStringLiteral("m"));
        auto q = shop.ctx.db.select(QStringLiteral("SELECT TrueName FROM tb_members WHERE ") +
                                        shop.ctx.db.likeClause(QStringLiteral("TrueName")) +
                                        QStringLiteral(" ORDER BY ID"),
                                    {db::likePattern(search)});
        QVERIFY(q);
        QStringList names;
        while (q->next())
            names << q->value(0).toString();
        QCOMPARE(names, found);
    }

    void deleteMemberTakesOrdersLinesAndRecharges() {
        OPEN_SHOP(shop);
        const int gone = shop.addMember(QStringLiteral("gone"), QStringLiteral("1"));
        const int kept = shop.addMember(QStringLiteral("kept"), QStringLiteral("2"));
        const auto addOrder = [&](const QString& no, int member) {
            QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID) VALUES(?, ?)"),
                                     {no, member}));
            for (int i = 0; i < 2; ++i)
                QVERIFY(shop.ctx.db.exec(
                    QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID) VALUES(?, ?)"), {no, member}));
            QVERIFY(WriteTopupRecord(shop.ctx, true, member, QString(), 1, 0, 0));
        };
        addOrder(QStringLiteral("A"), gone);
        addOrder(QStringLiteral("B"), gone);
        addOrder(QStringLiteral("C"), kept);
        addOrder(QStringLiteral("D"), -1);
        QVERIFY(WriteOpLog(shop.ctx, QStringLiteral("删除会员：gone")));

        QVERIFY(DeleteMember(shop.ctx, gone));
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 2);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 4);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo IN ('A','B')")), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("MemID = ?"), {gone}), 0);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord"), QStringLiteral("MemID = ?"), {kept}), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), 1);
        QVERIFY(shop.notes.messages.isEmpty());
    }

    void deleteMemberIsAllOrNothing() {
        OPEN_SHOP(shop);
        const int id = shop.addMember(QStringLiteral("m"), QStringLiteral("1"));
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID) VALUES('A', ?)"), {id}));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID) VALUES('A', ?)"),
                                 {id}));
        QVERIFY(WriteTopupRecord(shop.ctx, true, id, QString(), 1, 0, 0));
        int failures = 0;
        for (int n = 1;; ++n) {
            shop.ctx.db.failNthStatement(n);
            const bool deleted = DeleteMember(shop.ctx, id);
            const bool reached = shop.ctx.db.failpointReached();
            shop.ctx.db.failNthStatement(0);
            if (!reached) {
                QVERIFY(deleted);
                break;
            }
            QVERIFY2(!deleted, qPrintable(QStringLiteral("statement %1 failed unnoticed").arg(n)));
            QCOMPARE(shop.count(QStringLiteral("tb_members")), 1);
            QCOMPARE(shop.count(QStringLiteral("tb_orders")), 1);
            QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 1);
            QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), 1);
            ++failures;
        }
        QVERIFY(failures > 0);
        QCOMPARE(shop.notes.messages.size(), failures);
        QCOMPARE(shop.notes.messages.first(), QStringLiteral("删除会员失败！请重试"));
        // The run that went through took the member and everything of theirs once.
        for (const char* table : {"tb_members", "tb_orders", "tb_order_lines", "tb_TopupRecord"})
            QCOMPARE(shop.count(QString::fromLatin1(table)), 0);
    }

    void deleteOrderTakesItsLines() {
        OPEN_SHOP(shop);
        for (const char* no : {"A", "B"}) {
            QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo) VALUES(?)"),
                                     {QString::fromLatin1(no)}));
            QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_order_lines(OrderNo) VALUES(?)"),
                                     {QString::fromLatin1(no)}));
        }
        QVERIFY(DeleteOrder(shop.ctx, QStringLiteral("A")));
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo = 'B'")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_order_lines")), 1);
    }

    void orderNumbersNeverRepeat() {
        OPEN_SHOP(shop);
        // All drawn within the same second: the clock stands still.
        ManualClock clock(QDateTime(QDate(2026, 12, 10), QTime(9, 30, 5)));
        Clock::setInstance(&clock);
        const QRegularExpression format(QStringLiteral("^20261210093005[1-9][0-9]{4}$"));
        QSet<QString> seen;
        for (int i = 0; i < 10000; ++i) {
            const QString no = MakeOrderNo(shop.ctx);
            QVERIFY2(format.match(no).hasMatch(), qPrintable(no));
            seen.insert(no);
        }
        QCOMPARE(seen.size(), 10000);
        // A number already stored (say by another till) is never handed out again.
        Clock::setInstance(nullptr);
        const QString taken = MakeOrderNo(shop.ctx);
        QCOMPARE(taken.size(), 19);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo) VALUES(?)"), {taken}));
    }

    void operatorChoices() {
        OPEN_SHOP(shop);
        const int li =
            shop.addOperator(QStringLiteral("li"), QStringLiteral("pw"), 2, 0, QStringLiteral("李四"));
        const QList<std::pair<QString, int>> expected{
            {QStringLiteral("所有员工"), 0}, {QStringLiteral("管理员"), 1}, {QStringLiteral("李四"), li}};
        QCOMPARE(OperatorChoices(shop.ctx), expected);
    }
};

QTEST_GUILESS_MAIN(TestStoreOps)
#include "tst_storeops.moc"

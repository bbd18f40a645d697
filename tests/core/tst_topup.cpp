#include "TestShop.h"

#include "core/members/Topup.h"
#include "core/store/StoreOps.h"
#include "core/support/Money.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

namespace {
struct Record {
    double amount, giving, total, before, after;
    int opType, memId, saleMan;
    QString remark;
};

QList<Record> records(TestShop& shop) {
    QList<Record> list;
    auto q = shop.ctx.db.select(
        QStringLiteral("SELECT Amount, Giving, Total, BefBalance, AftBalance, OpType, MemID, "
                       "SaleManID, Remark FROM tb_TopupRecord"));
    while (q && q->next())
        list.append({q->value(0).toDouble(), q->value(1).toDouble(), q->value(2).toDouble(),
                     q->value(3).toDouble(), q->value(4).toDouble(), q->value(5).toInt(), q->value(6).toInt(),
                     q->value(7).toInt(), q->value(8).toString()});
    return list;
}

} // namespace

class TestTopup final : public QObject {
    Q_OBJECT

private slots:
    void parse_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("amount");
        QTest::newRow("shown form") << "￥12.50" << 12.5;
        QTest::newRow("blanks and sign") << "  ￥ 3 " << 3.0;
        QTest::newRow("half-width sign") << "¥12.50" << 12.5;
        QTest::newRow("letters read 0") << "abc" << 0.0;
        QTest::newRow("leading number") << "12abc" << 12.0;
        QTest::newRow("nan") << "nan" << 0.0;
        QTest::newRow("inf") << "inf" << 0.0;
        QTest::newRow("hex") << "0x10" << 0.0;
        QTest::newRow("overflow") << "1e999" << 0.0;
        QTest::newRow("below a fen") << "0.004" << 0.0;
        QTest::newRow("rounded to the fen") << "10.005" << 10.01;
        QTest::newRow("negative") << "-5" << -5.0;
        QTest::newRow("full-width digits") << "１２" << 0.0;
    }
    void parse() {
        QFETCH(QString, text);
        QFETCH(double, amount);
        QCOMPARE(ParseMoneyText(text), amount);
    }

    void prepare_data() {
        QTest::addColumn<bool>("recharge");
        QTest::addColumn<int>("member");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("bonus");
        QTest::addColumn<QString>("refusal");
        QTest::addColumn<bool>("focusAmount");
        QTest::addColumn<QString>("question");
        const QString noAmount = QStringLiteral("请输入充值金额");
        QTest::newRow("no member") << true << -1 << "100"
                                   << ""
                                   << "请选择会员" << false << "";
        QTest::newRow("recharge nothing") << true << 7 << "￥0.00"
                                          << "￥0.00" << noAmount << true << "";
        QTest::newRow("recharge letters") << true << 7 << "abc"
                                          << "" << noAmount << true << "";
        QTest::newRow("recharge with bonus")
            << true << 7 << "￥100"
            << "10"
            << "" << false << "确认为会员 张三13800000001 充值: ￥110.00元 吗？";
        QTest::newRow("bonus alone") << true << 7 << "0"
                                     << "5"
                                     << "" << false << "确认为会员 张三13800000001 充值: ￥5.00元 吗？";
        QTest::newRow("negative amount hidden by bonus") << true << 7 << "-50"
                                                         << "100" << noAmount << true << "";
        QTest::newRow("negative bonus") << true << 7 << "100"
                                        << "-5"
                                        << "赠送金额不能为负数" << false << "";
        QTest::newRow("huge") << true << 7 << "1e12"
                              << ""
                              << "充值金额过大，请重新输入" << true << "";
        QTest::newRow("deduct nothing") << false << 7 << "abc"
                                        << ""
                                        << "请输入扣款金额" << true << "";
        QTest::newRow("deduct negative") << false << 7 << "-1"
                                         << ""
                                         << "请输入扣款金额" << true << "";
        QTest::newRow("deduct whole balance")
            << false << 7 << "50"
            << ""
            << "" << false << "确认扣除会员 张三13800000001  ￥50.00元 吗？";
        QTest::newRow("deduct a fen more") << false << 7 << "50.01"
                                           << ""
                                           << "余额不足" << true << "";
        QTest::newRow("deduct reads the leading number")
            << false << 7 << "12abc"
            << ""
            << "" << false << "确认扣除会员 张三13800000001  ￥12.00元 吗？";
        QTest::newRow("deduction never carries a bonus")
            << false << 7 << "10"
            << "99"
            << "" << false << "确认扣除会员 张三13800000001  ￥10.00元 吗？";
    }
    void prepare() {
        QFETCH(bool, recharge);
        QFETCH(int, member);
        QFETCH(QString, amount);
        QFETCH(QString, bonus);
        QFETCH(QString, refusal);
        QFETCH(bool, focusAmount);
        QFETCH(QString, question);
        TopupRequest r;
        r.memberId = member;
        r.recharge = recharge;
        r.amountText = amount;
        r.bonusText = bonus;
        r.balanceBefore = 50;
        r.name = QStringLiteral("张三");
        r.mobile = QStringLiteral("13800000001");
        const TopupPlan plan = PrepareTopup(r);
        QCOMPARE(plan.refusal, refusal);
        QCOMPARE(plan.focusAmount, focusAmount);
        QCOMPARE(plan.question, question);
        if (plan.ok() && !recharge)
            QCOMPARE(plan.bonus, 0.0);
    }

    void rechargeAndDeduct() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        // A locked member can be recharged from the member list.
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 20, 5, 1);

        TopupRequest r;
        r.memberId = id;
        r.amountText = QStringLiteral("￥100");
        r.bonusText = QStringLiteral("10");
        r.remark = QStringLiteral("活动's 赠送");
        r.balanceBefore = 20;
        TopupResult done = CommitTopup(shop.ctx, PrepareTopup(r));
        QVERIFY(done.ok);
        QCOMPARE(done.message, QStringLiteral("充值成功"));
        QCOMPARE(shop.balanceOf(id), 130.0);
        QCOMPARE(done.balanceAfter, 130.0);
        auto recs = records(shop);
        QCOMPARE(recs.size(), 1);
        QCOMPARE(recs[0].amount, 100.0);
        QCOMPARE(recs[0].giving, 10.0);
        QCOMPARE(recs[0].total, 110.0);
        QCOMPARE(recs[0].before, 20.0);
        QCOMPARE(recs[0].after, 130.0);
        QCOMPARE(recs[0].opType, 1);
        QCOMPARE(recs[0].memId, id);
        QCOMPARE(recs[0].saleMan, 1);
        QCOMPARE(recs[0].remark, r.remark);

        // The whole balance may go.
        r = {};
        r.memberId = id;
        r.recharge = false;
        r.amountText = QStringLiteral("130");
        r.balanceBefore = 130;
        done = CommitTopup(shop.ctx, PrepareTopup(r));
        QVERIFY(done.ok);
        QCOMPARE(done.message, QStringLiteral("扣款成功"));
        QCOMPARE(shop.balanceOf(id), 0.0);
        recs = records(shop);
        QCOMPARE(recs.size(), 2);
        QCOMPARE(recs[1].amount, 0.0);
        QCOMPARE(recs[1].giving, 0.0);
        QCOMPARE(recs[1].total, -130.0);
        QCOMPARE(recs[1].before, 130.0);
        QCOMPARE(recs[1].after, 0.0);
        QCOMPARE(recs[1].opType, 0);
        // Points and spending are never touched.
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT Integral FROM tb_members"))->toInt(), 5);
        QCOMPARE(shop.ctx.db.scalar(QStringLiteral("SELECT Cumulative FROM tb_members"))->toDouble(), 0.0);
    }

    void anotherTillSpentTheMoney() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("138"), 50);
        TopupRequest r;
        r.memberId = id;
        r.recharge = false;
        r.amountText = QStringLiteral("40");
        r.balanceBefore = 50; // as shown when the dialog loaded the member
        const TopupPlan plan = PrepareTopup(r);
        QVERIFY(plan.ok());
        QVERIFY(AddMemberBalance(shop.ctx, id, -20)); // a sale on another till
        const TopupResult done = CommitTopup(shop.ctx, plan);
        QVERIFY(!done.ok);
        QCOMPARE(done.message, QStringLiteral("余额不足"));
        QCOMPARE(shop.balanceOf(id), 30.0);
        QCOMPARE(records(shop).size(), 0);

        // A recharge records the balance as stored, not as shown.
        r.recharge = true;
        r.amountText = QStringLiteral("5");
        QVERIFY(CommitTopup(shop.ctx, PrepareTopup(r)).ok);
        QCOMPARE(records(shop).at(0).before, 30.0);
        QCOMPARE(records(shop).at(0).after, 35.0);
    }

    // A failure at any statement of a recharge or deduction leaves balance and records as they
    // were; the run that goes through writes both once.
    void balanceAndRecordLandTogether_data() {
        QTest::addColumn<bool>("recharge");
        QTest::addColumn<QString>("message");
        QTest::addColumn<double>("after");
        QTest::newRow("recharge") << true << "充值失败，请重试" << 60.0;
        QTest::newRow("deduct") << false << "扣款失败，请重试" << 40.0;
    }
    void balanceAndRecordLandTogether() {
        QFETCH(bool, recharge);
        QFETCH(QString, message);
        QFETCH(double, after);
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("张三"), QStringLiteral("138"), 50);
        TopupRequest r;
        r.memberId = id;
        r.recharge = recharge;
        r.amountText = QStringLiteral("10");
        r.balanceBefore = 50;
        const TopupPlan plan = PrepareTopup(r);
        int failures = 0;
        for (int n = 1;; ++n) {
            shop.ctx.db.failNthStatement(n);
            const TopupResult done = CommitTopup(shop.ctx, plan);
            const bool reached = shop.ctx.db.failpointReached();
            shop.ctx.db.failNthStatement(0);
            if (!reached) {
                QVERIFY2(done.ok, qPrintable(done.message));
                break;
            }
            const QString where = QStringLiteral("statement %1").arg(n);
            QVERIFY2(!done.ok, qPrintable(where));
            QCOMPARE(done.message, message);
            QCOMPARE(shop.ctx.db.transactionDepth(), 0);
            QCOMPARE(shop.balanceOf(id), 50.0);
            QCOMPARE(records(shop).size(), 0);
            ++failures;
        }
        QVERIFY(failures > 0);
        QCOMPARE(shop.balanceOf(id), after);
        QCOMPARE(records(shop).size(), 1);
        QCOMPARE(records(shop).at(0).after, after);
    }

    void memberGone() {
        TestShop shop;
        QVERIFY(shop.ok());
        TopupRequest r;
        r.memberId = 4242;
        r.amountText = QStringLiteral("10");
        const TopupResult done = CommitTopup(shop.ctx, PrepareTopup(r));
        QVERIFY(!done.ok);
        QCOMPARE(done.message, QStringLiteral("充值失败，请重试"));
        QCOMPARE(records(shop).size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTopup)
#include "tst_topup.moc"

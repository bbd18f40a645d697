// Callers that hand core figures no screen would let through: every money and points entry point
// refuses them with its reason and leaves every table as it was, on both engines.
#include "TableDump.h"
#include "TestShop.h"

#include "core/members/Topup.h"
#include "core/products/Purchasing.h"
#include "core/sales/Posting.h"
#include "core/sales/PostingSteps.h"
#include "core/sales/Returns.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"

#include <QTest>

#include <cmath>
#include <functional>
#include <limits>

using namespace selvo;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));
constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::nan("");
constexpr int kIntMax = std::numeric_limits<int>::max();

// The shop every case starts from: a member with 100.00 on the balance and 50 points, a product.
struct Fixture {
    test::TestShop shop;
    int member = -1;
    int product = -1;
    bool ok() {
        if (!shop.ok())
            return false;
        member = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000000"), 100, 50);
        product = shop.addProduct(QStringLiteral("P1"), QStringLiteral("商品一"), 10, 6, 100);
        // The balance and points the records explain.
        return member > 0 && product > 0 &&
               WriteTopupRecord(shop.ctx, true, member, QStringLiteral("开户"), 100, 0, 0);
    }

    // A sound sale of one P1 for 10.00 paid from the balance, earning 10 points.
    OrderDraft sale() const {
        OrderDraft d;
        d.memberId = member;
        d.totalPrice = 10;
        d.realTotalPrice = 10;
        d.purchasePrice = 6;
        d.profits = 4;
        d.prdSum = 1;
        d.points = 10;
        d.cumulative = 10;
        d.saleDate = kNow;
        d.payment.payType = PayBalance;
        OrderLine line;
        line.code = QStringLiteral("P1");
        line.name = QStringLiteral("商品一");
        line.price = 10;
        line.quantity = 1;
        line.discountPrice = 10;
        line.cost = 6;
        line.totalPrice = 10;
        line.profits = 4;
        line.points = 10;
        d.lines << line;
        d.stockMoves << std::pair{QStringLiteral("P1"), 1.0};
        return d;
    }
    QString post(const OrderDraft& d) {
        const PostResult r = PostOrder(shop.ctx, d);
        return r.ok ? QString() : r.message;
    }

    TopupPlan topup(bool recharge, double amount, double bonus = 0) const {
        TopupPlan p;
        p.memberId = member;
        p.recharge = recharge;
        p.amount = amount;
        p.bonus = bonus;
        return p;
    }
    QString commitTopup(const TopupPlan& p) {
        const TopupResult r = CommitTopup(shop.ctx, p);
        return r.ok ? QString() : r.message;
    }

    // A sound return of one P1 refunded with 5.00 to the balance, taking 5 points back.
    ReturnPlan returnPlan() {
        Cart list;
        list.add(*LoadSaleProduct(shop.ctx, product), true);
        ReturnInput in;
        in.memberId = member;
        in.mode = RefundBalance;
        in.refundText = QStringLiteral("5");
        in.pointsText = QStringLiteral("5");
        return PrepareReturn(shop.ctx, list, in);
    }
    QString commitReturn(const ReturnPlan& p) {
        if (!p.ok())
            return p.refusal;
        const ReturnResult r = CommitReturn(shop.ctx, p);
        return r.ok ? QString() : r.message;
    }

    QString purchase(const CartEdit& edit) {
        PurchaseList list;
        list.add(LoadPurchaseProducts(shop.ctx, QString::number(product) + QLatin1Char(',')));
        list.applyEdit(0, edit);
        const PurchaseSaveResult r = SavePurchase(shop.ctx, list, PurchaseIn, false);
        return r.ok ? QString() : r.message;
    }

    QString account(const AccountChange& c) {
        const AccountResult r = ChangeMemberAccount(shop.ctx, member, c);
        return r == AccountResult::Done ? QString() : QStringLiteral("refused %1").arg(int(r));
    }
    static QString refusedUnless(bool done) { return done ? QString() : QStringLiteral("refused"); }
};

using Attempt = std::function<QString(Fixture&)>;

OrderDraft with(OrderDraft d, const std::function<void(OrderDraft&)>& change) {
    change(d);
    return d;
}

struct Case {
    const char* name;
    Attempt attempt;
};

const QList<Case>& cases() {
    static const QList<Case> all = {
        // Sales (and fast sales, which post the same draft) paid from the balance.
        {"balance payment negative",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) {
                 d.realTotalPrice = -50;
                 d.cumulative = -50;
             }));
         }},
        {"balance payment +inf",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.realTotalPrice = kInf; }));
         }},
        {"balance payment -inf",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.realTotalPrice = -kInf; }));
         }},
        {"balance payment nan",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.realTotalPrice = kNaN; }));
         }},
        {"balance payment over the limit",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.realTotalPrice = 1e12; }));
         }},
        {"automatic recharge +inf",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) {
                 d.payment.recharge = kInf;
                 d.payment.shortfall = 10;
             }));
         }},
        {"automatic recharge negative",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.payment.recharge = -1e6; }));
         }},
        {"cumulative nan",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.cumulative = kNaN; }));
         }},
        {"line quantity nan",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.stockMoves[0].second = kNaN; }));
         }},
        {"line total +inf",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.lines[0].totalPrice = kInf; }));
         }},
        {"cash received negative",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) {
                 d.payment.payType = PayCash;
                 d.payment.cashReceived = -100;
             }));
         }},
        {"unknown pay type",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.payment.payType = 7; }));
         }},
        // Points.
        {"earned points negative",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.points = -40; }));
         }},
        {"earned points past 32 bits",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) { d.points = kIntMax; }));
         }},
        {"points used negative",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) {
                 d.orderType = OrderPointsExchange;
                 d.payment.payType = PayPoints;
                 d.payment.pointsUsed = -1000;
                 d.points = 1000;
                 d.realTotalPrice = 0;
                 d.cumulative = 0;
             }));
         }},
        {"points used huge",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) {
                 d.orderType = OrderPointsExchange;
                 d.payment.payType = PayPoints;
                 d.payment.pointsUsed = kIntMax;
                 d.points = std::numeric_limits<int>::min();
                 d.realTotalPrice = 0;
                 d.cumulative = 0;
             }));
         }},
        {"points exchange that takes money",
         [](Fixture& f) {
             return f.post(with(f.sale(), [](OrderDraft& d) {
                 d.orderType = OrderPointsExchange;
                 d.payment.payType = PayPoints;
                 d.payment.pointsUsed = 10;
                 d.points = -10;
                 d.realTotalPrice = -100;
             }));
         }},
        {"fast sale points fractional",
         [](Fixture& f) {
             return CheckFastSale({false, f.member, QStringLiteral("10"), QStringLiteral("2.5")});
         }},
        {"fast sale points past 32 bits",
         [](Fixture& f) {
             return CheckFastSale({false, f.member, QStringLiteral("10"), QStringLiteral("4294967296")});
         }},
        {"fast sale amount inf",
         [](Fixture& f) {
             return CheckFastSale({false, f.member, QStringLiteral("inf"), QString()});
         }},
        // Recharges and deductions.
        {"recharge +inf",
         [](Fixture& f) {
             return f.commitTopup(f.topup(true, kInf));
         }},
        {"recharge nan",
         [](Fixture& f) {
             return f.commitTopup(f.topup(true, kNaN));
         }},
        {"recharge negative inside a positive total",
         [](Fixture& f) {
             return f.commitTopup(f.topup(true, -100, 200));
         }},
        {"recharge bonus nan",
         [](Fixture& f) {
             return f.commitTopup(f.topup(true, 10, kNaN));
         }},
        {"recharge over the limit",
         [](Fixture& f) {
             return f.commitTopup(f.topup(true, 1e9));
         }},
        {"deduction negative",
         [](Fixture& f) {
             return f.commitTopup(f.topup(false, -100));
         }},
        {"deduction -inf",
         [](Fixture& f) {
             return f.commitTopup(f.topup(false, -kInf));
         }},
        {"deduction with a bonus",
         [](Fixture& f) {
             return f.commitTopup(f.topup(false, 10, -90));
         }},
        {"recharge typed inf",
         [](Fixture& f) {
             return PrepareTopup({f.member, true, QStringLiteral("inf"), QString(), QString(), 100, {}, {}})
                 .refusal;
         }},
        // The account helpers and the posting step itself.
        {"account change +inf",
         [](Fixture& f) {
             return f.account({kInf, 0, 0});
         }},
        {"account change nan",
         [](Fixture& f) {
             return f.account({kNaN, 0, 0});
         }},
        {"account cumulative -inf",
         [](Fixture& f) {
             return f.account({0, 0, -kInf});
         }},
        {"account points past 32 bits",
         [](Fixture& f) {
             return f.account({0, kIntMax, 0});
         }},
        {"add balance +inf",
         [](Fixture& f) {
             return Fixture::refusedUnless(AddMemberBalance(f.shop.ctx, f.member, kInf));
         }},
        {"add balance below zero",
         [](Fixture& f) {
             return Fixture::refusedUnless(AddMemberBalance(f.shop.ctx, f.member, -500));
         }},
        {"deduct balance negative",
         [](Fixture& f) {
             return Fixture::refusedUnless(DeductMemberBalance(f.shop.ctx, f.member, -500));
         }},
        {"deduct balance nan",
         [](Fixture& f) {
             return Fixture::refusedUnless(DeductMemberBalance(f.shop.ctx, f.member, kNaN));
         }},
        {"deduct points negative",
         [](Fixture& f) {
             return Fixture::refusedUnless(DeductMemberPoints(f.shop.ctx, f.member, -500));
         }},
        {"add points past 32 bits",
         [](Fixture& f) {
             return Fixture::refusedUnless(AddMemberPoints(f.shop.ctx, f.member, kIntMax));
         }},
        {"add points below zero",
         [](Fixture& f) {
             return Fixture::refusedUnless(AddMemberPoints(f.shop.ctx, f.member, -51));
         }},
        {"add cumulative nan",
         [](Fixture& f) {
             return Fixture::refusedUnless(AddMemberCumulative(f.shop.ctx, f.member, kNaN));
         }},
        // Returns.
        {"return refund negative",
         [](Fixture& f) {
             ReturnPlan p = f.returnPlan();
             p.refund = -5;
             p.draft.realTotalPrice = 5;
             return f.commitReturn(p);
         }},
        {"return refund +inf",
         [](Fixture& f) {
             ReturnPlan p = f.returnPlan();
             p.refund = kInf;
             p.draft.realTotalPrice = -kInf;
             return f.commitReturn(p);
         }},
        {"return points negative",
         [](Fixture& f) {
             ReturnPlan p = f.returnPlan();
             p.points = -1000;
             p.draft.points = 1000;
             return f.commitReturn(p);
         }},
        {"return order says less than the refund",
         [](Fixture& f) {
             ReturnPlan p = f.returnPlan();
             p.refund = 500;
             return f.commitReturn(p);
         }},
        {"return points typed fractional",
         [](Fixture& f) {
             Cart list;
             list.add(*LoadSaleProduct(f.shop.ctx, f.product), true);
             return PrepareReturn(
                        f.shop.ctx, list,
                        {false, f.member, RefundBalance, QStringLiteral("5"), QStringLiteral("2.5"), {}})
                 .refusal;
         }},
        {"return points typed past 32 bits",
         [](Fixture& f) {
             Cart list;
             list.add(*LoadSaleProduct(f.shop.ctx, f.product), true);
             return PrepareReturn(f.shop.ctx, list,
                                  {false,
                                   f.member,
                                   RefundPoints,
                                   QStringLiteral("5"),
                                   QStringLiteral("4294967296"),
                                   {}})
                 .refusal;
         }},
        // Purchases.
        {"purchase quantity nan",
         [](Fixture& f) {
             return f.purchase({kNaN, 10, 6, false});
         }},
        {"purchase quantity negative",
         [](Fixture& f) {
             return f.purchase({-5, 10, 6, false});
         }},
        {"purchase price +inf",
         [](Fixture& f) {
             return f.purchase({1, 10, kInf, false});
         }},
        {"purchase price negative",
         [](Fixture& f) {
             return f.purchase({1, 10, -6, false});
         }},
    };
    return all;
}
} // namespace

class TestHostile final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    void refusedAndNothingWritten_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            QTest::newRow(cases()[i].name) << i;
    }
    void refusedAndNothingWritten() {
        QFETCH(int, index);
        Fixture f;
        QVERIFY2(f.ok(), qPrintable(f.shop.error()));
        const auto before = test::DumpTables(f.shop.ctx);
        const QString refusal = cases()[index].attempt(f);
        QVERIFY2(!refusal.isEmpty(), "accepted");
        QVERIFY2(test::DumpTables(f.shop.ctx) == before, qPrintable(refusal));
    }

    // The same entry points take sound figures: the refusals above are about the figures.
    void soundFiguresAreTaken() {
        Fixture f;
        QVERIFY2(f.ok(), qPrintable(f.shop.error()));
        QCOMPARE(f.post(f.sale()), QString());
        QCOMPARE(f.commitTopup(f.topup(true, 10, 5)), QString());
        QCOMPARE(f.commitTopup(f.topup(false, 20)), QString());
        QCOMPARE(f.commitReturn(f.returnPlan()), QString());
        QCOMPARE(f.purchase({2, 10, 6, false}), QString());
        // 100 − 10 + 15 − 20 + 5 on the balance; 50 + 10 − 5 points.
        QCOMPARE(
            f.shop.ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {f.member})
                ->toDouble(),
            90.0);
        QCOMPARE(
            f.shop.ctx.db.scalar(QStringLiteral("SELECT Integral FROM tb_members WHERE ID = ?"), {f.member})
                ->toInt(),
            55);
        // Up to the very top of 32 bits is still a sound account.
        QCOMPARE(f.account({0, kIntMax - 55, 0}), QString());
        QVERIFY(!f.account({0, 1, 0}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"

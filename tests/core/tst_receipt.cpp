#include "TestShop.h"

#include "core/sales/Posting.h"
#include "core/sales/Receipt.h"
#include "core/support/Money.h"

#include <QTest>

using namespace selvo;

namespace {
const QDateTime kWhen(QDate(2024, 3, 5), QTime(9, 8, 7));

QStringList texts(std::initializer_list<const char*> items) {
    QStringList out;
    for (const char* s : items)
        out << QString::fromUtf8(s);
    return out;
}
} // namespace

class TestReceipt final : public QObject {
    Q_OBJECT

    static QString post(test::TestShop& shop, int member, const Payment& pay) {
        Cart cart;
        const int cola = shop.addProduct(QStringLiteral("690001"), QStringLiteral("可乐"), 3, 1, 50, 0, 2);
        const int rice = shop.addProduct(QStringLiteral("690002"), QStringLiteral("大米"), 4.65, 2, 50);
        cart.add(*LoadSaleProduct(shop.ctx, cola), true);
        cart.add(*LoadSaleProduct(shop.ctx, rice), true);
        cart.applyEdit(0, {2, 10, 3, false});
        cart.applyEdit(1, {2, 10, 4.65, false});
        const CartTotals t = cart.totals(shop.ctx.settings);
        const PostResult r =
            PostOrder(shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, member, pay, t.points, {}, kWhen));
        return r.ok ? r.orderNo : QString();
    }

private slots:
    void padding() {
        QCOMPARE(TextCells(QStringLiteral("散客")), 4);
        QCOMPARE(TextCells(QStringLiteral("￥3.00")), 6);
        QCOMPARE(PadRight(QStringLiteral("散客"), 8), QStringLiteral("散客    "));
        QCOMPARE(PadLeft(QStringLiteral("2"), 4), QStringLiteral("   2"));
        QCOMPARE(PadLeft(QStringLiteral("超过宽度"), 4), QStringLiteral("超过宽度"));
        QCOMPARE(PayTypeText(9), QStringLiteral("未知"));
        QCOMPARE(OrderTypeText(4), QStringLiteral("快速销售"));
    }

    void guestOrder() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.storeName = QStringLiteral("岚拓便利店");
        shop.ctx.settings.piaoInfo = QStringLiteral("谢谢惠顾");
        Payment pay;
        pay.cashReceived = 20;
        pay.change = 3.7;
        const QString no = post(shop, kWalkInMember, pay);
        QVERIFY(!no.isEmpty());
        const Receipt r = BuildReceipt(shop.ctx, no);
        QVERIFY(r.ok);
        QCOMPARE(r.rowCount(), 17);
        QStringList shown;
        for (int row = 1; row <= r.rowCount(); ++row)
            shown << r.row(row).join(QLatin1Char('|'));
        QCOMPARE(shown, (texts({
                                   "             岚拓便利店",
                                   "单号:",
                                   "会员：散客    ",
                                   "付款方式：现金支付消费类型：正常销售       ",
                                   "获得积分：0",
                                   "产品名称        数量规格    小计",
                                   "------------------------------------",
                                   "[特] 可乐|   2|  个|    ￥6.00",
                                   "大米|   2|  个|    ￥9.30",
                                   "------------------------------------",
                                   "产品金额:"
                                   "             "
                                   "￥15.30",
                                   "折扣:"
                                   "                    "
                                   "10.0",
                                   "折扣金额:"
                                   "             "
                                   "￥15.30",
                                   "------------------------------------",
                                   "服务员:管理员",
                                   "结帐时间：2024-03-05 09:08:07",
                                   "谢谢惠顾",
                               })
                             .replaceInStrings(QStringLiteral("单号:"), QStringLiteral("单号:") + no)));
    }

    void itemColumns() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QString no = post(shop, kWalkInMember, Payment{});
        const Receipt r = BuildReceipt(shop.ctx, no);
        QList<int> columns;
        for (const ReceiptText& t : r.texts) {
            if (t.row == 8)
                columns << t.column;
        }
        QCOMPARE(columns, (QList<int>{0, 22, 27, 33}));
    }

    void pointsExchange() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("张三"), QStringLiteral("138"), 0, 5000);
        Payment pay;
        pay.payType = PayPoints;
        pay.pointsUsed = 1600;
        const QString no = post(shop, member, pay);
        const Receipt r = BuildReceipt(shop.ctx, no);
        QVERIFY(r.ok);
        QCOMPARE(r.row(3).join(QString()), QStringLiteral("会员：张三(138)"));
        QCOMPARE(r.row(4).join(QString()), QStringLiteral("付款方式：积分支付消费类型：积分兑换       "));
        QCOMPARE(r.row(5).join(QString()), QStringLiteral("获得积分：-1600"));
        QCOMPARE(r.row(8).last(), QStringLiteral("    ￥0.00"));
        QCOMPARE(r.row(9).last(), QStringLiteral("    ￥0.00"));
        QCOMPARE(r.row(12).join(QString()),
                 QStringLiteral("折扣:") + QString(21, QLatin1Char(' ')) + QStringLiteral("0.0"));
    }

    void storeName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("row");
        QTest::newRow("empty") << "" << QString(18, QLatin1Char(' '));
        QTest::newRow("latin") << "ABCD" << QString(16, QLatin1Char(' ')) + QStringLiteral("ABCD");
        QTest::newRow("longer than the line") << "The Very Long Store Name Of Our Little Shop"
                                              << "The Very Long Store Name Of Our Little Shop";
        QTest::newRow("exactly 36 cells") << "店店店店店店店店店店店店店店店店店店"
                                          << "店店店店店店店店店店店店店店店店店店";
    }
    void storeName() {
        QFETCH(QString, name);
        QFETCH(QString, row);
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.settings.storeName = name;
        const Receipt r = BuildReceipt(shop.ctx, post(shop, kWalkInMember, Payment{}));
        QCOMPARE(r.row(1), QStringList{row});
    }

    void failures() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        Receipt r = BuildReceipt(shop.ctx, QStringLiteral("2024030509080712345"));
        QVERIFY(!r.ok);
        QCOMPARE(r.failure, QStringLiteral("打开订单失败"));
        QVERIFY(r.texts.isEmpty());
        r = BuildReceipt(shop.ctx, QStringLiteral("' OR '1'='1"));
        QCOMPARE(r.failure, QStringLiteral("打开订单失败"));

        // A fast sale has no lines.
        const PostResult fast =
            PostOrder(shop.ctx, MakeFastSaleDraft({true, kWalkInMember, QStringLiteral("50"), {}}, Payment{},
                                                  {}, kWhen));
        QVERIFY(fast.ok);
        r = BuildReceipt(shop.ctx, fast.orderNo);
        QCOMPARE(r.failure, QStringLiteral("无订单详情"));
        QVERIFY(r.texts.isEmpty());

        QVERIFY(shop.ctx.db.exec(QStringLiteral("ALTER TABLE tb_order_lines RENAME TO tb_lines_gone")));
        r = BuildReceipt(shop.ctx, fast.orderNo);
        QCOMPARE(r.failure, QStringLiteral("打开订单详情失败"));
    }

    void deletedMemberAndProduct() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("李四"), QStringLiteral("139"));
        const QString no = post(shop, member, Payment{});
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {member}));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE PrdCode = '690002'")));
        const Receipt r = BuildReceipt(shop.ctx, no);
        QVERIFY(r.ok);
        QCOMPARE(r.row(3).join(QString()), QStringLiteral("会员：        "));
        QCOMPARE(shop.notes.messages, QStringList{QStringLiteral("无法读取会员信息")});
        QCOMPARE(r.row(9)[2], QStringLiteral("    "));
    }

    void zeroListValuePrintsNoDiscount() {
        test::TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QString no = post(shop, kWalkInMember, Payment{});
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_orders SET TotalPrice = 0, PayType = 7, OrderType = 9")));
        const Receipt r = BuildReceipt(shop.ctx, no);
        QCOMPARE(r.row(12).join(QString()),
                 QStringLiteral("折扣:") + QString(23, QLatin1Char(' ')) + QStringLiteral("-"));
        QCOMPARE(r.row(4).join(QString()), QStringLiteral("付款方式：未知    消费类型：未知           "));
    }

    void pages() {
        QList<ReceiptText> all;
        for (int row = 1; row <= 25; ++row)
            all.append({row, row == 8 ? 22 : 0, QString::number(row)});
        const auto pages = PaginateReceipt(all, 10);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(pages[0].size(), 10);
        QCOMPARE(pages[1].first(), (ReceiptText{1, 0, QStringLiteral("11")}));
        QCOMPARE(pages[2].last(), (ReceiptText{5, 0, QStringLiteral("25")}));
        QCOMPARE(pages[0][7].column, 22);
        QCOMPARE(PaginateReceipt(all, 0).size(), 25);
    }
};

QTEST_GUILESS_MAIN(TestReceipt)
#include "tst_receipt.moc"

#include "TableDump.h"
#include "TestShop.h"

#include "core/products/Purchasing.h"
#include "core/sales/QuantityEdit.h"
#include "core/store/StoreOps.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using namespace selvo;

namespace {

// 大米 by the kilogram (fractions), 可乐 a special offer in whole bottles, 香皂 a gift.
struct Shop {
    test::TestShop shop;
    int rice = 0, cola = 0, soap = 0;
    Shop() {
        rice = shop.addProduct(QStringLiteral("R1"), QStringLiteral("大米"), 6, 4.5, 10);
        cola = shop.addProduct(QStringLiteral("C1"), QStringLiteral("可乐"), 3, 2.125, 20, 0,
                               PropertySpecialOffer);
        soap = shop.addProduct(QStringLiteral("S1"), QStringLiteral("香皂"), 4, 1, 5, 0, PropertyGift);
        shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET MeasuringUnit = ? WHERE ID = ?"),
                         {QStringLiteral("公斤"), rice});
        shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_product SET MustIntNum = 1, MeasuringUnit = ? WHERE ID = ?"),
            {QStringLiteral("瓶"), cola});
    }
    QString ids(const QList<int>& list) const {
        QString text;
        for (int id : list)
            text += QString::number(id) + QLatin1Char(',');
        return text;
    }
    PurchaseList listOf(const QList<int>& products) {
        PurchaseList list;
        list.add(LoadPurchaseProducts(shop.ctx, ids(products)));
        return list;
    }
    // The list with `quantity` of one product, as the popup sets it.
    PurchaseList one(int product, double quantity) {
        PurchaseList list = listOf({product});
        list.applyEdit(0, {quantity, 10, list.cart().rows()[0].discountPrice, false});
        return list;
    }
    QList<std::pair<double, int>> history(const QString& code) {
        QList<std::pair<double, int>> rows;
        auto q = shop.ctx.db.select(
            QStringLiteral(
                "SELECT addNum, addType FROM tb_prdnum_record WHERE prdCode = ? ORDER BY addType, addNum"),
            {code});
        while (q && q->next())
            rows.append({q->value(0).toDouble(), q->value(1).toInt()});
        return rows;
    }
};

QStringList texts(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* t : list)
        out << QString::fromUtf8(t);
    return out;
}

QString logOf(test::TestShop& shop) {
    auto q = shop.ctx.db.select(QStringLiteral("SELECT Content FROM tb_OpRecord"));
    QStringList lines;
    while (q && q->next())
        lines << q->value(0).toString();
    return lines.join(QLatin1Char('\n'));
}
} // namespace

class TestPurchasing final : public QObject {
    Q_OBJECT

private slots:
    // The entry list: the Data model's texts, products added twice keep their row, totals.
    void entryList() {
        Shop s;
        PurchaseList list = s.listOf({s.cola, s.rice, s.soap});
        QCOMPARE(list.size(), 3);
        // By ID: 大米, 可乐, 香皂.
        QStringList row;
        for (int c = 0; c < PurchaseColumnCount; ++c)
            row << list.text(1, c);
        QCOMPARE(row,
                 texts({"2", "[特] 可乐", "1 瓶", "￥2.13", "10", "￥2.13", "=￥2.13", "1", "C1", "瓶"}));
        QCOMPARE(list.text(2, PurColName), QStringLiteral("[赠] 香皂"));
        QCOMPARE(list.text(0, PurColName), QStringLiteral("大米"));

        list.applyEdit(1, {12, 10, 2.13, false});
        list.applyEdit(0, {2.5, 8, 3.6, false});
        list.add(LoadPurchaseProducts(s.shop.ctx, s.ids({s.cola, s.rice})));
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.text(1, PurColQuantity), QStringLiteral("12 瓶"));
        QCOMPARE(list.text(0, PurColQuantity), QStringLiteral("2.5 公斤"));
        QCOMPARE(list.text(0, PurColDiscount), QStringLiteral("8.0"));
        QCOMPARE(list.text(0, PurColLineTotal), QStringLiteral("=￥9.00"));
        // 2.5 × 3.60 + 12 × 2.13 + 1 × 1.00; whole products count their pieces, others one each.
        QCOMPARE(list.totalValueText(), QStringLiteral("￥35.56"));
        QCOMPARE(list.itemCountText(), QStringLiteral("14"));

        // "统一折扣" rewrites every row from its unit price.
        list.applyEdit(2, {1, 5, 0, true});
        QCOMPARE(list.text(1, PurColDiscountPrice), QStringLiteral("￥1.06"));
        QCOMPARE(list.text(0, PurColDiscount), QStringLiteral("5.0"));

        QCOMPARE(PurchaseHeader(PurColQuantity, PurchaseIn), QStringLiteral("进货数量"));
        QCOMPARE(PurchaseHeader(PurColQuantity, PurchaseReturn), QStringLiteral("退货数量"));
        QVERIFY(LoadPurchaseProducts(s.shop.ctx, QStringLiteral("9999,")).isEmpty());
        QVERIFY(LoadPurchaseProducts(s.shop.ctx, QStringLiteral("1) OR (1=1,")).isEmpty());
    }

    // 2.5 kg received: the line keeps InNum 2, the stock rises by 2.5 with a kind-3 row.
    void purchase() {
        Shop s;
        PurchaseList list = s.one(s.rice, 2.5);
        const PurchaseSaveResult r = SavePurchase(s.shop.ctx, list, PurchaseIn, true);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QVERIFY(QRegularExpression(QStringLiteral("^CG\\d{19}$")).match(r.order.code).hasMatch());
        QCOMPARE(r.order.buyer, QStringLiteral("管理员"));
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), 12.5);
        QCOMPARE(s.history(QStringLiteral("R1")),
                 (QList<std::pair<double, int>>{{2.5, int(StockPurchaseIn)}}));
        auto q =
            s.shop.ctx.db.select(QStringLiteral("SELECT InNum, InPrice, DisCountPrice, DisCount, IsReturn, "
                                                "SaleManID, PrdCode FROM tb_StorageIn_His_details "
                                                "WHERE StoreInCode = ?"),
                                 {r.order.code});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toDouble(), 2.0);
        QCOMPARE(q->value(1).toDouble(), 4.5);
        QCOMPARE(q->value(2).toDouble(), 4.5);
        QCOMPARE(q->value(3).toDouble(), 10.0);
        QCOMPARE(q->value(4).toInt(), 0);
        QCOMPARE(q->value(5).toInt(), 1);
        const QList<PurchaseOrder> orders = ListPurchaseOrders(s.shop.ctx);
        QCOMPARE(orders.size(), 1);
        QCOMPARE(PurchaseOrderColumns(orders[0]).mid(1),
                 (QStringList{QStringLiteral("11.25"), QStringLiteral("管理员"), r.order.code,
                              QStringLiteral("√"), QStringLiteral("采购进货")}));
        QCOMPARE(orders[0].addDate, r.order.addDate);
        QCOMPARE(PurchaseLineColumns(ListPurchaseLines(s.shop.ctx, r.order.code).value(0)),
                 texts({"R1", "大米", "2", "4.5", "10.0", "4.50", "9.00"}));

        // Cancelling moves back exactly the 2.5 the purchase moved, not the stored 2.
        const PurchaseCancelResult c =
            CancelPurchase(s.shop.ctx, r.order.code, QStringLiteral("11.25"), QStringLiteral("管理员"),
                           QStringLiteral("24-03-05 14:30:00"));
        QVERIFY2(c.ok, qPrintable(c.message + c.detail));
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), 10.0);
        QCOMPARE(
            s.history(QStringLiteral("R1")),
            (QList<std::pair<double, int>>{{2.5, int(StockPurchaseIn)}, {-2.5, int(StockPurchaseDelete)}}));
    }

    // 3 pieces returned: stock -3 with a kind-4 row; cancelling the return: +3 with another kind-4 row.
    void purchaseReturn() {
        Shop s;
        const PurchaseSaveResult r = SavePurchase(s.shop.ctx, s.one(s.cola, 3), PurchaseReturn, false);
        QVERIFY2(r.ok, qPrintable(r.message + r.detail));
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 17.0);
        QCOMPARE(PurchaseOrderColumns(ListPurchaseOrders(s.shop.ctx).value(0)).mid(4), texts({"×", "退货"}));
        const PurchaseCancelResult c =
            CancelPurchase(s.shop.ctx, r.order.code, QStringLiteral("6.39"), QStringLiteral("管理员"),
                           QStringLiteral("24-03-05 14:30:00"));
        QVERIFY2(c.ok, qPrintable(c.message));
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 20.0);
        QCOMPARE(
            s.history(QStringLiteral("C1")),
            (QList<std::pair<double, int>>{{-3, int(StockPurchaseReturn)}, {3, int(StockPurchaseReturn)}}));
        QCOMPARE(logOf(s.shop), QStringLiteral("撤销采购退货单，订单详情（总价：6.39; 订单创建人：管理员; "
                                               "订单创建时间:24-03-05 14:30:00)"));
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His")), 0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His_details")), 0);
    }

    // 5 pieces received and cancelled: -5 with a kind-5 row and one log line for a purchase order.
    void cancelPurchase() {
        Shop s;
        const PurchaseSaveResult r = SavePurchase(s.shop.ctx, s.one(s.cola, 5), PurchaseIn, true);
        QVERIFY(r.ok);
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 25.0);
        const PurchaseCancelResult c =
            CancelPurchase(s.shop.ctx, r.order.code, QStringLiteral("10.65"), QStringLiteral("管理员"),
                           QStringLiteral("24-03-05 14:30:00"));
        QVERIFY(c.ok);
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), 20.0);
        QCOMPARE(
            s.shop.count(QStringLiteral("tb_prdnum_record"), QStringLiteral("addType = 5 AND addNum = -5")),
            1);
        QCOMPARE(logOf(s.shop), QStringLiteral("撤销采购进货单，订单详情（总价：10.65; 订单创建人：管理员; "
                                               "订单创建时间:24-03-05 14:30:00)"));
        // A second cancellation of the same order finds it gone.
        const auto before = test::DumpTables(s.shop.ctx);
        const PurchaseCancelResult again = CancelPurchase(s.shop.ctx, r.order.code, {}, {}, {});
        QVERIFY(!again.ok && !again.nothing);
        QCOMPARE(again.message, QStringLiteral("订单不存在或已被删除"));
        QVERIFY(test::DumpTables(s.shop.ctx) == before);
    }

    // Orders without lines stay and nothing is said; lines written before MovedNum move InNum back.
    void olderOrders() {
        Shop s;
        const QString insertHeader = QStringLiteral("INSERT INTO tb_StorageIn_His(StoreInCode, SaleManID, "
                                                    "totalPrice, IsPay, IsReturn) VALUES(?, 1, 9, 1, ?)");
        QVERIFY(s.shop.ctx.db.exec(insertHeader, {QStringLiteral("CG-EMPTY"), 0}));
        const auto before = test::DumpTables(s.shop.ctx);
        const PurchaseCancelResult empty = CancelPurchase(s.shop.ctx, QStringLiteral("CG-EMPTY"), {}, {}, {});
        QVERIFY(!empty.ok && empty.nothing);
        QVERIFY(empty.message.isEmpty());
        QVERIFY(test::DumpTables(s.shop.ctx) == before);

        QVERIFY(s.shop.ctx.db.exec(insertHeader, {QStringLiteral("CG-OLD"), 0}));
        QVERIFY(
            s.shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_StorageIn_His_details(StoreInCode, PrdCode, "
                                              "InPrice, InNum, SaleManID, IsReturn, DisCountPrice, DisCount) "
                                              "VALUES('CG-OLD', 'R1', 4.5, 2, 1, 0, 4.5, 10)")));
        QVERIFY(CancelPurchase(s.shop.ctx, QStringLiteral("CG-OLD"), {}, {}, {}).ok);
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), 8.0);
    }

    void paidFlag() {
        Shop s;
        const PurchaseSaveResult r = SavePurchase(s.shop.ctx, s.one(s.soap, 1), PurchaseIn, false);
        QVERIFY(r.ok);
        QVERIFY(!ListPurchaseOrders(s.shop.ctx).value(0).paid);
        QVERIFY(SetPurchasePaid(s.shop.ctx, r.order.code, true));
        QVERIFY(ListPurchaseOrders(s.shop.ctx).value(0).paid);
        QVERIFY(SetPurchasePaid(s.shop.ctx, r.order.code, false));
        QVERIFY(!ListPurchaseOrders(s.shop.ctx).value(0).paid);
        QVERIFY(!SetPurchasePaid(s.shop.ctx, QStringLiteral("CG' OR '1'='1"), true));
        QVERIFY(!ListPurchaseOrders(s.shop.ctx).value(0).paid);
    }

    // Newest first; orders of operators who are gone, and lines of products that are gone, are not listed.
    void lists() {
        Shop s;
        const int zhang = s.shop.addOperator(QStringLiteral("zhang"), QStringLiteral("pw"));
        const QString insert =
            QStringLiteral("INSERT INTO tb_StorageIn_His(StoreInCode, SaleManID, totalPrice, "
                           "IsPay, addDate, IsReturn) VALUES(?, ?, 1, 1, ?, 0)");
        const QDateTime t(QDate(2024, 3, 5), QTime(14, 30));
        QVERIFY(s.shop.ctx.db.exec(insert, {QStringLiteral("CG1"), 1, s.shop.ctx.db.dateTimeValue(t)}));
        QVERIFY(s.shop.ctx.db.exec(insert,
                                   {QStringLiteral("CG2"), 1, s.shop.ctx.db.dateTimeValue(t.addDays(1))}));
        QVERIFY(s.shop.ctx.db.exec(
            insert, {QStringLiteral("CG3"), zhang, s.shop.ctx.db.dateTimeValue(t.addDays(2))}));
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {zhang}));
        const QList<PurchaseOrder> orders = ListPurchaseOrders(s.shop.ctx);
        QCOMPARE(orders.size(), 2);
        QCOMPARE(orders[0].code, QStringLiteral("CG2"));
        QCOMPARE(PurchaseOrderColumns(orders[1]).first(), QStringLiteral("24-03-05 14:30:00"));

        const PurchaseSaveResult r = SavePurchase(s.shop.ctx, s.listOf({s.rice, s.soap}), PurchaseIn, true);
        QVERIFY(r.ok);
        QCOMPARE(ListPurchaseLines(s.shop.ctx, r.order.code).size(), 2);
        QVERIFY(DeleteProduct(s.shop.ctx, s.soap));
        QCOMPARE(ListPurchaseLines(s.shop.ctx, r.order.code).size(), 1);
    }

    // Nothing to save, or a product another till deleted meanwhile: nothing is written.
    void saveRefusals() {
        Shop s;
        const auto before = test::DumpTables(s.shop.ctx);
        PurchaseSaveResult r = SavePurchase(s.shop.ctx, PurchaseList{}, PurchaseIn, true);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("请选择商品"));
        PurchaseList list = s.listOf({s.rice, s.soap});
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE ID = ?"), {s.soap}));
        const auto afterDelete = test::DumpTables(s.shop.ctx);
        r = SavePurchase(s.shop.ctx, list, PurchaseReturn, true);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("无法找到产品信息"));
        QVERIFY(test::DumpTables(s.shop.ctx) == afterDelete);
        QVERIFY(before != afterDelete);
    }

    void atomicity_data() {
        QTest::addColumn<QString>("step");
        QTest::addColumn<double>("rice");
        QTest::addColumn<double>("cola");
        // 1.5 of rice (10 in stock) and 1 cola (20 in stock).
        QTest::newRow("purchase") << "purchase" << 11.5 << 21.0;
        QTest::newRow("purchase return") << "return" << 8.5 << 19.0;
        QTest::newRow("cancel a purchase") << "cancel purchase" << 10.0 << 20.0;
        QTest::newRow("cancel a return") << "cancel return" << 10.0 << 20.0;
    }
    void atomicity() {
        QFETCH(QString, step);
        QFETCH(double, rice);
        QFETCH(double, cola);
        Shop s;
        PurchaseList list = s.listOf({s.rice, s.cola});
        list.applyEdit(0, {1.5, 10, 4.5, false});
        const bool cancelling = step.startsWith(QLatin1String("cancel"));
        const int mode = step.endsWith(QLatin1String("return")) ? PurchaseReturn : PurchaseIn;
        QString code;
        if (cancelling) {
            const PurchaseSaveResult saved = SavePurchase(s.shop.ctx, list, mode, true);
            QVERIFY(saved.ok);
            code = saved.order.code;
        }
        const auto before = test::DumpTables(s.shop.ctx);
        int failures = 0;
        for (int n = 1;; ++n) {
            s.shop.ctx.db.failNthStatement(n);
            bool ok = false;
            QString message;
            if (cancelling) {
                const PurchaseCancelResult r = CancelPurchase(s.shop.ctx, code, QStringLiteral("1"),
                                                              QStringLiteral("管理员"), QStringLiteral("-"));
                ok = r.ok;
                message = r.message;
            } else {
                const PurchaseSaveResult r = SavePurchase(s.shop.ctx, list, mode, true);
                ok = r.ok;
                message = r.message;
            }
            const bool reached = s.shop.ctx.db.failpointReached();
            s.shop.ctx.db.failNthStatement(0);
            if (!reached) {
                QVERIFY2(ok, qPrintable(message));
                break;
            }
            QVERIFY2(!ok, qPrintable(QStringLiteral("statement %1 failed unnoticed").arg(n)));
            QVERIFY(!message.isEmpty());
            QCOMPARE(s.shop.ctx.db.transactionDepth(), 0);
            QVERIFY2(test::DumpTables(s.shop.ctx) == before,
                     qPrintable(QStringLiteral("statement %1").arg(n)));
            ++failures;
        }
        QVERIFY(failures > 0);
        // The run that went through moved the stock once.
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His")), cancelling ? 0 : 1);
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), rice);
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), cola);
    }

    // Two tills cancel the same purchase orders at the same moment, each in its own process:
    // every order is cancelled once and its stock moves back once.
    void twoTills() {
        Shop s;
        constexpr int kOrders = 40;
        QStringList codes;
        for (int i = 0; i < kOrders; ++i) {
            const PurchaseSaveResult r =
                SavePurchase(s.shop.ctx, s.one(i % 2 ? s.rice : s.cola, i % 2 ? 1.5 : 2),
                             i % 4 == 3 ? PurchaseReturn : PurchaseIn, true);
            QVERIFY(r.ok);
            codes << r.order.code;
        }
        const double riceBefore = 10, colaBefore = 20;
        QList<QProcess*> tills;
        const QString startAt = QString::number(QDateTime::currentMSecsSinceEpoch() + 1500);
        for (int i = 0; i < 2; ++i) {
            auto* p = new QProcess(this);
            p->setProgram(QStringLiteral(SELVO_CANCEL_PATH));
            p->setArguments({QStringLiteral("--purchases"), QStringLiteral("--data"), s.shop.dataFolder(),
                             QStringLiteral("--start-at"), startAt, QStringLiteral("--orders"),
                             codes.join(QLatin1Char(','))});
            tills << p;
        }
        for (QProcess* p : tills)
            p->start();
        int cancelled = 0;
        int gone = 0;
        for (QProcess* p : tills) {
            QVERIFY(p->waitForFinished(120000));
            const QString err = QString::fromUtf8(p->readAllStandardError());
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0, qPrintable(err));
            for (const QString& line :
                 QString::fromUtf8(p->readAllStandardOutput()).split(QLatin1Char('\n'))) {
                if (line.startsWith(QLatin1String("cancelled ")))
                    ++cancelled;
                else if (line.startsWith(QLatin1String("refused "))) {
                    QVERIFY2(line.endsWith(QStringLiteral("订单不存在或已被删除")), qPrintable(line));
                    ++gone;
                }
            }
            delete p;
        }
        QCOMPARE(cancelled, kOrders);
        QCOMPARE(gone, kOrders);
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His")), 0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_StorageIn_His_details")), 0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_OpRecord")), kOrders);
        QCOMPARE(s.shop.stockOf(QStringLiteral("R1")), riceBefore);
        QCOMPARE(s.shop.stockOf(QStringLiteral("C1")), colaBefore);
    }
};

QTEST_GUILESS_MAIN(TestPurchasing)
#include "tst_purchasing.moc"

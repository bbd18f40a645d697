#include "GuiDriver.h"
#include "TestShop.h"

#include "core/sales/Posting.h"
#include "core/support/Clock.h"
#include "gui/app/FileDialogs.h"
#include "gui/app/Messages.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/sales/CSaleDlg.h"
#include "gui/sales/CSaleHisDlg.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/ColorRef.h"

#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMap>
#include <QMenu>
#include <QPrinter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;
using namespace Qt::StringLiterals;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

// A shop with three orders of today (a guest's cash sale, 张三's sale from the balance, a guest
// sale by another operator), a back-dated guest sale of yesterday, and today's recharge records:
// 张三 recharged 100 with 10 bonus, 王五 had 5 deducted.
struct Shop {
    TestShop shop;
    int zhang = -1;
    int otherOperator = -1;
    bool written = false;
    QMap<QString, QString> orders; // "guest", "member", "other", "old" → order number

    Shop() {
        if (!shop.ok())
            return;
        shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 10, 6, 10);
        shop.addProduct(QStringLiteral("B"), QStringLiteral("糖"), 10, 4, 5);
        zhang = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 50, 20);
        const int wang = shop.addMember(QStringLiteral("王五"), QStringLiteral("13800000002"));
        otherOperator =
            shop.addOperator(QStringLiteral("lisi"), QStringLiteral("123456"), 2, 0, QStringLiteral("李四"));
        orders[QStringLiteral("guest")] =
            post({{QStringLiteral("A"), 2}}, kWalkInMember, cash(50), kNow.addSecs(-4 * 3600));
        Payment balance;
        balance.payType = PayBalance;
        balance.balanceBefore = 50;
        orders[QStringLiteral("member")] =
            post({{QStringLiteral("B"), 1.5}}, zhang, balance, kNow.addSecs(-3 * 3600));
        orders[QStringLiteral("other")] =
            post({{QStringLiteral("A"), 1}}, kWalkInMember, cash(10), kNow.addSecs(-2 * 3600));
        written = shop.ctx.db.exec(QStringLiteral("UPDATE tb_orders SET SaleManID = ? WHERE OrderNo = ?"),
                                   {otherOperator, orders[QStringLiteral("other")]});
        orders[QStringLiteral("old")] =
            post({{QStringLiteral("A"), 1}}, kWalkInMember, cash(10), kNow.addDays(-1).addSecs(-5 * 3600));
        const QString topup = QStringLiteral("INSERT INTO tb_TopupRecord(SaleManID, MemID, Amount, Giving, "
                                             "Total, OpType, AddDate) VALUES(1, ?, ?, ?, ?, ?, ?)");
        const QVariant today = shop.ctx.db.dateTimeValue(kNow);
        written = written && shop.ctx.db.exec(topup, {zhang, 100, 10, 110, 1, today}) &&
                  shop.ctx.db.exec(topup, {wang, 0, 0, -5, 0, today});
    }

    bool ok() const { return written && zhang > 0 && !orders.values().contains(QString()); }

    static Payment cash(double received) {
        Payment p;
        p.cashReceived = received;
        return p;
    }

    QString post(const QList<std::pair<QString, double>>& goods, int member, Payment pay,
                 const QDateTime& sold) {
        Cart cart;
        for (const auto& [code, quantity] : goods) {
            const int id =
                shop.ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_product WHERE PrdCode = ?"), {code})
                    .value_or(QVariant(0))
                    .toInt();
            const int row = cart.add(*LoadSaleProduct(shop.ctx, id), true);
            cart.applyEdit(row, {quantity, 10, cart.rows()[row].price, false});
        }
        const CartTotals t = cart.totals(shop.ctx.settings);
        if (pay.payType == PayCash)
            pay.change = pay.cashReceived - t.amountDue();
        return PostOrder(shop.ctx, MakeSaleDraft(cart, shop.ctx.settings, member, pay, t.points, {}, sold))
            .orderNo;
    }

    // The fixture's names of the orders a list shows, in list order.
    QStringList listed(const CListCtrlPlus* list) const {
        QStringList out;
        for (int r = 0; r < list->rowCount(); ++r)
            out << orders.key(list->itemText(r, RecOrderNo), QStringLiteral("?"));
        return out;
    }
    int rowOf(const CListCtrlPlus* list, const QString& key) const {
        for (int r = 0; r < list->rowCount(); ++r) {
            if (list->itemText(r, RecOrderNo) == orders.value(key))
                return r;
        }
        return -1;
    }
    double stock(const QString& code) { return shop.stockOf(code); }
    qint64 ordersNamed(const QString& key) {
        return shop.count(QStringLiteral("tb_orders"), QStringLiteral("OrderNo = ?"), {orders.value(key)});
    }
};

QStringList itemTexts(const QComboBox* box) {
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i) + QLatin1Char('=') + box->itemData(i).toString();
    return out;
}

QPoint cellCentre(const CListCtrlPlus* list, int row) {
    return list->visualRect(list->model()->index(row, 0)).center();
}
} // namespace

class TestSaleRecordsDlg final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }
    void init() { m_clock.set(kNow); }

    void opensFromTheSaleScreen() {
        Shop s;
        QVERIFY(s.ok());
        CSaleDlg page(s.shop.ctx, s.shop.dataFolder());
        page.resize(1100, 700);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto* records = Find<QPushButton>(&page, QStringLiteral("消费\\退货记录"));
        QVERIFY(records);
        QVERIFY(records->x() < Find<QPushButton>(&page, QStringLiteral("快速销售"))->x());

        // What the window shows is noted inside its modal run and compared after it.
        bool shown = false;
        struct {
            bool queried = false;
            bool maximised = false;
            QString title;
            QStringList listed;
            QDate from, to;
            bool fromOn = false, toOn = false, chooseEnabled = true, panelVisible = true;
            QStringList customers, orderTypes, payTypes, operators;
            QRect orders, lines, expectedOrders, expectedLines;
        } seen;
        OnNextModalOf<CSaleHisDlg>(
            [&](CSaleHisDlg* dlg) {
                // The first query runs by itself just after the window opens.
                seen.queried = QTest::qWaitFor([dlg] { return dlg->orderList()->rowCount() > 0; }, 2000);
                seen.maximised = dlg->isMaximized();
                seen.title = dlg->windowTitle();
                seen.listed = s.listed(dlg->orderList());
                seen.from = dlg->fromDate()->date();
                seen.to = dlg->toDate()->date();
                seen.fromOn = dlg->fromBox()->isChecked();
                seen.toOn = dlg->toBox()->isChecked();
                seen.chooseEnabled = dlg->chooseMemberButton()->isEnabled();
                seen.panelVisible = dlg->memberPanel()->isVisible();
                seen.customers = itemTexts(dlg->customerBox());
                seen.orderTypes = itemTexts(dlg->orderTypeBox());
                seen.payTypes = itemTexts(dlg->payTypeBox());
                seen.operators = itemTexts(dlg->operatorBox());
                seen.orders = dlg->orderList()->geometry();
                seen.lines = dlg->lineList()->geometry();
                const int h = (dlg->height() - 80) / 2;
                seen.expectedOrders = QRect(0, 80, dlg->width(), h);
                seen.expectedLines = QRect(0, 90 + h, dlg->width(), h - 24);
                Click(dlg, QStringLiteral("关闭"));
            },
            &shown);
        records->click();
        QVERIFY(shown);
        QVERIFY(seen.queried);
        QVERIFY(seen.maximised);
        QCOMPARE(seen.title, QStringLiteral("销售/退货 记录"));
        // Both date boxes start ticked at today: only today's orders, newest sale first.
        QCOMPARE(seen.listed, (QStringList{u"other"_s, u"member"_s, u"guest"_s}));
        QCOMPARE(seen.from, kNow.date());
        QCOMPARE(seen.to, kNow.date());
        QVERIFY(seen.fromOn && seen.toOn);
        QVERIFY(!seen.chooseEnabled);
        QVERIFY(!seen.panelVisible);
        QCOMPARE(seen.customers, (QStringList{u"不限=0"_s, u"会员消费=1"_s, u"散客消费=2"_s}));
        QCOMPARE(seen.orderTypes, (QStringList{u"不限=0"_s, u"销售订单=1"_s, u"积分兑换=3"_s, u"退货订单=2"_s,
                                               u"快速销售订单=4"_s}));
        QCOMPARE(seen.payTypes,
                 (QStringList{u"不限=0"_s, u"现金支付=1"_s, u"余额支付=2"_s, u"积分兑换=3"_s}));
        QCOMPARE(seen.operators, (QStringList{u"所有员工=0"_s, u"管理员=1"_s,
                                              u"李四="_s + QString::number(s.otherOperator)}));
        QCOMPARE(seen.orders, seen.expectedOrders);
        QCOMPARE(seen.lines, seen.expectedLines);
    }

    void filtersAndSummary_data() {
        QTest::addColumn<QString>("customer");
        QTest::addColumn<QString>("orderType");
        QTest::addColumn<QString>("payType");
        QTest::addColumn<QString>("saleMan");
        QTest::addColumn<bool>("datesOn");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<QString>("ordersLine");
        QTest::addColumn<QString>("rechargesLine");

        const QString any = QStringLiteral("不限");
        const QString all = QStringLiteral("所有员工");
        const QString everyRecharge =
            QStringLiteral("充值收银:￥ 100.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ -5.00元");
        const QString noRecharge =
            QStringLiteral("充值收银:￥ 0.00元 / 充值赠送:￥ 0.00元 / 扣除余额:￥ 0.00元");
        const QStringList today{QStringLiteral("other"), QStringLiteral("member"), QStringLiteral("guest")};
        QTest::newRow("today")
            << any << any << any << all << true << today
            << QStringLiteral("现金支付:￥ 30.00元 / 余额支付:￥ 15.00元 / 积分支付:0 / 利润:￥ 21.00元")
            << everyRecharge;
        QTest::newRow("dates off: yesterday's back-dated sale too")
            << any << any << any << all << false << (today + QStringList{QStringLiteral("old")})
            << QStringLiteral("现金支付:￥ 40.00元 / 余额支付:￥ 15.00元 / 积分支付:0 / 利润:￥ 25.00元")
            << everyRecharge;
        QTest::newRow("walk-in guests have no recharges")
            << QStringLiteral("散客消费") << any << any << all << true
            << QStringList{QStringLiteral("other"), QStringLiteral("guest")}
            << QStringLiteral("现金支付:￥ 30.00元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 12.00元")
            << noRecharge;
        QTest::newRow("every member")
            << QStringLiteral("会员消费") << any << any << all << true
            << QStringList{QStringLiteral("member")}
            << QStringLiteral("现金支付:￥ 0.00元 / 余额支付:￥ 15.00元 / 积分支付:0 / 利润:￥ 9.00元")
            << everyRecharge;
        QTest::newRow("cash: the balance sum reads 0")
            << any << any << QStringLiteral("现金支付") << all << true
            << QStringList{QStringLiteral("other"), QStringLiteral("guest")}
            << QStringLiteral("现金支付:￥ 30.00元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 12.00元")
            << everyRecharge;
        QTest::newRow("one operator")
            << any << any << any << QStringLiteral("李四") << true << QStringList{QStringLiteral("other")}
            << QStringLiteral("现金支付:￥ 10.00元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 4.00元")
            << noRecharge;
        QTest::newRow("returns: none")
            << any << QStringLiteral("退货订单") << any << all << true << QStringList{}
            << QStringLiteral("现金支付:￥ 0.00元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 0.00元")
            << everyRecharge;
    }

    void filtersAndSummary() {
        QFETCH(QString, customer);
        QFETCH(QString, orderType);
        QFETCH(QString, payType);
        QFETCH(QString, saleMan);
        QFETCH(bool, datesOn);
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        const auto choose = [](QComboBox* box, const QString& text) {
            box->setCurrentIndex(box->findText(text));
            return box->currentText() == text;
        };
        QVERIFY(choose(dlg.customerBox(), customer));
        QVERIFY(choose(dlg.orderTypeBox(), orderType));
        QVERIFY(choose(dlg.payTypeBox(), payType));
        QVERIFY(choose(dlg.operatorBox(), saleMan));
        dlg.fromBox()->setChecked(datesOn);
        dlg.toBox()->setChecked(datesOn);
        QCOMPARE(dlg.fromDate()->isEnabled(), datesOn);
        Click(&dlg, QStringLiteral("查询"));
        QTEST(s.listed(dlg.orderList()), "listed");
        QTEST(dlg.ordersSummary()->text(), "ordersLine");
        QTEST(dlg.rechargesSummary()->text(), "rechargesLine");
    }

    void rowAndLineTexts() {
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        dlg.query();
        const CListCtrlPlus* orders = dlg.orderList();
        QCOMPARE(orders->columnCaptions(),
                 (QStringList{u"订单流水号"_s, u"客户姓名"_s, u"客户手机号"_s, u"订单类型"_s, u"商品总价值"_s,
                              u"成交价"_s, u"支付方式"_s, u"收款"_s, u"找零"_s, u"商品数量"_s, u"获得积分"_s,
                              u"售货员"_s, u"消费时间"_s, u"备注"_s, u"订单生成时间"_s, u"利润"_s}));
        QList<int> widths;
        for (int c = 0; c < orders->columnCount(); ++c)
            widths << orders->columnWidthOf(c);
        QCOMPARE(widths, (QList<int>{130, 80, 90, 60, 80, 80, 60, 80, 80, 60, 60, 80, 120, 100, 120, 100}));
        QCOMPARE(dlg.lineList()->columnCaptions(),
                 (QStringList{u"序号"_s, u"产品编号"_s, u"产品名称"_s, u"计量"_s, u"单价"_s, u"折扣"_s,
                              u"折扣价"_s, u"总价"_s, u"所得积分"_s, u"利润"_s}));

        const int guest = s.rowOf(orders, QStringLiteral("guest"));
        const int member = s.rowOf(orders, QStringLiteral("member"));
        const QString no = s.orders[QStringLiteral("member")];
        QCOMPARE(orders->itemData(member),
                 *s.shop.ctx.db.scalar(QStringLiteral("SELECT ID FROM tb_orders WHERE OrderNo = ?u"), {no}));
        QCOMPARE(orders->rowTexts(guest).mid(1, 11),
                 (QStringList{u"散客消费"_s, u""_s, u"正常销售"_s, u"￥20.00"_s, u"￥20.00"_s, u"现金支付"_s,
                              u"￥50.00"_s, u"￥30.00"_s, u"1"_s, u"0"_s, u"管理员"_s}));
        QCOMPARE(orders->rowTexts(member),
                 (QStringList{no, u"张三"_s, u"13800000001"_s, u"正常销售"_s, u"￥15.00"_s, u"￥15.00"_s,
                              u"余额支付"_s, u"-"_s, u"-"_s, u"1"_s, u"15"_s, u"管理员"_s,
                              u"2024-03-05 11:30:00"_s, u""_s, u"2024-03-05 14:30:00"_s, u"9.00"_s}));
        dlg.showLines(member);
        QCOMPARE(dlg.lineList()->rowCount(), 1);
        QCOMPARE(dlg.lineList()->rowTexts(0),
                 (QStringList{u"1"_s, u"B"_s, u"糖"_s, u"1.5 个"_s, u"￥10.00"_s, u"10"_s, u"￥10.00"_s,
                              u"￥15.00"_s, u"15"_s, u"￥9.00"_s}));
    }

    // Lines follow a click, a right-click or the keyboard; the same row twice is read once.
    void linesOfTheClickedRow() {
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.query();
        CListCtrlPlus* orders = dlg.orderList();
        CListCtrlPlus* lines = dlg.lineList();
        const int member = s.rowOf(orders, QStringLiteral("member"));
        QTest::mouseClick(orders->viewport(), Qt::LeftButton, {}, cellCentre(orders, member));
        QCOMPARE(dlg.shownRow(), member);
        QCOMPARE(lines->rowCount(), 1);

        // Read again, the lines would be gone now.
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_order_lines WHERE OrderNo = ?"),
                                   {s.orders[QStringLiteral("member")]}));
        QTest::mouseClick(orders->viewport(), Qt::LeftButton, {}, cellCentre(orders, member));
        QTest::mouseDClick(orders->viewport(), Qt::LeftButton, {}, cellCentre(orders, member));
        QCOMPARE(lines->rowCount(), 1);
        QCOMPARE(lines->itemText(0, LineName), QStringLiteral("糖"));

        const int guest = s.rowOf(orders, QStringLiteral("guest"));
        QStringList menuEntries;
        QTimer::singleShot(0, this, [&] {
            if (!QTest::qWaitFor([] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); },
                                 2000))
                return;
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
                for (QAction* a : menu->actions())
                    menuEntries << a->text();
                menu->close();
            }
        });
        // What the window system sends for a right-click.
        QContextMenuEvent rightClick(QContextMenuEvent::Mouse, cellCentre(orders, guest),
                                     orders->viewport()->mapToGlobal(cellCentre(orders, guest)));
        QApplication::sendEvent(orders->viewport(), &rightClick);
        QTRY_COMPARE(menuEntries, (QStringList{QStringLiteral("撤销订单"), QStringLiteral("打印订单")}));
        QCOMPARE(orders->selectedRow(), guest);
        QCOMPARE(dlg.shownRow(), guest);
        QCOMPARE(lines->itemText(0, LineQuantity), QStringLiteral("2 个"));

        // Back to the member's row from the keyboard: its lines are read again, and are gone.
        orders->setFocus();
        QTest::keyClick(orders, guest > member ? Qt::Key_Up : Qt::Key_Down);
        QCOMPARE(dlg.shownRow(), member);
        QCOMPARE(lines->rowCount(), 0);
        QVERIFY(!dlg.createOrderMenu(orders->rowCount()));
    }

    void cancelAMemberSale() {
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        QVERIFY(!dlg.chooseMemberButton()->isEnabled());
        dlg.customerBox()->setCurrentIndex(dlg.customerBox()->findData(SalesRecordFilter::Members));
        QVERIFY(dlg.chooseMemberButton()->isEnabled());
        OnNextModalOf<CSelUserDlg>([](CSelUserDlg* pick) {
            const auto found = pick->list()->findItems(QStringLiteral("张三"), Qt::MatchContains);
            if (!found.isEmpty())
                pick->list()->setCurrentItem(found.first());
            pick->accept();
        });
        QVERIFY(dlg.chooseMember());
        QCOMPARE(dlg.memberId(), s.zhang);
        QVERIFY(!dlg.memberPanel()->isHidden());
        QCOMPARE(dlg.field(QStringLiteral("姓名："))->text(), QStringLiteral("张三"));
        QCOMPARE(dlg.field(QStringLiteral("手机："))->text(), QStringLiteral("13800000001"));
        QCOMPARE(dlg.field(QStringLiteral("余额："))->text(), QStringLiteral("￥35.00"));
        QCOMPARE(dlg.field(QStringLiteral("积分："))->text(), QStringLiteral("35"));
        QCOMPARE(dlg.field(QStringLiteral("姓名："))->palette().color(QPalette::Text), ColorFromRef(255));
        QCOMPARE(dlg.field(QStringLiteral("余额："))->palette().color(QPalette::Text),
                 ColorFromRef(0xFF0000));
        QCOMPARE(dlg.ordersSummary()->palette().color(QPalette::WindowText), ColorFromRef(0xFF0000));
        dlg.query();
        QCOMPARE(s.listed(dlg.orderList()), QStringList{QStringLiteral("member")});
        // 王五's deduction is not 张三's.
        QCOMPARE(dlg.rechargesSummary()->text(),
                 QStringLiteral("充值收银:￥ 100.00元 / 充值赠送:￥ 10.00元 / 扣除余额:￥ 0.00元"));

        MessageRecorder messages;
        dlg.cancelSelected(); // nothing selected
        QVERIFY(messages.boxes.isEmpty());

        dlg.orderList()->setSelectedRow(0);
        QCOMPARE(dlg.lineList()->rowCount(), 1);
        messages.answerNext(false);
        dlg.cancelSelected();
        QCOMPARE(messages.boxTexts(),
                 QStringList{QStringLiteral("无需退现金 \n订单详情【会员消费】【余额支付】\n"
                                            "撤销后将返还会员【余额】15.00元，扣除【积分】15。\n"
                                            "确认撤销此订单吗？")});
        QCOMPARE(dlg.orderList()->rowCount(), 1);
        QCOMPARE(s.ordersNamed(QStringLiteral("member")), 1);
        QCOMPARE(s.stock(QStringLiteral("B")), 3.5);
        QCOMPARE(dlg.field(QStringLiteral("余额："))->text(), QStringLiteral("￥35.00"));

        // Yes, through the context menu's entry.
        messages.answerNext(true);
        std::unique_ptr<QMenu> menu(dlg.createOrderMenu(0));
        QVERIFY(menu);
        menu->actions().first()->trigger();
        QCOMPARE(messages.boxes.size(), 2);
        QCOMPARE(dlg.orderList()->rowCount(), 0);
        QCOMPARE(dlg.lineList()->rowCount(), 0);
        QCOMPARE(s.ordersNamed(QStringLiteral("member")), 0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_order_lines"), QStringLiteral("OrderNo = ?"),
                              {s.orders[QStringLiteral("member")]}),
                 0);
        QCOMPARE(s.stock(QStringLiteral("B")), 5.0);
        QCOMPARE(s.shop.count(QStringLiteral("tb_OpRecord"), QStringLiteral("SaleManID = 1 AND Content = ?"),
                              {QStringLiteral(
                                  "撤销订单，订单详情（会员：张三;  电话：13800000001; 订单类型：正常销售; "
                                  "价格:￥15.00; 支付方式:余额支付 )")}),
                 1);
        QCOMPARE(dlg.field(QStringLiteral("余额："))->text(), QStringLiteral("￥50.00"));
        QCOMPARE(dlg.field(QStringLiteral("积分："))->text(), QStringLiteral("20"));
        QCOMPARE(dlg.ordersSummary()->text(),
                 QStringLiteral("现金支付:￥ 0.00元 / 余额支付:￥ 0.00元 / 积分支付:0 / 利润:￥ 0.00元"));

        // Another customer type forgets the member.
        dlg.customerBox()->setCurrentIndex(dlg.customerBox()->findData(SalesRecordFilter::Guests));
        QVERIFY(!dlg.chooseMemberButton()->isEnabled());
        QVERIFY(dlg.memberPanel()->isHidden());
        QCOMPARE(dlg.memberId(), -1);
        QVERIFY(dlg.field(QStringLiteral("姓名："))->text().isEmpty());
    }

    void refusedOrFailedCancellationChangesNothing_data() {
        QTest::addColumn<QString>("order");
        QTest::addColumn<qint64>("laterSecs");
        QTest::addColumn<int>("failStatement");
        QTest::addColumn<QString>("message");
        QTest::newRow("another operator's order") << QStringLiteral("other") << qint64(0) << 0
                                                  << QStringLiteral("对不起，只能撤销自己创建的订单！");
        QTest::newRow("more than a day old") << QStringLiteral("guest") << qint64(24 * 3600 + 1800) << 0
                                             << QStringLiteral("对不起，只能撤销24小时之内创建的订单！");
        // Reading the order to ask, then in the commit reading it again and deleting it: the delete fails.
        QTest::newRow("the database refuses")
            << QStringLiteral("guest") << qint64(0) << 3 << QStringLiteral("撤销订单失败，请重试！");
    }

    void refusedOrFailedCancellationChangesNothing() {
        QFETCH(QString, order);
        QFETCH(qint64, laterSecs);
        QFETCH(int, failStatement);
        QFETCH(QString, message);
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        dlg.query();
        m_clock.advanceSecs(laterSecs);
        const int row = s.rowOf(dlg.orderList(), order);
        dlg.orderList()->setSelectedRow(row);
        MessageRecorder messages;
        messages.defaultAnswer = true;
        s.shop.ctx.db.failNthStatement(failStatement);
        dlg.cancelSelected();
        s.shop.ctx.db.failNthStatement(0);
        QVERIFY(!messages.boxes.isEmpty());
        QCOMPARE(messages.boxes.last().kind, QStringLiteral("warn"));
        QVERIFY2(messages.boxes.last().text.startsWith(message), qPrintable(messages.boxes.last().text));
        QCOMPARE(messages.boxes.size(), failStatement ? 2 : 1);
        QCOMPARE(dlg.orderList()->rowCount(), 3);
        QCOMPARE(dlg.lineList()->rowCount(), 1);
        QCOMPARE(s.ordersNamed(order), 1);
        QCOMPARE(s.shop.count(QStringLiteral("tb_OpRecord")), 0);
        QCOMPARE(s.stock(QStringLiteral("A")), 6.0);
    }

    void reprintTheShownOrder() {
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        dlg.query();
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("receipt.pdf"));
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        MessageRecorder messages;
        dlg.printShown(&printer); // no lines shown: nothing to print
        QVERIFY(messages.toasts.isEmpty());
        QVERIFY(!QFile::exists(pdf));

        dlg.showLines(s.rowOf(dlg.orderList(), QStringLiteral("guest")));
        dlg.printShown(&printer);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("完成")});
        QCOMPARE(messages.toasts.first().owner.data(), &dlg);
        QVERIFY(QFileInfo(pdf).size() > 0);
    }

    void exportTheList() {
        Shop s;
        QVERIFY(s.ok());
        CSaleHisDlg dlg(s.shop.ctx);
        dlg.query();
        QTemporaryDir dir;
        const QString csv = dir.filePath(QStringLiteral("records.csv"));
        QString proposed;
        ScopedFileDialogHook files([&](const QString&, const QString& name) {
            proposed = name;
            return csv;
        });
        SetShowFileHook([](const QString&) {});
        Click(&dlg, QStringLiteral("导出到Excel"));
        SetShowFileHook({});
        QVERIFY2(proposed.endsWith(QStringLiteral("销售记录2024-03-05 14.30.00.csv")), qPrintable(proposed));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
        QCOMPARE(lines.size(), 4); // the header and three orders
        QVERIFY(lines[1].contains(s.orders[QStringLiteral("other")].toLatin1()));
    }
};

QTEST_MAIN(TestSaleRecordsDlg)
#include "tst_sale_records_dlg.moc"

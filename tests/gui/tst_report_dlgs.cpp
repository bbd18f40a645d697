#include "GuiDriver.h"
#include "TestShop.h"

#include "core/store/Vocabulary.h"
#include "core/support/Clock.h"
#include "gui/members/CMemManDlg.h"
#include "gui/members/CTopupDlg.h"
#include "gui/members/CTopupHisDlg.h"
#include "gui/members/CUserHisDlg.h"
#include "gui/sales/CFastSaleDlg.h"
#include "gui/sales/CSaleDlg.h"
#include "gui/sales/CTJPrdProfits.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
const QDateTime kNow(QDate(2024, 3, 5), QTime(14, 30, 0));

// Product A sold to 张三 today (cash, 2 for 100) and to a guest yesterday (balance, 1 for 60);
// 张三 has 450 recharge records, the newest today, one a minute before.
struct Shop {
    TestShop shop;
    int zhang = -1;
    int orders = 0;
    bool written = false;

    Shop() {
        if (!shop.ok())
            return;
        shop.addProduct(QStringLiteral("A"), QStringLiteral("茶"), 50, 30);
        zhang = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 20);
        written = sale(zhang, PayCash, 2, 100, 40, kNow.addSecs(-60)) &&
                  sale(kWalkInMember, PayBalance, 1, 60, 30, kNow.addDays(-1)) && shop.ctx.db.begin();
        for (int i = 0; i < 450 && written; ++i)
            written = shop.ctx.db.exec(
                QStringLiteral("INSERT INTO tb_TopupRecord(MemID, SaleManID, Amount, Giving, "
                               "Total, OpType, Remark, AddDate) VALUES(?, 1, ?, 0, ?, 1, ?, ?)"),
                {zhang, i, i, QString::number(i), shop.ctx.db.dateTimeValue(kNow.addSecs(-60 * (449 - i)))});
        written = written && shop.ctx.db.commit();
    }
    bool ok() const { return written; }

    bool sale(int member, int pay, double quantity, double total, double profit, const QDateTime& when) {
        const QString no = QStringLiteral("20240305000000%1").arg(10000 + ++orders);
        const QVariant date = shop.ctx.db.dateTimeValue(when);
        return shop.ctx.db.exec(QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, "
                                               "RealTotalPrice, Profits, PayType, OrderType, SaleDate) "
                                               "VALUES(?, ?, 1, ?, ?, ?, ?, 1, ?)"),
                                {no, member, total, total, profit, pay, date}) &&
               shop.ctx.db.exec(
                   QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, "
                                  "PrdName, PrdNum, PrdPurchasePrice, Profits, TotalPrice, PayType, "
                                  "SaleDate) VALUES(?, ?, 1, 'A', '茶', ?, 30, ?, ?, ?, ?)"),
                   {no, member, quantity, profit, total, pay, date});
    }
};

QStringList column(const CListCtrlPlus* list, int c) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r)
        out << list->itemText(r, c);
    return out;
}

// Runs `open` and reports whether a CUserHisDlg came up (it is closed at once) and its title.
bool opensHistory(const std::function<void()>& open, QString* title = nullptr) {
    return OpensModalOf<CUserHisDlg>(open, [title](CUserHisDlg* dlg) {
        if (title)
            *title = dlg->windowTitle();
    });
}
} // namespace

class TestReportDlgs final : public QObject {
    Q_OBJECT

    ManualClock m_clock{kNow};

private slots:
    void initTestCase() { Clock::setInstance(&m_clock); }
    void cleanupTestCase() { Clock::setInstance(nullptr); }

    void productStatsFromTheSaleScreen() {
        Shop s;
        QVERIFY(s.ok());
        CSaleDlg page(s.shop.ctx, s.shop.dataFolder());
        page.resize(1200, 700);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto* button = Find<QPushButton>(&page, QStringLiteral("产品销售统计"));
        QVERIFY(button);
        QVERIFY(button->x() > Find<QPushButton>(&page, QStringLiteral("新增会员"))->x());

        bool shown = false;
        struct {
            int rowsAtOpening = -1;
            QStringList payTypes, headers, detailHeaders, today, details, newDetails, afterDateChange;
        } seen;
        OnNextModalOf<CTJPrdProfits>(
            [&](CTJPrdProfits* dlg) {
                seen.rowsAtOpening = dlg->productList()->rowCount() + dlg->detailList()->rowCount();
                for (int i = 0; i < dlg->payTypeBox()->count(); ++i)
                    seen.payTypes << dlg->payTypeBox()->itemText(i);
                seen.headers = dlg->productList()->columnCaptions();
                seen.detailHeaders = dlg->detailList()->columnCaptions();
                Click(dlg, QStringLiteral("查询"));
                seen.today = dlg->productList()->rowTexts(0);
                dlg->showDetails(0);
                seen.details = column(dlg->detailList(), DetailMember);
                // The dates move on after the query: the product figures stay, the lines follow.
                dlg->fromDate()->setDate(kNow.date().addDays(-1));
                dlg->showDetails(0);
                seen.newDetails = column(dlg->detailList(), DetailMember);
                seen.afterDateChange = dlg->productList()->rowTexts(0);
                Click(dlg, QStringLiteral("关闭"));
            },
            &shown);
        button->click();
        QVERIFY(shown);
        QCOMPARE(seen.rowsAtOpening, 0);
        QCOMPARE(seen.payTypes, (QStringList{QStringLiteral("不限"), QStringLiteral("现金支付"),
                                             QStringLiteral("余额支付")}));
        QCOMPARE(seen.headers.size(), int(StatColumnCount));
        QCOMPARE(seen.headers.last(), QStringLiteral("毛利率"));
        QCOMPARE(seen.detailHeaders.value(DetailMember), QStringLiteral("会员姓名(手机号)"));
        QCOMPARE(
            seen.today,
            (QStringList{QStringLiteral("A"), QStringLiteral("茶"), QStringLiteral("￥50.00"),
                         QStringLiteral("￥30.00"), QStringLiteral("2"), QStringLiteral("￥100.00"),
                         QStringLiteral("￥60.00"), QStringLiteral("￥40.00"), QStringLiteral("40.00%")}));
        QCOMPARE(seen.details, QStringList{QStringLiteral("张三(13800000001)")});
        QCOMPARE(seen.newDetails,
                 (QStringList{QStringLiteral("张三(13800000001)"), QStringLiteral("散客消费")}));
        QCOMPARE(seen.afterDateChange, seen.today);
    }

    void topupRecordsFromTheMemberPage() {
        Shop s;
        QVERIFY(s.ok());
        CMemManDlg page(s.shop.ctx, s.shop.dataFolder());
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QVERIFY(!page.historyButton()->isHidden());
        bool shown = false;
        struct {
            bool maximised = false, paged = false, panelAtOpening = true, chooseAtOpening = true;
            int firstScreen = 0, all = 0, memberOnly = 0, afterUntick = 0, filterAfterUntick = 0;
            QString newest, older, name;
            QRect list, expected;
        } seen;
        OnNextModalOf<CTopupHisDlg>(
            [&](CTopupHisDlg* dlg) {
                seen.maximised = dlg->isMaximized();
                CListCtrlPlus* list = dlg->list();
                seen.paged = list->isPaged();
                seen.firstScreen = list->rowCount();
                seen.newest = list->itemText(0, TopupTime);
                seen.panelAtOpening = dlg->memberPanel()->isVisible();
                seen.chooseAtOpening = dlg->chooseMemberButton()->isEnabled();
                seen.list = list->geometry();
                seen.expected = QRect(2, 80, dlg->width() - 4, dlg->height() - 82);
                list->fetchAll();
                seen.all = list->rowCount();
                seen.older = list->itemText(list->rowCount() - 1, TopupTime);

                dlg->memberBox()->setChecked(true);
                OnNextModal([](QDialog* picker) { QTest::keyClick(picker->focusWidget(), Qt::Key_Return); },
                            dlg);
                dlg->chooseMemberButton()->click();
                seen.name = dlg->field(QStringLiteral("姓名："))->text();
                s.shop.ctx.db.exec(
                    QStringLiteral("INSERT INTO tb_TopupRecord(MemID, SaleManID, Amount, Total, "
                                   "OpType, AddDate) VALUES(-1, 1, 1, 1, 1, ?)"),
                    {s.shop.ctx.db.dateTimeValue(kNow)});
                Click(dlg, QStringLiteral("查询"));
                list->fetchAll();
                seen.memberOnly = list->rowCount();
                dlg->memberBox()->setChecked(false);
                seen.filterAfterUntick = dlg->memberId();
                Click(dlg, QStringLiteral("查询"));
                list->fetchAll();
                seen.afterUntick = list->rowCount();
                Click(dlg, QStringLiteral("关闭"));
            },
            &shown);
        page.historyButton()->click();
        QVERIFY(shown);
        QVERIFY(seen.maximised);
        QVERIFY(seen.paged);
        QCOMPARE(seen.firstScreen, CListCtrlPlus::kDefaultPageSize);
        QCOMPARE(seen.all, 450);
        QCOMPARE(seen.newest, QStringLiteral("今天 14:30:00"));
        QCOMPARE(seen.older, QStringLiteral("今天 07:01:00"));
        QVERIFY(!seen.panelAtOpening);
        QVERIFY(!seen.chooseAtOpening);
        QCOMPARE(seen.list, seen.expected);
        QCOMPARE(seen.name, QStringLiteral("张三"));
        QCOMPARE(seen.memberOnly, 450);
        QCOMPARE(seen.filterAfterUntick, -1);
        QCOMPARE(seen.afterUntick, 451);
    }

    void memberHistoryFromTheMemberMenu() {
        Shop s;
        QVERIFY(s.ok());
        CMemManDlg page(s.shop.ctx, s.shop.dataFolder());
        page.fillList();
        QCOMPARE(page.list()->rowCount(), 1);
        QMenu* menu = page.contextMenuFor(0);
        QAction* records = nullptr;
        for (QAction* a : menu->actions()) {
            if (a->text() == QStringLiteral("充值/扣款/消费 记录"))
                records = a;
        }
        QVERIFY(records);
        bool shown = false;
        struct {
            QString title;
            QStringList tabs, orders, topupTimes;
            bool ordersFirst = false, topupsAfterSwitch = false;
        } seen;
        OnNextModalOf<CUserHisDlg>(
            [&](CUserHisDlg* dlg) {
                seen.title = dlg->windowTitle();
                seen.tabs = {dlg->tabs()->tabText(0), dlg->tabs()->tabText(1)};
                seen.orders = dlg->orderList()->rowTexts(0);
                seen.ordersFirst = dlg->orderList()->isVisible() && !dlg->topupList()->isVisible();
                dlg->tabs()->setCurrentIndex(1);
                seen.topupsAfterSwitch = !dlg->orderList()->isVisible() && dlg->topupList()->isVisible();
                seen.topupTimes = column(dlg->topupList(), MemTopupTime);
                dlg->reject();
            },
            &shown);
        records->trigger();
        delete menu;
        QVERIFY(shown);
        QCOMPARE(seen.title, QStringLiteral("张三(13800000001)的消费/充值记录  最多显示500条"));
        QCOMPARE(seen.tabs, (QStringList{QStringLiteral("消费记录"), QStringLiteral("充值记录")}));
        QCOMPARE(seen.orders, (QStringList{QStringLiteral("2024-03-05 14:29:00"), QStringLiteral("正常销售"),
                                           QStringLiteral("￥100.00"), QStringLiteral("现金支付"),
                                           QStringLiteral("管理员")}));
        QVERIFY(seen.ordersFirst);
        QVERIFY(seen.topupsAfterSwitch);
        QCOMPARE(seen.topupTimes.size(), 450);
        QCOMPARE(seen.topupTimes.first(), QStringLiteral("今天 14:30:00"));
    }

    // The "消费记录" buttons do nothing without a member, and open the chosen member's records.
    void recordsButtons_data() {
        QTest::addColumn<bool>("fastSale");
        QTest::newRow("recharge dialog") << false;
        QTest::newRow("fast sale") << true;
    }
    void recordsButtons() {
        QFETCH(bool, fastSale);
        Shop s;
        QVERIFY(s.ok());
        std::unique_ptr<QDialog> dlg;
        if (fastSale)
            dlg = std::make_unique<CFastSaleDlg>(s.shop.ctx);
        else
            dlg = std::make_unique<CTopupDlg>(s.shop.ctx, -1);
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        auto* records = Find<QPushButton>(dlg.get(), QStringLiteral("消费记录"));
        QVERIFY(records);
        QVERIFY(records->isHidden());
        QVERIFY(!opensHistory([records] { records->click(); }));

        OnNextModal([](QDialog* picker) { QTest::keyClick(picker->focusWidget(), Qt::Key_Return); },
                    dlg.get());
        Click(dlg.get(), QStringLiteral("选择会员"));
        QVERIFY(!records->isHidden());
        QString title;
        QVERIFY(opensHistory([records] { records->click(); }, &title));
        QCOMPARE(title, QStringLiteral("张三(13800000001)的消费/充值记录  最多显示500条"));
    }

    void openForMemberIgnoresNoMember_data() {
        QTest::addColumn<int>("member");
        QTest::newRow("none") << -1;
        QTest::newRow("zero") << 0;
    }
    void openForMemberIgnoresNoMember() {
        QFETCH(int, member);
        Shop s;
        QVERIFY(s.ok());
        QVERIFY(!opensHistory([&] { CUserHisDlg::OpenForMember(s.shop.ctx, member, nullptr); }));
        QVERIFY(s.shop.notes.messages.isEmpty());
    }
};

QTEST_MAIN(TestReportDlgs)
#include "tst_report_dlgs.moc"

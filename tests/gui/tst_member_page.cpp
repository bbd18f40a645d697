#include "GuiDriver.h"
#include "TestShop.h"

#include "core/store/StoreOps.h"
#include "gui/app/Messages.h"
#include "gui/app/SectionPages.h"
#include "gui/members/CMemManDlg.h"
#include "gui/members/CTopupDlg.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
// `n` members registered a minute apart, the first the oldest; names "会员<i>".
QList<int> addMembers(TestShop& shop, int n) {
    QList<int> ids;
    shop.ctx.db.begin();
    for (int i = 0; i < n; ++i) {
        const int id = shop.addMember(QStringLiteral("会员%1").arg(i),
                                      QStringLiteral("1380000%1").arg(i, 4, 10, QLatin1Char('0')), i, i,
                                      i % 10 == 9 ? 1 : 0);
        shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_members SET AddDate = ? WHERE ID = ?"),
            {shop.ctx.db.dateTimeValue(QDateTime(QDate(2024, 1, 1), QTime(0, 0)).addSecs(60 * i)), id});
        ids << id;
    }
    shop.ctx.db.commit();
    return ids;
}

QStringList names(const CListCtrlPlus* list) {
    QStringList texts;
    for (int r = 0; r < list->rowCount(); ++r)
        texts << list->itemText(r, 1);
    return texts;
}
} // namespace

class TestMemberPage final : public QObject {
    Q_OBJECT

private slots:
    void fillsPageByPage() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const QList<int> ids = addMembers(shop, 450);
        CMemManDlg page(shop.ctx, shop.dataFolder());
        page.resize(1200, 600);
        page.show();
        CListCtrlPlus* list = page.list();
        QCOMPARE(
            list->columnCaptions(),
            (QStringList{QStringLiteral("会员卡号"), QStringLiteral("会员姓名"), QStringLiteral("手机号码"),
                         QStringLiteral("当前积分"), QStringLiteral("累计消费"), QStringLiteral("帐户余额"),
                         QStringLiteral("出生生日"), QStringLiteral("登记时间"),
                         QStringLiteral("最后编辑时间"), QStringLiteral("用户状态")}));
        QCOMPARE(page.stateFilter()->currentText(), QStringLiteral("所有"));
        QVERIFY(!page.historyButton()->isHidden());
        QCOMPARE(list->rowCount(), 0); // drawn first, filled 50 ms later
        QTRY_VERIFY(list->rowCount() > 0);
        QCOMPARE(list->rowCount(), CListCtrlPlus::kDefaultPageSize);
        QCOMPARE(list->itemText(0, 1), QStringLiteral("会员449")); // newest first
        QCOMPARE(list->itemData(0).toInt(), ids.last());
        QVERIFY(list->hasCheckBoxes());
        QCOMPARE(page.totalsLabel()->text(),
                 QStringLiteral("当前总余额:￥ 101025.00元 / 总积分:101025 / 累计消费:￥ 0.00元"));
        list->fetchAll();
        QCOMPARE(list->rowCount(), 450);
        QCOMPARE(list->itemText(449, 1), QStringLiteral("会员0"));

        // Filter and text apply on "查询" only; a locked name under "正常" is not listed.
        page.stateFilter()->setCurrentIndex(1);
        page.searchEdit()->setText(QStringLiteral("会员9"));
        QCOMPARE(list->rowCount(), 450);
        Click(&page, QStringLiteral("查询"));
        QCOMPARE(names(list).size(), 9); // 90-98; 9 and 99 are locked
        QVERIFY(!names(list).contains(QStringLiteral("会员9")));
        QCOMPARE(names(list).first(), QStringLiteral("会员90")); // with text: by ID
        page.searchEdit()->setText(QStringLiteral("100%"));
        Click(&page, QStringLiteral("查询"));
        QCOMPARE(list->rowCount(), 0);
    }

    void plugsIntoTheMainWindow() {
        TestShop shop;
        QVERIFY(shop.ok());
        QWidget tabs;
        const SectionPage section = CreateMemberPage(shop.ctx, &tabs);
        auto* page = qobject_cast<CMemManDlg*>(section.widget);
        QVERIFY(page);
        QCOMPARE(page->accessibleName(), QStringLiteral("会员"));
        // Choosing the tab reads the list again.
        QVERIFY(section.activated);
        section.activated();
        QCOMPARE(page->list()->rowCount(), 0);
        shop.addMember(QStringLiteral("甲"), QStringLiteral("1"));
        section.activated();
        QCOMPARE(page->list()->rowCount(), 1);
    }

    void deletesTickedRowsOnly() {
        TestShop shop;
        QVERIFY(shop.ok());
        const QList<int> ids = addMembers(shop, 4);
        for (int id : ids)
            QVERIFY(WriteTopupRecord(shop.ctx, true, id, QString(), 1, 0, 0));
        MessageRecorder messages;
        CMemManDlg page(shop.ctx, shop.dataFolder());
        page.fillList();
        CListCtrlPlus* list = page.list();
        QCOMPARE(names(list), (QStringList{QStringLiteral("会员3"), QStringLiteral("会员2"),
                                           QStringLiteral("会员1"), QStringLiteral("会员0")}));

        Click(&page, QStringLiteral("删除"));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择要删除的会员")});

        list->setChecked(0, true);
        list->setChecked(2, true);
        list->setChecked(3, true);
        list->setSelectedRow(1); // highlighted, not ticked
        messages.answerNext(false);
        Click(&page, QStringLiteral("删除"));
        QCOMPARE(list->rowCount(), 4);
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 4);
        QVERIFY(messages.boxTexts().first().startsWith(QStringLiteral("确认要删除选中的会员吗？")));

        messages.answerNext(true);
        Click(&page, QStringLiteral("删除"));
        QCOMPARE(names(list), QStringList{QStringLiteral("会员2")});
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_TopupRecord")), 1);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord"), QStringLiteral("Content LIKE '删除会员：%'")), 3);

        // Another role sees no "删除" and is refused.
        shop.ctx.op.role = 1;
        CMemManDlg clerkPage(shop.ctx, shop.dataFolder());
        QVERIFY(clerkPage.deleteButton()->isHidden());
        messages.clear();
        clerkPage.deleteChecked();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("对不起，您没有此操作权限")});
    }

    void refreshesAfterAddAndRecharge() {
        TestShop shop;
        QVERIFY(shop.ok());
        const QList<int> ids = addMembers(shop, 10); // 会员9 is locked
        MessageRecorder messages;
        messages.defaultAnswer = true;
        CMemManDlg page(shop.ctx, shop.dataFolder());
        page.stateFilter()->setCurrentIndex(2); // locked only
        page.fillList();
        CListCtrlPlus* list = page.list();
        QCOMPARE(names(list), QStringList{QStringLiteral("会员9")});
        const QString totals = page.totalsLabel()->text();

        // A new (normal) member is appended even under the locked filter.
        OnNextModal([](QDialog* dlg) {
            Find<QLineEdit>(dlg, QStringLiteral("姓名："))->setText(QStringLiteral("新会员"));
            Find<QLineEdit>(dlg, QStringLiteral("(必填)手机："))->setText(QStringLiteral("13912345678"));
            Click(dlg, QStringLiteral("确定"));
        });
        Click(&page, QStringLiteral("新增"));
        QCOMPARE(names(list), (QStringList{QStringLiteral("会员9"), QStringLiteral("新会员")}));
        QCOMPARE(list->itemText(1, 9), QStringLiteral("正常"));

        // The context menu's recharge rewrites the row; the totals wait for "查询".
        QCOMPARE(page.contextMenuFor(-1), nullptr);
        QMenu* menu = page.contextMenuFor(0);
        QStringList actions;
        for (QAction* a : menu->actions())
            actions << a->text();
        QCOMPARE(actions, (QStringList{QStringLiteral("充值/扣款"), QStringLiteral("充值/扣款/消费 记录"),
                                       QStringLiteral("编辑")}));
        OnNextModal([](QDialog* dlg) {
            Find<QLineEdit>(dlg, QStringLiteral("充值金额："))->setText(QStringLiteral("100"));
            Click(dlg, QStringLiteral("确定"));
        });
        menu->actions().first()->trigger();
        QCOMPARE(list->itemText(0, 5), QStringLiteral("￥109.00")); // a locked member can be recharged
        QCOMPARE(page.totalsLabel()->text(), totals);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("充值成功")});

        // "会员充值\扣款" starts without a member; the member chosen inside is the one refreshed.
        OnNextModal([&](QDialog* dlg) {
            auto* topup = static_cast<CTopupDlg*>(dlg);
            OnNextModal([](QDialog* picker) { QTest::keyClick(picker->focusWidget(), Qt::Key_Return); }, dlg);
            topup->chooseButton()->click();
            topup->amountEdit()->setText(QStringLiteral("1"));
            Click(dlg, QStringLiteral("确定"));
        });
        Click(&page, QStringLiteral("会员充值\\扣款"));
        // The picker's first entry is 会员0, not in this list: the list stays as it is.
        QCOMPARE(
            shop.ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {ids.first()})
                ->toDouble(),
            1.0);
        QCOMPARE(names(list), (QStringList{QStringLiteral("会员9"), QStringLiteral("新会员")}));
        QCOMPARE(list->itemText(0, 5), QStringLiteral("￥109.00"));
    }
};

QTEST_MAIN(TestMemberPage)
#include "tst_member_page.moc"

#include "GuiDriver.h"
#include "TestShop.h"

#include "core/products/Categories.h"
#include "gui/app/CSelvoDlg.h"
#include "gui/app/Messages.h"
#include "gui/products/CPrdAddDlg.h"
#include "gui/products/CPrdManDlg.h"
#include "gui/widgets/CListCtrlPlus.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using selvo::test::Click;
using selvo::test::Find;
using selvo::test::OnNextModal;
using selvo::test::OnNextModalOf;
using selvo::test::TestShop;

namespace {
int addCategory(TestShop& shop, const QString& name, int pid) {
    auto id = shop.ctx.db.insertReturningId(
        QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, ?)"), {name, pid});
    return id ? int(*id) : -1;
}

// 食品 > 饮料, 日用; products with distinct AddDates (newest: 香皂, 可乐, 雪碧, 面包).
struct Shop {
    TestShop shop;
    int food = 0, drinks = 0, daily = 0;
    int bread = 0, cola = 0, sprite = 0, soap = 0, oldTea = 0, odd = 0;
    Shop() {
        food = addCategory(shop, QStringLiteral("食品"), 0);
        drinks = addCategory(shop, QStringLiteral("饮料"), food);
        daily = addCategory(shop, QStringLiteral("日用"), 0);
        bread = shop.addProduct(QStringLiteral("1001"), QStringLiteral("面包"), 5, 3, 10, food);
        cola = shop.addProduct(QStringLiteral("2001"), QStringLiteral("可乐"), 3, 2, 2.5, drinks,
                               PropertySpecialOffer);
        sprite = shop.addProduct(QStringLiteral("2002"), QStringLiteral("雪碧"), 3, 2, 0, drinks);
        soap =
            shop.addProduct(QStringLiteral("3001"), QStringLiteral("香皂"), 4.5, 2, 1, daily, PropertyGift);
        oldTea = shop.addProduct(QStringLiteral("2003"), QStringLiteral("可口茶"), 2, 1, 0, drinks, 1,
                                 ProductOffShelf);
        odd = shop.addProduct(QStringLiteral("9001"), QStringLiteral("50%折扣'券"), 1, 0, 0, daily);
        const QList<std::pair<int, const char*>> added{
            {odd, "2023-12-31 08:00:00"},  {bread, "2024-01-01 08:00:00"}, {sprite, "2024-01-02 08:00:00"},
            {cola, "2024-01-03 08:00:00"}, {soap, "2024-01-04 08:00:00"},  {oldTea, "2024-01-05 08:00:00"}};
        for (const auto& [id, when] : added)
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET AddDate = ? WHERE ID = ?"),
                             {QString::fromLatin1(when), id});
    }
};

QList<int> listedIds(CListCtrlPlus* list) {
    QList<int> ids;
    for (int row = 0; row < list->rowCount(); ++row)
        ids << list->itemData(row).toInt();
    return ids;
}

// A page after its first filling.
struct Page {
    CPrdManDlg page;
    explicit Page(AppContext& ctx) : page(ctx) {
        page.resize(1000, 600);
        page.show();
        QTRY_VERIFY(page.tree()->rootNode() != nullptr);
    }
    void select(int categoryId) {
        page.tree()->setCurrentItem(page.tree()->FindCategoryNode(page.tree()->rootNode(), categoryId));
    }
    QStringList menuEntries(int row) {
        std::unique_ptr<QMenu> menu(page.createRowMenu(row, &page));
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << a->text();
        return texts;
    }
    void trigger(int row, const QString& entry) {
        std::unique_ptr<QMenu> menu(page.createRowMenu(row, &page));
        for (QAction* a : menu->actions())
            if (a->text() == entry)
                a->trigger();
    }
};
} // namespace

class TestPrdManDlg final : public QObject {
    Q_OBJECT

private slots:
    void firstFillAndLayout() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        Page p(s.shop.ctx);
        CListCtrlPlus* list = p.page.list();
        QCOMPARE(
            list->columnCaptions(),
            (QStringList{QStringLiteral("商品编号"), QStringLiteral("商品名称"), QStringLiteral("简码"),
                         QStringLiteral("销售单价"), QStringLiteral("计量单位"), QStringLiteral("产品性质"),
                         QStringLiteral("产品类别"), QStringLiteral("当前库存")}));
        QCOMPARE(listedIds(list), (QList<int>{s.soap, s.cola, s.sprite, s.bread, s.odd}));
        QCOMPARE(list->rowTexts(1),
                 (QStringList{QStringLiteral("2001"), QStringLiteral("可乐"), QString(),
                              QStringLiteral("￥3.00"), QStringLiteral("个"), QStringLiteral("特价商品"),
                              QStringLiteral("饮料"), QStringLiteral("2.5")}));
        QCOMPARE(p.page.tree()->rootNode()->text(0), QStringLiteral("全部商品   [0/5]"));
        QCOMPARE(p.page.tree()->geometry(), QRect(1, 40, 300, 559));
        QCOMPARE(p.page.list()->geometry(), QRect(310, 40, 689, 559));
        QVERIFY(Find<QPushButton>(&p.page, QStringLiteral("新增商品")));
        QVERIFY(Find<QPushButton>(&p.page, QStringLiteral("查询")));
        QCOMPARE(p.page.propertyList()->count(), 4);
        QCOMPARE(p.page.propertyList()->currentText(), QStringLiteral("所有"));
    }

    // The main window's "商品" tab holds the page, which fills itself once shown.
    void productTabOfTheMainWindow() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        s.shop.ctx.op.clear();
        CSelvoDlg window(s.shop.ctx, s.shop.dataFolder());
        OnNextModal([](QDialog* dlg) {
            Find<QComboBox>(dlg, QStringLiteral("用户名："))->setEditText(QStringLiteral("admin"));
            Find<QLineEdit>(dlg, QStringLiteral("密码："))->setText(QStringLiteral("admin"));
            Click(dlg, QStringLiteral("确定"));
            if (dlg->isVisible())
                dlg->reject();
        });
        QVERIFY(window.begin());
        auto* page = window.findChild<CPrdManDlg*>();
        QVERIFY(page);
        QCOMPARE(page->accessibleName(), QStringLiteral("商品"));
        QTRY_VERIFY(page->tree()->rootNode() != nullptr);
        QCOMPARE(page->list()->rowCount(), 5);
    }

    void listingFollowsTheTree() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        Page p(s.shop.ctx);
        CListCtrlPlus* list = p.page.list();
        p.select(s.food);
        QCOMPARE(listedIds(list), (QList<int>{s.bread, s.cola, s.sprite})); // own, then 饮料's
        QCOMPARE(p.page.listFilter(), s.food);
        QCOMPARE(p.menuEntries(0),
                 (QStringList{QStringLiteral("新增"), QStringLiteral("修改"), QStringLiteral("删除"),
                              QStringLiteral("下架此商品"), QString(), QStringLiteral("盘点"),
                              QStringLiteral("盘点记录")}));
        p.page.tree()->setCurrentItem(p.page.tree()->offShelfNode());
        QCOMPARE(listedIds(list), QList<int>{s.oldTea});
        QCOMPARE(p.menuEntries(0).at(3), QStringLiteral("上架此商品"));

        // Back on sale: the row leaves the list and the counts follow.
        p.trigger(0, QStringLiteral("上架此商品"));
        QCOMPARE(list->rowCount(), 0);
        QCOMPARE(p.page.tree()->offShelfNode()->text(0), QStringLiteral("下架商品   [0]"));
        QCOMPARE(p.page.tree()->rootNode()->text(0), QStringLiteral("全部商品   [0/6]"));
        // And off again from the root.
        p.page.tree()->setCurrentItem(p.page.tree()->rootNode());
        QCOMPARE(list->itemData(0).toInt(), s.oldTea);
        p.trigger(0, QStringLiteral("下架此商品"));
        QVERIFY(!listedIds(list).contains(s.oldTea));
        QCOMPARE(p.page.tree()->offShelfNode()->text(0), QStringLiteral("下架商品   [1]"));
        QCOMPARE(
            s.shop.count(QStringLiteral("tb_product"), QStringLiteral("ID = ? AND State = 2"), {s.oldTea}),
            1);
    }

    // A shop's whole list is read a page at a time as it scrolls: what another till deletes
    // meanwhile is left out, and nothing is listed twice.
    void wholeListIsReadAsItScrolls() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        for (int i = 0; i < 450; ++i)
            QVERIFY(s.shop.addProduct(QStringLiteral("B%1").arg(i, 4, 10, QLatin1Char('0')),
                                      QStringLiteral("批量%1").arg(i), 1, 0, 0, s.daily) > 0);
        Page p(s.shop.ctx);
        CListCtrlPlus* list = p.page.list();
        p.page.tree()->setCurrentItem(p.page.tree()->rootNode());
        QCOMPARE(list->rowCount(), CListCtrlPlus::kDefaultPageSize);
        QVERIFY(list->canFetchMore());
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE ID = ?"), {s.bread}));
        list->fetchAll();
        const QList<int> ids = listedIds(list);
        QCOMPARE(ids.size(), 450 + 4);
        QCOMPARE(QSet<int>(ids.cbegin(), ids.cend()).size(), ids.size());
        QVERIFY(!ids.contains(s.bread));
        QCOMPARE(ids.last(), s.odd); // the oldest
    }

    void searchAndPropertyFilter() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        Page p(s.shop.ctx);
        CListCtrlPlus* list = p.page.list();
        p.page.searchEdit()->setText(QStringLiteral("%"));
        p.page.search();
        QCOMPARE(listedIds(list), QList<int>{s.odd});
        p.page.searchEdit()->setText(QStringLiteral("'"));
        p.page.search();
        QCOMPARE(listedIds(list), QList<int>{s.odd});
        p.page.searchEdit()->setText(QStringLiteral("可"));
        p.page.propertyList()->setCurrentIndex(2); // 特价
        p.page.search();
        QCOMPARE(listedIds(list), QList<int>{s.cola});
        // Within the remembered filter: the selected category with its subcategories.
        p.select(s.daily);
        QCOMPARE(list->rowCount(), 0);
        p.page.propertyList()->setCurrentIndex(0);
        p.page.searchEdit()->clear();
        p.select(s.food);
        p.page.searchEdit()->setText(QStringLiteral("2"));
        p.page.search();
        QCOMPARE(listedIds(list), (QList<int>{s.cola, s.sprite}));
    }

    void deleteWritesTheLogAndLowersCounts() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        Page p(s.shop.ctx);
        p.select(s.drinks);
        QCOMPARE(listedIds(p.page.list()), (QList<int>{s.cola, s.sprite}));
        messages.answerNext(false);
        p.trigger(0, QStringLiteral("删除"));
        QCOMPARE(p.page.list()->rowCount(), 2);
        QCOMPARE(s.shop.count(QStringLiteral("tb_OpRecord")), 0);
        QVERIFY(messages.boxTexts().first().startsWith(
            QStringLiteral("确认要删除此商品吗？  此操作不可恢复！请慎用！")));

        messages.answerNext(true);
        p.trigger(0, QStringLiteral("删除"));
        QCOMPARE(listedIds(p.page.list()), QList<int>{s.sprite});
        QCOMPARE(s.shop.count(QStringLiteral("tb_OpRecord"),
                              QStringLiteral(
                                  "Content = '删除商品  商品详情(名称：可乐; 价格：￥3.00; 编号： 2001; '")),
                 1);
        QCOMPARE(s.shop.count(QStringLiteral("tb_OpRecord")), 1);
        QCOMPARE(p.page.tree()->currentItem()->text(0), QStringLiteral("饮料   [1/1]"));
        QVERIFY(messages.toasts.isEmpty());
    }

    void editorUpdatesTheList() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        Page p(s.shop.ctx);
        CListCtrlPlus* list = p.page.list();
        p.select(s.food);

        // Added to a category the list does not show: not listed, counted.
        const int elsewhere =
            s.shop.addProduct(QStringLiteral("3002"), QStringLiteral("毛巾"), 9, 0, 0, s.daily);
        p.page.productAdded(elsewhere);
        QVERIFY(!listedIds(list).contains(elsewhere));
        QCOMPARE(p.page.tree()->rootNode()->text(0), QStringLiteral("全部商品   [0/6]"));

        // Added through the editor into a subcategory of the listed one: on top.
        bool shown = false;
        OnNextModalOf<CPrdAddDlg>(
            [&](CPrdAddDlg* dlg) {
                QCOMPARE(dlg->productId(), -1);
                Find<QLineEdit>(dlg, QStringLiteral("产品名称："))->setText(QStringLiteral("橙汁"));
                auto* category = Find<QComboBox>(dlg, QStringLiteral("产品分类："));
                category->setCurrentIndex(category->findData(s.drinks));
                Find<QComboBox>(dlg, QStringLiteral("计量单位："))->setEditText(QStringLiteral("瓶"));
                dlg->accept();
            },
            &shown);
        Find<QPushButton>(&p.page, QStringLiteral("新增商品"))->click();
        QVERIFY(shown);
        QCOMPARE(list->itemText(0, 1), QStringLiteral("橙汁"));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("添加成功")});
        QCOMPARE(p.page.tree()->currentItem()->text(0), QStringLiteral("食品   [1/4]"));

        // Moved to a category that is not listed: the row goes.
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET PrdType = ? WHERE ID = ?"),
                                   {s.daily, s.cola}));
        p.page.productChanged(s.cola);
        QVERIFY(!listedIds(list).contains(s.cola));
        // Changed in place.
        QVERIFY(
            s.shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET Price = 6 WHERE ID = ?"), {s.bread}));
        p.page.productChanged(s.bread);
        QCOMPARE(list->itemText(list->findRowByData(s.bread), 3), QStringLiteral("￥6.00"));

        // A double-click opens the editor on that product.
        int opened = 0;
        OnNextModalOf<CPrdAddDlg>([&](CPrdAddDlg* dlg) {
            opened = dlg->productId();
            dlg->reject();
        });
        emit list->itemDoubleClicked(list->findRowByData(s.bread), 2);
        QCOMPARE(opened, s.bread);
    }
};

QTEST_MAIN(TestPrdManDlg)
#include "tst_prdmandlg.moc"

#include "GuiDriver.h"
#include "TestShop.h"

#include "core/products/Categories.h"
#include "gui/app/Messages.h"
#include "gui/products/CPrdTypeAdd.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using selvo::test::OnNextModalOf;
using selvo::test::TestShop;

namespace {

// 食品 (3 on sale, 1 off) > 饮料 (可乐 [特], 雪碧); 日用 (nothing).
struct Shop {
    TestShop shop;
    int food = 0, drinks = 0, daily = 0, cola = 0;
    Shop() {
        food = shop.addCategory(QStringLiteral("食品"), 0);
        drinks = shop.addCategory(QStringLiteral("饮料"), food);
        daily = shop.addCategory(QStringLiteral("日用"), 0);
        for (int i = 0; i < 3; ++i)
            shop.addProduct(QStringLiteral("F%1").arg(i), QStringLiteral("面包%1").arg(i), 5, 0, 0, food);
        shop.addProduct(QStringLiteral("FX"), QStringLiteral("过期面包"), 5, 0, 0, food, 1, ProductOffShelf);
        cola = shop.addProduct(QStringLiteral("2001"), QStringLiteral("可乐"), 3, 0, 0, drinks,
                               PropertySpecialOffer);
        shop.addProduct(QStringLiteral("2002"), QStringLiteral("雪碧"), 3, 0, 0, drinks);
        shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET FirstSpell = 'KL' WHERE ID = ?"), {cola});
    }
};

QStringList childTexts(QTreeWidgetItem* node) {
    QStringList texts;
    for (int i = 0; i < node->childCount(); ++i)
        texts << node->child(i)->text(0);
    return texts;
}

QList<bool> menuState(CPrdTypeTree& tree, QTreeWidgetItem* node) {
    std::unique_ptr<QMenu> menu(tree.createCategoryMenu(node, &tree));
    QList<bool> enabled;
    for (QAction* a : menu->actions())
        enabled << a->isEnabled();
    return enabled;
}

void triggerMenu(CPrdTypeTree& tree, const QString& entry) {
    std::unique_ptr<QMenu> menu(tree.createCategoryMenu(tree.currentItem(), &tree));
    for (QAction* a : menu->actions()) {
        if (a->text() == entry)
            a->trigger();
    }
}
} // namespace

class TestCategoryTree final : public QObject {
    Q_OBJECT

private slots:
    void emptyTableShowsTheRootAlone() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        CPrdTypeTree tree(shop.ctx);
        for (int mode : {0, 1}) {
            tree.LoadTree(mode);
            QCOMPARE(tree.topLevelItemCount(), 1);
            QCOMPARE(tree.rootNode()->text(0), QStringLiteral("全部商品"));
            QVERIFY(!tree.offShelfNode());
            QVERIFY(!tree.rootNode()->isExpanded());
        }
    }

    void productPageTree() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(0);
        QCOMPARE(tree.topLevelItemCount(), 2);
        QTreeWidgetItem* root = tree.rootNode();
        QCOMPARE(root->text(0), QStringLiteral("全部商品   [0/5]"));
        QCOMPARE(tree.offShelfNode()->text(0), QStringLiteral("下架商品   [1]"));
        QCOMPARE(tree.topLevelItem(1), tree.offShelfNode());
        QCOMPARE(childTexts(root),
                 (QStringList{QStringLiteral("食品   [3/5]"), QStringLiteral("日用   [0/0]")}));
        QCOMPARE(childTexts(root->child(0)), QStringList{QStringLiteral("饮料   [2/2]")});
        QVERIFY(root->isExpanded() && root->child(0)->isExpanded());
        QCOMPARE(CPrdTypeTree::imageOf(root), int(CPrdTypeTree::ImageExpanded));
        QCOMPARE(CPrdTypeTree::imageOf(tree.offShelfNode()), int(CPrdTypeTree::ImageOffShelf));
        const auto off = CPrdTypeTree::recordOf(tree.offShelfNode());
        QCOMPARE(off.kind, int(CPrdTypeTree::OffShelfNode));
        QCOMPARE(off.id, -2);

        QCOMPARE(tree.FindCategoryNode(root, s.drinks), root->child(0)->child(0));
        QCOMPARE(tree.FindCategoryNode(root, 0), root);
        QVERIFY(!tree.FindCategoryNode(root, 999));
        // From a node on, only it, its following siblings and their descendants are searched.
        QVERIFY(!tree.FindCategoryNode(root->child(1), s.drinks));

        // Counts follow the database on the next update.
        s.shop.addProduct(QStringLiteral("3001"), QStringLiteral("香皂"), 4, 0, 0, s.daily);
        tree.UpdateCounts(root);
        QCOMPARE(root->text(0), QStringLiteral("全部商品   [0/6]"));
        QCOMPARE(root->child(1)->text(0), QStringLiteral("日用   [1/1]"));
    }

    void saleScreenTree() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(1);
        QCOMPARE(tree.topLevelItemCount(), 1); // no "下架商品"
        QTreeWidgetItem* food = tree.rootNode()->child(0);
        // Products first, then subcategories; off-shelf products are not shown.
        QCOMPARE(childTexts(food),
                 (QStringList{QStringLiteral("面包0(￥5.00)"), QStringLiteral("面包1(￥5.00)"),
                              QStringLiteral("面包2(￥5.00)"), QStringLiteral("饮料   [2/2]")}));
        QTreeWidgetItem* drinks = food->child(3);
        QCOMPARE(childTexts(drinks),
                 (QStringList{QStringLiteral("[特]可乐(￥3.00)"), QStringLiteral("雪碧(￥3.00)")}));
        const auto cola = CPrdTypeTree::recordOf(drinks->child(0));
        QCOMPARE(cola.kind, int(CPrdTypeTree::ProductNode));
        QCOMPARE(cola.id, s.cola);
        QCOMPARE(cola.name, QStringLiteral("可乐"));
        QCOMPARE(cola.initials, QStringLiteral("KL"));
        QCOMPARE(cola.code, QStringLiteral("2001"));
        QCOMPARE(CPrdTypeTree::imageOf(drinks->child(0)), int(CPrdTypeTree::ImageProduct));

        QSignalSpy activated(&tree, &CPrdTypeTree::productActivated);
        emit tree.itemDoubleClicked(drinks->child(0), 0);
        emit tree.itemDoubleClicked(drinks, 0);
        QCOMPARE(activated.size(), 1);
        QCOMPARE(activated[0][0].toInt(), s.cola);
    }

    void selectMatch_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("selected");
        QTest::newRow("empty selects the root") << "" << false << "全部商品   [0/5]";
        QTest::newRow("no match leaves the root") << "XYZ" << false << "全部商品   [0/5]";
        QTest::newRow("initials") << "KL" << true << "[特]可乐(￥3.00)";
        QTest::newRow("code") << "2002" << true << "雪碧(￥3.00)";
        QTest::newRow("name part") << "包1" << true << "面包1(￥5.00)";
        QTest::newRow("category name") << "饮" << true << "饮料   [2/2]";
        QTest::newRow("lower case is not upper-cased here") << "kl" << false << "全部商品   [0/5]";
    }
    void selectMatch() {
        QFETCH(QString, text);
        QFETCH(bool, found);
        QFETCH(QString, selected);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(1);
        tree.setCurrentItem(tree.rootNode()->child(0));
        QCOMPARE(tree.SelectMatch(text), found);
        QVERIFY(tree.currentItem());
        QCOMPARE(tree.currentItem()->text(0), selected);
    }

    // Found without the tree: the same node the filled tree's own search selects.
    void treeMatchAgreesWithTheFilledTree_data() {
        QTest::addColumn<QString>("text");
        for (const char* t :
             {"",     "XYZ",  "KL", "2002", "2001", "包1", "包", "饮",   "全部", "F", "F1", "FX",
              "过期", "[特]", "(",  "￥",   "3.00", "K",   "kl", "食品", "品",   "%", "_"})
            QTest::newRow(t) << QString::fromUtf8(t);
    }
    void treeMatchAgreesWithTheFilledTree() {
        QFETCH(QString, text);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(1);
        const bool found = tree.SelectMatch(text);
        const auto selected = CPrdTypeTree::recordOf(tree.currentItem());
        const TreeMatch match =
            FindTreeMatch(s.shop.ctx, CategoryTree::load(s.shop.ctx), text, CPrdTypeTree::rootName());
        QCOMPARE(match.kind != TreeMatch::None, found);
        if (!found)
            return;
        const int kinds[] = {-1, CPrdTypeTree::RootNode, CPrdTypeTree::CategoryNode,
                             CPrdTypeTree::ProductNode};
        QCOMPARE(kinds[match.kind], selected.kind);
        if (match.kind != TreeMatch::Root)
            QCOMPARE(match.id, selected.id);
    }

    // A big catalogue: categories closed, each filled as it is opened; the search still finds
    // every product, opening its category.
    void bigCatalogueFillsAsOpened_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("selected");
        QTest::newRow("scanned code, unopened category") << "D04242"
                                                         << "日用品4242(￥2.00)";
        QTest::newRow("rare name") << "日用品4999"
                                   << "日用品4999(￥2.00)";
        QTest::newRow("common text, first in tree order") << "日用品"
                                                          << "日用品0(￥2.00)";
        QTest::newRow("earlier category's product") << "包1"
                                                    << "面包1(￥5.00)";
        QTest::newRow("category name") << "饮"
                                       << "饮料   [2/2]";
        QTest::newRow("nothing") << "XYZ"
                                 << "全部商品   [0/5006]";
    }
    void bigCatalogueFillsAsOpened() {
        QFETCH(QString, text);
        QFETCH(QString, selected);
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        QVERIFY(s.shop.ctx.db.begin());
        for (int i = 0; i <= CPrdTypeTree::kEagerProducts; ++i)
            QVERIFY(s.shop.addProduct(QStringLiteral("D%1").arg(i, 5, 10, QLatin1Char('0')),
                                      QStringLiteral("日用品%1").arg(i), 2, 0, 0, s.daily) > 0);
        QVERIFY(s.shop.ctx.db.commit());
        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(1);
        QTreeWidgetItem* daily = tree.FindCategoryNode(tree.rootNode(), s.daily);
        QVERIFY(daily);
        QVERIFY(!daily->isExpanded());
        QCOMPARE(daily->childCount(), 0);
        QCOMPARE(daily->childIndicatorPolicy(), QTreeWidgetItem::ShowIndicator);

        QCOMPARE(tree.SelectMatch(text), text != QLatin1String("XYZ"));
        QVERIFY(tree.currentItem());
        QCOMPARE(tree.currentItem()->text(0), selected);
        for (QTreeWidgetItem* up = tree.currentItem()->parent(); up; up = up->parent())
            QVERIFY(up->isExpanded());

        // Opened by hand: its products, once, before its subcategories.
        daily->setExpanded(true);
        daily->setExpanded(false);
        daily->setExpanded(true);
        QCOMPARE(daily->childCount(), CPrdTypeTree::kEagerProducts + 1);
        QCOMPARE(daily->child(0)->text(0), QStringLiteral("日用品0(￥2.00)"));
        QTreeWidgetItem* food = tree.FindCategoryNode(tree.rootNode(), s.food);
        food->setExpanded(true);
        QCOMPARE(childTexts(food),
                 (QStringList{QStringLiteral("面包0(￥5.00)"), QStringLiteral("面包1(￥5.00)"),
                              QStringLiteral("面包2(￥5.00)"), QStringLiteral("饮料   [2/2]")}));
    }

    void menuEntriesGreyed() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(0);
        // 修改此分类, 添加下级分类, 删除此分类
        QCOMPARE(menuState(tree, tree.rootNode()), (QList<bool>{false, true, false}));
        QCOMPARE(menuState(tree, tree.rootNode()->child(0)), (QList<bool>{true, true, true}));
        QCOMPARE(menuState(tree, tree.offShelfNode()), (QList<bool>{false, false, false}));
    }

    void addSubcategory() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        CPrdTypeTree tree(s.shop.ctx);
        tree.setPrompts(CategoryDialogPrompts(s.shop.ctx));
        tree.LoadTree(0);
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.food));
        bool shown = false;
        OnNextModalOf<CPrdTypeAdd>(
            [](CPrdTypeAdd* dlg) {
                QCOMPARE(dlg->windowTitle(), QStringLiteral("添加商品分类"));
                QCOMPARE(dlg->parentList()->currentText(), QStringLiteral("食品"));
                QCOMPARE(dlg->parentList()->itemText(0), QStringLiteral("全部商品"));
                QCOMPARE(dlg->parentList()->itemText(2), QStringLiteral("  ┣饮料"));
                QVERIFY(dlg->nameEdit()->text().isEmpty());
                dlg->nameEdit()->setText(QStringLiteral("  零食 "));
                dlg->accept();
            },
            &shown);
        triggerMenu(tree, QStringLiteral("添加下级分类"));
        QVERIFY(shown);
        QTreeWidgetItem* node = tree.currentItem();
        QCOMPARE(node->text(0), QStringLiteral("零食 [0/0]"));
        QCOMPARE(node->parent(), tree.FindCategoryNode(tree.rootNode(), s.food));
        QCOMPARE(CPrdTypeTree::imageOf(node), int(CPrdTypeTree::ImageCollapsed));
        QCOMPARE(s.shop.count(QStringLiteral("tb_productTypes"),
                              QStringLiteral("PrdTypeName = '零食' AND Pid = ?"), {s.food}),
                 1);
        tree.UpdateCounts(tree.rootNode());
        QCOMPARE(node->text(0), QStringLiteral("零食   [0/0]"));

        // Cancelled: nothing stored.
        OnNextModalOf<CPrdTypeAdd>([](CPrdTypeAdd* dlg) { dlg->reject(); });
        QVERIFY(!tree.AddCategory(QStringLiteral("日用")));
        QCOMPARE(s.shop.count(QStringLiteral("tb_productTypes")), 4);
    }

    void emptyCategoryNameIsRefused() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        CPrdTypeAdd dlg(s.shop.ctx, QStringLiteral("日用"), QStringLiteral("   "));
        QCOMPARE(dlg.parentList()->currentData().toInt(), s.daily);
        dlg.show();
        dlg.accept();
        QVERIFY(dlg.isVisible());
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("分类名称不能为空")});
        QCOMPARE(messages.toasts[0].colour, 255u);
        dlg.nameEdit()->setText(QStringLiteral(" 杂货 "));
        dlg.accept();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.categoryName(), QStringLiteral("杂货"));
        QCOMPARE(dlg.parentId(), s.daily);
    }

    void parentPreselectedByName() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        const int second = s.shop.addCategory(QStringLiteral("饮料"), s.daily);
        CPrdTypeAdd byName(s.shop.ctx, QStringLiteral("饮料"), {});
        QCOMPARE(byName.parentList()->currentData().toInt(), second); // the last equal name
        CPrdTypeAdd byId(s.shop.ctx, QStringLiteral("饮料"), {}, s.drinks);
        QCOMPARE(byId.parentList()->currentData().toInt(), s.drinks);
        CPrdTypeAdd unknown(s.shop.ctx, QStringLiteral("没有"), {});
        QCOMPARE(unknown.parentList()->currentIndex(), 0);
    }

    void renameKeepsPlaceAndMoveRefills() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        CPrdTypeTree tree(s.shop.ctx);
        tree.setPrompts(CategoryDialogPrompts(s.shop.ctx));
        tree.LoadTree(0);
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.food));
        OnNextModalOf<CPrdTypeAdd>([&](CPrdTypeAdd* dlg) {
            QCOMPARE(dlg->nameEdit()->text(), QStringLiteral("食品"));
            QCOMPARE(dlg->parentList()->currentIndex(), 0);
            // Neither the category itself nor its subcategory can become its parent.
            QCOMPARE(dlg->parentList()->count(), 2);
            QCOMPARE(dlg->parentList()->itemText(1), QStringLiteral("日用"));
            dlg->nameEdit()->setText(QStringLiteral("食物"));
            dlg->accept();
        });
        QTreeWidgetItem* renamed = tree.currentItem();
        triggerMenu(tree, QStringLiteral("修改此分类"));
        QCOMPARE(tree.currentItem(), renamed); // not refilled
        QCOMPARE(renamed->text(0), QStringLiteral("食物"));
        tree.UpdateCounts(tree.rootNode());
        QCOMPARE(renamed->text(0), QStringLiteral("食物   [3/5]"));

        // Moving 饮料 under 日用 refills the tree and selects it there.
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.drinks));
        OnNextModalOf<CPrdTypeAdd>([&](CPrdTypeAdd* dlg) {
            QCOMPARE(dlg->parentList()->currentData().toInt(), s.food);
            dlg->parentList()->setCurrentIndex(dlg->parentList()->findData(s.daily));
            dlg->accept();
        });
        tree.EditCategory();
        QTreeWidgetItem* moved = tree.currentItem();
        QCOMPARE(CPrdTypeTree::recordOf(moved).id, s.drinks);
        QCOMPARE(CPrdTypeTree::recordOf(moved->parent()).id, s.daily);
        QCOMPARE(moved->text(0), QStringLiteral("饮料   [2/2]"));
        QCOMPARE(moved->parent()->text(0), QStringLiteral("日用   [0/2]"));
        QVERIFY(messages.toasts.isEmpty());
    }

    void deleteCategory() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        CPrdTypeTree tree(s.shop.ctx);
        tree.setPrompts(CategoryDialogPrompts(s.shop.ctx));
        tree.LoadTree(0);
        // Only an off-shelf product left in it: still refused.
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_product WHERE State = 1")));
        QVERIFY(s.shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_productTypes WHERE ID = ?"), {s.drinks}));
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.food));
        messages.answerNext(true);
        triggerMenu(tree, QStringLiteral("删除此分类"));
        QCOMPARE(messages.boxTexts(), QStringList{QStringLiteral("确认删除此分类？")});
        QCOMPARE(messages.toastTexts(),
                 QStringList{QStringLiteral("分组下有下级分组或商品(包括正常和下架商品)，不能删除！")});
        QVERIFY(tree.FindCategoryNode(tree.rootNode(), s.food));

        // Answered No: kept.
        messages.clear();
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.daily));
        messages.answerNext(false);
        tree.DeleteCategory();
        QVERIFY(tree.FindCategoryNode(tree.rootNode(), s.daily));
        QCOMPARE(s.shop.count(QStringLiteral("tb_productTypes"), QStringLiteral("ID = ?"), {s.daily}), 1);

        messages.answerNext(true);
        tree.DeleteCategory();
        QVERIFY(!tree.FindCategoryNode(tree.rootNode(), s.daily));
        QCOMPARE(s.shop.count(QStringLiteral("tb_productTypes"), QStringLiteral("ID = ?"), {s.daily}), 0);
        QVERIFY(messages.toasts.isEmpty());
    }

    // The tree asks only through what its owner hands in: no dialog, box or toast of its own.
    void promptsComeFromTheOwner() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        MessageRecorder messages;
        QStringList asked;
        QStringList refused;
        bool deleteAnswer = false;
        CategoryPrompts prompts;
        prompts.askCategory = [&](QWidget*, const QString& parentName, const QString& name, int parentId,
                                  int editingId) -> std::optional<CategoryPrompts::Answer> {
            asked << QStringLiteral("%1|%2|%3|%4").arg(parentName, name).arg(parentId).arg(editingId);
            return CategoryPrompts::Answer{QStringLiteral("零食"), s.daily};
        };
        prompts.confirm = [&](QWidget*, const QString& question) {
            asked << question;
            return deleteAnswer;
        };
        prompts.refuse = [&](QWidget*, const QString& text) {
            refused << text;
        };

        CPrdTypeTree tree(s.shop.ctx);
        tree.LoadTree(0);
        // Without prompts nothing is asked and nothing changes.
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.daily));
        QVERIFY(!tree.AddCategory(QString()));
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.food));
        tree.DeleteCategory();
        QCOMPARE(s.shop.count(QStringLiteral("tb_productTypes")), 3);

        tree.setPrompts(prompts);
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.daily));
        QTreeWidgetItem* added = tree.AddCategory(QString());
        QVERIFY(added);
        QCOMPARE(CPrdTypeTree::recordOf(added->parent()).id, s.daily);
        QCOMPARE(s.shop.count(QStringLiteral("tb_productTypes"),
                              QStringLiteral("PrdTypeName = '零食' AND Pid = ?"), {s.daily}),
                 1);
        tree.setCurrentItem(tree.FindCategoryNode(tree.rootNode(), s.food));
        tree.DeleteCategory(); // answered No
        deleteAnswer = true;
        tree.DeleteCategory(); // in use
        QCOMPARE(asked,
                 (QStringList{QStringLiteral("日用||%1|-1").arg(s.daily), QStringLiteral("确认删除此分类？"),
                              QStringLiteral("确认删除此分类？")}));
        QCOMPARE(refused,
                 QStringList{QStringLiteral("分组下有下级分组或商品(包括正常和下架商品)，不能删除！")});
        QVERIFY(tree.FindCategoryNode(tree.rootNode(), s.food));
        QVERIFY(messages.boxes.isEmpty());
        QVERIFY(messages.toasts.isEmpty());
    }

    void doubleClickSwapsArrows() {
        Shop s;
        QVERIFY2(s.shop.ok(), qPrintable(s.shop.error()));
        CPrdTypeTree tree(s.shop.ctx);
        tree.resize(300, 400);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        tree.LoadTree(0);
        QTreeWidgetItem* food = tree.FindCategoryNode(tree.rootNode(), s.food);
        const QPoint at = tree.visualItemRect(food).center();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(!food->isExpanded());
        QCOMPARE(CPrdTypeTree::imageOf(food), int(CPrdTypeTree::ImageCollapsed));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, at, 400);
        QTest::mouseDClick(tree.viewport(), Qt::LeftButton, {}, at);
        QVERIFY(food->isExpanded());
        QCOMPARE(CPrdTypeTree::imageOf(food), int(CPrdTypeTree::ImageExpanded));
    }
};

QTEST_MAIN(TestCategoryTree)
#include "tst_categorytree.moc"

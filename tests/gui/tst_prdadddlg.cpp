#include "GuiDriver.h"
#include "TestShop.h"

#include "core/products/Categories.h"
#include "core/products/Units.h"
#include "gui/app/Messages.h"
#include "gui/products/CPrdAddDlg.h"
#include "gui/products/CPrdTypeAdd.h"
#include "gui/products/CUnitDlg.h"
#include "gui/widgets/CPrdTypeTree.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using selvo::test::Find;
using selvo::test::OnNextModalOf;
using selvo::test::TestShop;

namespace {

// The editor's controls by caption.
struct Editor {
    CPrdAddDlg& d;
    QLineEdit* code() const { return Find<QLineEdit>(&d, QStringLiteral("产品编号：")); }
    QCheckBox* autoCode() const { return Find<QCheckBox>(&d, QStringLiteral("自动创建产品编号")); }
    QLineEdit* name() const { return Find<QLineEdit>(&d, QStringLiteral("产品名称：")); }
    QLineEdit* initials() const { return Find<QLineEdit>(&d, QStringLiteral("简码")); }
    QLineEdit* purchase() const { return Find<QLineEdit>(&d, QStringLiteral("采购价：")); }
    QLineEdit* price() const { return Find<QLineEdit>(&d, QStringLiteral("零售价：")); }
    QCheckBox* mustInt() const { return Find<QCheckBox>(&d, QStringLiteral("整数销售")); }
    QComboBox* unit() const { return Find<QComboBox>(&d, QStringLiteral("计量单位：")); }
    QComboBox* category() const { return Find<QComboBox>(&d, QStringLiteral("产品分类：")); }
    QComboBox* state() const { return Find<QComboBox>(&d, QStringLiteral("产品状态：")); }
    QComboBox* property() const { return Find<QComboBox>(&d, QStringLiteral("产品性质：")); }
    QLineEdit* stock() const {
        QLineEdit* e = Find<QLineEdit>(&d, QStringLiteral("初始库存："));
        return e ? e : Find<QLineEdit>(&d, QStringLiteral("当前库存："));
    }
    QCheckBox* keepAdding() const { return Find<QCheckBox>(&d, QStringLiteral("连续添加")); }
    QPushButton* button(const QString& caption) const { return Find<QPushButton>(&d, caption); }
    QPushButton* addUnit() const { return d.findChild<QPushButton*>(QStringLiteral("addUnit")); }
    QPushButton* addCategory() const { return d.findChild<QPushButton*>(QStringLiteral("addCategory")); }

    void fill(const QString& name, int categoryId, const QString& unitText) {
        this->name()->setText(name);
        category()->setCurrentIndex(category()->findData(categoryId));
        unit()->setEditText(unitText);
    }
};

QStringList entries(QComboBox* box) {
    QStringList list;
    for (int i = 0; i < box->count(); ++i)
        list << box->itemText(i);
    return list;
}
} // namespace

class TestPrdAddDlg final : public QObject {
    Q_OBJECT

private slots:
    void addModeDefaults() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int food = shop.addCategory(QStringLiteral("食品"));
        shop.addCategory(QStringLiteral("饮料"), food);
        CPrdAddDlg dlg(shop.ctx, -1, nullptr);
        Editor e{dlg};
        QCOMPARE(dlg.windowTitle(), QStringLiteral("添加商品"));
        QVERIFY(e.code()->text().size() >= 7 && e.code()->text().size() <= 9);
        QVERIFY(!e.code()->isEnabled());
        QVERIFY(e.autoCode()->isChecked());
        QVERIFY(e.mustInt()->isChecked());
        QCOMPARE(e.price()->text(), QStringLiteral("0"));
        QCOMPARE(e.purchase()->text(), QStringLiteral("0"));
        QCOMPARE(e.stock()->text(), QStringLiteral("0"));
        QCOMPARE(e.state()->currentText(), QStringLiteral("正常销售"));
        QCOMPARE(e.property()->currentText(), QStringLiteral("常规"));
        QCOMPARE(entries(e.property()),
                 (QStringList{QStringLiteral("常规"), QStringLiteral("特价"), QStringLiteral("赠品")}));
        QCOMPARE(entries(e.category()), (QStringList{QStringLiteral("---↓↓↓--请选择商品类别--↓↓↓---"),
                                                     QStringLiteral("食品"), QStringLiteral("  ┣饮料")}));
        QCOMPARE(e.category()->currentIndex(), 0);
        QCOMPARE(e.unit()->currentText(), QString());
        QCOMPARE(e.unit()->currentIndex(), -1);
        QCOMPARE(entries(e.unit()), SplitUnits(ReadUnitsText(shop.ctx)));
        QVERIFY(e.keepAdding()->isVisibleTo(&dlg));
        QVERIFY(!e.addCategory()->isEnabled()); // no tree to add through

        e.name()->setText(QStringLiteral("可口可乐"));
        QCOMPARE(e.initials()->text(), QStringLiteral("KKKL"));
        // Unticking hands the code to the operator; ticking draws a fresh one.
        e.autoCode()->setChecked(false);
        QVERIFY(e.code()->isEnabled());
        e.code()->setText(QStringLiteral("ABC"));
        e.autoCode()->setChecked(true);
        QVERIFY(e.code()->text() != QStringLiteral("ABC"));
        QVERIFY(!e.code()->isEnabled());
    }

    void refusalKeepsTheDialogOpen() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        const int drinks = shop.addCategory(QStringLiteral("饮料"));
        QWidget page;
        CPrdAddDlg dlg(shop.ctx, -1, nullptr, &page);
        Editor e{dlg};
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        e.fill(QStringLiteral("   "), drinks, QStringLiteral("瓶"));
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请输入产品名称！")});
        QCOMPARE(messages.toasts[0].colour, 255u);
        QCOMPARE(QApplication::focusWidget(), e.name());
        QVERIFY(dlg.isVisible());

        messages.clear();
        e.fill(QStringLiteral("矿泉水"), drinks, QStringLiteral("瓶"));
        e.category()->setCurrentIndex(0);
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请选择商品类别")});
        QCOMPARE(QApplication::focusWidget(), e.category());

        messages.clear();
        e.fill(QStringLiteral("矿泉水"), drinks, QStringLiteral("瓶"));
        e.price()->setText(QStringLiteral("abc"));
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请输入正确的零售价！")});
        QCOMPARE(QApplication::focusWidget(), e.price());
        QCOMPARE(e.price()->selectedText(), QStringLiteral("abc"));
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 0);
    }

    void belowCostAsksFirst() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        const int drinks = shop.addCategory(QStringLiteral("饮料"));
        QWidget page;
        CPrdAddDlg dlg(shop.ctx, -1, nullptr, &page);
        QSignalSpy added(&dlg, &CPrdAddDlg::productAdded);
        Editor e{dlg};
        e.fill(QStringLiteral("矿泉水"), drinks, QStringLiteral("瓶"));
        e.purchase()->setText(QStringLiteral("2"));
        e.price()->setText(QStringLiteral("1.5"));
        e.stock()->setText(QStringLiteral("2.5"));
        dlg.show();
        messages.answerNext(false);
        dlg.accept();
        QCOMPARE(messages.boxTexts(), QStringList{QStringLiteral("确认要以低于成本价销售吗？")});
        QVERIFY(messages.toasts.isEmpty());
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 0);
        QVERIFY(dlg.isVisible());

        messages.clear();
        messages.answerNext(true);
        dlg.accept();
        QCOMPARE(added.size(), 1);
        const int id = added[0][0].toInt();
        QCOMPARE(
            shop.count(QStringLiteral("tb_product"),
                       QStringLiteral("ID = ? AND PrdInventory = 2 AND Price = 1.5 AND FirstSpell = 'KQS'"),
                       {id}),
            1);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("添加成功")});
        QCOMPARE(messages.toasts[0].colour, 0xFDBD13u);
        QCOMPARE(messages.toasts[0].owner.data(), &page); // over the main window
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }

    void keepAdding() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        const int drinks = shop.addCategory(QStringLiteral("饮料"));
        CPrdAddDlg dlg(shop.ctx, -1, nullptr);
        QSignalSpy added(&dlg, &CPrdAddDlg::productAdded);
        Editor e{dlg};
        dlg.show();
        e.keepAdding()->setChecked(true);
        e.fill(QStringLiteral("矿泉水"), drinks, QStringLiteral("瓶"));
        e.mustInt()->setChecked(false);
        e.property()->setCurrentIndex(1);
        e.state()->setCurrentIndex(1);
        const QString firstCode = e.code()->text();
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("添加成功")});
        QCOMPARE(messages.toasts[0].owner.data(), &dlg);
        QVERIFY(dlg.isVisible());
        QCOMPARE(added.size(), 1);
        // Cleared for the next one; category, unit and "整数销售" stay.
        QVERIFY(e.name()->text().isEmpty());
        QVERIFY(e.initials()->text().isEmpty());
        QVERIFY(e.price()->text().isEmpty());
        QVERIFY(e.purchase()->text().isEmpty());
        QCOMPARE(e.stock()->text(), QStringLiteral("0"));
        QCOMPARE(e.state()->currentIndex(), 0);
        QCOMPARE(e.property()->currentIndex(), 0);
        QVERIFY(!e.code()->text().isEmpty() && e.code()->text() != firstCode);
        QCOMPARE(e.category()->currentData().toInt(), drinks);
        QCOMPARE(e.unit()->currentText(), QStringLiteral("瓶"));
        QVERIFY(!e.mustInt()->isChecked());

        e.name()->setText(QStringLiteral("苏打水"));
        dlg.accept();
        QCOMPARE(added.size(), 2);
        QCOMPARE(shop.count(QStringLiteral("tb_product")), 2);
        QCOMPARE(
            shop.count(QStringLiteral("tb_product"), QStringLiteral("PrdName = '矿泉水' AND State = 2 AND "
                                                                    "PrdProperty = 2 AND MustIntNum = 0")),
            1);
    }

    void editMode() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        const int drinks = shop.addCategory(QStringLiteral("饮料"));
        const int id =
            shop.addProduct(QStringLiteral("2001"), QStringLiteral("可乐"), 3, 2, 12.7, drinks, 3, 2);
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET FirstSpell = 'COLA', MeasuringUnit = "
                                                "'打', MustIntNum = 1 WHERE ID = ?"),
                                 {id}));
        QWidget page;
        CPrdAddDlg dlg(shop.ctx, id, nullptr, &page);
        QSignalSpy changed(&dlg, &CPrdAddDlg::productChanged);
        Editor e{dlg};
        QCOMPARE(dlg.windowTitle(), QStringLiteral("修改商品信息"));
        QCOMPARE(e.code()->text(), QStringLiteral("2001"));
        QVERIFY(!e.code()->isEnabled());
        QVERIFY(!e.autoCode()->isVisibleTo(&dlg));
        QVERIFY(!e.keepAdding()->isVisibleTo(&dlg));
        QCOMPARE(e.stock()->accessibleName(), QStringLiteral("当前库存："));
        QCOMPARE(e.stock()->text(), QStringLiteral("12"));
        QVERIFY(!e.stock()->isEnabled());
        QCOMPARE(e.initials()->text(), QStringLiteral("COLA")); // the stored initials until the name changes
        QCOMPARE(e.price()->text(), QStringLiteral("3.00"));
        QCOMPARE(e.purchase()->text(), QStringLiteral("2.00"));
        QCOMPARE(e.category()->currentData().toInt(), drinks);
        QCOMPARE(e.unit()->currentIndex(), -1); // a unit not in the list is shown as typed
        QCOMPARE(e.unit()->currentText(), QStringLiteral("打"));
        QCOMPARE(e.state()->currentIndex(), 1);
        QCOMPARE(e.property()->currentText(), QStringLiteral("赠品"));

        // Unchanged code and name pass; the free-text unit is kept.
        dlg.accept();
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toInt(), id);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("产品修改成功")});
        QCOMPARE(
            shop.count(QStringLiteral("tb_product"),
                       QStringLiteral(
                           "ID = ? AND MeasuringUnit = '打' AND FirstSpell = 'COLA' AND PrdInventory = 12.7"),
                       {id}),
            1);

        CPrdAddDlg again(shop.ctx, id, nullptr);
        Editor e2{again};
        e2.name()->setText(QStringLiteral("百事可乐"));
        QCOMPARE(e2.initials()->text(), QStringLiteral("BSKL"));
    }

    void missingProduct() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CPrdAddDlg dlg(shop.ctx, 4242, nullptr);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("无法读取商品信息")});
    }

    void unitsEditor() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(SaveUnitsText(shop.ctx, QStringLiteral("个|件|")));
        CPrdAddDlg dlg(shop.ctx, -1, nullptr);
        Editor e{dlg};
        bool shown = false;
        OnNextModalOf<CUnitDlg>(
            [](CUnitDlg* units) {
                QCOMPARE(units->windowTitle(), QStringLiteral("计量单位"));
                QCOMPARE(units->editor()->toPlainText(), QStringLiteral("个\n件\n"));
                QVERIFY(Find<QLabel>(units, QStringLiteral("一行一个，请勿重复")));
                units->editor()->setPlainText(QStringLiteral("个\n\n件"));
                units->accept();
            },
            &shown);
        e.unit()->setEditText(QStringLiteral("临时"));
        e.addUnit()->click();
        QVERIFY(shown);
        QCOMPARE(ReadUnitsText(shop.ctx), QStringLiteral("个||件|"));
        QCOMPARE(entries(e.unit()), (QStringList{QStringLiteral("个"), QString(), QStringLiteral("件")}));
        QCOMPARE(e.unit()->currentText(), QString());
    }

    void addCategoryThroughTheTree() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int food = shop.addCategory(QStringLiteral("食品"));
        const int drinks = shop.addCategory(QStringLiteral("饮料"), food);
        CPrdTypeTree tree(shop.ctx);
        tree.setPrompts(CategoryDialogPrompts(shop.ctx));
        tree.LoadTree(0);
        CPrdAddDlg dlg(shop.ctx, -1, &tree);
        Editor e{dlg};
        QVERIFY(e.addCategory()->isEnabled());
        e.category()->setCurrentIndex(e.category()->findData(drinks));
        OnNextModalOf<CPrdTypeAdd>([&](CPrdTypeAdd* add) {
            QCOMPARE(add->parentList()->currentData().toInt(), drinks);
            add->nameEdit()->setText(QStringLiteral("果汁"));
            add->accept();
        });
        e.addCategory()->click();
        QCOMPARE(e.category()->currentText(), QStringLiteral("    ┣果汁"));
        const int juice = e.category()->currentData().toInt();
        QCOMPARE(CPrdTypeTree::recordOf(tree.currentItem()).id, juice);
        QCOMPARE(tree.currentItem()->parent(), tree.FindCategoryNode(tree.rootNode(), drinks));
    }

    void wholeNumberHelp() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CPrdAddDlg dlg(shop.ctx, -1, nullptr);
        Editor{dlg}.button(QStringLiteral("?"))->click();
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].kind, QStringLiteral("inform"));
        QVERIFY(messages.boxes[0].text.startsWith(
            QStringLiteral("【整数销售】说明\n整数销售：商品数量必须为1的整数倍")));
    }
};

QTEST_MAIN(TestPrdAddDlg)
#include "tst_prdadddlg.moc"

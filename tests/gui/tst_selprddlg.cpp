#include "GuiDriver.h"
#include "TestShop.h"

#include "core/products/Categories.h"
#include "gui/app/Messages.h"
#include "gui/products/CSelPrdDlg.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QLineEdit>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using selvo::test::TestShop;

namespace {
QList<int> listedIds(CListCtrlPlus* list) {
    QList<int> ids;
    for (int row = 0; row < list->rowCount(); ++row)
        ids << list->itemData(row).toInt();
    return ids;
}

void clickCell(CListCtrlPlus* list, int row, int column) {
    const QRect cell = list->visualRect(list->model()->index(row, column));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}
} // namespace

class TestSelPrdDlg final : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheHundredLowestIds() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.begin());
        QList<int> ids;
        for (int i = 0; i < 120; ++i)
            ids << shop.addProduct(QStringLiteral("P%1").arg(i, 3, 10, QLatin1Char('0')),
                                   QStringLiteral("商品%1").arg(i), 1.5, 0, 0, 0, 1,
                                   i == 0 ? ProductOffShelf : ProductOnSale);
        QVERIFY(shop.ctx.db.commit());
        CSelPrdDlg dlg(shop.ctx);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("请选择商品"));
        QCOMPARE(dlg.list()->columnCaptions(),
                 (QStringList{QStringLiteral("商品编号"), QStringLiteral("商品名称"),
                              QStringLiteral("单价(￥)"), QStringLiteral("计量单位")}));
        QCOMPARE(listedIds(dlg.list()), ids.mid(1, 100));
        QCOMPARE(dlg.list()->rowTexts(0), (QStringList{QStringLiteral("P001"), QStringLiteral("商品1"),
                                                       QStringLiteral("1.50"), QStringLiteral("个")}));
        QVERIFY(dlg.list()->hasCheckBoxes());
    }

    void searchTickAndReturn() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        const int bread = shop.addProduct(QStringLiteral("1001"), QStringLiteral("面包"), 5);
        const int cola =
            shop.addProduct(QStringLiteral("2001"), QStringLiteral("可乐"), 3, 0, 0, 0, PropertySpecialOffer);
        const int gift =
            shop.addProduct(QStringLiteral("3001"), QStringLiteral("可爱贴纸"), 0, 0, 0, 0, PropertyGift);
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_product SET FirstSpell = 'KL' WHERE ID = ?"), {cola}));
        CSelPrdDlg dlg(shop.ctx);
        dlg.resize(500, 400);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        CListCtrlPlus* list = dlg.list();
        QCOMPARE(QApplication::focusWidget(), dlg.searchEdit());
        QCOMPARE(list->itemText(1, 1), QStringLiteral("[特] 可乐"));
        QCOMPARE(list->itemText(2, 1), QStringLiteral("[赠] 可爱贴纸"));

        // OK with nothing ticked.
        dlg.accept();
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("至少选择一个商品")});
        QVERIFY(dlg.isVisible());

        // A click on any column but the first toggles the tick.
        clickCell(list, 2, 1);
        clickCell(list, 0, 3);
        QCOMPARE(list->checkedRows(), (QList<int>{0, 2}));
        clickCell(list, 2, 2);
        QCOMPARE(list->checkedRows(), QList<int>{0});
        clickCell(list, 1, 0); // the code column's text is not the tick box
        QCOMPARE(list->checkedRows(), QList<int>{0});

        // Typing starts with an unticked list.
        QTest::keyClicks(dlg.searchEdit(), QStringLiteral("kl"));
        QCOMPARE(listedIds(list), QList<int>{cola});
        QVERIFY(list->checkedRows().isEmpty());
        dlg.searchEdit()->setText(QStringLiteral("可"));
        QCOMPARE(listedIds(list), (QList<int>{cola, gift}));
        dlg.searchEdit()->setText(QStringLiteral("%"));
        QCOMPARE(list->rowCount(), 0);
        dlg.searchEdit()->setText(QStringLiteral("  "));
        QCOMPARE(listedIds(list), (QList<int>{bread, cola, gift}));

        // The result follows the list order, each ID followed by a comma.
        list->setChecked(2, true);
        list->setChecked(0, true);
        messages.clear();
        dlg.accept();
        QVERIFY(messages.toasts.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.idsText(), QStringLiteral("%1,%2,").arg(bread).arg(gift));
        QCOMPARE(dlg.ids(), (QList<int>{bread, gift}));
    }
};

QTEST_MAIN(TestSelPrdDlg)
#include "tst_selprddlg.moc"

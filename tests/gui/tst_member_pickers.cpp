#include "GuiDriver.h"
#include "TestShop.h"

#include "core/members/MemberPicker.h"
#include "gui/members/CNoSelUser.h"
#include "gui/members/CSelUserDlg.h"
#include "gui/widgets/CEditPlus.h"

#include <QListWidget>
#include <QPushButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
QStringList items(const QListWidget* list) {
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}
} // namespace

class TestMemberPickers final : public QObject {
    Q_OBJECT

private slots:
    void listsAndWrapsFromAnyControl() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        for (int i = 0; i < 60; ++i)
            shop.addMember(QStringLiteral("m%1").arg(99 - i),
                           QStringLiteral("139%1").arg(i, 8, 10, QLatin1Char('0')));
        CSelUserDlg dlg(shop.ctx, QPoint(120, 340));
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.pos(), QPoint(120, 340));
        QCOMPARE(dlg.searchBox()->placeholder(), PickerHint());
        QVERIFY(dlg.searchBox()->hasFocus());
        QListWidget* list = dlg.list();
        QCOMPARE(list->count(), 50);
        QCOMPARE(list->currentRow(), 0);
        QCOMPARE(list->item(0)->text(), QStringLiteral("m50(13900000049)"));

        // Up on the first wraps to the last, Down on the last to the first, from either control.
        QTest::keyClick(dlg.searchBox(), Qt::Key_Up);
        QCOMPARE(list->currentRow(), 49);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 0);
        QTest::keyClick(list, Qt::Key_Down);
        QCOMPARE(list->currentRow(), 1);
        QVERIFY(dlg.searchBox()->value().isEmpty()); // the keys went no further

        // Typing refills at each change; blanks are no search text.
        dlg.searchBox()->setFocus();
        dlg.searchBox()->setText(QStringLiteral("   "));
        QCOMPARE(list->count(), 50);
        dlg.searchBox()->setText(QStringLiteral("m99"));
        QCOMPARE(items(list), QStringList{QStringLiteral("m99(13900000000)")});
        QCOMPARE(list->currentRow(), 0);
        dlg.searchBox()->setText(QStringLiteral("nobody"));
        QCOMPARE(list->count(), 0);
        QTest::keyClick(dlg.searchBox(), Qt::Key_Down);   // nothing to move
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return); // nothing to choose
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.memberId(), -1);
    }

    void choosesOnlyANormalMember() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int zhang = shop.addMember(QStringLiteral("张三"), QStringLiteral("13800000001"), 12.5, 7);
        const int li = shop.addMember(QStringLiteral("李四"), QString());
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET FirstSpell = 'ZS' WHERE ID = ?"),
                                 {zhang}));
        shop.addMember(QStringLiteral("锁定"), QStringLiteral("13800000002"), 0, 0, 1);

        CSelUserDlg dlg(shop.ctx, QPoint(0, 0));
        dlg.show();
        QCOMPARE(items(dlg.list()),
                 (QStringList{QStringLiteral("李四()"), QStringLiteral("张三(13800000001)")}));
        dlg.searchBox()->setText(QStringLiteral("zs"));
        QCOMPARE(items(dlg.list()), QStringList{QStringLiteral("张三(13800000001)")});

        // Locked meanwhile: Enter does nothing and the popup stays.
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET UserState = 1 WHERE ID = ?"), {zhang}));
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return);
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.memberId(), -1);

        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET UserState = 0 WHERE ID = ?"), {zhang}));
        QTest::keyClick(dlg.searchBox(), Qt::Key_Return);
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.memberId(), zhang);
        QCOMPARE(dlg.name(), QStringLiteral("张三"));
        QCOMPARE(dlg.mobile(), QStringLiteral("13800000001"));
        QCOMPARE(dlg.points(), 7);
        QCOMPARE(dlg.balance(), 12.5);

        // A double-click chooses too; Escape cancels.
        CSelUserDlg second(shop.ctx, QPoint(0, 0));
        second.show();
        QVERIFY(QTest::qWaitForWindowExposed(&second));
        QListWidget* list = second.list();
        emit list->itemDoubleClicked(list->item(0));
        QCOMPARE(second.memberId(), li);
        CSelUserDlg third(shop.ctx, QPoint(0, 0));
        third.show();
        QTest::keyClick(third.searchBox(), Qt::Key_Escape);
        QCOMPARE(third.result(), int(QDialog::Rejected));
        QCOMPARE(third.memberId(), -1);
    }

    void guestOrMember() {
        // exec()'s result, or -1 when it differs from choice().
        const auto run = [](const std::function<void(CNoSelUser&)>& act) -> int {
            CNoSelUser dlg;
            OnNextModal([&](QDialog* d) { act(*static_cast<CNoSelUser*>(d)); });
            const int code = dlg.exec();
            return code == int(dlg.choice()) ? code : -1;
        };
        QCOMPARE(run([](CNoSelUser& d) { QTest::keyClick(&d, Qt::Key_Return); }), int(CNoSelUser::Guest));
        QCOMPARE(run([](CNoSelUser& d) { d.memberButton()->click(); }), int(CNoSelUser::Member));
        QCOMPARE(run([](CNoSelUser& d) { d.guestButton()->click(); }), int(CNoSelUser::Guest));
        QCOMPARE(run([](CNoSelUser& d) { QTest::keyClick(&d, Qt::Key_Escape); }), int(CNoSelUser::Nothing));
        QCOMPARE(run([](CNoSelUser& d) { d.close(); }), int(CNoSelUser::Nothing));
        CNoSelUser dlg;
        QCOMPARE(dlg.windowTitle(), QStringLiteral("请选择客户类型"));
        QVERIFY(dlg.guestButton()->isDefault());
    }
};

QTEST_MAIN(TestMemberPickers)
#include "tst_member_pickers.moc"

#include "GuiDriver.h"
#include "TestShop.h"

#include "core/store/Auth.h"
#include "core/store/StoreInfo.h"
#include "gui/app/CInteralRole.h"
#include "gui/app/CLogDlg.h"
#include "gui/app/CManageManDlg.h"
#include "gui/app/CManagerAddDlg.h"
#include "gui/app/CStoreInfo.h"
#include "gui/app/Messages.h"
#include "gui/widgets/CListCtrlPlus.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
QStringList rowOf(const CListCtrlPlus* list, int row) {
    QStringList texts;
    for (int c = 0; c < list->columnCount(); ++c)
        texts << list->itemText(row, c);
    return texts;
}

void setField(QDialog* dlg, const char* caption, const QString& text) {
    Find<QLineEdit>(dlg, QString::fromUtf8(caption))->setText(text);
}
} // namespace

class TestSystemDialogs final : public QObject {
    Q_OBJECT

private slots:
    void operatorList() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int amy =
            shop.addOperator(QStringLiteral("amy"), QStringLiteral("old"), 1, 0, QStringLiteral("艾米"));
        MessageRecorder messages;
        CManageManDlg dlg(shop.ctx);
        CListCtrlPlus* list = dlg.list();
        QCOMPARE(list->columnCaptions(),
                 (QStringList{QStringLiteral("登陆帐号"), QStringLiteral("姓名"), QStringLiteral("电话"),
                              QStringLiteral("角色"), QStringLiteral("状态")}));
        QCOMPARE(list->columnWidthOf(4), 100);
        QCOMPARE(list->rowCount(), 2);
        QCOMPARE(rowOf(list, 0), (QStringList{QStringLiteral("admin"), QStringLiteral("管理员"), QString(),
                                              QStringLiteral("管理员"), QStringLiteral("正常")}));

        // The super administrator is never opened, whatever its row says.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET UserType = 2 WHERE ID = 1")));
        emit list->itemDoubleClicked(0, 1);
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("不允许修改超级管理员")});
        QCOMPARE(CountVisible<CManagerAddDlg>(), 0);

        // An existing operator: number fixed, passwords empty and kept, own account accepted.
        bool checked = false;
        OnNextModal([&](QDialog* editor) {
            QCOMPARE(editor->windowTitle(), QStringLiteral("修改操作员"));
            auto* number = Find<QLineEdit>(editor, QStringLiteral("员工工号："));
            checked = !number->isEnabled() && number->text() == QStringLiteral("Eamy") &&
                      Find<QLineEdit>(editor, QStringLiteral("登陆密码："))->text().isEmpty() &&
                      Find<QLineEdit>(editor, QStringLiteral("再次输入密码："))->text().isEmpty() &&
                      !Find<QCheckBox>(editor, QStringLiteral("随机生成工号"))->isVisible() &&
                      Find<QComboBox>(editor, QStringLiteral("角色："))->currentIndex() == 1;
            setField(editor, "真实姓名：", QStringLiteral("艾米丽"));
            Find<QComboBox>(editor, QStringLiteral("帐号状态："))->setCurrentIndex(1);
            Click(editor, QStringLiteral("确定"));
            if (editor->isVisible())
                editor->reject();
        });
        emit list->itemDoubleClicked(1, 0);
        QVERIFY(checked);
        QCOMPARE(rowOf(list, 1), (QStringList{QStringLiteral("amy"), QStringLiteral("艾米丽"), QString(),
                                              QStringLiteral("理货售货员"), QStringLiteral("锁定")}));
        shop.ctx.op.clear();
        QCOMPARE(Login(shop.ctx, shop.dataFolder(), QStringLiteral("amy"), QStringLiteral("old")).message,
                 QStringLiteral("您的帐号已锁定，无法登陆！"));
        QCOMPARE(list->itemData(1).toInt(), amy);
    }

    void addingAnOperator() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CManageManDlg dlg(shop.ctx);
        QStringList refusals;
        QString drawn;
        OnNextModal([&](QDialog* editor) {
            QCOMPARE(editor->windowTitle(), QStringLiteral("添加操作员"));
            auto* number = Find<QLineEdit>(editor, QStringLiteral("员工工号："));
            auto* random = Find<QCheckBox>(editor, QStringLiteral("随机生成工号"));
            random->setChecked(true);
            drawn = number->text();
            const bool disabled = !number->isEnabled();
            random->setChecked(false);
            if (!disabled || !number->isEnabled())
                drawn.clear();
            number->setText(QStringLiteral("0001")); // the administrator's
            setField(editor, "登陆帐号：", QStringLiteral("seller"));
            setField(editor, "登陆密码：", QStringLiteral("p'w"));
            setField(editor, "再次输入密码：", QStringLiteral("p'w"));
            Click(editor, QStringLiteral("确定"));
            number->setText(QStringLiteral("0002"));
            setField(editor, "再次输入密码：", QStringLiteral("p'x"));
            Click(editor, QStringLiteral("确定"));
            refusals = messages.toastTexts();
            setField(editor, "再次输入密码：", QStringLiteral("p'w"));
            setField(editor, "真实姓名：", QStringLiteral("小张"));
            Find<QComboBox>(editor, QStringLiteral("角色："))->setCurrentIndex(2);
            Find<QComboBox>(editor, QStringLiteral("帐号状态："))->setCurrentIndex(1);
            Click(editor, QStringLiteral("确定"));
            if (editor->isVisible())
                editor->reject();
        });
        Click(&dlg, QStringLiteral("添加"));
        QVERIFY2(!drawn.isEmpty() && drawn.toInt() < 9900000, qPrintable(drawn));
        QCOMPARE(refusals, (QStringList{QStringLiteral("员工工号已存在，请重新输入"),
                                        QStringLiteral("两次输入密码不一致")}));
        QCOMPARE(dlg.list()->rowCount(), 2);
        QCOMPARE(rowOf(dlg.list(), 1),
                 (QStringList{QStringLiteral("seller"), QStringLiteral("小张"), QString(),
                              QStringLiteral("售货员"), QStringLiteral("锁定")}));
        shop.ctx.op.clear();
        QCOMPARE(Login(shop.ctx, shop.dataFolder(), QStringLiteral("seller"), QStringLiteral("p'w")).message,
                 QStringLiteral("您的帐号已锁定，无法登陆！"));
    }

    void logViewer() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int gone =
            shop.addOperator(QStringLiteral("gone"), QStringLiteral("p"), 2, 0, QStringLiteral("走了"));
        auto add = [&](int who, const QString& text, const QString& when) {
            return shop.ctx.db.exec(
                QStringLiteral("INSERT INTO tb_OpRecord(SaleManID, Content, AddDate) VALUES(?, ?, ?)"),
                {who, text, when});
        };
        QVERIFY(add(1, QStringLiteral("管理员(admin) 登陆成功   2016-06-01 00:00:00"),
                    QStringLiteral("2016-06-01 00:00:00")));
        QVERIFY(add(gone, QStringLiteral("删除会员：张三(138)"), QStringLiteral("2016-06-01 23:59:59")));
        QVERIFY(add(1, QStringLiteral("管理员(admin) 登陆成功   2016-06-02 08:00:00"),
                    QStringLiteral("2016-06-02 08:00:00")));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_manager WHERE ID = ?"), {gone}));

        CLogDlg dlg(shop.ctx);
        CListCtrlPlus* list = dlg.list();
        QCOMPARE(list->columnCaptions(), (QStringList{QStringLiteral("序号"), QStringLiteral("操作员"),
                                                      QStringLiteral("详情"), QStringLiteral("操作时间")}));
        QCOMPARE(list->columnWidthOf(2), 480);
        QCOMPARE(list->rowCount(), 0); // empty until asked
        auto* kinds = Find<QComboBox>(&dlg, QStringLiteral("类型："));
        QCOMPARE(kinds->currentText(), QStringLiteral("所有日志"));
        auto* operators = Find<QComboBox>(&dlg, QStringLiteral("操作员："));
        QCOMPARE(operators->itemText(0), QStringLiteral("所有员工"));

        Find<QCheckBox>(&dlg, QStringLiteral("起始日期"))->setChecked(false);
        Find<QCheckBox>(&dlg, QStringLiteral("截止日期"))->setChecked(false);
        Click(&dlg, QStringLiteral("查询"));
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(rowOf(list, 1),
                 (QStringList{QStringLiteral("2"), QStringLiteral("#已删除"),
                              QStringLiteral("删除会员：张三(138)"), QStringLiteral("2016-06-01 23:59:59")}));

        Find<QCheckBox>(&dlg, QStringLiteral("起始日期"))->setChecked(true);
        Find<QCheckBox>(&dlg, QStringLiteral("截止日期"))->setChecked(true);
        Find<QDateEdit>(&dlg, QStringLiteral("日期："))->setDate(QDate(2016, 6, 1));
        Find<QDateEdit>(&dlg, QStringLiteral("至"))->setDate(QDate(2016, 6, 1));
        Click(&dlg, QStringLiteral("查询"));
        QCOMPARE(list->rowCount(), 2);
        kinds->setCurrentText(QStringLiteral("删除会员"));
        Click(&dlg, QStringLiteral("查询"));
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->itemText(0, 0), QStringLiteral("1"));
        QCOMPARE(list->itemText(0, 2), QStringLiteral("删除会员：张三(138)"));
        kinds->setCurrentText(QStringLiteral("登陆"));
        operators->setCurrentIndex(1); // 管理员
        Click(&dlg, QStringLiteral("查询"));
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->itemText(0, 1), QStringLiteral("管理员"));
    }

    void storeInformation() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CStoreInfo dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("商店基本信息设置"));
        setField(&dlg, "商店名称：", QStringLiteral("   "));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("请输入商店名称")});
        QCOMPARE(dlg.focusWidget(), Find<QWidget>(&dlg, QStringLiteral("商店名称：")));
        setField(&dlg, "商店名称：", QStringLiteral(" 岚拓小店 "));
        Find<QPlainTextEdit>(&dlg, QStringLiteral("公告："))->setPlainText(QStringLiteral("周一\n休息"));
        setField(&dlg, "小票欢迎语：", QStringLiteral("欢迎光临"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(shop.ctx.settings.storeName, QStringLiteral("岚拓小店"));
        QCOMPARE(shop.ctx.settings.piaoInfo, QStringLiteral("欢迎光临"));
        QCOMPARE(LoadStoreInfo(shop.ctx)->announcement, QStringLiteral("周一\n休息"));
        // Opened again, it shows what was saved.
        CStoreInfo again(shop.ctx);
        QCOMPARE(Find<QLineEdit>(&again, QStringLiteral("商店名称："))->text(), QStringLiteral("岚拓小店"));
    }

    void pointsRules() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CInteralRole dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* rate = Find<QLineEdit>(&dlg, QStringLiteral("每消费"));
        auto* redemption = Find<QLineEdit>(&dlg, QStringLiteral("每"));
        QCOMPARE(rate->text(), QStringLiteral("1"));
        QCOMPARE(redemption->text(), QStringLiteral("100"));
        QVERIFY(Find<QRadioButton>(&dlg, QStringLiteral("不积分"))->isChecked());

        rate->setText(QStringLiteral("abc"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.focusWidget(), rate);
        rate->setText(QStringLiteral("10"));
        redemption->setText(QStringLiteral("0"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.focusWidget(), redemption);
        QCOMPARE(messages.toastTexts(),
                 (QStringList{QStringLiteral("不能小于1元"), QStringLiteral("不能小于1分")}));
        QCOMPARE(shop.ctx.settings.yuanToInteral, 1); // nothing taken from a refused dialog

        redemption->setText(QStringLiteral("100"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(shop.ctx.settings.yuanToInteral, 10);
        QCOMPARE(shop.ctx.settings.interalToYuan, 100);
        QCOMPARE(shop.ctx.settings.specialOffer, false);
    }
};

QTEST_MAIN(TestSystemDialogs)
#include "tst_systemdlgs.moc"

#include "GuiDriver.h"
#include "TestShop.h"

#include "core/store/Auth.h"
#include "gui/app/CLockDlg.h"
#include "gui/app/CLoginDlg.h"
#include "gui/app/CPasswordDlg.h"
#include "gui/app/Messages.h"
#include "gui/widgets/ColorRef.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace selvo;
using namespace selvo::gui;
using namespace selvo::test;

namespace {
struct LoginForm {
    CLoginDlg dlg;
    QComboBox* account;
    QLineEdit* password;
    QLabel* hint;
    LoginForm(TestShop& shop)
        : dlg(shop.ctx, shop.dataFolder()), account(Find<QComboBox>(&dlg, QStringLiteral("用户名："))),
          password(Find<QLineEdit>(&dlg, QStringLiteral("密码："))),
          hint(Find<QLabel>(&dlg, QStringLiteral("密码提示"))) {
        dlg.show();
    }
    void submit(const QString& acc, const QString& pw) {
        account->setEditText(acc);
        password->setText(pw);
        Click(&dlg, QStringLiteral("确定"));
    }
};
} // namespace

class TestLoginDlg final : public QObject {
    Q_OBJECT

private slots:
    void preselectsTheLastAccount_data() {
        QTest::addColumn<QString>("stored"); // empty: no set.ini
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("focusInPassword");
        QTest::newRow("no set.ini: admin") << ""
                                           << "admin" << true;
        QTest::newRow("the first account beginning with it") << "bo"
                                                             << "bob" << true;
        QTest::newRow("no account begins with it") << "zed"
                                                   << "" << false;
    }
    void preselectsTheLastAccount() {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(bool, focusInPassword);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addOperator(QStringLiteral("amy"), QStringLiteral("a"));
        shop.addOperator(QStringLiteral("bob"), QStringLiteral("b"));
        shop.addOperator(QStringLiteral("bo2"), QStringLiteral("b"));
        if (!stored.isEmpty())
            QVERIFY(WriteLastAccount(shop.dataFolder(), stored));
        LoginForm form(shop);
        QVERIFY(QTest::qWaitForWindowActive(&form.dlg));
        QCOMPARE(form.dlg.windowTitle(), QStringLiteral("登陆 - 岚拓销售记帐系统"));
        QCOMPARE(form.account->count(), 4);
        QCOMPARE(form.account->currentText(), shown);
        QCOMPARE(form.dlg.focusWidget(),
                 focusInPassword ? static_cast<QWidget*>(form.password) : form.account);
    }

    void refusalsKeepTheDialogOpen_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("toast");
        QTest::addColumn<QString>("focus"); // accessible name of the field that gets the focus
        QTest::newRow("empty account") << " "
                                       << "admin"
                                       << "请输入用户名"
                                       << "用户名：";
        QTest::newRow("empty password") << "admin"
                                        << ""
                                        << "请输入密码"
                                        << "密码：";
        QTest::newRow("wrong password") << "admin"
                                        << "x"
                                        << "用户名或密码错误"
                                        << "";
        QTest::newRow("locked account") << "locked"
                                        << "pw"
                                        << "您的帐号已锁定，无法登陆！"
                                        << "";
    }
    void refusalsKeepTheDialogOpen() {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(QString, toast);
        QFETCH(QString, focus);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.addOperator(QStringLiteral("locked"), QStringLiteral("pw"), 2, 1);
        shop.ctx.op.clear();
        MessageRecorder messages;
        LoginForm form(shop);
        QVERIFY(QTest::qWaitForWindowActive(&form.dlg));
        form.submit(account, password);
        QVERIFY(form.dlg.isVisible());
        QCOMPARE(form.dlg.result(), int(QDialog::Rejected));
        QCOMPARE(messages.toastTexts(), QStringList{toast});
        QCOMPARE(messages.toasts.first().colour, kToastRed);
        QCOMPARE(messages.toasts.first().owner.data(), &form.dlg);
        if (!focus.isEmpty()) {
            QCOMPARE(form.dlg.focusWidget(), Find<QWidget>(&form.dlg, focus));
        }
        QVERIFY(!shop.ctx.op.loggedIn());
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), 0);
    }

    void apostropheInThePasswordLogsIn() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int id = shop.addOperator(QStringLiteral("o'neil"), QStringLiteral("it's"), 1);
        shop.ctx.op.clear();
        MessageRecorder messages;
        LoginForm form(shop);
        form.submit(QStringLiteral("o'neil"), QStringLiteral("it's"));
        QCOMPARE(form.dlg.result(), int(QDialog::Accepted));
        QVERIFY(!form.dlg.isVisible());
        QVERIFY(messages.toasts.isEmpty());
        QCOMPARE(shop.ctx.op.id, id);
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord"), QStringLiteral("SaleManID = ?"), {id}), 1);
        QCOMPARE(ReadLastAccount(shop.dataFolder()), QStringLiteral("o'neil"));
    }

    void hintFollowsTheAccount() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int amy = shop.addOperator(QStringLiteral("amy"), QStringLiteral("a"));
        shop.addOperator(QStringLiteral("bob"), QStringLiteral("b"));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET pwdWarn = ? WHERE ID IN (1, ?)"),
                                 {QStringLiteral("小狗"), amy}));
        QVERIFY(
            shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET pwdWarn = '生日' WHERE ID = ?"), {amy}));
        LoginForm form(shop);
        QCOMPARE(form.hint->text(), QStringLiteral("密码提示：小狗"));
        form.account->setCurrentIndex(1);
        QCOMPARE(form.hint->text(), QStringLiteral("密码提示：生日"));
        form.account->setCurrentIndex(2);
        QCOMPARE(form.hint->text(), QString());
        form.account->setEditText(QStringLiteral("am"));
        QCOMPARE(form.hint->text(), QString());
        form.account->setEditText(QStringLiteral("amy "));
        QCOMPARE(form.hint->text(), QStringLiteral("密码提示：生日"));
    }

    void lockScreen() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET pwdWarn = '猫' WHERE ID = 1")));
        MessageRecorder messages;
        CLockDlg lock(shop.ctx);
        int unlocked = 0;
        connect(&lock, &CLockDlg::unlocked, this, [&] { ++unlocked; });
        lock.present();
        QVERIFY(QTest::qWaitForWindowActive(&lock));
        QCOMPARE(lock.windowTitle(), QStringLiteral("岚拓销售系统锁定中"));
        QVERIFY(Find<QLabel>(&lock, QStringLiteral("密码提示"))->text() == QStringLiteral("密码提示：猫"));
        auto* password = Find<QLineEdit>(&lock, QStringLiteral("请输入密码解锁"));
        QCOMPARE(lock.focusWidget(), password);

        password->setText(QStringLiteral("wrong"));
        Click(&lock, QStringLiteral("解锁"));
        QCOMPARE(messages.toastTexts(), QStringList{QStringLiteral("用户名或密码错误")});
        QCOMPARE(password->selectedText(), QStringLiteral("wrong"));
        QVERIFY(lock.isVisible());
        // Locked out meanwhile: the running program still opens for its operator.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET state = 1 WHERE ID = 1")));
        password->setText(QStringLiteral("admin"));
        Click(&lock, QStringLiteral("解锁"));
        QCOMPARE(unlocked, 1);
        QVERIFY(!lock.isVisible());
        // Shown again, it starts empty.
        lock.present();
        QVERIFY(password->text().isEmpty());
    }

    void passwordChange() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        MessageRecorder messages;
        CPasswordDlg dlg(shop.ctx);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        auto* old = Find<QLineEdit>(&dlg, QStringLiteral("原始密码："));
        auto* fresh = Find<QLineEdit>(&dlg, QStringLiteral("新密码："));
        auto* again = Find<QLineEdit>(&dlg, QStringLiteral("确认新密码："));
        auto* hint = Find<QLineEdit>(&dlg, QStringLiteral("密码提示："));

        old->setText(QStringLiteral("wrong"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("原始密码错误！，请重新输入!"));
        QVERIFY(old->text().isEmpty());
        QCOMPARE(dlg.focusWidget(), old);

        old->setText(QStringLiteral("admin"));
        fresh->setText(QStringLiteral("new'1"));
        again->setText(QStringLiteral("new'2"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(messages.toastTexts().last(), QStringLiteral("两次输入密码不一致"));
        QCOMPARE(dlg.focusWidget(), fresh);
        QVERIFY(dlg.isVisible());

        again->setText(QStringLiteral("new'1"));
        hint->setText(QStringLiteral("撇号"));
        Click(&dlg, QStringLiteral("确定"));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const ToastRecord& done = messages.toasts.last();
        QCOMPARE(done.text, QStringLiteral("密码修改成功"));
        QCOMPARE(done.colour, kToastBlue);
        QVERIFY(done.owner.isNull());
        shop.ctx.op.clear();
        QVERIFY(!Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("admin")).ok);
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("new'1")).ok);

        // The hint shows the stored one when the dialog opens.
        CPasswordDlg again2(shop.ctx);
        QCOMPARE(Find<QLineEdit>(&again2, QStringLiteral("密码提示："))->text(), QStringLiteral("撇号"));
    }
};

QTEST_MAIN(TestLoginDlg)
#include "tst_logindlg.moc"

#include "TestShop.h"

#include "core/store/Auth.h"
#include "core/support/Clock.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace selvo;
using selvo::test::TestShop;
using F = AuthResult::Field;

Q_DECLARE_METATYPE(AuthResult::Field)

class TestAuth final : public QObject {
    Q_OBJECT

private slots:
    void lastAccountFile() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QCOMPARE(ReadLastAccount(shop.dataFolder()), QStringLiteral("admin"));
        QVERIFY(WriteLastAccount(shop.dataFolder(), QStringLiteral("收银员 1")));
        QCOMPARE(ReadLastAccount(shop.dataFolder()), QStringLiteral("收银员 1"));
        // The exact section and key, readable by anyone who looks at the file.
        QFile f(QDir(shop.dataFolder()).filePath(QStringLiteral("set.ini")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QLatin1String("[LOGIN]")) && text.contains(QLatin1String("CURUID=")),
                 qPrintable(text));
        // Blanks around a stored account are not part of it; an overlong value is cut.
        QVERIFY(WriteLastAccount(shop.dataFolder(), QStringLiteral("  bob  ")));
        QCOMPARE(ReadLastAccount(shop.dataFolder()), QStringLiteral("bob"));
        QVERIFY(WriteLastAccount(shop.dataFolder(), QString(600, QLatin1Char('x'))));
        QCOMPARE(ReadLastAccount(shop.dataFolder()).size(), 500);
    }

    void loginRefusals_data() {
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("message");
        QTest::addColumn<AuthResult::Field>("focus");
        QTest::newRow("empty account") << ""
                                       << "admin"
                                       << "请输入用户名" << F::Account;
        QTest::newRow("blank account") << "   "
                                       << "admin"
                                       << "请输入用户名" << F::Account;
        QTest::newRow("empty password") << "admin"
                                        << ""
                                        << "请输入密码" << F::Password;
        QTest::newRow("blank password") << "admin"
                                        << "  \t"
                                        << "请输入密码" << F::Password;
        QTest::newRow("wrong password") << "admin"
                                        << "admin1"
                                        << "用户名或密码错误" << F::None;
        QTest::newRow("password case matters") << "admin"
                                               << "ADMIN"
                                               << "用户名或密码错误" << F::None;
        QTest::newRow("unknown account") << "nobody"
                                         << "admin"
                                         << "用户名或密码错误" << F::None;
        QTest::newRow("account case matters") << "Admin"
                                              << "admin"
                                              << "用户名或密码错误" << F::None;
        QTest::newRow("sql text as account") << "' OR '1'='1"
                                             << "' OR '1'='1"
                                             << "用户名或密码错误" << F::None;
        QTest::newRow("locked account, right password") << "locked"
                                                        << "pw"
                                                        << "您的帐号已锁定，无法登陆！" << F::None;
        QTest::newRow("locked account, wrong password") << "locked"
                                                        << "px"
                                                        << "用户名或密码错误" << F::None;
    }
    void loginRefusals() {
        QFETCH(QString, account);
        QFETCH(QString, password);
        QFETCH(QString, message);
        QFETCH(AuthResult::Field, focus);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.addOperator(QStringLiteral("locked"), QStringLiteral("pw"), 2, 1) > 0);
        shop.ctx.op.clear();

        const AuthResult r = Login(shop.ctx, shop.dataFolder(), account, password);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, message);
        QCOMPARE(r.focus, focus);
        // A refusal leaves nobody logged in, writes no log line and does not remember the account.
        QVERIFY(!shop.ctx.op.loggedIn());
        QCOMPARE(shop.count(QStringLiteral("tb_OpRecord")), 0);
        QVERIFY(!QFile::exists(QDir(shop.dataFolder()).filePath(QStringLiteral("set.ini"))));
    }

    void loginSuccess() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        ManualClock clock(QDateTime(QDate(2016, 6, 1), QTime(9, 5, 7)));
        Clock::setInstance(&clock);
        const int id = shop.addOperator(QStringLiteral("o'brien"), QStringLiteral("it's'"), 1, 0,
                                        QStringLiteral("王小二"));
        shop.ctx.op.clear();

        // Blanks around what is typed are not part of it.
        const AuthResult r =
            Login(shop.ctx, shop.dataFolder(), QStringLiteral(" o'brien "), QStringLiteral("  it's' "));
        Clock::setInstance(nullptr);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(shop.ctx.op.id, id);
        QCOMPARE(shop.ctx.op.role, 1);
        QCOMPARE(shop.ctx.op.name, QStringLiteral("王小二"));
        QCOMPARE(shop.ctx.op.employeeNo, QStringLiteral("Eo'brien"));
        QCOMPARE(ReadLastAccount(shop.dataFolder()), QStringLiteral("o'brien"));
        auto line = shop.ctx.db.select(QStringLiteral("SELECT SaleManID, Content FROM tb_OpRecord"));
        QVERIFY(line && line->next());
        QCOMPARE(line->value(0).toInt(), id);
        QCOMPARE(line->value(1).toString(), QStringLiteral("王小二(o'brien) 登陆成功   2016-06-01 09:05:07"));

        // The apostrophe is part of the password, not a quote: a prefix does not log in.
        shop.ctx.op.clear();
        QVERIFY(!Login(shop.ctx, shop.dataFolder(), QStringLiteral("o'brien"), QStringLiteral("it")).ok);
    }

    void legacyPlainPasswordIsHashedAtLogin() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET PWD = 'old''pw' WHERE ID = 1")));
        shop.ctx.op.clear();
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("old'pw")).ok);
        const QString stored =
            shop.ctx.db.scalar(QStringLiteral("SELECT PWD FROM tb_manager WHERE ID = 1"))->toString();
        QVERIFY(stored.startsWith(QLatin1String("$argon2id$")));
        shop.ctx.op.clear();
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("old'pw")).ok);
    }

    void hintLines() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int id = shop.addOperator(QStringLiteral("amy"), QStringLiteral("pw"));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET pwdWarn = ? WHERE ID = ?"),
                                 {QStringLiteral("生日"), id}));
        QCOMPARE(AccountHintLine(shop.ctx, QStringLiteral(" amy ")), QStringLiteral("密码提示：生日"));
        QCOMPARE(AccountHintLine(shop.ctx, QStringLiteral("admin")), QString());
        QCOMPARE(AccountHintLine(shop.ctx, QStringLiteral("nobody")), QString());
        QCOMPARE(AccountHintLine(shop.ctx, QString()), QString());
        shop.ctx.op.id = id;
        QCOMPARE(OperatorHintLine(shop.ctx), QStringLiteral("密码提示：生日"));
        QCOMPARE(LoginAccounts(shop.ctx), (QStringList{QStringLiteral("admin"), QStringLiteral("amy")}));
    }

    void unlock() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QCOMPARE(Unlock(shop.ctx, QStringLiteral(" ")).message, QStringLiteral("请输入密码"));
        const AuthResult wrong = Unlock(shop.ctx, QStringLiteral("nope"));
        QVERIFY(!wrong.ok);
        QCOMPARE(wrong.message, QStringLiteral("用户名或密码错误"));
        QCOMPARE(wrong.focus, F::Password);
        // Locking the account meanwhile does not keep its operator out of the running program.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_manager SET state = 1 WHERE ID = 1")));
        QVERIFY(Unlock(shop.ctx, QStringLiteral(" admin ")).ok);
        // An operator removed meanwhile cannot unlock.
        shop.ctx.op.id = 999;
        QCOMPARE(Unlock(shop.ctx, QStringLiteral("admin")).message, QStringLiteral("用户名或密码错误"));
    }

    void passwordChangeRefusalsInOrder() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        struct Step {
            QString oldPw, newPw, confirm;
            const char* message;
            F focus;
            bool clear;
        };
        const QString none;
        const Step steps[] = {
            {none, none, none, "请输入原始密码", F::OldPassword, false},
            {QStringLiteral("wrong"), none, none, "原始密码错误！，请重新输入!", F::OldPassword, true},
            {QStringLiteral("admin"), none, none, "请输入请密码", F::NewPassword, false},
            {QStringLiteral("admin"), QStringLiteral("n'1"), QStringLiteral("  "), "请再次输入请密码",
             F::Confirm, false},
            {QStringLiteral("admin"), QStringLiteral("n'1"), QStringLiteral("n'2"), "两次输入密码不一致",
             F::NewPassword, false},
        };
        for (const Step& s : steps) {
            const AuthResult r =
                ChangePassword(shop.ctx, s.oldPw, s.newPw, s.confirm, QStringLiteral("hint"));
            QVERIFY(!r.ok);
            QCOMPARE(r.message, QString::fromUtf8(s.message));
            QCOMPARE(r.focus, s.focus);
            QCOMPARE(r.clearField, s.clear);
        }
        QCOMPARE(AccountHintLine(shop.ctx, QStringLiteral("admin")), QString());

        const AuthResult done = ChangePassword(shop.ctx, QStringLiteral("admin"), QStringLiteral(" n'1 "),
                                               QStringLiteral("n'1"), QStringLiteral(" 猫的名字 "));
        QVERIFY2(done.ok, qPrintable(done.message));
        QCOMPARE(done.message, QStringLiteral("密码修改成功"));
        QCOMPARE(AccountHintLine(shop.ctx, QStringLiteral("admin")), QStringLiteral("密码提示：猫的名字"));
        shop.ctx.op.clear();
        QVERIFY(!Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("admin")).ok);
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("n'1")).ok);
        // Stored as a hash, never as typed.
        QVERIFY(!shop.ctx.db.scalar(QStringLiteral("SELECT PWD FROM tb_manager WHERE ID = 1"))
                     ->toString()
                     .contains(QLatin1String("n'1")));
    }

    void passwordChangeNeedsALoggedInAccount() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.op.employeeNo.clear();
        const AuthResult r = ChangePassword(shop.ctx, QStringLiteral("admin"), QStringLiteral("x"),
                                            QStringLiteral("x"), QString());
        QCOMPARE(r.message, QStringLiteral("帐户异常，请重新登陆后再试"));
    }

    void databaseErrors() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        shop.ctx.db.failNthStatement(1);
        QCOMPARE(Login(shop.ctx, shop.dataFolder(), QStringLiteral("admin"), QStringLiteral("admin")).message,
                 QStringLiteral("密码验证失败，请重试"));
        shop.ctx.db.failNthStatement(1);
        QCOMPARE(Unlock(shop.ctx, QStringLiteral("admin")).message, QStringLiteral("密码验证失败，请重试"));
        shop.ctx.db.failNthStatement(1);
        QCOMPARE(
            ChangePassword(shop.ctx, QStringLiteral("admin"), QStringLiteral("x"), QStringLiteral("x"), {})
                .message,
            QStringLiteral("异常错误，请重试！"));
        // The check passes, the write fails: the old password stays.
        shop.ctx.db.failNthStatement(2);
        QCOMPARE(
            ChangePassword(shop.ctx, QStringLiteral("admin"), QStringLiteral("x"), QStringLiteral("x"), {})
                .message,
            QStringLiteral("修改失败，请重试"));
        shop.ctx.db.failNthStatement(0);
        QVERIFY(Unlock(shop.ctx, QStringLiteral("admin")).ok);
    }
};

QTEST_GUILESS_MAIN(TestAuth)
#include "tst_auth.moc"

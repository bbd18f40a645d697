#include "TestShop.h"

#include "core/store/Auth.h"
#include "core/store/Operator.h"
#include "core/store/Operators.h"

#include <QTest>

using namespace selvo;
using selvo::test::TestShop;
using F = OperatorSaveResult::Field;

Q_DECLARE_METATYPE(OperatorSaveResult::Field)

namespace {
OperatorInput input(const QString& code, const QString& account, const QString& pw, const QString& pw2) {
    OperatorInput in;
    in.employeeNo = code;
    in.account = account;
    in.password = pw;
    in.passwordAgain = pw2;
    in.name = QStringLiteral("李四");
    return in;
}
} // namespace

class TestOperators final : public QObject {
    Q_OBJECT

private slots:
    void refusalsInOrder_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("account");
        QTest::addColumn<QString>("pw");
        QTest::addColumn<QString>("pw2");
        QTest::addColumn<QString>("message");
        QTest::addColumn<OperatorSaveResult::Field>("focus");
        // "0001" is the administrator's number, "admin" its account.
        QTest::newRow("blank number first") << " "
                                            << ""
                                            << ""
                                            << ""
                                            << "请填写员工工号" << F::EmployeeNo;
        QTest::newRow("number taken") << "0001"
                                      << ""
                                      << ""
                                      << ""
                                      << "员工工号已存在，请重新输入" << F::EmployeeNo;
        QTest::newRow("number taken after trimming") << " 0001 "
                                                     << "x"
                                                     << "p"
                                                     << "p"
                                                     << "员工工号已存在，请重新输入" << F::EmployeeNo;
        QTest::newRow("no account") << "0002"
                                    << "  "
                                    << "p"
                                    << "p"
                                    << "请填写登陆帐号" << F::Account;
        QTest::newRow("account taken") << "0002"
                                       << " admin"
                                       << "p"
                                       << "p"
                                       << "登陆帐号已存在，请重新输入" << F::Account;
        QTest::newRow("no password") << "0002"
                                     << "bob"
                                     << " "
                                     << "p"
                                     << "请填写密码" << F::Password;
        QTest::newRow("no repeat") << "0002"
                                   << "bob"
                                   << "p"
                                   << ""
                                   << "请再次填写密码" << F::PasswordAgain;
        QTest::newRow("passwords differ") << "0002"
                                          << "bob"
                                          << "p"
                                          << "q"
                                          << "两次输入密码不一致" << F::Password;
        QTest::newRow("quotes are plain text") << "0002"
                                               << "admin' --"
                                               << "p"
                                               << "q"
                                               << "两次输入密码不一致" << F::Password;
    }
    void refusalsInOrder() {
        QFETCH(QString, code);
        QFETCH(QString, account);
        QFETCH(QString, pw);
        QFETCH(QString, pw2);
        QFETCH(QString, message);
        QFETCH(OperatorSaveResult::Field, focus);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const OperatorSaveResult r = SaveOperator(shop.ctx, -1, input(code, account, pw, pw2));
        QVERIFY(!r.ok);
        QCOMPARE(r.message, message);
        QCOMPARE(r.focus, focus);
        QCOMPARE(shop.count(QStringLiteral("tb_manager")), 1);
    }

    void newLockedSellerIsListedAndCannotLogIn() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        OperatorInput in = input(QStringLiteral(" 123 "), QStringLiteral(" seller "), QStringLiteral("pw'"),
                                 QStringLiteral("pw'"));
        in.role = 2;
        in.state = 1;
        in.phone = QStringLiteral("13800000000");
        in.hint = QStringLiteral(" 提示 ");
        const OperatorSaveResult r = SaveOperator(shop.ctx, -1, in);
        QVERIFY2(r.ok, qPrintable(r.message));
        QVERIFY(r.id > 1);

        const QList<OperatorRecord> list = ListOperators(shop.ctx);
        QCOMPARE(list.size(), 2);
        const OperatorRecord& op = list.last();
        QCOMPARE(op.id, r.id);
        QCOMPARE(op.employeeNo, QStringLiteral("123"));
        QCOMPARE(op.account, QStringLiteral("seller"));
        QCOMPARE(op.hint, QStringLiteral("提示"));
        QCOMPARE(RoleName(op.role), QStringLiteral("售货员"));
        QCOMPARE(OperatorStateName(op.state), QStringLiteral("锁定"));

        shop.ctx.op.clear();
        QCOMPARE(Login(shop.ctx, shop.dataFolder(), QStringLiteral("seller"), QStringLiteral("pw'")).message,
                 QStringLiteral("您的帐号已锁定，无法登陆！"));
        // Unlocked by the administrator, the same password logs in.
        OperatorInput edit = in;
        edit.state = 0;
        edit.password.clear();
        edit.passwordAgain.clear();
        QVERIFY(SaveOperator(shop.ctx, r.id, edit).ok);
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("seller"), QStringLiteral("pw'")).ok);
        QCOMPARE(shop.ctx.op.role, 2);
    }

    void editingAnExistingOperator() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int amy = shop.addOperator(QStringLiteral("amy"), QStringLiteral("old"), 1);
        shop.addOperator(QStringLiteral("ben"), QStringLiteral("b"), 1);
        const OperatorRecord loaded = *LoadOperator(shop.ctx, amy);

        // Its own account and number pass their checks; both passwords empty keep the password.
        OperatorInput in = input(QStringLiteral("ignored"), QStringLiteral("amy"), {}, {});
        in.name = QStringLiteral(" 艾米 ");
        in.role = 0;
        OperatorSaveResult r = SaveOperator(shop.ctx, amy, in);
        QVERIFY2(r.ok, qPrintable(r.message));
        QCOMPARE(r.id, amy);
        const OperatorRecord saved = *LoadOperator(shop.ctx, amy);
        QCOMPARE(saved.employeeNo, loaded.employeeNo); // never changed
        QCOMPARE(saved.name, QStringLiteral("艾米"));
        QCOMPARE(saved.role, 0);
        shop.ctx.op.clear();
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("amy"), QStringLiteral("old")).ok);

        // One password field filled is a change and must be complete.
        in.password = QStringLiteral("new");
        QCOMPARE(SaveOperator(shop.ctx, amy, in).message, QStringLiteral("请再次填写密码"));
        in.password.clear();
        in.passwordAgain = QStringLiteral("new");
        QCOMPARE(SaveOperator(shop.ctx, amy, in).message, QStringLiteral("请填写密码"));
        in.password = QStringLiteral("new");
        QVERIFY(SaveOperator(shop.ctx, amy, in).ok);
        shop.ctx.op.clear();
        QVERIFY(!Login(shop.ctx, shop.dataFolder(), QStringLiteral("amy"), QStringLiteral("old")).ok);
        QVERIFY(Login(shop.ctx, shop.dataFolder(), QStringLiteral("amy"), QStringLiteral("new")).ok);

        // Another operator's account is taken.
        in.account = QStringLiteral("ben");
        QCOMPARE(SaveOperator(shop.ctx, amy, in).message, QStringLiteral("登陆帐号已存在，请重新输入"));
    }

    void superAdministratorIsNeverSaved() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        OperatorInput in =
            input(QStringLiteral("0001"), QStringLiteral("admin"), QStringLiteral("x"), QStringLiteral("x"));
        in.state = 1;
        QCOMPARE(SaveOperator(shop.ctx, kSuperAdminId, in).message, QStringLiteral("不允许修改超级管理员"));
        QCOMPARE(LoadOperator(shop.ctx, kSuperAdminId)->state, 0);
    }

    void randomEmployeeNumberSkipsUsedOnes() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        QVERIFY(SaveOperator(shop.ctx, -1,
                             input(QStringLiteral("42"), QStringLiteral("a"), QStringLiteral("p"),
                                   QStringLiteral("p")))
                    .ok);
        QVERIFY(SaveOperator(
                    shop.ctx, -1,
                    input(QStringLiteral("7"), QStringLiteral("b"), QStringLiteral("p"), QStringLiteral("p")))
                    .ok);
        // The draws: two used numbers (one above the range, taken modulo), then a free one.
        QList<quint32> draws{42, 9900007, 9899999, 5};
        int drawn = 0;
        const QString number = RandomEmployeeNo(shop.ctx, [&] { return draws.at(drawn++); });
        QCOMPARE(number, QStringLiteral("9899999"));
        QCOMPARE(drawn, 3);
        // The real source stays in range and free.
        for (int i = 0; i < 20; ++i) {
            const QString n = RandomEmployeeNo(shop.ctx);
            QVERIFY(!n.isEmpty());
            QVERIFY(n.toInt() >= 0 && n.toInt() < 9900000);
            QVERIFY(n != QLatin1String("42") && n != QLatin1String("7"));
        }
        shop.ctx.db.failNthStatement(1);
        QCOMPARE(RandomEmployeeNo(shop.ctx, [] { return 1u; }), QString());
    }

    void databaseFailureIsNotSuccess() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        // Checks pass, the insert fails.
        shop.ctx.db.failNthStatement(3);
        const OperatorSaveResult r = SaveOperator(
            shop.ctx, -1,
            input(QStringLiteral("9"), QStringLiteral("z"), QStringLiteral("p"), QStringLiteral("p")));
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("保存失败，请重试"));
        QCOMPARE(shop.count(QStringLiteral("tb_manager")), 1);
    }
};

QTEST_GUILESS_MAIN(TestOperators)
#include "tst_operators.moc"

#include "core/store/Auth.h"

#include "core/store/AppContext.h"
#include "core/store/StoreOps.h"
#include "core/support/Clock.h"
#include "core/support/Password.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace selvo {

namespace {
const QString kLoginKey = QStringLiteral("LOGIN/CURUID");
constexpr int kMaxAccountChars = 500;

QString settingsPath(const QString& dataFolder) {
    return QDir(dataFolder).filePath(QStringLiteral("set.ini"));
}

AuthResult refuse(const char* text, AuthResult::Field focus, bool clear = false) {
    AuthResult r;
    r.message = QString::fromUtf8(text);
    r.focus = focus;
    r.clearField = clear;
    return r;
}

QString hintLine(const QString& hint) {
    return hint.isEmpty() ? QString() : QStringLiteral("密码提示：") + hint;
}
} // namespace

QString ReadLastAccount(const QString& dataFolder) {
    const QSettings ini(settingsPath(dataFolder), QSettings::IniFormat);
    return ini.value(kLoginKey, QStringLiteral("admin")).toString().left(kMaxAccountChars).trimmed();
}

bool WriteLastAccount(const QString& dataFolder, const QString& account) {
    const QString path = settingsPath(dataFolder);
    const bool made = !QFileInfo::exists(path);
    QSettings ini(path, QSettings::IniFormat);
    ini.setValue(kLoginKey, account);
    ini.sync();
    // A new file is the owner's alone; one that exists keeps the mode the owner gave it.
    if (made && QFileInfo::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    return ini.status() == QSettings::NoError;
}

QStringList LoginAccounts(AppContext& ctx) {
    QStringList accounts;
    if (auto q = ctx.db.select(QStringLiteral("SELECT UID FROM tb_manager ORDER BY ID"))) {
        while (q->next())
            accounts << q->value(0).toString();
    }
    return accounts;
}

QString AccountHintLine(AppContext& ctx, const QString& account) {
    const QString trimmed = account.trimmed();
    if (trimmed.isEmpty())
        return {};
    return hintLine(GetPasswordHint(ctx, -1, trimmed));
}

QString OperatorHintLine(AppContext& ctx) {
    return hintLine(GetPasswordHint(ctx, ctx.op.id, QString()));
}

AuthResult Login(AppContext& ctx, const QString& dataFolder, const QString& account,
                 const QString& password) {
    using F = AuthResult::Field;
    const QString uid = account.trimmed();
    if (uid.isEmpty())
        return refuse("请输入用户名", F::Account);
    const QString typed = password.trimmed();
    if (typed.isEmpty())
        return refuse("请输入密码", F::Password);

    auto q = ctx.db.select(
        QStringLiteral("SELECT ID, SalesManCode, TrueName, UserType, state FROM tb_manager WHERE UID = ?"),
        {uid});
    if (!q)
        return refuse("密码验证失败，请重试", F::None);
    if (!q->next())
        return refuse("用户名或密码错误", F::None);
    CurrentOperator found;
    found.id = q->value(0).toInt();
    found.employeeNo = q->value(1).toString();
    found.name = q->value(2).toString();
    found.role = q->value(3).toInt();
    const int state = q->value(4).toInt();
    q->finish();

    switch (CheckOperatorPassword(ctx, found.id, typed)) {
    case -1:
        return refuse("密码验证失败，请重试", F::None);
    case 0:
        return refuse("用户名或密码错误", F::None);
    default:
        break;
    }
    if (state == 1)
        return refuse("您的帐号已锁定，无法登陆！", F::None);

    ctx.op = found;
    WriteLastAccount(dataFolder, uid);
    WriteOpLog(ctx, QStringLiteral("%1(%2) 登陆成功   %3")
                        .arg(found.name, uid,
                             Clock::instance().now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))));
    AuthResult ok;
    ok.ok = true;
    return ok;
}

AuthResult Unlock(AppContext& ctx, const QString& password) {
    using F = AuthResult::Field;
    const QString typed = password.trimmed();
    if (typed.isEmpty())
        return refuse("请输入密码", F::Password);
    switch (CheckOperatorPassword(ctx, ctx.op.id, typed)) {
    case -1:
        return refuse("密码验证失败，请重试", F::Password);
    case 0:
        return refuse("用户名或密码错误", F::Password);
    default:
        break;
    }
    AuthResult ok;
    ok.ok = true;
    return ok;
}

AuthResult ChangePassword(AppContext& ctx, const QString& oldPassword, const QString& newPassword,
                          const QString& confirmation, const QString& hint) {
    using F = AuthResult::Field;
    if (ctx.op.employeeNo.isEmpty())
        return refuse("帐户异常，请重新登陆后再试", F::None);
    const QString old = oldPassword.trimmed();
    if (old.isEmpty())
        return refuse("请输入原始密码", F::OldPassword);
    switch (CheckOperatorPassword(ctx, ctx.op.id, old)) {
    case -1:
        return refuse("异常错误，请重试！", F::OldPassword);
    case 0:
        return refuse("原始密码错误！，请重新输入!", F::OldPassword, true);
    default:
        break;
    }
    const QString fresh = newPassword.trimmed();
    if (fresh.isEmpty())
        return refuse("请输入请密码", F::NewPassword);
    const QString again = confirmation.trimmed();
    if (again.isEmpty())
        return refuse("请再次输入请密码", F::Confirm);
    if (fresh != again)
        return refuse("两次输入密码不一致", F::NewPassword);

    const QString hash = HashPassword(fresh);
    int affected = 0;
    if (hash.isEmpty() ||
        !ctx.db.exec(QStringLiteral("UPDATE tb_manager SET PWD = ?, pwdWarn = ? WHERE ID = ?"),
                     {hash, hint.trimmed(), ctx.op.id}, &affected) ||
        affected != 1)
        return refuse("修改失败，请重试", F::None);
    AuthResult ok;
    ok.ok = true;
    ok.message = QStringLiteral("密码修改成功");
    return ok;
}

} // namespace selvo

#include "core/store/Operators.h"

#include "core/store/AppContext.h"
#include "core/support/Password.h"

#include <QRandomGenerator>

namespace selvo {

namespace {
constexpr int kEmployeeNoRange = 9900000;
// A draw that keeps hitting used numbers means the database is unreadable or full; stop there.
constexpr int kMaxDraws = 10000;

const QString kColumns =
    QStringLiteral("SELECT ID, SalesManCode, UID, TrueName, Phone, pwdWarn, UserType, state FROM tb_manager");

OperatorRecord readRecord(const QSqlQuery& q) {
    OperatorRecord r;
    r.id = q.value(0).toInt();
    r.employeeNo = q.value(1).toString();
    r.account = q.value(2).toString();
    r.name = q.value(3).toString();
    r.phone = q.value(4).toString();
    r.hint = q.value(5).toString();
    r.role = q.value(6).toInt();
    r.state = q.value(7).toInt();
    return r;
}

std::optional<bool> taken(AppContext& ctx, const QString& column, const QString& value, int excludeId) {
    auto q = ctx.db.select(QStringLiteral("SELECT ID FROM tb_manager WHERE ") + column +
                               QStringLiteral(" = ? AND ID <> ?"),
                           {value, excludeId});
    if (!q)
        return std::nullopt;
    return q->next();
}

OperatorSaveResult refuse(const char* text, OperatorSaveResult::Field focus) {
    OperatorSaveResult r;
    r.message = QString::fromUtf8(text);
    r.focus = focus;
    return r;
}
} // namespace

QList<OperatorRecord> ListOperators(AppContext& ctx) {
    QList<OperatorRecord> list;
    if (auto q = ctx.db.select(kColumns + QStringLiteral(" ORDER BY ID"))) {
        while (q->next())
            list.append(readRecord(*q));
    }
    return list;
}

std::optional<OperatorRecord> LoadOperator(AppContext& ctx, int id) {
    auto q = ctx.db.select(kColumns + QStringLiteral(" WHERE ID = ?"), {id});
    if (!q || !q->next())
        return std::nullopt;
    return readRecord(*q);
}

QString OperatorStateName(int state) {
    return state != 0 ? QStringLiteral("锁定") : QStringLiteral("正常");
}

QStringList EditorRoleChoices() {
    return {QStringLiteral("超级管理员"), QStringLiteral("理货售货员"), QStringLiteral("售货员")};
}

QStringList OperatorStateChoices() {
    return {QStringLiteral("正常"), QStringLiteral("锁定")};
}

QString RoleDescription(int role) {
    switch (role) {
    case 0:
        return QStringLiteral("所有权限");
    case 1:
        return QStringLiteral("除会员管理、操作员管理之外的权限");
    case 2:
        return QStringLiteral("仅拥有销售、充值等权限");
    default:
        return {};
    }
}

std::optional<bool> EmployeeNoTaken(AppContext& ctx, const QString& employeeNo, int excludeId) {
    return taken(ctx, QStringLiteral("SalesManCode"), employeeNo, excludeId);
}

std::optional<bool> AccountTaken(AppContext& ctx, const QString& account, int excludeId) {
    return taken(ctx, QStringLiteral("UID"), account, excludeId);
}

QString RandomEmployeeNo(AppContext& ctx, const std::function<quint32()>& draw) {
    for (int i = 0; i < kMaxDraws; ++i) {
        const quint32 n =
            draw ? draw() % kEmployeeNoRange : QRandomGenerator::global()->bounded(kEmployeeNoRange);
        const QString number = QString::number(n);
        const auto used = EmployeeNoTaken(ctx, number, -1);
        if (!used)
            return {};
        if (!*used)
            return number;
    }
    return {};
}

OperatorSaveResult SaveOperator(AppContext& ctx, int id, const OperatorInput& input) {
    using F = OperatorSaveResult::Field;
    if (id == kSuperAdminId)
        return refuse("不允许修改超级管理员", F::None);
    const bool isNew = id == -1;
    std::optional<OperatorRecord> existing;
    if (!isNew) {
        existing = LoadOperator(ctx, id);
        if (!existing)
            return refuse("保存失败，请重试", F::None);
    }

    // The employee number of an existing operator is fixed; its check still runs, as typed.
    const QString employeeNo = isNew ? input.employeeNo.trimmed() : existing->employeeNo;
    if (employeeNo.isEmpty())
        return refuse("请填写员工工号", F::EmployeeNo);
    const auto codeTaken = EmployeeNoTaken(ctx, employeeNo, id);
    if (!codeTaken)
        return refuse("保存失败，请重试", F::None);
    if (*codeTaken)
        return refuse("员工工号已存在，请重新输入", F::EmployeeNo);

    // Login trims what is typed, so an account saved with blanks could never log in.
    const QString account = input.account.trimmed();
    if (account.isEmpty())
        return refuse("请填写登陆帐号", F::Account);
    const auto accountTaken = AccountTaken(ctx, account, id);
    if (!accountTaken)
        return refuse("保存失败，请重试", F::None);
    if (*accountTaken)
        return refuse("登陆帐号已存在，请重新输入", F::Account);

    const QString password = input.password.trimmed();
    const QString again = input.passwordAgain.trimmed();
    const bool keepPassword = !isNew && password.isEmpty() && again.isEmpty();
    if (!keepPassword) {
        if (password.isEmpty())
            return refuse("请填写密码", F::Password);
        if (again.isEmpty())
            return refuse("请再次填写密码", F::PasswordAgain);
        if (password != again)
            return refuse("两次输入密码不一致", F::Password);
    }
    const int role = qBound(0, input.role, 2);
    const int state = qBound(0, input.state, 1);

    QString hash;
    if (!keepPassword) {
        hash = HashPassword(password);
        if (hash.isEmpty())
            return refuse("保存失败，请重试", F::None);
    }

    OperatorSaveResult result;
    if (isNew) {
        const auto newId = ctx.db.insertReturningId(
            QStringLiteral(
                "INSERT INTO tb_manager(SalesManCode, UID, PWD, TrueName, pwdWarn, Phone, UserType, "
                "state) VALUES(?, ?, ?, ?, ?, ?, ?, ?)"),
            {employeeNo, account, hash, input.name.trimmed(), input.hint.trimmed(), input.phone, role,
             state});
        if (!newId) {
            // Another till took the account between the check and the insert.
            if (ctx.db.lastErrorIsUniqueViolation())
                return refuse("登陆帐号已存在，请重新输入", F::Account);
            return refuse("保存失败，请重试", F::None);
        }
        result.id = int(*newId);
    } else {
        QString sql = QStringLiteral("UPDATE tb_manager SET UID = ?, TrueName = ?, pwdWarn = ?, Phone = ?, "
                                     "UserType = ?, state = ?");
        QVariantList binds{account, input.name.trimmed(), input.hint.trimmed(), input.phone, role, state};
        if (!keepPassword) {
            sql += QStringLiteral(", PWD = ?");
            binds << hash;
        }
        sql += QStringLiteral(" WHERE ID = ?");
        binds << id;
        int affected = 0;
        if (!ctx.db.exec(sql, binds, &affected)) {
            if (ctx.db.lastErrorIsUniqueViolation())
                return refuse("登陆帐号已存在，请重新输入", F::Account);
            return refuse("保存失败，请重试", F::None);
        }
        if (affected != 1)
            return refuse("保存失败，请重试", F::None);
        result.id = id;
    }
    result.ok = true;
    return result;
}

} // namespace selvo

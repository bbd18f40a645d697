#include "TestShop.h"

#include "core/store/Password.h"
#include "core/store/Startup.h"

#include <QDir>
#include <QFile>

namespace selvo::test {

TestShop::TestShop() {
    ctx.notifier = &notes;
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    const OpenResult r = OpenDatabase(ctx, m_dir.path());
    if (!r.ok) {
        m_error = r.detail;
        return;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    ctx.op.name = QStringLiteral("管理员");
    ctx.op.employeeNo = QStringLiteral("0001");
    m_ok = true;
}

TestShop::~TestShop() {
    ctx.db.close();
}

QString TestShop::engineName() {
    return QStringLiteral("sqlite");
}

bool TestShop::isPostgres() const {
    return ctx.db.engine() == db::Engine::Postgres;
}

int TestShop::addMember(const QString& name, const QString& mobile, double balance, int points, int state,
                        const QString& code) {
    auto id = ctx.db.insertReturningId(
        QStringLiteral(
            "INSERT INTO tb_members(MemberCode, TrueName, FirstSpell, MobilePhone, Sex, IsLuner, "
            "Integral, Cumulative, Balance, UserState, photo) VALUES(?, ?, '', ?, -1, 0, ?, 0, ?, ?, '')"),
        {code, name, mobile, points, balance, state});
    return id ? int(*id) : -1;
}

int TestShop::addProduct(const QString& code, const QString& name, double price, double cost, double stock,
                         int category, int property, int state) {
    auto id = ctx.db.insertReturningId(
        QStringLiteral("INSERT INTO tb_product(PrdCode, PrdName, FirstSpell, Price, PurchasePrice, PrdType, "
                       "MeasuringUnit, MustIntNum, PrdInventory, State, PrdProperty) "
                       "VALUES(?, ?, '', ?, ?, ?, ?, 0, ?, ?, ?)"),
        {code, name, price, cost, category, QStringLiteral("个"), stock, state, property});
    return id ? int(*id) : -1;
}

int TestShop::addOperator(const QString& account, const QString& password, int role, int state,
                          const QString& name) {
    auto id = ctx.db.insertReturningId(
        QStringLiteral(
            "INSERT INTO tb_manager(UID, PWD, SalesManCode, TrueName, Phone, UserType, state, pwdWarn) "
            "VALUES(?, ?, ?, ?, '', ?, ?, '')"),
        {account, HashPassword(password), QString(QStringLiteral("E") + account),
         name.isEmpty() ? account : name, role, state});
    return id ? int(*id) : -1;
}

qint64 TestShop::count(const QString& table, const QString& where, const QVariantList& binds) {
    QString sql = QStringLiteral("SELECT count(*) FROM ") + table;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    auto v = ctx.db.scalar(sql, binds);
    return v ? v->toLongLong() : -1;
}

} // namespace selvo::test

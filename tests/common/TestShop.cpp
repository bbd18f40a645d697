#include "TestShop.h"

#include "core/db/ConnectionString.h"
#include "core/store/Startup.h"
#include "core/support/Clock.h"
#include "core/support/Password.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include <limits>

namespace selvo::test {

TestShop::TestShop() {
    ctx.notifier = &notes;
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    if (engineName() == QLatin1String("postgres") && !createPgDatabase())
        return;
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
    if (m_pgDatabase.isEmpty())
        return;
    const auto server = pgServer();
    db::Database admin;
    if (!server || !admin.open(*server) ||
        !admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(m_pgDatabase)))
        qWarning("test database %s was not dropped: %s", qPrintable(m_pgDatabase),
                 qPrintable(admin.lastError()));
}

QString TestShop::engineName() {
    return qEnvironmentVariable("SELVO_TEST_PG").trimmed().isEmpty() ? QStringLiteral("sqlite")
                                                                     : QStringLiteral("postgres");
}

std::optional<db::ConnectionConfig> TestShop::pgServer() {
    const QString text = qEnvironmentVariable("SELVO_TEST_PG");
    if (text.trimmed().isEmpty())
        return std::nullopt;
    db::ConnectionConfig config;
    if (!db::ParsePgConnectionString(text, config))
        return std::nullopt;
    return config;
}

bool TestShop::createPgDatabase() {
    const auto server = pgServer();
    if (!server) {
        m_error = QStringLiteral("SELVO_TEST_PG is not a usable connection string");
        return false;
    }
    db::Database admin;
    if (!admin.open(*server)) {
        m_error = QStringLiteral("cannot reach the test server: ") + admin.lastError();
        return false;
    }
    static int serial = 0;
    const QString name = QStringLiteral("selvo_t%1_%2_%3")
                             .arg(QCoreApplication::applicationPid())
                             .arg(++serial)
                             .arg(QRandomGenerator::global()->bounded(1000000));
    if (!admin.exec(QStringLiteral("CREATE DATABASE %1").arg(name))) {
        m_error = QStringLiteral("cannot create the test database: ") + admin.lastError();
        return false;
    }
    m_pgDatabase = name;
    // The till's own way to find its server: selvo.conf in the data folder.
    if (!WriteServerConf(m_dir.path(), *server, name)) {
        m_error = QStringLiteral("cannot write selvo.conf");
        return false;
    }
    return true;
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

bool TestShop::addOrder(const OrderSpec& o) {
    const QDateTime now = Clock::instance().now();
    const QVariant saleDate = ctx.db.dateTimeValue(o.saleDate.isValid() ? o.saleDate : now);
    const QVariant memId = o.memberIdValue.isValid() ? o.memberIdValue : QVariant(o.memberId);
    if (!ctx.db.exec(
            QStringLiteral("INSERT INTO tb_orders(OrderNo, MemID, SaleManID, TotalPrice, RealTotalPrice, "
                           "PrdPurchasePrice, Profits, PrdSum, Integral, GetMoney, Change, Remark, "
                           "SaleDate, PayType, OrderType, AddDate) "
                           "VALUES(?, ?, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"),
            {o.orderNo, memId, o.saleManId, o.totalPrice, o.realTotalPrice, o.profits, o.prdSum, o.points,
             o.getMoney, o.change, o.remark, saleDate, o.payType, o.orderType,
             ctx.db.dateTimeValue(o.addDate.isValid() ? o.addDate : now)}))
        return false;
    for (const OrderSpec::Line& line : o.lines) {
        if (!ctx.db.exec(
                QStringLiteral("INSERT INTO tb_order_lines(OrderNo, MemID, SaleManID, PrdCode, PrdName, "
                               "PrdPrice, PrdNum, DisCount, DisCountPrice, PrdPurchasePrice, Profits, "
                               "TotalPrice, Integral, PayType, SaleDate) "
                               "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0, ?, 0, ?, ?)"),
                {o.orderNo, memId, o.saleManId, line.code, QString(QStringLiteral("商品") + line.code),
                 line.quantity != 0 ? line.total / line.quantity : 0.0, line.quantity, line.discount,
                 line.quantity != 0 ? line.total / line.quantity : 0.0, line.total, o.payType, saleDate}))
            return false;
    }
    return true;
}

int TestShop::addCategory(const QString& name, int parentId) {
    auto id = ctx.db.insertReturningId(
        QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) VALUES(?, ?)"), {name, parentId});
    return id ? int(*id) : -1;
}

double TestShop::balanceOf(int memberId) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT Balance FROM tb_members WHERE ID = ?"), {memberId});
    return v ? v->toDouble() : std::numeric_limits<double>::quiet_NaN();
}

int TestShop::pointsOf(int memberId) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT Integral FROM tb_members WHERE ID = ?"), {memberId});
    return v ? v->toInt() : std::numeric_limits<int>::min();
}

char* toString(const Account& account) {
    return QTest::toString(QStringLiteral("balance %1, points %2, spent %3")
                               .arg(account.balance)
                               .arg(account.points)
                               .arg(account.cumulative));
}

Account TestShop::accountOf(int memberId) {
    auto q = ctx.db.select(
        QStringLiteral("SELECT Balance, Integral, Cumulative FROM tb_members WHERE ID = ?"), {memberId});
    if (!q || !q->next())
        return {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<int>::min(),
                std::numeric_limits<double>::quiet_NaN()};
    return {q->value(0).toDouble(), q->value(1).toInt(), q->value(2).toDouble()};
}

double TestShop::stockOf(const QString& code) {
    auto v = ctx.db.scalar(QStringLiteral("SELECT PrdInventory FROM tb_product WHERE PrdCode = ?"), {code});
    return v ? v->toDouble() : std::numeric_limits<double>::quiet_NaN();
}

qint64 TestShop::count(const QString& table, const QString& where, const QVariantList& binds) {
    QString sql = QStringLiteral("SELECT count(*) FROM ") + table;
    if (!where.isEmpty())
        sql += QStringLiteral(" WHERE ") + where;
    auto v = ctx.db.scalar(sql, binds);
    return v ? v->toLongLong() : -1;
}

} // namespace selvo::test

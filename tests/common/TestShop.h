#pragma once

#include "core/store/AppContext.h"

#include <QDateTime>
#include <QMetaType>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>
#include <optional>

namespace selvo::test {

// Records what core would have shown in a message box.
class RecordingNotifier final : public Notifier {
public:
    void notify(const QString& text) override { messages << text; }
    QStringList messages;
};

// A fresh shop database for one test: a SQLite file in a temporary folder, or a fresh
// PostgreSQL database when SELVO_TEST_PG names a server (see engineName()), dropped again by
// the destructor. Either way dataFolder() holds what a till needs to reach it (the file, or a
// selvo.conf naming the server), so other processes can open the same shop.
// Comes logged in as the administrator (ID 1, role 0).
// An order row with its lines, as a posting (or an older program) would have written it.
struct OrderSpec {
    QString orderNo;
    int memberId = -1;
    int saleManId = 1;
    QVariant orderType = 1; // a null QVariant stores NULL
    QVariant payType = 1;
    QVariant memberIdValue; // when valid, stored as MemID instead of memberId (NULL included)
    double totalPrice = 0;
    double realTotalPrice = 0;
    double getMoney = 0;
    double change = 0;
    double prdSum = 0;
    double profits = 0;
    int points = 0;
    QDateTime saleDate; // invalid: the clock's now
    QDateTime addDate;  // invalid: the clock's now
    QString remark;
    struct Line {
        QString code;
        double quantity = 0;
        double total = 0;
        QVariant discount = 10;
    };
    QList<Line> lines;
};

// What a member's row says of the member's money.
struct Account {
    double balance = 0;
    int points = 0;
    double cumulative = 0;
    bool operator==(const Account&) const = default;
};
// How QCOMPARE shows one.
char* toString(const Account& account);

class TestShop final {
public:
    TestShop();
    ~TestShop();
    TestShop(const TestShop&) = delete;
    TestShop& operator=(const TestShop&) = delete;

    // False (with QTest failure text in error()) when the database could not be made.
    bool ok() const { return m_ok; }
    QString error() const { return m_error; }
    // "postgres" when SELVO_TEST_PG names a server (a libpq connection string to a database the
    // user may create databases from), else "sqlite".
    static QString engineName();
    bool isPostgres() const;
    // The server named by SELVO_TEST_PG, or std::nullopt when there is none (or it cannot be read).
    static std::optional<db::ConnectionConfig> pgServer();

    AppContext ctx;
    RecordingNotifier notes;
    QString dataFolder() const { return m_dir.path(); }

    // Small builders for fixtures. Return the new row's ID (-1 on failure).
    int addMember(const QString& name, const QString& mobile, double balance = 0, int points = 0,
                  int state = 0, const QString& code = {});
    int addProduct(const QString& code, const QString& name, double price, double cost = 0, double stock = 0,
                   int category = 0, int property = 1, int state = 1);
    int addOperator(const QString& account, const QString& password, int role = 2, int state = 0,
                    const QString& name = {});
    bool addOrder(const OrderSpec& order);
    // A product category under `parentId` (0: at the top).
    int addCategory(const QString& name, int parentId = 0);
    qint64 count(const QString& table, const QString& where = {}, const QVariantList& binds = {});

    // A member's balance and points as stored; NaN and INT_MIN when the member cannot be read, so
    // a comparison with any figure fails.
    double balanceOf(int memberId);
    int pointsOf(int memberId);
    // Balance, points and spending together; all NaN / INT_MIN when the member cannot be read.
    Account accountOf(int memberId);
    // The stock of the product with this code; NaN when there is none.
    double stockOf(const QString& code);

private:
    bool createPgDatabase();

    QTemporaryDir m_dir;
    QString m_pgDatabase;
    bool m_ok = false;
    QString m_error;
};

} // namespace selvo::test

Q_DECLARE_METATYPE(selvo::test::Account)

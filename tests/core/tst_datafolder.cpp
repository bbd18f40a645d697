// A till and its data folder: the database file vanishing under a running till, start-up beside
// the remains of a database, read-only files and folders, another process holding the write
// lock, the data folder argument of selvo-cli, and the modes of the files the program makes.
#include "TestShop.h"

#include "core/db/Database.h"
#include "core/members/Topup.h"
#include "core/products/Purchasing.h"
#include "core/sales/Posting.h"
#include "core/store/Auth.h"
#include "core/store/Startup.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace selvo;
using selvo::test::TestShop;

namespace {

// A cash sale of a walk-in customer: one order row, nothing else.
PostResult sell(AppContext& ctx, const QString& amount) {
    FastSaleInput input;
    input.guest = true;
    input.amountText = amount;
    Payment pay;
    pay.payType = PayCash;
    pay.cashReceived = amount.toDouble();
    return PostOrder(ctx, MakeFastSaleDraft(input, pay, {}, QDateTime::currentDateTime()));
}

int modeOf(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 0777);
}

qint64 ordersIn(const QString& file) {
    db::ConnectionConfig config;
    config.sqliteFile = file;
    config.readOnly = true;
    db::Database other;
    if (!other.open(config))
        return -1;
    const auto n = other.scalar(QStringLiteral("SELECT count(*) FROM tb_orders"));
    return n ? n->toLongLong() : -1;
}

struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

// selvo-cli with these arguments. `unprivileged`: as the user nobody when the test runs as
// root, whom no file mode stops.
CliRun runCli(const QStringList& args, bool unprivileged = false) {
    QProcess p;
    if (unprivileged && ::geteuid() == 0)
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                                       QStringLiteral("--"), QStringLiteral(SELVO_CLI_PATH)} +
                                               args);
    else
        p.start(QStringLiteral(SELVO_CLI_PATH), args);
    CliRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Hands a folder to nobody (when running as root) so runCli(..., true) reaches it.
void giveToNobody(const QString& path) {
    if (::geteuid() != 0)
        return;
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("nobody"), path});
}

// The other process of the lock test: takes the write lock of FILE, says "locked", and keeps
// it until a line arrives on its input.
int holdWriteLock(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    db::ConnectionConfig config;
    config.sqliteFile = QString::fromLocal8Bit(argv[2]);
    config.createIfMissing = false;
    db::Database database;
    if (!database.open(config) || !database.begin())
        return 1;
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    out.write("locked\n");
    out.flush();
    QFile in;
    in.open(stdin, QIODevice::ReadOnly);
    in.readLine();
    database.rollback();
    return 0;
}

class Umask final {
public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

class TestDataFolder final : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        if (TestShop::engineName() != QLatin1String("sqlite"))
            QSKIP("the data folder holds the database on SQLite only");
    }

    // Deleted, moved away or replaced while the till runs: the next sale is refused, never
    // reported as saved, and what the till still saw is kept in a rescued copy.
    void vanishedDatabase_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<bool>("whileCommitting"); // between the sale's BEGIN and its COMMIT
        QTest::newRow("deleted") << QStringLiteral("deleted") << false;
        QTest::newRow("moved") << QStringLiteral("moved") << false;
        QTest::newRow("replaced") << QStringLiteral("replaced") << false;
        QTest::newRow("deleted while a sale commits") << QStringLiteral("deleted") << true;
        QTest::newRow("replaced while a sale commits") << QStringLiteral("replaced") << true;
    }
    void vanishedDatabase() {
        QFETCH(QString, how);
        QFETCH(bool, whileCommitting);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const PostResult first = sell(shop.ctx, QStringLiteral("12"));
        QVERIFY(first.ok);
        const QString file = shop.ctx.db.config().sqliteFile;
        const QString away = QDir(shop.dataFolder()).filePath(QStringLiteral("elsewhere.db"));
        const auto vanish = [&] {
            if (how == QLatin1String("deleted")) {
                QVERIFY(QFile::remove(file));
            } else {
                QVERIFY(QFile::rename(file, away));
                if (how == QLatin1String("replaced"))
                    QVERIFY(QFile::copy(away, file));
            }
        };
        if (whileCommitting)
            shop.ctx.db.beforeNextCommit(vanish);
        else
            vanish();

        for (int i = 0; i < 3; ++i) {
            const PostResult r = sell(shop.ctx, QStringLiteral("30"));
            QVERIFY(!r.ok);
            QCOMPARE(r.failure, PostFailure::MessageBox);
            QVERIFY2(r.message.contains(QStringLiteral("数据库文件已被删除、移走或替换")),
                     qPrintable(r.message));
        }
        QVERIFY(shop.ctx.db.fileGone());
        QVERIFY(!shop.ctx.db.scalar(QStringLiteral("SELECT count(*) FROM tb_orders")));
        const QString rescue = shop.ctx.db.rescueFile();
        QVERIFY(!rescue.isEmpty());
        QVERIFY2(sell(shop.ctx, QStringLiteral("1")).message.contains(rescue), qPrintable(rescue));
        QCOMPARE(ordersIn(rescue), 1);
        QCOMPARE(modeOf(rescue), 0600);
        shop.ctx.db.close();

        // The next start finds no database beside the remains of one: it makes no empty shop.
        if (how != QLatin1String("replaced")) {
            AppContext again;
            const OpenResult r = OpenDatabase(again, shop.dataFolder());
            QVERIFY(!r.ok);
            QVERIFY2(r.detail.contains(QStringLiteral("找不到数据库文件")), qPrintable(r.detail));
            QVERIFY(!QFileInfo::exists(file));
        }
    }

    // A new shop starts only in a folder without the remains of an earlier one; selvo-cli init
    // may start one beside the login file or backups, never beside a WAL or journal.
    void newShopOnlyInEmptyFolder_data() {
        QTest::addColumn<QString>("trace");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<bool>("atStart");
        QTest::addColumn<bool>("byInit");
        QTest::newRow("empty") << QString() << false << true << true;
        QTest::newRow("wal") << QStringLiteral("hydb.db-wal") << false << false << false;
        QTest::newRow("shm") << QStringLiteral("hydb.db-shm") << false << false << false;
        QTest::newRow("journal") << QStringLiteral("hydb.db-journal") << false << false << false;
        QTest::newRow("set.ini") << QStringLiteral("set.ini") << false << false << true;
        QTest::newRow("backups") << QStringLiteral("backup") << true << false << true;
        QTest::newRow("photos") << QStringLiteral("photo") << true << false << true;
        QTest::newRow("rescued copy")
            << QStringLiteral("hydb-rescued-20260101-000000.db") << false << false << true;
    }
    void newShopOnlyInEmptyFolder() {
        QFETCH(QString, trace);
        QFETCH(bool, folder);
        QFETCH(bool, atStart);
        QFETCH(bool, byInit);
        for (const NewShop policy : {NewShop::OnlyInEmptyFolder, NewShop::Allowed}) {
            QTemporaryDir dir;
            if (!trace.isEmpty()) {
                if (folder) {
                    QVERIFY(QDir(dir.path()).mkdir(trace));
                } else {
                    QFile f(QDir(dir.path()).filePath(trace));
                    QVERIFY(f.open(QIODevice::WriteOnly));
                    f.write("last changes");
                }
            }
            AppContext ctx;
            const OpenResult r = OpenDatabase(ctx, dir.path(), policy);
            const bool expected = policy == NewShop::Allowed ? byInit : atStart;
            QCOMPARE(r.ok, expected);
            QCOMPARE(QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("hydb.db"))), expected);
            if (!expected)
                QVERIFY2(r.detail.contains(trace), qPrintable(r.detail));
        }
    }

    // The real cause, from a program that is not root: a read-only file, a good database in a
    // read-only folder, a file that is not a database. The file is left as it was.
    void unwritableDatabase_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("said");
        QTest::newRow("read-only file") << QStringLiteral("file") << QStringLiteral("数据库文件只读");
        QTest::newRow("read-only folder") << QStringLiteral("folder") << QStringLiteral("数据文件夹只读");
        QTest::newRow("not a database") << QStringLiteral("text") << QStringLiteral("文件不是有效的数据库");
    }
    void unwritableDatabase() {
        QFETCH(QString, fault);
        QFETCH(QString, said);
        QTemporaryDir top;
        QFile::setPermissions(top.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                              QFile::ReadOther | QFile::ExeOther);
        const QString folder = QDir(top.path()).filePath(QStringLiteral("shop"));
        const QString file = QDir(folder).filePath(QStringLiteral("hydb.db"));
        QVERIFY(QDir().mkdir(folder));
        if (fault == QLatin1String("text")) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("name,phone\n");
        } else {
            AppContext ctx;
            QVERIFY(OpenDatabase(ctx, folder).ok);
            QVERIFY(sell(ctx, QStringLiteral("8")).ok);
        }
        giveToNobody(folder);
        if (fault == QLatin1String("file"))
            QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadOther));
        if (fault == QLatin1String("folder"))
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        QFile before(file);
        QVERIFY(before.open(QIODevice::ReadOnly));
        const QByteArray content = before.readAll();

        const CliRun r = runCli({QStringLiteral("init"), QStringLiteral("--data"), folder}, true);
        QVERIFY2(r.code == 1, qPrintable(r.err));
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        if (fault != QLatin1String("text"))
            QVERIFY2(!r.err.contains(QStringLiteral("不是有效的数据库")), qPrintable(r.err));
        QFile after(file);
        QVERIFY(after.open(QIODevice::ReadOnly));
        QCOMPARE(after.readAll(), content);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    // Another process holds the write lock: the sale waits briefly, says the database is busy,
    // writes nothing; once the lock is free the same sale goes through.
    void writeLockHeldElsewhere() {
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int member = shop.addMember(QStringLiteral("王芳"), QStringLiteral("13800000001"), 100);
        PurchaseList list;
        list.add(LoadPurchaseProducts(
            shop.ctx,
            QString::number(shop.addProduct(QStringLiteral("R1"), QStringLiteral("大米"), 6, 4.5, 10)) +
                QLatin1Char(',')));
        QProcess holder;
        holder.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--hold-write-lock"), shop.ctx.db.config().sqliteFile});
        QVERIFY(holder.waitForStarted());
        while (!holder.canReadLine())
            QVERIFY2(holder.waitForReadyRead(20000),
                     qPrintable(QString::fromUtf8(holder.readAllStandardError())));
        QCOMPARE(holder.readLine(), QByteArray("locked\n"));

        QElapsedTimer clock;
        clock.start();
        const PostResult r = sell(shop.ctx, QStringLiteral("25"));
        const qint64 waited = clock.elapsed();
        qInfo("waited %lld ms for the lock held by another process", waited);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, DatabaseBusyText());
        QVERIFY(shop.ctx.db.lastErrorIsBusy());
        // The bound of the behaviour (the window used to freeze for 75 s), not a speed figure.
        QVERIFY2(waited < 3 * db::kRetryBudgetMSecs, qPrintable(QString::number(waited)));
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 0);
        // A recharge and a purchase say the same.
        TopupPlan recharge;
        recharge.memberId = member;
        recharge.amount = 50;
        const TopupResult topup = CommitTopup(shop.ctx, recharge);
        QVERIFY(!topup.ok && topup.databaseTrouble);
        QCOMPARE(topup.message, DatabaseBusyText());
        const PurchaseSaveResult purchase = SavePurchase(shop.ctx, list, 0, true);
        QVERIFY(!purchase.ok);
        QCOMPARE(purchase.message, DatabaseBusyText());
        QCOMPARE(
            shop.count(QStringLiteral("tb_TopupRecord")) + shop.count(QStringLiteral("tb_StorageIn_His")), 0);

        holder.write("\n");
        QVERIFY(holder.waitForFinished(20000));
        QCOMPARE(holder.exitCode(), 0);
        QVERIFY(sell(shop.ctx, QStringLiteral("25")).ok);
        QCOMPARE(shop.count(QStringLiteral("tb_orders")), 1);
    }

    // "--data" with an empty or missing value would mean the program's own folder; check never
    // makes the folder it is asked about.
    void dataFolderArgument_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("said");
        QTest::newRow("init empty") << QStringList{QStringLiteral("init"), QStringLiteral("--data"),
                                                   QString()}
                                    << QStringLiteral("--data needs a folder");
        QTest::newRow("init blank") << QStringList{QStringLiteral("init"), QStringLiteral("--data=  ")}
                                    << QStringLiteral("--data needs a folder");
        QTest::newRow("init no value") << QStringList{QStringLiteral("init"), QStringLiteral("--data")}
                                       << QStringLiteral("--data needs a folder");
        QTest::newRow("check missing")
            << QStringList{QStringLiteral("check"), QStringLiteral("--data"), QStringLiteral("@missing")}
            << QStringLiteral("no such data folder");
    }
    void dataFolderArgument() {
        QFETCH(QStringList, args);
        QFETCH(QString, said);
        QTemporaryDir dir;
        const QString missing = QDir(dir.path()).filePath(QStringLiteral("not/there"));
        args.replaceInStrings(QStringLiteral("@missing"), missing);
        const QString cliFolder = QFileInfo(QStringLiteral(SELVO_CLI_PATH)).absolutePath();
        const bool cliDbBefore = QFileInfo::exists(QDir(cliFolder).filePath(QStringLiteral("hydb.db")));
        const CliRun r = runCli(args);
        QVERIFY2(r.code != 0, qPrintable(r.out));
        QVERIFY2(r.err.contains(said), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(QDir(dir.path()).filePath(QStringLiteral("not"))));
        QCOMPARE(QFileInfo::exists(QDir(cliFolder).filePath(QStringLiteral("hydb.db"))), cliDbBefore);
    }

    // Under the usual umask 022 the new data folder, its parents, the database, its WAL and
    // set.ini are the owner's alone; files that exist keep the mode the owner gave them.
    void privateFiles() {
        const Umask usual(022);
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).filePath(QStringLiteral("new/shop"));
        const CliRun r = runCli({QStringLiteral("init"), QStringLiteral("--data"), folder});
        QVERIFY2(r.code == 0, qPrintable(r.err));
        QCOMPARE(modeOf(QDir(dir.path()).filePath(QStringLiteral("new"))), 0700);
        QCOMPARE(modeOf(folder), 0700);
        QCOMPARE(modeOf(QDir(folder).filePath(QStringLiteral("hydb.db"))), 0600);

        // In the program itself, whatever its umask.
        const QString inProcess = QDir(dir.path()).filePath(QStringLiteral("till"));
        QVERIFY(MakePrivateFolder(inProcess));
        QCOMPARE(modeOf(inProcess), 0700);
        {
            AppContext ctx;
            QVERIFY(OpenDatabase(ctx, inProcess).ok);
            QVERIFY(sell(ctx, QStringLiteral("3")).ok);
            QCOMPARE(modeOf(QDir(inProcess).filePath(QStringLiteral("hydb.db"))), 0600);
            QCOMPARE(modeOf(QDir(inProcess).filePath(QStringLiteral("hydb.db-wal"))), 0600);
            QVERIFY(WriteLastAccount(inProcess, QStringLiteral("admin")));
            QCOMPARE(modeOf(QDir(inProcess).filePath(QStringLiteral("set.ini"))), 0600);
        }

        // Modes the owner chose stay.
        QVERIFY(QFile::setPermissions(QDir(inProcess).filePath(QStringLiteral("hydb.db")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
        QVERIFY(QFile::setPermissions(QDir(inProcess).filePath(QStringLiteral("set.ini")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther));
        {
            AppContext ctx;
            QVERIFY(OpenDatabase(ctx, inProcess).ok);
            QVERIFY(sell(ctx, QStringLiteral("4")).ok);
            QVERIFY(WriteLastAccount(inProcess, QStringLiteral("cashier")));
        }
        QCOMPARE(modeOf(QDir(inProcess).filePath(QStringLiteral("hydb.db"))), 0640);
        QCOMPARE(modeOf(QDir(inProcess).filePath(QStringLiteral("set.ini"))), 0604);
    }
};

int main(int argc, char** argv) {
    if (argc == 3 && qstrcmp(argv[1], "--hold-write-lock") == 0)
        return holdWriteLock(argc, argv);
    QCoreApplication app(argc, argv);
    TestDataFolder test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datafolder.moc"

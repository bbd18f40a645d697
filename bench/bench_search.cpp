// Searches as the operator types, at a million members and a million products: the member picker,
// the member list, the product picker, the product list and the sale screen's search box, over a
// corpus of keystroke sequences (names, initials, mobiles, card numbers, codes, texts that match
// nothing); then the uniqueness checks on saving. Each figure is printed next to the plain
// statement without the search index (what the screens ran before), measured in the same run.
//
//   SELVO_BENCH_MEMBERS=n / SELVO_BENCH_PRODUCTS=n   shop size (default 1,000,000 each)
//   SELVO_BENCH_PG=conninfo       also on PostgreSQL (SELVO_TEST_PG serves as well)
//   SELVO_BENCH_NO_SQLITE=1       only on PostgreSQL
//   SELVO_BENCH_PLAIN_EVERY=n     time the plain statement on every n-th text only (default 1)
//   SELVO_BENCH_SLOW_MS=n         name each text this program took longer than n ms over
//
// The shop is built once per size and kept: /tmp/selvo-bench-search-<members>-<products>/ for
// SQLite, the database selvo_bench_search_<members>_<products> on the server.
#include "BenchServer.h"

#include "core/db/TextSearch.h"
#include "core/members/Member.h"
#include "core/members/MemberList.h"
#include "core/members/MemberPicker.h"
#include "core/products/Categories.h"
#include "core/products/ProductList.h"
#include "core/products/ProductPicker.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"
#include "core/store/StoreOps.h"
#include "core/support/Pinyin.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace selvo;

namespace {

const char16_t* const kSurnames =
    u"王李张刘陈杨黄赵吴周徐孙马朱胡郭何高林罗郑梁谢宋唐许韩冯邓曹彭曾肖田董袁潘于蒋蔡余杜叶程苏魏吕丁任沈姚"
    u"卢姜崔钟谭陆汪范金石廖贾夏韦付方白邹孟熊秦邱江尹薛闫段雷侯龙史黎贺顾毛郝龚邵万钱覃武戴孔汤庞樊兰殷施陶"
    u"洪翟安颜倪严牛温芦季俞章鲁葛伍申尤毕聂柴焦向柳邢";
const char16_t* const kGiven =
    u"伟芳娜敏静丽强磊军洋勇艳杰娟涛明超秀霞平刚桂英华玉兰萍红鹏飞宇浩然子涵梓轩欣怡一诺俊博文思雨嘉琪晨阳建"
    u"国志成海燕慧颖佳雪梅春晓东波斌辉亮宁婷凯龙瑶琳月婉清雅欢鑫淑珍美凤云";
const char16_t* const kBrands = u"康师傅统一农夫山泉可口可乐百事伊利蒙牛旺旺达利园好丽友";
const char* const kItems[] = {
    "红烧牛肉面", "矿泉水", "纯牛奶", "酸奶",   "饼干", "薯片", "巧克力", "方便面", "火腿肠", "可乐",
    "雪碧",       "橙汁",   "洗发水", "沐浴露", "牙膏", "牙刷", "毛巾",   "纸巾",   "洗衣液", "香皂",
    "电池",       "口香糖", "面包",   "蛋糕",   "啤酒", "白酒", "红茶",   "绿茶",   "咖啡",   "豆浆"};
const char* const kSpecs[] = {"500ml",  "1L",   "250g", "100g", "12支装",
                              "家庭装", "礼盒", "XL",   "mini", "6连包"};

struct Sizes {
    int members = 1000000;
    int products = 1000000;
    int categories = 1000;
};

QString pick(const char16_t* pool, QRandomGenerator& rng) {
    const QString all = QString::fromUtf16(pool);
    return all.mid(int(rng.bounded(all.size())), 1);
}

QString digits(QRandomGenerator& rng, int n) {
    QString s;
    for (int i = 0; i < n; ++i)
        s += QChar(u'0' + int(rng.bounded(10)));
    return s;
}

bool execOrSay(db::Database& db, const QString& sql, const QVariantList& binds = {}) {
    if (db.exec(sql, binds))
        return true;
    std::fprintf(stderr, "failed: %s\n  %s\n", qPrintable(sql.left(200)), qPrintable(db.lastError()));
    return false;
}

// Rows in batches of one multi-row INSERT each: a server takes them without a round trip per row.
bool insertRows(db::Database& db, const QString& head, int columns, int count,
                const std::function<QVariantList(int)>& row) {
    constexpr int kBatch = 200;
    QString marks = QStringLiteral("(") + QStringList(columns, QStringLiteral("?")).join(u',') + u')';
    for (int from = 0; from < count; from += kBatch) {
        const int n = std::min(kBatch, count - from);
        QVariantList binds;
        for (int i = 0; i < n; ++i)
            binds += row(from + i);
        if (!execOrSay(db, head + QStringList(n, marks).join(u','), binds))
            return false;
    }
    return true;
}

bool isPg(const db::Database& db) {
    return db.engine() == db::Engine::Postgres;
}

bool build(AppContext& ctx, const Sizes& size) {
    db::Database& db = ctx.db;
    QRandomGenerator rng(20261211);
    // The server builds its search indexes once after the rows, as the upgrade does.
    if (isPg(db))
        for (const char* ix : {"ix_members_find", "ix_members_grams", "ix_product_find", "ix_product_grams"})
            if (!execOrSay(db, QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(ix))))
                return false;
    if (!db.begin())
        return false;
    QElapsedTimer t;
    t.start();
    const QDateTime base(QDate(2016, 1, 1), QTime(8, 0));
    if (!insertRows(
            db,
            QStringLiteral("INSERT INTO tb_members(MemberCode, TrueName, FirstSpell, MobilePhone, Sex, "
                           "IsLuner, Integral, Cumulative, Balance, UserState, photo, AddDate, IdCard) "
                           "VALUES"),
            13, size.members, [&](int i) {
                QString name = pick(kSurnames, rng) + pick(kGiven, rng);
                if (rng.bounded(10) < 7)
                    name += pick(kGiven, rng);
                const char* prefixes[] = {"13", "15", "17", "18", "19"};
                return QVariantList{
                    i % 3 ? QString(QStringLiteral("8") + digits(rng, 9)) : QString(),
                    name,
                    GetFirstSpell(name),
                    QString(QLatin1String(prefixes[rng.bounded(5)]) + digits(rng, 9)),
                    -1,
                    0,
                    int(rng.bounded(5000)),
                    double(rng.bounded(10000)),
                    double(rng.bounded(3000)),
                    rng.bounded(20) == 0 ? 1 : 0,
                    QString(),
                    db::dateTimeText(base.addSecs(qint64(i) * 300)),
                    i % 4 ? QString() : QString(QStringLiteral("1101011990") + digits(rng, 8)),
                };
            }))
        return false;
    std::printf("  %d members in %.1f s\n", size.members, t.elapsed() / 1000.0);
    std::fflush(stdout);
    t.restart();

    QList<int> categories;
    const int tops = size.categories / 10;
    for (int top = 0; top < tops; ++top) {
        const auto id = db.insertReturningId(QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) "
                                                            "VALUES(?, 0)"),
                                             {QStringLiteral("大类%1").arg(top)});
        if (!id)
            return false;
        categories << int(*id);
        for (int sub = 0; sub < 9; ++sub) {
            const auto s =
                db.insertReturningId(QStringLiteral("INSERT INTO tb_productTypes(PrdTypeName, Pid) "
                                                    "VALUES(?, ?)"),
                                     {QStringLiteral("小类%1-%2").arg(top).arg(sub), *id});
            if (!s)
                return false;
            categories << int(*s);
        }
    }
    const QString brands = QString::fromUtf16(kBrands);
    if (!insertRows(
            db,
            QStringLiteral("INSERT INTO tb_product(PrdCode, PrdName, FirstSpell, Price, PurchasePrice, "
                           "PrdType, MeasuringUnit, MustIntNum, PrdInventory, State, PrdProperty, AddDate) "
                           "VALUES"),
            12, size.products, [&](int i) {
                const int b = int(rng.bounded(brands.size() / 2)) * 2;
                const QString name = brands.mid(b, 2) +
                                     QString::fromUtf8(kItems[rng.bounded(int(std::size(kItems)))]) +
                                     QString::fromLatin1(kSpecs[rng.bounded(int(std::size(kSpecs)))]) +
                                     QStringLiteral("-%1").arg(i);
                return QVariantList{
                    // Unique: i times a number prime to 10^11, modulo 10^11.
                    QStringLiteral("69%1").arg((qint64(i) * 2654435761LL) % 100000000000LL, 11, 10,
                                               QLatin1Char('0')),
                    name,
                    GetFirstSpell(name),
                    1.5 + rng.bounded(100),
                    1.0 + rng.bounded(80),
                    categories[int(rng.bounded(categories.size()))],
                    QStringLiteral("个"),
                    1,
                    double(rng.bounded(200)),
                    rng.bounded(20) == 0 ? 2 : 1,
                    1 + int(rng.bounded(3)),
                    db::dateTimeText(base.addSecs(qint64(i) * 200)),
                };
            }))
        return false;
    std::printf("  %d products in %.1f s\n", size.products, t.elapsed() / 1000.0);
    std::fflush(stdout);
    if (!db.commit())
        return false;
    t.restart();
    if (isPg(db)) {
        for (const QString& ddl : db::SearchIndexDdl(db))
            if (ddl.startsWith(QLatin1String("CREATE INDEX")) && !execOrSay(db, ddl))
                return false;
        execOrSay(db, QStringLiteral("ANALYZE"));
    } else {
        execOrSay(db, QStringLiteral("ANALYZE"));
    }
    std::printf("  indexes and statistics in %.1f s\n", t.elapsed() / 1000.0);
    return execOrSay(db, QStringLiteral("CREATE TABLE bench_done(x integer)"));
}

bool openShop(AppContext& ctx, const Sizes& size, const std::optional<db::ConnectionConfig>& pg,
              QTemporaryDir& confDir) {
    QString folder;
    if (pg) {
        if (!bench::KeptServerShop(
                *pg, QStringLiteral("selvo_bench_search_%1_%2").arg(size.members).arg(size.products),
                confDir.path()))
            return false;
        folder = confDir.path();
    } else {
        folder = QStringLiteral("/tmp/selvo-bench-search-%1-%2").arg(size.members).arg(size.products);
        QDir().mkpath(folder);
    }
    QElapsedTimer t;
    t.start();
    const OpenResult opened = OpenDatabase(ctx, folder);
    if (!opened.ok) {
        std::fprintf(stderr, "cannot open the shop: %s\n", qPrintable(opened.detail));
        return false;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    const bool done = isPg(ctx.db) ? ctx.db.scalar(QStringLiteral("SELECT count(*) FROM pg_tables WHERE "
                                                                  "tablename = 'bench_done'"))
                                             ->toInt() > 0
                                   : ctx.db.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE "
                                                                  "name = 'bench_done'"))
                                             ->toInt() > 0;
    if (done) {
        std::printf("shop opened in %.0f ms\n", t.nsecsElapsed() / 1e6);
        return true;
    }
    std::printf("building the shop (%s): %d members, %d products in %d categories\n",
                isPg(ctx.db) ? "PostgreSQL" : "SQLite", size.members, size.products, size.categories);
    std::fflush(stdout);
    return build(ctx, size);
}

// Every prefix of `text` from `from` characters on, as typed.
void typed(QStringList& corpus, const QString& text, int from = 1) {
    for (int n = from; n <= text.size(); ++n)
        corpus << text.left(n);
}

QStringList memberCorpus(db::Database& db) {
    QStringList corpus;
    QRandomGenerator rng(7);
    const int top = db.scalar(QStringLiteral("SELECT max(ID) FROM tb_members"))->toInt();
    for (int k = 0; k < 10; ++k) {
        auto q =
            db.select(QStringLiteral("SELECT TrueName, FirstSpell, MobilePhone, MemberCode FROM tb_members "
                                     "WHERE ID >= ? AND MemberCode <> '' ORDER BY ID LIMIT 1"),
                      {1 + int(rng.bounded(top))});
        if (!q || !q->next())
            continue;
        typed(corpus, q->value(0).toString());
        typed(corpus, q->value(1).toString().toLower());
        const QString mobile = q->value(2).toString();
        typed(corpus, mobile.left(4), 3);
        corpus << mobile.left(7) << mobile;
        typed(corpus, mobile.right(4)); // the last digits a customer reads out
        const QString card = q->value(3).toString();
        corpus << card.left(4) << card.left(6) << card;
    }
    for (const char* nothing : {"无此人", "xyzq", "0000000000", "张三丰丰", "qqq", "z9", "会员卡"})
        typed(corpus, QString::fromUtf8(nothing));
    return corpus;
}

QStringList productCorpus(db::Database& db) {
    QStringList corpus;
    QRandomGenerator rng(11);
    const int top = db.scalar(QStringLiteral("SELECT max(ID) FROM tb_product"))->toInt();
    for (int k = 0; k < 10; ++k) {
        auto q = db.select(QStringLiteral("SELECT PrdName, FirstSpell, PrdCode FROM tb_product WHERE ID >= ? "
                                          "ORDER BY ID LIMIT 1"),
                           {1 + int(rng.bounded(top))});
        if (!q || !q->next())
            continue;
        const QString name = q->value(0).toString();
        typed(corpus, name.left(name.indexOf(u'-') > 0 ? name.indexOf(u'-') : name.size()).left(6));
        typed(corpus, q->value(1).toString().toLower().left(5));
        const QString code = q->value(2).toString();
        corpus << code.left(4) << code.left(8) << code;
        typed(corpus, code.right(5), 3);
    }
    for (const char* nothing : {"无此商品", "xyzq", "1234567890123", "牛肉面面", "zzz", "q9"})
        typed(corpus, QString::fromUtf8(nothing));
    return corpus;
}

// A list's page, as the list screens read them.
constexpr int kListPage = 200;

struct Figures {
    double p50 = 0, p95 = 0, max = 0;
};

Figures figures(QList<double> ms) {
    if (ms.isEmpty())
        return {};
    std::sort(ms.begin(), ms.end());
    const auto at = [&](double f) {
        return ms[std::min<qsizetype>(ms.size() - 1, qsizetype(f * ms.size()))];
    };
    return {at(0.5), at(0.95), ms.last()};
}

double timed(const std::function<void()>& work) {
    QElapsedTimer t;
    t.start();
    work();
    return t.nsecsElapsed() / 1e6;
}

// One screen's search over the corpus: each text with this program's statement and with the plain one.
void compare(const char* label, const QStringList& corpus, int plainEvery,
             const std::function<qsizetype(const QString&)>& now,
             const std::function<qsizetype(const QString&)>& plain) {
    static const double slowMs = qEnvironmentVariableIntValue("SELVO_BENCH_SLOW_MS");
    QList<double> fast, slow;
    int differ = 0;
    for (qsizetype i = 0; i < corpus.size(); ++i) {
        qsizetype rows = 0;
        now(corpus[i]); // warm: the figure is the keystroke, not the first touch of the file
        fast << timed([&] { rows = now(corpus[i]); });
        if (slowMs > 0 && fast.last() > slowMs)
            std::printf("    slow: \"%s\" %.2f ms, %lld rows\n", qPrintable(corpus[i]), fast.last(),
                        static_cast<long long>(rows));
        if (i % plainEvery == 0) {
            qsizetype plainRows = 0;
            slow << timed([&] { plainRows = plain(corpus[i]); });
            if (plainRows != rows) {
                ++differ;
                std::printf("    DIFFERENT for \"%s\": %lld rows against %lld\n", qPrintable(corpus[i]),
                            static_cast<long long>(rows), static_cast<long long>(plainRows));
            }
        }
    }
    const Figures f = figures(fast), s = figures(slow);
    std::printf(
        "  %-22s %4lld texts  p50 %7.2f  p95 %7.2f  max %7.2f ms   | plain p50 %7.2f  p95 %7.2f  max %7.2f "
        "ms%s\n",
        label, static_cast<long long>(corpus.size()), f.p50, f.p95, f.max, s.p50, s.p95, s.max,
        differ ? "  ROWS DIFFER" : "");
    std::fflush(stdout);
}

qsizetype count(db::Database& db, const QString& sql, const QVariantList& binds) {
    auto q = db.select(sql, binds);
    qsizetype n = 0;
    while (q && q->next())
        ++n;
    return n;
}

bool runEngine(const Sizes& size, int plainEvery, const std::optional<db::ConnectionConfig>& pg) {
    QTemporaryDir confDir;
    AppContext ctx;
    if (!openShop(ctx, size, pg, confDir))
        return false;
    db::Database& db = ctx.db;
    std::printf(
        "\n%s, %d members, %d products; p50 / p95 / max over the keystrokes, this program | the plain "
        "statement:\n",
        isPg(db) ? "PostgreSQL" : "SQLite", size.members, size.products);
    const QStringList members = memberCorpus(db);
    const QStringList products = productCorpus(db);

    const auto plainWhere = [&](db::SearchTable t, const QString& text, const QString& head,
                                const QString& where, const QString& tail) {
        const db::SqlPart c = db::ContainsCondition(db, t, text);
        return count(db, head + QStringLiteral(" WHERE ") + where + QStringLiteral(" AND ") + c.sql + tail,
                     c.binds);
    };
    compare(
        "member picker", members, plainEvery, [&](const QString& t) { return PickerMembers(ctx, t).size(); },
        [&](const QString& t) {
            return plainWhere(db::SearchTable::Members, t, QStringLiteral("SELECT ID FROM tb_members"),
                              QStringLiteral("UserState = 0"), QStringLiteral(" ORDER BY ID LIMIT 50"));
        });
    // The lists show their first page on a keystroke and read on as they scroll; the plain way
    // read every matching ID first (its count is compared up to one page).
    compare(
        "member list", members, plainEvery,
        [&](const QString& t) {
            return MemberListPages(ctx, {-1, t}).next(kListPage).value_or(QVector<int>()).size();
        },
        [&](const QString& t) {
            return std::min<qsizetype>(kListPage,
                                       plainWhere(db::SearchTable::Members, t,
                                                  QStringLiteral("SELECT ID FROM tb_members"),
                                                  QStringLiteral("1 = 1"), QStringLiteral(" ORDER BY ID")));
        });
    compare(
        "product picker", products, plainEvery, [&](const QString& t) { return PickerRows(ctx, t).size(); },
        [&](const QString& t) {
            return plainWhere(db::SearchTable::Products, t, QStringLiteral("SELECT ID FROM tb_product"),
                              QStringLiteral("State = 1"), QStringLiteral(" ORDER BY ID LIMIT 100"));
        });
    compare(
        "product list", products, plainEvery,
        [&](const QString& t) {
            return ProductListPages(ctx, kListAllOnSale, {t, 0})
                .next(kListPage)
                .value_or(QVector<int>())
                .size();
        },
        [&](const QString& t) {
            const db::SqlPart c =
                db::ContainsCondition(db, db::SearchTable::Products, t, QStringLiteral("p."));
            return std::min<qsizetype>(
                kListPage,
                count(db,
                      QStringLiteral("SELECT p.ID FROM tb_product p INNER JOIN tb_productTypes t ON "
                                     "p.PrdType = t.ID WHERE p.State = 1 AND ") +
                          c.sql + QStringLiteral(" ORDER BY p.AddDate DESC, p.ID DESC"),
                      c.binds));
        });

    // Saving a member or a product: is the value taken by another row (both sides trimmed)?
    std::printf("\nuniqueness checks on saving (median of 9, ms), this program | the plain statement:\n");
    const QString mobile =
        db.scalar(
              QStringLiteral("SELECT MobilePhone FROM tb_members WHERE ID <= 4321 ORDER BY ID DESC LIMIT 1"))
            ->toString();
    const QString code =
        db.scalar(QStringLiteral("SELECT PrdCode FROM tb_product WHERE ID <= 4321 ORDER BY ID DESC LIMIT 1"))
            ->toString();
    const QString name =
        db.scalar(QStringLiteral("SELECT PrdName FROM tb_product WHERE ID <= 4321 ORDER BY ID DESC LIMIT 1"))
            ->toString();
    MemberForm form;
    form.id = 1;
    form.trueName = QStringLiteral("新会员");
    form.mobilePhone = QStringLiteral("10000000000"); // free: all three checks run
    form.idCard = QStringLiteral("110101199001011234");
    form.memberCode = QStringLiteral("8000000001");
    const auto median = [](const std::function<void()>& work) {
        QList<double> ms;
        for (int i = 0; i < 9; ++i)
            ms << timed(work);
        std::sort(ms.begin(), ms.end());
        return ms[4];
    };
    const auto plainMember = [&] {
        for (const char* column : {"MobilePhone", "IdCard", "MemberCode"})
            db.select(QStringLiteral("SELECT ID FROM tb_members WHERE trim(%1) || '' = ? AND ID <> ? LIMIT 1")
                          .arg(QLatin1String(column)),
                      {mobile, 1});
    };
    std::printf("  member editor (mobile, ID card, card number) %7.3f | %8.2f\n",
                median([&] { CheckMember(ctx, form); }), median(plainMember));
    std::printf("  product code                                 %7.3f | %8.2f\n",
                median([&] { ProductCodeExists(ctx, code, 1); }), median([&] {
                    db.scalar(
                        QStringLiteral("SELECT ID FROM tb_product WHERE trim(PrdCode) || '' = ? AND ID <> ?"),
                        {code, 1});
                }));
    std::printf("  product name                                 %7.3f | %8.2f\n",
                median([&] { ProductNameExists(ctx, name, 1); }), median([&] {
                    db.scalar(
                        QStringLiteral("SELECT ID FROM tb_product WHERE trim(PrdName) || '' = ? AND ID <> ?"),
                        {name, 1});
                }));
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Sizes size;
    size.members = qEnvironmentVariableIntValue("SELVO_BENCH_MEMBERS") > 0
                       ? qEnvironmentVariableIntValue("SELVO_BENCH_MEMBERS")
                       : size.members;
    size.products = qEnvironmentVariableIntValue("SELVO_BENCH_PRODUCTS") > 0
                        ? qEnvironmentVariableIntValue("SELVO_BENCH_PRODUCTS")
                        : size.products;
    const int plainEvery = std::max(1, qEnvironmentVariableIntValue("SELVO_BENCH_PLAIN_EVERY"));
    bool ok = true;
    if (!qEnvironmentVariableIsSet("SELVO_BENCH_NO_SQLITE"))
        ok = runEngine(size, plainEvery, std::nullopt);
    std::optional<db::ConnectionConfig> pg;
    if (!bench::BenchServer(pg))
        return 1;
    if (pg)
        ok = runEngine(size, plainEvery, pg) && ok;
    return ok ? 0 : 1;
}

// Member screens against a shop of 200,000 members: the picker's query at each keystroke, the
// member list's first page, the totals line and the editor's uniqueness checks.
#include "core/members/Member.h"
#include "core/members/MemberList.h"
#include "core/members/MemberPicker.h"
#include "core/store/AppContext.h"
#include "core/store/Startup.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

using namespace selvo;

namespace {
constexpr int kMembers = 200000;
constexpr int kPage = 100;

const char16_t* const kSurnames[] = {u"王", u"李", u"张", u"刘", u"陈", u"杨", u"赵", u"黄", u"周", u"吴"};
const char16_t* const kGiven[] = {u"伟", u"芳", u"娜", u"敏", u"静", u"丽", u"强", u"磊", u"军", u"洋"};
const char* const kSpellS[] = {"W", "L", "Z", "L", "C", "Y", "Z", "H", "Z", "W"};
const char* const kSpellG[] = {"W", "F", "N", "M", "J", "L", "Q", "L", "J", "Y"};

bool fill(AppContext& ctx) {
    QElapsedTimer t;
    t.start();
    if (!ctx.db.begin())
        return false;
    QSqlQuery q(ctx.db.handle());
    q.prepare(
        QStringLiteral("INSERT INTO tb_members(MemberCode, TrueName, FirstSpell, MobilePhone, Sex, IsLuner, "
                       "Integral, Cumulative, Balance, UserState, photo, AddDate) "
                       "VALUES(?, ?, ?, ?, -1, 0, ?, ?, ?, ?, '', ?)"));
    const QDateTime base(QDate(2015, 1, 1), QTime(8, 0));
    for (int i = 0; i < kMembers; ++i) {
        const int s = i % 10, g = (i / 10) % 10, g2 = (i / 100) % 10;
        q.addBindValue(i % 3 ? QString::asprintf("VIP%06d", i) : QString());
        q.addBindValue(QString(QString::fromUtf16(kSurnames[s]) + QString::fromUtf16(kGiven[g]) +
                               QString::fromUtf16(kGiven[g2])));
        q.addBindValue(QString(QString::fromLatin1(kSpellS[s]) + QString::fromLatin1(kSpellG[g]) +
                               QString::fromLatin1(kSpellG[g2])));
        q.addBindValue(QString::asprintf("1%02d%08d", 30 + i % 60, i));
        q.addBindValue(i % 500);
        q.addBindValue(double(i % 1000));
        q.addBindValue(double(i % 300) + 0.5);
        q.addBindValue(i % 20 == 0 ? 1 : (i % 50 == 0 ? 2 : 0));
        // Registered over the years, not in ID order.
        q.addBindValue(db::dateTimeText(base.addSecs(qint64((i * 7919LL) % kMembers) * 600)));
        if (!q.exec())
            return false;
    }
    const bool ok = ctx.db.commit();
    std::printf("filled %d members in %.1f s\n", kMembers, t.elapsed() / 1000.0);
    return ok;
}

// Median of `runs` timings, in milliseconds.
double timeIt(int runs, const std::function<void()>& work) {
    QList<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        ms << t.nsecsElapsed() / 1e6;
    }
    std::sort(ms.begin(), ms.end());
    return ms.at(ms.size() / 2);
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    AppContext ctx;
    const OpenResult opened = OpenDatabase(ctx, dir.path());
    if (!opened.ok) {
        std::fprintf(stderr, "cannot open: %s\n", qPrintable(opened.detail));
        return 1;
    }
    ctx.op.id = 1;
    ctx.op.role = 0;
    if (!fill(ctx)) {
        std::fprintf(stderr, "fill failed: %s\n", qPrintable(ctx.db.lastError()));
        return 1;
    }

    std::printf("\npicker, one query per keystroke (median of 9, ms; rows listed):\n");
    for (const QString& typed :
         {QString(), QStringLiteral("1"), QStringLiteral("13"), QStringLiteral("138"),
          QStringLiteral("1380001"), QStringLiteral("13800019999"), QStringLiteral("z"), QStringLiteral("zw"),
          QStringLiteral("zwf"), QStringLiteral("张"), QStringLiteral("张伟芳"), QStringLiteral("VIP1999"),
          QStringLiteral("nobody")}) {
        qsizetype rows = 0;
        const double ms = timeIt(9, [&] { rows = PickerMembers(ctx, typed).size(); });
        std::printf("  %-14s %8.2f ms  %3lld rows\n",
                    qPrintable(typed.isEmpty() ? QStringLiteral("(empty)") : typed), ms,
                    static_cast<long long>(rows));
    }

    std::printf("\nmember list: every matching ID, then the first page of %d rows (median of 5, ms):\n",
                kPage);
    struct Case {
        const char* label;
        MemberFilter filter;
    };
    const Case cases[] = {
        {"all, newest first", {-1, QString()}},
        {"normal only", {0, QString()}},
        {"locked only", {1, QString()}},
        {"search \"138\"", {-1, QStringLiteral("138")}},
        {"search \"张伟\"", {-1, QStringLiteral("张伟")}},
        {"search \"nobody\"", {-1, QStringLiteral("nobody")}},
    };
    for (const Case& c : cases) {
        qsizetype count = 0;
        QVector<int> ids;
        const double idsMs = timeIt(5, [&] {
            ids = MemberListIds(ctx, c.filter).value_or(QVector<int>());
            count = ids.size();
        });
        const double pageMs = timeIt(5, [&] { MemberListRows(ctx, ids.mid(0, kPage)); });
        const double deepMs =
            timeIt(5, [&] { MemberListRows(ctx, ids.mid(std::max<qsizetype>(0, count - kPage), kPage)); });
        std::printf("  %-22s ids %7.1f ms (%6lld rows)  first page %6.2f ms  last page %6.2f ms\n", c.label,
                    idsMs, static_cast<long long>(count), pageMs, deepMs);
    }

    std::printf("\ntotals line: %.2f ms\n", timeIt(5, [&] { MemberTotalsText(ctx); }));
    MemberForm form;
    form.id = 12345;
    form.mobilePhone = QStringLiteral("13800012345");
    form.idCard = QStringLiteral("110101199001011234");
    form.memberCode = QStringLiteral("VIP012345");
    std::printf("editor checks (mobile, ID card, card number): %.2f ms\n",
                timeIt(5, [&] { CheckMember(ctx, form); }));
    return 0;
}

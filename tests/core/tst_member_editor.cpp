#include "TestShop.h"

#include "core/members/Member.h"
#include "core/support/Clock.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace selvo;
using selvo::test::TestShop;

Q_DECLARE_METATYPE(selvo::MemberField)

namespace {
void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

MemberForm formFor(const QString& name, const QString& mobile) {
    MemberForm f;
    f.trueName = name;
    f.mobilePhone = mobile;
    return f;
}
} // namespace

class TestMemberEditor final : public QObject {
    Q_OBJECT

    std::unique_ptr<ManualClock> m_clock;

private slots:
    void init() {
        m_clock = std::make_unique<ManualClock>(QDateTime(QDate(2024, 3, 5), QTime(9, 8, 7)));
        Clock::setInstance(m_clock.get());
    }
    void cleanup() {
        Clock::setInstance(nullptr);
        m_clock.reset();
    }

    void checks_data() {
        QTest::addColumn<int>("editing"); // 0: a new member, 1: member A itself
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("idCard");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("message");
        QTest::addColumn<MemberField>("field");
        const QString noMobile = QStringLiteral("手机号码不能为空");
        const QString dupMobile = QStringLiteral("手机号码已存在，请重新填写手机号！");
        const QString dupId = QStringLiteral("身份证号码已存在，请重新填写！");
        const QString dupCode = QStringLiteral("会员卡号已存在，请重新填写");
        QTest::newRow("empty mobile") << 0 << ""
                                      << ""
                                      << "" << noMobile << MemberField::Mobile;
        QTest::newRow("blank mobile") << 0 << "   "
                                      << ""
                                      << "" << noMobile << MemberField::Mobile;
        QTest::newRow("new number passes") << 0 << "13700000000"
                                           << ""
                                           << ""
                                           << "" << MemberField::None;
        QTest::newRow("taken mobile") << 0 << "13800000001"
                                      << ""
                                      << "" << dupMobile << MemberField::Mobile;
        QTest::newRow("typed with a blank, compared trimmed") << 0 << " 13800000001 "
                                                              << ""
                                                              << "" << dupMobile << MemberField::Mobile;
        QTest::newRow("stored with a blank still taken") << 0 << "13900000002"
                                                         << ""
                                                         << "" << dupMobile << MemberField::Mobile;
        QTest::newRow("own number passes") << 1 << "13800000001"
                                           << "ID-A"
                                           << "C-A"
                                           << "" << MemberField::None;
        QTest::newRow("taken ID card") << 0 << "13700000000"
                                       << "ID-A"
                                       << "" << dupId << MemberField::IdCard;
        QTest::newRow("taken card number") << 0 << "13700000000"
                                           << ""
                                           << " C-A" << dupCode << MemberField::MemberCode;
        QTest::newRow("three duplicates report the mobile") << 0 << "13800000001"
                                                            << "ID-A"
                                                            << "C-A" << dupMobile << MemberField::Mobile;
        QTest::newRow("ID card before card number") << 0 << "13700000000"
                                                    << "ID-A"
                                                    << "C-A" << dupId << MemberField::IdCard;
        // Member B and C have no ID card and no card number: blanks are never compared.
        QTest::newRow("blank ID card and card number") << 0 << "13700000000"
                                                       << "  "
                                                       << " "
                                                       << "" << MemberField::None;
        QTest::newRow("quotes and SQL text are plain text") << 0 << "1' OR '1'='1"
                                                            << "x'); DROP TABLE tb_members;--"
                                                            << "%"
                                                            << "" << MemberField::None;
    }
    void checks() {
        QFETCH(int, editing);
        QFETCH(QString, mobile);
        QFETCH(QString, idCard);
        QFETCH(QString, code);
        QFETCH(QString, message);
        QFETCH(MemberField, field);
        TestShop shop;
        QVERIFY2(shop.ok(), qPrintable(shop.error()));
        const int a = shop.addMember(QStringLiteral("甲"), QStringLiteral("13800000001"), 0, 0, 0,
                                     QStringLiteral("C-A"));
        QVERIFY(shop.ctx.db.exec(QStringLiteral("UPDATE tb_members SET IdCard = 'ID-A' WHERE ID = ?"), {a}));
        shop.addMember(QStringLiteral("乙"), QStringLiteral(" 13900000002"));
        shop.addMember(QStringLiteral("丙"), QStringLiteral("13900000003"));

        MemberForm form = formFor(QStringLiteral("丁"), mobile);
        form.id = editing ? a : -1;
        form.idCard = idCard;
        form.memberCode = code;
        const MemberCheck check = CheckMember(shop.ctx, form);
        QCOMPARE(check.message, message);
        QCOMPARE(check.field, field);
        // A refused form writes nothing; an accepted one saves.
        const MemberSaveResult saved = SaveMember(shop.ctx, form, shop.dataFolder());
        QCOMPARE(saved.ok, message.isEmpty());
        QCOMPARE(saved.message, message);
        QCOMPARE(shop.count(QStringLiteral("tb_members")), message.isEmpty() && !editing ? 4 : 3);
    }

    void newMemberIsStoredAsTyped() {
        TestShop shop;
        QVERIFY(shop.ok());
        MemberForm form = formFor(QStringLiteral("王小明😀"), QStringLiteral(" 13800000009"));
        form.firstSpell = QStringLiteral("WXM");
        form.qq = QStringLiteral("12345");
        form.email = QStringLiteral("a@b.c");
        form.idCard = QStringLiteral(" 110 ");
        form.remark = QStringLiteral("第一行\n第二行 𠀀");
        form.male = false;
        form.lunar = true;
        form.birthDay = QDateTime(QDate(1990, 5, 1), QTime(0, 0));
        form.userState = MemberLost;
        const MemberSaveResult saved = SaveMember(shop.ctx, form, shop.dataFolder());
        QVERIFY2(saved.ok, qPrintable(saved.message));

        const auto m = ReadMember(shop.ctx, saved.id);
        QVERIFY(m);
        QCOMPARE(m->memberCode, std::optional<QString>(QString())); // empty text, not NULL
        QCOMPARE(*m->trueName, form.trueName);
        QCOMPARE(*m->mobilePhone, QStringLiteral(" 13800000009")); // the blank stays
        QCOMPARE(*m->idCard, QStringLiteral(" 110 "));
        QCOMPARE(*m->remark, form.remark);
        QCOMPARE(*m->firstSpell, QStringLiteral("WXM"));
        QCOMPARE(m->sex, std::optional<bool>(false));
        QCOMPARE(m->isLuner, std::optional<bool>(true));
        QCOMPARE(m->birthDay.date(), QDate(1990, 5, 1));
        QCOMPARE(*m->userState, int(MemberLost));
        QCOMPARE(*m->integral, 0);
        QCOMPARE(*m->balance, 0.0);
        QCOMPARE(*m->cumulative, 0.0);
        QCOMPARE(m->lastEditDate, m_clock->now());
        QVERIFY(m->addDate.isValid());
        QCOMPARE(*m->photo, QString());
        // Yes/No columns hold -1 and 0.
        auto q = shop.ctx.db.select(QStringLiteral("SELECT Sex, IsLuner FROM tb_members WHERE ID = ?"),
                                    {saved.id});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), 0);
        QCOMPARE(q->value(1).toInt(), -1);

        // Male and solar are stored as -1 and 0; no birthday stays NULL.
        form.id = saved.id;
        form.male = true;
        form.lunar = false;
        form.birthDay = {};
        QVERIFY(SaveMember(shop.ctx, form, shop.dataFolder()).ok);
        q = shop.ctx.db.select(QStringLiteral("SELECT Sex, IsLuner, BirthDay FROM tb_members WHERE ID = ?"),
                               {saved.id});
        QVERIFY(q && q->next());
        QCOMPARE(q->value(0).toInt(), -1);
        QCOMPARE(q->value(1).toInt(), 0);
        QVERIFY(q->value(2).isNull());
    }

    void editKeepsAccountsAndStates() {
        TestShop shop;
        QVERIFY(shop.ok());
        const int id = shop.addMember(QStringLiteral("李四"), QStringLiteral("13600000000"), 88.5, 42);
        QVERIFY(shop.ctx.db.exec(
            QStringLiteral("UPDATE tb_members SET Cumulative = 300, Sex = NULL, IsLuner = NULL WHERE ID = ?"),
            {id}));
        const auto before = ReadMember(shop.ctx, id);
        QVERIFY(before);
        QVERIFY(!before->sex);     // NULL: the editor shows "女"
        QVERIFY(!before->isLuner); // NULL: the editor shows "公历"

        for (int state : {int(MemberLocked), int(MemberLost), int(MemberNormal)}) {
            MemberForm form = formFor(QStringLiteral("李四"), QStringLiteral("13600000000"));
            form.id = id;
            form.userState = state;
            const MemberSaveResult r = SaveMember(shop.ctx, form, shop.dataFolder());
            QVERIFY2(r.ok, qPrintable(r.message));
            QCOMPARE(r.id, id);
            const auto m = ReadMember(shop.ctx, id);
            QCOMPARE(*m->userState, state);
            QCOMPARE(*m->balance, 88.5);
            QCOMPARE(*m->integral, 42);
            QCOMPARE(*m->cumulative, 300.0);
        }
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 1);

        // A member deleted meanwhile is not recreated by an edit.
        QVERIFY(shop.ctx.db.exec(QStringLiteral("DELETE FROM tb_members WHERE ID = ?"), {id}));
        MemberForm gone = formFor(QStringLiteral("李四"), QStringLiteral("13600000000"));
        gone.id = id;
        const MemberSaveResult r = SaveMember(shop.ctx, gone, shop.dataFolder());
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("无法读取会员信息"));
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 0);
    }

    void photoIsMovedAndReplaced() {
        TestShop shop;
        QVERIFY(shop.ok());
        const QString data = shop.dataFolder();
        QVERIFY(EnsurePhotoFolders(data));
        QVERIFY(QFileInfo(data + QStringLiteral("/photo/phototemp")).isDir());
        const QString temp = PhotoTempFile(data);
        QCOMPARE(temp, data + QStringLiteral("/photo/phototemp/temp.bmp"));

        // The camera overwrote its first picture with a second: only the last is kept.
        writeFile(temp, "first");
        writeFile(temp, "second");
        MemberForm form = formFor(QStringLiteral("张三"), QStringLiteral("13500000000"));
        MemberSaveResult r = SaveMember(shop.ctx, form, data, temp);
        QVERIFY2(r.ok, qPrintable(r.message));
        QVERIFY(r.warning.isEmpty());
        QVERIFY(!QFile::exists(temp)); // moved, not copied
        auto m = ReadMember(shop.ctx, r.id);
        QCOMPARE(*m->photo, QStringLiteral("photo/240305090807.bmp"));
        const QString first = ResolvePhotoPath(data, *m->photo);
        QCOMPARE(first, data + QStringLiteral("/photo/240305090807.bmp"));
        QCOMPARE(readFile(first), QByteArray("second"));

        // Saving without a new picture keeps the stored one and its file.
        form.id = r.id;
        form.remark = QStringLiteral("x");
        QVERIFY(SaveMember(shop.ctx, form, data).ok);
        QCOMPARE(*ReadMember(shop.ctx, r.id)->photo, QStringLiteral("photo/240305090807.bmp"));
        QVERIFY(QFile::exists(first));

        // A new picture replaces the old file.
        m_clock->advanceSecs(65);
        writeFile(temp, "third");
        QVERIFY(SaveMember(shop.ctx, form, data, temp).ok);
        QCOMPARE(*ReadMember(shop.ctx, r.id)->photo, QStringLiteral("photo/240305090912.bmp"));
        QVERIFY(!QFile::exists(first));
        QCOMPARE(readFile(data + QStringLiteral("/photo/240305090912.bmp")), QByteArray("third"));

        // Another member photographed in the same second does not overwrite that file.
        writeFile(temp, "fourth");
        r = SaveMember(shop.ctx, formFor(QStringLiteral("赵六"), QStringLiteral("13400000000")), data, temp);
        QVERIFY(r.ok);
        QCOMPARE(*ReadMember(shop.ctx, r.id)->photo, QStringLiteral("photo/240305090912_1.bmp"));
        QCOMPARE(readFile(data + QStringLiteral("/photo/240305090912.bmp")), QByteArray("third"));
    }

    void refusedOrFailedSaveKeepsThePicture() {
        TestShop shop;
        QVERIFY(shop.ok());
        const QString data = shop.dataFolder();
        const QString temp = PhotoTempFile(data);
        shop.addMember(QStringLiteral("甲"), QStringLiteral("13800000001"));
        writeFile(temp, "picture");

        MemberSaveResult r =
            SaveMember(shop.ctx, formFor(QStringLiteral("乙"), QStringLiteral("13800000001")), data, temp);
        QVERIFY(!r.ok);
        QCOMPARE(readFile(temp), QByteArray("picture"));

        // The row cannot be written: the picture goes back for the next try.
        shop.ctx.db.failNthStatement(3); // the check, the check again, then the INSERT
        r = SaveMember(shop.ctx, formFor(QStringLiteral("乙"), QStringLiteral("13800000002")), data, temp);
        shop.ctx.db.failNthStatement(0);
        QVERIFY(!r.ok);
        QCOMPARE(r.message, QStringLiteral("无法打开数据库"));
        QCOMPARE(readFile(temp), QByteArray("picture"));
        QCOMPARE(shop.count(QStringLiteral("tb_members")), 1);
        QCOMPARE(QDir(data + QStringLiteral("/photo")).entryList(QDir::Files), QStringList());

        // A picture that vanished is reported, and the member is still saved.
        QFile::remove(temp);
        r = SaveMember(shop.ctx, formFor(QStringLiteral("乙"), QStringLiteral("13800000002")), data, temp);
        QVERIFY(r.ok);
        QVERIFY(!r.warning.isEmpty());
        QCOMPARE(*ReadMember(shop.ctx, r.id)->photo, QString());
    }

    void photoPaths_data() {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected"); // "@" stands for the data folder
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("relative") << "photo/a.bmp"
                                  << "@/photo/a.bmp";
        QTest::newRow("relative with backslash") << "photo\\a.bmp"
                                                 << "@/photo/a.bmp";
        QTest::newRow("legacy Windows path, file moved along") << "C:\\Selvo\\photo\\old.bmp"
                                                               << "@/photo/old.bmp";
        QTest::newRow("legacy Windows path, file lost") << "C:\\Selvo\\photo\\lost.bmp"
                                                        << "";
        QTest::newRow("absolute path that exists") << "@/elsewhere/x.bmp"
                                                   << "@/elsewhere/x.bmp";
        QTest::newRow("absolute path moved along") << "/old/place/photo/old.bmp"
                                                   << "@/photo/old.bmp";
    }
    void photoPaths() {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        writeFile(dir.path() + QStringLiteral("/photo/old.bmp"), "x");
        writeFile(dir.path() + QStringLiteral("/elsewhere/x.bmp"), "x");
        stored.replace(QLatin1Char('@'), dir.path());
        expected.replace(QLatin1Char('@'), dir.path());
        QCOMPARE(ResolvePhotoPath(dir.path(), stored), expected);
    }
};

QTEST_GUILESS_MAIN(TestMemberEditor)
#include "tst_member_editor.moc"

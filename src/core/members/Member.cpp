#include "core/members/Member.h"

#include "core/store/AppContext.h"
#include "core/support/Clock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlRecord>

namespace selvo {

namespace {

std::optional<QString> textOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toString();
}

std::optional<bool> yesNoOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    // -1 is true; older files may hold 1.
    return v.toInt() != 0;
}

std::optional<int> intOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toInt();
}

std::optional<double> doubleOf(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    return v.toDouble();
}

// A null QString binds as NULL; the editor's texts are stored as texts, empty ones too.
QString notNull(const QString& s) {
    return s.isNull() ? QStringLiteral("") : s;
}

// True when another member than `ownId` has `column` equal to `value` (both trimmed);
// std::nullopt when the database cannot be read.
std::optional<bool> takenByOther(AppContext& ctx, const QString& column, const QString& value, int ownId) {
    // trim() on the stored side too: a number stored with a blank must still count as taken.
    auto q = ctx.db.select(QStringLiteral("SELECT ID FROM tb_members WHERE trim(") + column +
                               QStringLiteral(") = ? AND ID <> ? LIMIT 1"),
                           {value, ownId});
    if (!q)
        return std::nullopt;
    return q->next();
}

const QString kCannotOpen = QStringLiteral("无法打开数据库");

QString photoFileName(const QString& folder) {
    const QString stamp = Clock::instance().now().toString(QStringLiteral("yyMMddHHmmss"));
    QString name = stamp + QStringLiteral(".bmp");
    // Two pictures stored within one second must not overwrite each other.
    for (int n = 1; QFileInfo::exists(folder + QLatin1Char('/') + name); ++n)
        name = stamp + QLatin1Char('_') + QString::number(n) + QStringLiteral(".bmp");
    return name;
}

bool moveFile(const QString& from, const QString& to) {
    if (QFile::rename(from, to))
        return true;
    // rename() cannot cross file systems; copy and remove then.
    if (!QFile::copy(from, to))
        return false;
    QFile::remove(from);
    return true;
}

} // namespace

QString MemberStateText(int state) {
    switch (state) {
    case MemberNormal:
        return QStringLiteral("正常");
    case MemberLocked:
        return QStringLiteral("锁定");
    case MemberLost:
        return QStringLiteral("挂失");
    default:
        return {};
    }
}

std::optional<MemberRecord> ReadMember(AppContext& ctx, int memberId) {
    auto q = ctx.db.select(
        QStringLiteral(
            "SELECT ID, MemberCode, TrueName, FirstSpell, MobilePhone, Sex, BirthDay, IsLuner, QQ, "
            "Email, IdCard, Integral, Cumulative, Balance, Remark, UserState, photo, AddDate, "
            "LastEditDate FROM tb_members WHERE ID = ?"),
        {memberId});
    if (!q || !q->next())
        return std::nullopt;
    MemberRecord m;
    m.id = q->value(0).toInt();
    m.memberCode = textOf(q->value(1));
    m.trueName = textOf(q->value(2));
    m.firstSpell = textOf(q->value(3));
    m.mobilePhone = textOf(q->value(4));
    m.sex = yesNoOf(q->value(5));
    m.birthDay = db::toDateTime(q->value(6));
    m.isLuner = yesNoOf(q->value(7));
    m.qq = textOf(q->value(8));
    m.email = textOf(q->value(9));
    m.idCard = textOf(q->value(10));
    m.integral = intOf(q->value(11));
    m.cumulative = doubleOf(q->value(12));
    m.balance = doubleOf(q->value(13));
    m.remark = textOf(q->value(14));
    m.userState = intOf(q->value(15));
    m.photo = textOf(q->value(16));
    m.addDate = db::toDateTime(q->value(17));
    m.lastEditDate = db::toDateTime(q->value(18));
    return m;
}

MemberCheck CheckMember(AppContext& ctx, const MemberForm& form) {
    const QString mobile = form.mobilePhone.trimmed();
    if (mobile.isEmpty())
        return {QStringLiteral("手机号码不能为空"), MemberField::Mobile};

    struct Unique {
        QString column;
        QString value;
        QString message;
        MemberField field;
    };
    const Unique checks[] = {
        {QStringLiteral("MobilePhone"), mobile, QStringLiteral("手机号码已存在，请重新填写手机号！"),
         MemberField::Mobile},
        {QStringLiteral("IdCard"), form.idCard.trimmed(), QStringLiteral("身份证号码已存在，请重新填写！"),
         MemberField::IdCard},
        {QStringLiteral("MemberCode"), form.memberCode.trimmed(),
         QStringLiteral("会员卡号已存在，请重新填写"), MemberField::MemberCode},
    };
    for (const Unique& c : checks) {
        // An empty ID card or card number is never compared: many members have none.
        if (c.value.isEmpty())
            continue;
        const auto taken = takenByOther(ctx, c.column, c.value, form.id);
        if (!taken)
            return {kCannotOpen, MemberField::None};
        if (*taken)
            return {c.message, c.field};
    }
    return {};
}

MemberSaveResult SaveMember(AppContext& ctx, const MemberForm& form, const QString& dataFolder,
                            const QString& newPhotoFile) {
    MemberSaveResult result;
    // A quick answer for the usual refusal, before any file is touched; repeated inside the
    // transaction below, where another till can no longer slip in between.
    const MemberCheck first = CheckMember(ctx, form);
    if (!first.ok()) {
        result.message = first.message;
        result.field = first.field;
        return result;
    }

    QString storedPhoto;  // new value of the photo column, empty to keep it
    QString movedPhotoTo; // where the picture went, to put it back if the row is not written
    if (!newPhotoFile.isEmpty()) {
        const QString folder = PhotoFolder(dataFolder);
        const QString name = QFileInfo::exists(newPhotoFile) && EnsurePhotoFolders(dataFolder)
                                 ? photoFileName(folder)
                                 : QString();
        if (!name.isEmpty() && moveFile(newPhotoFile, folder + QLatin1Char('/') + name)) {
            movedPhotoTo = folder + QLatin1Char('/') + name;
            storedPhoto = QStringLiteral("photo/") + name;
        } else {
            result.warning = QStringLiteral("照片保存失败，会员资料已保存，请重新拍照");
        }
    }

    QString oldPhoto;
    int savedId = form.id;
    const QVariant birthDay = form.birthDay.isValid() ? ctx.db.dateTimeValue(form.birthDay)
                                                      : QVariant(QMetaType::fromType<QString>());
    const QVariant now = ctx.db.dateTimeValue(Clock::instance().now());
    const int sex = form.male ? -1 : 0;
    const int lunar = form.lunar ? -1 : 0;

    const bool written = db::runTransaction(ctx.db, [&] {
        const MemberCheck check = CheckMember(ctx, form);
        if (!check.ok()) {
            result.message = check.message;
            result.field = check.field;
            return false;
        }
        if (form.id == -1) {
            QString sql = QStringLiteral(
                "INSERT INTO tb_members(Cumulative, Balance, Integral, MemberCode, TrueName, FirstSpell, "
                "Sex, "
                "IsLuner, BirthDay, MobilePhone, QQ, Email, IdCard, Remark, LastEditDate, UserState, photo) "
                "VALUES(0, 0, 0, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
            auto id = ctx.db.insertReturningId(
                sql, {notNull(form.memberCode), notNull(form.trueName), notNull(form.firstSpell), sex, lunar,
                      birthDay, notNull(form.mobilePhone), notNull(form.qq), notNull(form.email),
                      notNull(form.idCard), notNull(form.remark), now, form.userState, notNull(storedPhoto)});
            if (!id) {
                result.message = kCannotOpen;
                return false;
            }
            savedId = int(*id);
            return true;
        }
        auto old = ctx.db.select(QStringLiteral("SELECT photo FROM tb_members WHERE ID = ?"), {form.id});
        if (!old) {
            result.message = kCannotOpen;
            return false;
        }
        if (!old->next()) {
            result.message = QStringLiteral("无法读取会员信息");
            return false;
        }
        oldPhoto = old->value(0).toString();
        old->finish();
        QString sql = QStringLiteral(
            "UPDATE tb_members SET MemberCode = ?, TrueName = ?, FirstSpell = ?, Sex = ?, IsLuner = ?, "
            "BirthDay = ?, MobilePhone = ?, QQ = ?, Email = ?, IdCard = ?, Remark = ?, LastEditDate = ?, "
            "UserState = ?");
        QVariantList binds{notNull(form.memberCode),
                           notNull(form.trueName),
                           notNull(form.firstSpell),
                           sex,
                           lunar,
                           birthDay,
                           notNull(form.mobilePhone),
                           notNull(form.qq),
                           notNull(form.email),
                           notNull(form.idCard),
                           notNull(form.remark),
                           now,
                           form.userState};
        if (!storedPhoto.isEmpty()) {
            sql += QStringLiteral(", photo = ?");
            binds << storedPhoto;
        }
        sql += QStringLiteral(" WHERE ID = ?");
        binds << form.id;
        int affected = 0;
        if (!ctx.db.exec(sql, binds, &affected) || affected != 1) {
            result.message = kCannotOpen;
            return false;
        }
        return true;
    });

    if (!written) {
        // Nothing was saved: the picture goes back where the camera left it.
        if (!movedPhotoTo.isEmpty())
            moveFile(movedPhotoTo, newPhotoFile);
        if (result.message.isEmpty())
            result.message = kCannotOpen;
        result.warning.clear();
        return result;
    }

    // The old picture goes only once the new one is in place and recorded.
    if (!storedPhoto.isEmpty() && !oldPhoto.isEmpty()) {
        const QString oldFile = ResolvePhotoPath(dataFolder, oldPhoto);
        if (!oldFile.isEmpty() &&
            QFileInfo(oldFile).absoluteFilePath() != QFileInfo(movedPhotoTo).absoluteFilePath())
            QFile::remove(oldFile);
    }
    result.ok = true;
    result.id = savedId;
    return result;
}

QString PhotoFolder(const QString& dataFolder) {
    return QDir(dataFolder).filePath(QStringLiteral("photo"));
}

QString PhotoTempFile(const QString& dataFolder) {
    return QDir(dataFolder).filePath(QStringLiteral("photo/phototemp/temp.bmp"));
}

bool EnsurePhotoFolders(const QString& dataFolder) {
    return QDir(dataFolder).mkpath(QStringLiteral("photo/phototemp"));
}

QString ResolvePhotoPath(const QString& dataFolder, const QString& stored) {
    if (stored.trimmed().isEmpty())
        return {};
    QString path = stored;
    const bool windowsAbsolute =
        path.size() > 2 && path.at(1) == u':' && (path.at(2) == u'\\' || path.at(2) == u'/');
    if (!windowsAbsolute && !path.startsWith(u'\\'))
        path.replace(u'\\', u'/');
    if (QDir::isAbsolutePath(path) && !windowsAbsolute) {
        if (QFileInfo::exists(path))
            return path;
    } else if (!windowsAbsolute && !path.startsWith(u'\\')) {
        return QDir(dataFolder).filePath(path);
    }
    // An older absolute path, perhaps from another machine: the picture may have moved with
    // the data folder under the same name.
    const qsizetype cut = std::max(stored.lastIndexOf(u'/'), stored.lastIndexOf(u'\\'));
    const QString name = stored.mid(cut + 1);
    const QString moved = QDir(PhotoFolder(dataFolder)).filePath(name);
    if (!name.isEmpty() && QFileInfo::exists(moved))
        return moved;
    return windowsAbsolute || stored.startsWith(u'\\') ? QString() : path;
}

} // namespace selvo

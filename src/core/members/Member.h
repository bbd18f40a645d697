#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace selvo {

struct AppContext;

// tb_members.UserState.
enum MemberState { MemberNormal = 0, MemberLocked = 1, MemberLost = 2 };
// "正常" / "锁定" / "挂失"; empty for any other value.
QString MemberStateText(int state);

// One tb_members row as stored. std::nullopt (or an invalid date) is a NULL column.
struct MemberRecord {
    int id = -1;
    std::optional<QString> memberCode;
    std::optional<QString> trueName;
    std::optional<QString> firstSpell;
    std::optional<QString> mobilePhone;
    std::optional<bool> sex; // Yes/No: true = male
    QDateTime birthDay;
    std::optional<bool> isLuner; // Yes/No: true = lunar-calendar birthday
    std::optional<QString> qq;
    std::optional<QString> email;
    std::optional<QString> idCard;
    std::optional<int> integral;
    std::optional<double> cumulative;
    std::optional<double> balance;
    std::optional<QString> remark;
    std::optional<int> userState;
    std::optional<QString> photo;
    QDateTime addDate;
    QDateTime lastEditDate;
};

// Reads one member; std::nullopt when there is no such member or the database cannot be read.
std::optional<MemberRecord> ReadMember(AppContext& ctx, int memberId);

// What the member editor writes. Texts are stored as typed; only the checks trim them.
struct MemberForm {
    int id = -1; // -1: a new member
    QString memberCode;
    QString trueName;
    QString firstSpell;
    QString mobilePhone;
    QString qq;
    QString email;
    QString idCard;
    QString remark;
    bool male = true;
    bool lunar = false;
    QDateTime birthDay; // invalid: not filled in, stored as NULL
    int userState = MemberNormal;
};

// The field a refusal is about, so the editor can put the focus there.
enum class MemberField { None, Mobile, IdCard, MemberCode };

struct MemberCheck {
    QString message; // empty when the form may be saved
    MemberField field = MemberField::None;
    bool ok() const { return message.isEmpty(); }
};

// The checks before a save, in order: mobile given, mobile unique, ID card unique when given,
// card number unique when given. Only the first failure is reported. Values are compared
// trimmed on both sides; the member's own row never counts as a duplicate.
MemberCheck CheckMember(AppContext& ctx, const MemberForm& form);

struct MemberSaveResult {
    bool ok = false;
    int id = -1;     // the saved member's ID
    QString message; // the refusal or failure when not ok
    MemberField field = MemberField::None;
    QString warning; // saved, but the new picture could not be stored
};

// Checks and writes the member in one transaction. A new member starts with no points, balance
// or spending; an existing member's account columns are never touched. LastEditDate is now.
// When `newPhotoFile` is given the file is moved into the photo folder and replaces the
// member's old picture, whose file is removed once the row is written.
MemberSaveResult SaveMember(AppContext& ctx, const MemberForm& form, const QString& dataFolder,
                            const QString& newPhotoFile = {});

// Member photos live in <data folder>/photo. The column keeps the path relative to the data
// folder ("photo/<name>.bmp"), so moving the data folder keeps the pictures.
QString PhotoFolder(const QString& dataFolder);
// Where the camera leaves its picture: <data folder>/photo/phototemp/temp.bmp.
QString PhotoTempFile(const QString& dataFolder);
// Creates photo/ and photo/phototemp/ when missing.
bool EnsurePhotoFolders(const QString& dataFolder);
// The file a stored photo value names: relative values under the data folder, absolute ones as
// they are; an older absolute path (also a Windows one) that no longer exists is looked up by
// its file name in the photo folder. Empty for an empty value.
QString ResolvePhotoPath(const QString& dataFolder, const QString& stored);

} // namespace selvo

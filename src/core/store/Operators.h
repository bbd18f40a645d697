#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace selvo {

struct AppContext;

// The super administrator: never edited through the operator screens.
constexpr int kSuperAdminId = 1;

// One row of tb_manager as the operator screens see it. The password never leaves the database.
struct OperatorRecord {
    int id = -1;
    QString employeeNo;
    QString account;
    QString name;
    QString phone;
    QString hint;
    int role = 1;
    int state = 0;
};

// Every operator, oldest first.
QList<OperatorRecord> ListOperators(AppContext& ctx);
std::optional<OperatorRecord> LoadOperator(AppContext& ctx, int id);

// "锁定" for any state but 0, else "正常".
QString OperatorStateName(int state);
// The editor's choice lists, indexed by UserType and state.
QStringList EditorRoleChoices();
QStringList OperatorStateChoices();
// The line under the role choice describing what the role may do.
QString RoleDescription(int role);

// Whether another operator (not excludeId) already uses the employee number or the account.
// std::nullopt when the database cannot be read.
std::optional<bool> EmployeeNoTaken(AppContext& ctx, const QString& employeeNo, int excludeId);
std::optional<bool> AccountTaken(AppContext& ctx, const QString& account, int excludeId);

// A random employee number below 9900000 that no operator uses yet. Each retry takes a fresh
// draw. `draw` replaces the random source (tests); empty when no free number was found.
QString RandomEmployeeNo(AppContext& ctx, const std::function<quint32()>& draw = {});

// What the editor collects. For an existing operator both passwords empty keep the stored one:
// the stored value is a hash and cannot be shown back.
struct OperatorInput {
    QString employeeNo;
    QString name;
    QString phone;
    QString account;
    QString password;
    QString passwordAgain;
    QString hint;
    int role = 1;
    int state = 0;
};

struct OperatorSaveResult {
    enum class Field { None, EmployeeNo, Account, Password, PasswordAgain };

    bool ok = false;
    QString message;
    Field focus = Field::None;
    // The saved operator's ID (the new ID for a new operator).
    int id = -1;
};

// Checks in the editor's order and saves. id -1 adds a new operator. The employee number of an
// existing operator is never changed; the super administrator is refused.
OperatorSaveResult SaveOperator(AppContext& ctx, int id, const OperatorInput& input);

} // namespace selvo

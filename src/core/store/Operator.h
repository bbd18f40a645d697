#pragma once

#include <QString>

namespace selvo {

// The logged-in operator. ID and role are -1 while nobody is logged in.
struct CurrentOperator {
    QString employeeNo;
    int id = -1;
    QString name;
    int role = -1;

    bool loggedIn() const { return id != -1; }
    void clear() { *this = CurrentOperator{}; }
};

enum Role { RoleAdmin = 0, RoleClerk = 1, RoleSeller = 2 };

// What the role rule guards. Everything not listed is open to every role.
enum class Right {
    ProductSection,     // roles 0, 1
    MemberSection,      // role 0
    OperatorManagement, // role 0
    StoreInformation,   // role 0
    Backup,             // role 0: a copy of the database now
    DeleteMember,       // role 0
    Everyday,           // sales, recharges, the operation log, the own password: all roles
};

// The role rule: may an operator of this role do this?
bool HasRight(int role, Right right);

inline QString NoRightText() {
    return QStringLiteral("对不起，您没有此操作权限");
}

// "管理员" / "理货售货员" / "售货员"; empty for an unknown role.
QString RoleName(int role);

} // namespace selvo

#include "core/store/Operator.h"

namespace selvo {

bool HasRight(int role, Right right) {
    switch (right) {
    case Right::ProductSection:
        return role == RoleAdmin || role == RoleClerk;
    case Right::MemberSection:
    case Right::OperatorManagement:
    case Right::StoreInformation:
    case Right::Backup:
    case Right::DeleteMember:
        return role == RoleAdmin;
    case Right::Everyday:
        return role == RoleAdmin || role == RoleClerk || role == RoleSeller;
    }
    return false;
}

QString RoleName(int role) {
    switch (role) {
    case RoleAdmin:
        return QStringLiteral("管理员");
    case RoleClerk:
        return QStringLiteral("理货售货员");
    case RoleSeller:
        return QStringLiteral("售货员");
    default:
        return {};
    }
}

} // namespace selvo

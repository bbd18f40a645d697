#pragma once

#include <QList>
#include <QString>

#include <utility>

namespace selvo {

struct AppContext;

// Stock movement kinds (tb_prdnum_record.addType).
enum StockMove {
    StockSale = 0,
    StockReturn = 1,
    StockCancel = 2,
    StockPurchaseIn = 3,
    StockPurchaseReturn = 4,
    StockPurchaseDelete = 5,
    StockTake = 6,
};

// Member accounts. Each changes one member row; false when the statement fails or no such member,
// and (nothing changed) when the amount is not a sound figure (support/Money), a balance would
// go below zero or the points would leave 0 … 2147483647.
bool AddMemberPoints(AppContext& ctx, int memberId, int points);
bool AddMemberCumulative(AppContext& ctx, int memberId, double amount);
bool AddMemberBalance(AppContext& ctx, int memberId, double amount);
// Deductions that must not overdraw: the stored value is checked in the same statement, so two
// tills cannot spend the same money. False (nothing changed) when it would go below zero.
bool DeductMemberBalance(AppContext& ctx, int memberId, double amount);
bool DeductMemberPoints(AppContext& ctx, int memberId, int points);

// Reads. The member reads report a missing member through the notifier themselves.
QString GetMemberLabel(AppContext& ctx, int memberId);
double GetMemberBalance(AppContext& ctx, int memberId);
int GetMemberPoints(AppContext& ctx, int memberId);
QString GetOperatorName(AppContext& ctx, int operatorId);
// Shown in place of the name or code of a member, operator or product that no longer exists.
inline QString DeletedMark() {
    return QStringLiteral("#已删除");
}
QString GetPasswordHint(AppContext& ctx, int operatorId, const QString& account);

// Deletions and state.
bool SetProductState(AppContext& ctx, int productId, int state);
bool DeleteProduct(AppContext& ctx, int productId);
bool DeleteOrder(AppContext& ctx, const QString& orderNo);
// The member, the member's orders with their lines and the member's recharge records, all or
// nothing. The operation log keeps its lines.
bool DeleteMember(AppContext& ctx, int memberId);

// Records.
bool WriteOpLog(AppContext& ctx, const QString& text);
bool WriteTopupRecord(AppContext& ctx, bool recharge, int memberId, const QString& remark, double amount,
                      double bonus, double balanceBefore);
bool MoveStock(AppContext& ctx, const QString& productCode, int kind, bool writeHistory,
               const QString& remark, double change);
// 14 digits of local date-time and a five-digit number from 10000 up; never one already used.
QString MakeOrderNo(AppContext& ctx);
// The same kind of number, never one this process drew before, without asking the database
// (for an insert that itself refuses a number already taken).
QString DrawOrderNo();

// Lookups. Codes and names compare trimmed, the stored ones too.
bool ProductCodeExists(AppContext& ctx, const QString& code, int excludeId);
bool ProductNameExists(AppContext& ctx, const QString& name, int excludeId);
int FindCategoryByName(AppContext& ctx, const QString& name);
// The operator choice list: "所有员工" with 0, then every operator's name with its ID.
QList<std::pair<QString, int>> OperatorChoices(AppContext& ctx);

// Checks an operator's password by ID; a legacy plain-text password that matches is re-hashed.
// Returns 1 on a match, 0 on a mismatch or unknown ID, -1 when the database cannot be read.
int CheckOperatorPassword(AppContext& ctx, int operatorId, const QString& typed);

} // namespace selvo

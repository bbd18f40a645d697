#pragma once

#include <QStringList>

namespace selvo::db {
class Database;
}

namespace selvo {

// The ledger adds up: what `selvo-cli check` proves about the money, reading only.
//
// Every change of a member's balance leaves a row that explains it:
//   a recharge, a deduction, an automatic recharge at the till, a return refunded to the balance
//   and the cancellation of such a return each write a tb_TopupRecord row whose Total is the
//   signed change (a deduction's is negative);
//   a sale or fast sale paid from the balance is a tb_orders row with PayType 2 whose
//   RealTotalPrice was taken; cancelling it deletes the row and gives the money back.
// So for every member Balance = Σ Total of its recharge records − Σ RealTotalPrice of its
// balance-paid orders other than returns (a return's refund is already one of the records).
//
// One line per discrepancy, naming the member or order: a balance the records do not explain, a
// balance or points below zero (or points past 32 bits), an order number used twice, an order
// without lines (fast sales have none), a line without its order. Empty when the ledger holds;
// a table that cannot be read is a line too.
QStringList CheckLedger(db::Database& db);

} // namespace selvo

#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <utility>

namespace selvo {

struct AppContext;
struct OrderDraft;

// The steps every posting is built from: a sale, a fast sale, a return, the cancellation of an
// order. Each runs inside the caller's transaction and writes nothing of its own accord; a step
// that fails leaves the reason in ctx.db.lastError() and the caller rolls the whole posting back.

// The figures of a draft a posting may write, whoever built it: every sum finite and within the
// bounds of support/Money, signs as the kind of order has them (a sale takes money and points in,
// a return gives them back, a points exchange only spends points), whole points within 32 bits.
// The refusal text, or empty when the draft may be written.
QString CheckDraftFigures(const OrderDraft& draft);

// Writes the tb_orders row of `draft` and returns the order number it got; empty on failure.
// The number is draft.orderNo when given and free, else a fresh one (DrawOrderNo). A number
// already taken, by another till too, adds no row (the insert skips a clash on the unique index)
// and the next number is tried; no savepoint, no lookup first. `clashes` counts those.
QString WriteOrderRow(AppContext& ctx, const OrderDraft& draft, const QVariant& saleDate,
                      int* clashes = nullptr);

// Writes one tb_order_lines row per draft line under `orderNo`, many rows to a statement.
bool WriteOrderLines(AppContext& ctx, const QString& orderNo, const OrderDraft& draft,
                     const QVariant& saleDate);

// A change of a member's account: signed amounts added to the balance, the points and the
// cumulative spending.
struct AccountChange {
    double balance = 0;
    int points = 0;
    double cumulative = 0;
    bool isEmpty() const { return balance == 0 && points == 0 && cumulative == 0; }
};

enum class AccountResult {
    Done,
    NoMember,     // the member no longer exists
    BalanceShort, // the balance would go below zero
    PointsShort,  // the points would go below zero
    Invalid,      // a figure is not a number, too large, or the points would pass 32 bits
    Failed,       // the database refused
};

// Applies the change in one conditional statement: a decrease of the balance or of the points
// happens only when what is stored at that moment covers it, so two tills cannot spend the same
// money, and an increase of the points only while they stay within 32 bits. A change that is not
// a finite sum of money within the bounds of support/Money is refused before anything is run.
// On a refusal nothing is changed.
AccountResult ChangeMemberAccount(AppContext& ctx, int memberId, const AccountChange& change);
// What a refusal of kind Invalid is shown as.
inline QString AccountOutOfRangeText() {
    return QStringLiteral("会员余额或积分超出范围，未保存");
}

// Adds each signed quantity to its product's stock with movement kind `kind` and no history
// row, in one statement (quantities of the same code added together first), products in code
// order (two tills moving the same goods lock them in the same order). A product that no longer
// exists moves nothing.
bool MoveStockOfLines(AppContext& ctx, QList<std::pair<QString, double>> changes, int kind);

} // namespace selvo

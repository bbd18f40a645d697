#pragma once

#include "core/sales/PostingSteps.h"

#include <QDateTime>
#include <QString>

namespace selvo {

struct AppContext;

// "撤销订单": undoes what an order did to the member's account, deletes the order with its lines,
// writes the operation-log line and puts the stock of its lines back (kind 2). Only the operator
// who created the order may cancel it, within 24 hours of its creation.
//
// Two phases: PrepareCancelOrder reads and checks and returns either a refusal or the question
// to ask; after a Yes, CommitCancelOrder does it all in ONE transaction, re-reading the order and
// the member inside it, since another till may have cancelled the order or spent the balance or
// points meanwhile.

// The tb_orders values a cancellation rests on.
struct CancelledOrder {
    QString orderNo;
    int memberId = -1;
    int saleManId = 0;
    double realTotalPrice = 0;
    int orderType = 1; // NULL counts as a sale
    int payType = 1;   // NULL counts as cash
    int points = 0;
    QDateTime addDate;
};

struct CancelPlan {
    QString refusal;      // shown with an OK button; nothing is asked
    QString confirmation; // the Yes/No question
    CancelledOrder order;
    bool ok() const { return refusal.isEmpty(); }
};

CancelPlan PrepareCancelOrder(AppContext& ctx, const QString& orderNo);

struct CancelResult {
    bool ok = false;
    QString message; // why it failed, for a message box; empty on success
    QString detail;  // the database's own words, when it refused
};

// `logText` is the operation-log line (CancelLogText of the row the operator chose).
CancelResult CommitCancelOrder(AppContext& ctx, const CancelPlan& plan, const QString& logText);

// The remark of the deduction record that takes back a return's refund to the balance.
QString CancelReturnRemark(const QString& orderNo);

} // namespace selvo

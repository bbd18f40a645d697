#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace selvo {

struct AppContext;

// What the sales records window filters by; every value comes from a choice list or a date box.
struct SalesRecordFilter {
    enum Customer { AnyCustomer = 0, Members = 1, Guests = 2 };
    int customer = AnyCustomer;
    int memberId = -1;         // with Members: only this member; -1 for every member
    int payType = 0;           // 0 any
    int orderType = 0;         // 0 any
    int operatorId = 0;        // 0 every operator
    std::optional<QDate> from; // whole days, on SaleDate (AddDate for recharges)
    std::optional<QDate> to;
};

// The order list's columns, in order.
enum SalesRecordColumn {
    RecOrderNo = 0,
    RecCustomer,
    RecMobile,
    RecOrderType,
    RecTotalValue,
    RecDealPrice,
    RecPayType,
    RecReceived,
    RecChange,
    RecProductCount,
    RecPoints,
    RecOperator,
    RecSaleDate,
    RecRemark,
    RecAddDate,
    RecProfit,
    RecColumnCount
};
QString SalesRecordHeader(int column);
int SalesRecordWidth(int column);

// The line list's columns.
enum SalesLineColumn {
    LineNo = 0,
    LineCode,
    LineName,
    LineQuantity,
    LinePrice,
    LineDiscount,
    LineDiscountPrice,
    LineTotal,
    LinePoints,
    LineProfit,
    LineColumnCount
};
QString SalesLineHeader(int column);
int SalesLineWidth(int column);

struct SalesRecordRow {
    int id = 0;
    QString orderNo;
    QStringList texts; // one per SalesRecordColumn, as shown
};

// The sums of the two summary lines, over every order (and recharge record) the filter matches.
struct SalesSummary {
    double cash = 0;
    double balance = 0;
    qint64 points = 0;
    double profit = 0;
    double recharged = 0;
    double bonus = 0;
    double deducted = 0; // negative: deductions are stored negative
    QString ordersLine() const;
    QString rechargesLine() const;
};

struct SalesRecords {
    bool listOk = false;
    QList<SalesRecordRow> rows; // newest sale first, at most the limit
    // std::nullopt when a sum could not be read: both lines stay empty.
    std::optional<SalesSummary> summary;
};

inline constexpr int kSalesRecordLimit = 500;

SalesRecords QuerySalesRecords(AppContext& ctx, const SalesRecordFilter& filter,
                               int limit = kSalesRecordLimit);
// The order list alone: QuerySalesRecords without its summary.
SalesRecords QuerySalesList(AppContext& ctx, const SalesRecordFilter& filter, int limit = kSalesRecordLimit);
// The sums come from the day sums (tb_OrderDaySums, tb_TopupDaySums) whenever the filter allows
// (not for a single member), else from the orders and recharge records themselves.
std::optional<SalesSummary> QuerySalesSummary(AppContext& ctx, const SalesRecordFilter& filter);
// The same sums added up from every matching order and recharge record, never from the day sums.
std::optional<SalesSummary> QuerySalesSummaryFromRows(AppContext& ctx, const SalesRecordFilter& filter);

// The line rows of one order, numbered from 1; std::nullopt when they cannot be read.
std::optional<QList<QStringList>> QueryOrderLineTexts(AppContext& ctx, const QString& orderNo);

// The operation-log line of a cancellation, from the order row as the list shows it.
QString CancelLogText(const QStringList& rowTexts);

// "销售记录" + local time + ".csv".
QString SalesRecordExportName();

} // namespace selvo

#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace selvo {

struct AppContext;

// "今天 %H:%M:%S" when `stored` (a "yyyy-MM-dd HH:mm:ss" text) falls on the clock's today,
// else the text itself.
QString RecordTimeText(const QString& stored);

// What the recharge records window filters by.
struct TopupRecordFilter {
    int memberId = -1;         // -1 every member
    int operatorId = 0;        // 0 every operator
    std::optional<QDate> from; // whole days, on AddDate
    std::optional<QDate> to;
};

// The recharge records list's columns.
enum TopupRecordColumn {
    TopupMemberName = 0,
    TopupMobile,
    TopupOperation,
    TopupPaid,
    TopupBonus,
    TopupTotal,
    TopupBefore,
    TopupAfter,
    TopupTime,
    TopupOperator,
    TopupRemark,
    TopupColumnCount
};
QString TopupRecordHeader(int column);
int TopupRecordWidth(int column);

// Where a page of the recharge records ends: the AddDate of its last row, as stored.
struct TopupPageKey {
    QString addDate;
};
struct TopupRecordPage {
    QList<QStringList> rows;          // texts as shown, one per TopupRecordColumn
    std::optional<TopupPageKey> last; // std::nullopt for no rows
};

// The recharge records newest first, from the newest (`after` std::nullopt) or after the page
// that ended at `after`; std::nullopt when a statement failed. A page holds at least `limit`
// rows unless the list ends there, and always every record of its last second, so the next page
// starts cleanly at an earlier second. There is no row limit: callers read page by page.
std::optional<TopupRecordPage> QueryTopupRecordPage(AppContext& ctx, const TopupRecordFilter& filter,
                                                    const std::optional<TopupPageKey>& after, int limit);

// One member's histories (at most 500 rows each, newest first).
inline constexpr int kMemberHistoryLimit = 500;

enum MemberOrderColumn {
    MemOrderDate = 0,
    MemOrderType,
    MemOrderPrice,
    MemOrderPayType,
    MemOrderOperator,
    MemOrderColumnCount
};
QString MemberOrderHeader(int column);
int MemberOrderWidth(int column);

enum MemberTopupColumn {
    MemTopupTime = 0,
    MemTopupKind,
    MemTopupTotal,
    MemTopupOperator,
    MemTopupRemark,
    MemTopupColumnCount
};
QString MemberTopupHeader(int column);
int MemberTopupWidth(int column);

std::optional<QList<QStringList>> QueryMemberOrders(AppContext& ctx, int memberId,
                                                    int limit = kMemberHistoryLimit);
std::optional<QList<QStringList>> QueryMemberTopups(AppContext& ctx, int memberId,
                                                    int limit = kMemberHistoryLimit);

// The caption of one member's histories: the member's label (empty, with "无法读取会员信息"
// shown, for a missing member) + "的消费/充值记录  最多显示500条".
QString MemberHistoryCaption(AppContext& ctx, int memberId);

} // namespace selvo

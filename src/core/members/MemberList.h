#pragma once

#include "core/db/NewestFirst.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace selvo {

struct AppContext;
struct MemberRecord;

// The member list's ten columns: header, width in pixels, centred or not.
struct MemberListColumn {
    QString header;
    int width;
    bool centred;
};
QList<MemberListColumn> MemberListColumns();

// The texts of one row, in column order.
QStringList MemberListTexts(const MemberRecord& member);

// The status filter: "所有" (-1), "正常" (0), "锁定" (1), "挂失" (2).
QList<std::pair<QString, int>> MemberStateChoices();

struct MemberFilter {
    int state = -1; // -1: every state
    QString text;   // matched anywhere in card number, initials, name or mobile; trimmed here
};

// IDs in list order: newest registration first without search text, by ID with it. Every
// matching member (no limit); the rows themselves are read a page at a time with
// MemberListRows(). std::nullopt when the database cannot be read.
std::optional<QVector<int>> MemberListIds(AppContext& ctx, const MemberFilter& filter);

// The same IDs in the same order, read a page at a time as the list scrolls: a keystroke costs
// the first page, however many members match.
class MemberListPages {
public:
    MemberListPages(AppContext& ctx, MemberFilter filter);
    // Up to `count` IDs following those read before; fewer once the list ends. std::nullopt when
    // the database cannot be read.
    std::optional<QVector<int>> next(int count);

private:
    AppContext& m_ctx;
    MemberFilter m_filter;
    db::NewestFirstPages m_newest;
    qint64 m_afterId = 0;
    bool m_done = false;
};

struct MemberListRow {
    int id = -1;
    QStringList texts;
};
// The rows of the given members, in the order given; members no longer there are left out.
QList<MemberListRow> MemberListRows(AppContext& ctx, const QVector<int>& ids);

// "当前总余额:￥ …元 / 总积分:… / 累计消费:￥ …元" over all members; empty when it cannot be read.
QString MemberTotalsText(AppContext& ctx);

// Deleting ticked members. The refusal ("no right", "nothing ticked"), empty when it may go on.
QString MemberDeleteRefusal(const AppContext& ctx, qsizetype tickedCount);
// The question asked before deleting.
QString MemberDeleteQuestion();
// Deletes each member with the member's orders, their lines and recharge records, and writes
// "删除会员：name(mobile)" to the operation log: each member all or nothing, in the order given.
// A member that cannot be deleted is reported through the notifier and the others still go.
// Returns the IDs that are gone (including those another till had deleted already).
QVector<int> DeleteMembers(AppContext& ctx, const QVector<int>& ids);

} // namespace selvo

#pragma once

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace selvo {

struct AppContext;

// The kinds of the log viewer, in the order of its choice list.
enum class OpLogKind { All, Login, OrderCancel, MemberDelete };
QStringList OpLogKindNames();

// At most this many lines are listed, the newest first.
constexpr int kOpLogLimit = 500;

struct OpLogFilter {
    QDate from;         // invalid: no lower bound
    QDate to;           // invalid: no upper bound; else the whole day is included
    int operatorId = 0; // 0: every operator
    OpLogKind kind = OpLogKind::All;
};

struct OpLogRow {
    QString operatorName; // "#已删除" when the operator no longer exists
    QString content;
    QDateTime addDate;
};

// The filtered log, newest first; empty when the database cannot be read.
QList<OpLogRow> QueryOpLog(AppContext& ctx, const OpLogFilter& filter);

} // namespace selvo

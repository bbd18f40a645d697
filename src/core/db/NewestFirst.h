#pragma once

#include "core/db/TextSearch.h"

#include <QString>
#include <QVariant>
#include <QVector>

#include <optional>

namespace selvo::db {

class Database;

// A list read a page at a time, newest first: ordered by `dateColumn DESC, idColumn DESC` as the
// engine orders it (SQLite puts rows without a date last, PostgreSQL first). Each page starts
// after the last row of the page before, not at a row number, so rows added or removed meanwhile
// do not shift the pages, and a page deep down the list costs what the first one costs.
class NewestFirstPages {
public:
    // `from` names the table as the statements do ("tb_product p"), for the rows without a date.
    NewestFirstPages(Database& db, QString from, QString dateColumn, QString idColumn);

    // Everything has been read.
    bool done() const { return m_phase >= 2; }
    // Up to `count` IDs of the next rows `query` finds for `text` (as SearchStatement finds them),
    // fewer once the list ends. The query's select is only its FROM part ("FROM tb_product p ...");
    // its order and limit are set here. std::nullopt when the database failed.
    std::optional<QVector<int>> next(SearchTable table, const QString& text, SearchQuery query, int count);

private:
    // The condition the next page's rows meet (to be joined with AND).
    SqlPart condition() const;
    // After each page: its last row's date (as selected) and ID, and whether the page held as
    // many rows as were asked for (when not, the rows of this kind have all been read).
    void pageRead(const QVariant& lastDate, qint64 lastId, bool full);
    bool readingNulls() const;
    // Rows without a date are rare: their part of the list is skipped when there are none.
    void skipNullsWhenNone();

    Database& m_db;
    QString m_from;
    QString m_date;
    QString m_id;
    bool m_postgres;
    int m_phase = 0; // 0 and 1: the rows with a date and those without, in the engine's order
    bool m_started = false;
    QVariant m_lastDate;
    qint64 m_lastId = 0;
};

} // namespace selvo::db

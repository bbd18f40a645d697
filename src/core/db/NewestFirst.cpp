#include "core/db/NewestFirst.h"

#include "core/db/Database.h"

#include <utility>

namespace selvo::db {

NewestFirstPages::NewestFirstPages(Database& db, QString from, QString dateColumn, QString idColumn)
    : m_db(db), m_from(std::move(from)), m_date(std::move(dateColumn)), m_id(std::move(idColumn)),
      m_postgres(db.engine() == Engine::Postgres) {
    skipNullsWhenNone();
}

void NewestFirstPages::skipNullsWhenNone() {
    if (done() || !readingNulls())
        return;
    // Unknown (the database failed): read them as usual.
    const auto any =
        m_db.scalar(QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM %1 WHERE %2 IS NULL LIMIT 1) s")
                        .arg(m_from, m_date));
    if (any && any->toInt() == 0)
        ++m_phase;
}

bool NewestFirstPages::readingNulls() const {
    // Descending, PostgreSQL puts NULL first and SQLite last.
    return (m_phase == 0) == m_postgres;
}

SqlPart NewestFirstPages::condition() const {
    if (readingNulls()) {
        if (!m_started)
            return {m_date + QStringLiteral(" IS NULL"), {}};
        return {m_date + QStringLiteral(" IS NULL AND ") + m_id + QStringLiteral(" < ?"), {m_lastId}};
    }
    if (!m_started)
        return {m_date + QStringLiteral(" IS NOT NULL"), {}};
    // A row value, so that the engine reads on along its index from that row.
    const QString date = m_postgres ? QStringLiteral("CAST(? AS timestamp)") : QStringLiteral("?");
    return {QStringLiteral("%1 IS NOT NULL AND (%1, %2) < (%3, ?)").arg(m_date, m_id, date),
            {m_lastDate, m_lastId}};
}

std::optional<QVector<int>> NewestFirstPages::next(SearchTable table, const QString& text, SearchQuery query,
                                                   int count) {
    QVector<int> ids;
    // SQLite hands back the stored date itself, of whatever type it was stored; PostgreSQL's text
    // of a timestamp reads back exactly, where a QDateTime would pass through a time zone.
    const QString date = m_postgres ? QStringLiteral("CAST(%1 AS TEXT)").arg(m_date) : m_date;
    query.select = QStringLiteral("SELECT %1, %2 ").arg(m_id, date) + query.select;
    query.orderBy = m_date + QStringLiteral(" DESC, ") + m_id + QStringLiteral(" DESC");
    query.byId = false;
    const SqlPart fixed = query.where;
    while (ids.size() < count && !done()) {
        const SqlPart page = condition();
        query.where = {fixed.sql.isEmpty() ? page.sql : fixed.sql + QStringLiteral(" AND ") + page.sql,
                       fixed.binds + page.binds};
        query.limit = int(count - ids.size());
        const auto statement = SearchStatement(m_db, table, text, query);
        auto q = statement ? m_db.select(statement->sql, statement->binds) : std::nullopt;
        if (!q)
            return std::nullopt;
        int n = 0;
        QVariant lastDate;
        qint64 lastId = 0;
        while (q->next()) {
            ids.append(q->value(0).toInt());
            lastId = q->value(0).toLongLong();
            lastDate = q->value(1);
            ++n;
        }
        pageRead(lastDate, lastId, n == query.limit);
    }
    return ids;
}

void NewestFirstPages::pageRead(const QVariant& lastDate, qint64 lastId, bool full) {
    if (done())
        return;
    if (full) {
        m_started = true;
        m_lastDate = lastDate;
        m_lastId = lastId;
        return;
    }
    ++m_phase;
    m_started = false;
    skipNullsWhenNone();
}

} // namespace selvo::db

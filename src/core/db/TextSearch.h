#pragma once

#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace selvo::db {

class Database;

// Substring search over the few text columns a screen searches as the operator types: members by
// card number, initials, name and mobile; products by name, initials and code.
//
// The meaning is always the plain one: a row matches when one of its columns contains the trimmed
// text, letter case ignored as the engine's LIKE (SQLite: ASCII letters) or ILIKE (PostgreSQL)
// ignores it. The database keeps a search index of each table itself (triggers on SQLite, index
// expressions on PostgreSQL), so rows written by any program are found at once. The index only
// narrows the rows to look at: every statement still applies the plain condition, so what it finds
// is exactly what the plain statement finds.
enum class SearchTable { Members, Products };

// A piece of SQL with its bound values, in order.
struct SqlPart {
    QString sql;
    QVariantList binds;
};

// The columns searched, in the order the plain condition names them.
QStringList SearchColumns(SearchTable table);

// The plain condition: one of the columns (each prefixed by `prefix`, e.g. "p.") contains `text`.
SqlPart ContainsCondition(const Database& db, SearchTable table, const QString& text,
                          const QString& prefix = QString());

// A condition keeping every row the plain condition keeps, and few others, answered from the
// search index. std::nullopt when the index cannot narrow this text (it holds a line break, which
// the index uses as its own separator, or a one- or two-character text is too common to be worth
// it); callers then run the plain condition alone.
std::optional<SqlPart> IndexCondition(Database& db, SearchTable table, const QString& text,
                                      const QString& prefix = QString());

// One search statement: `select` ("SELECT ... FROM table [alias]") with `where` (may be empty)
// and the search condition, in `orderBy`, at most `limit` rows (0: all).
struct SearchQuery {
    QString select;
    QString prefix; // the searched table's alias with its dot, or empty
    SqlPart where;
    QString orderBy;
    int limit = 0;
    // The order is the ID, ascending: a common text then finds its page among the first rows.
    bool byId = false;
    // With byId: only the rows with a higher ID, as the page after one that ended there; the
    // first rows are then those that follow it.
    qint64 afterId = 0;
};

// The statement that finds exactly the rows, in the order, of the plain statement; std::nullopt
// when the database failed. An empty text searches nothing: the plain statement without a search
// condition.
//
// Choosing may run a short statement first: a common text costs the plain statement over the
// first rows (kProbeRows) or, without a limit, what its long answer costs anyway; a rare one only
// its few rows from the search index. With a limit, whether to read on in order or to fetch the
// rows the index names is decided by what each would cost.
std::optional<SqlPart> SearchStatement(Database& db, SearchTable table, const QString& text,
                                       const SearchQuery& query);

// How many of the rows with the lowest IDs a search looks at before it asks the search index.
inline constexpr int kProbeRows = 4000;

// The statements that make and keep the search index, for the schema upgrade.
QStringList SearchIndexDdl(const Database& db);

// The search key of a row as the index sees it (SQLite): the columns joined by line feeds,
// ASCII letters in lower case. Exposed for the tests that compare index and table.
QString SearchKeyExpression(SearchTable table, const QString& prefix);

} // namespace selvo::db

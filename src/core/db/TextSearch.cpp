#include "core/db/TextSearch.h"

#include "core/db/Database.h"

#include <algorithm>

namespace selvo::db {

namespace {

struct TableInfo {
    const char* table;
    const char* index; // SQLite: the FTS5 table; its vocabulary is index + "_terms"
    QStringList keyColumns;
};

TableInfo infoOf(SearchTable table) {
    if (table == SearchTable::Members)
        return {"tb_members",
                "tb_members_find",
                {QStringLiteral("MemberCode"), QStringLiteral("FirstSpell"), QStringLiteral("TrueName"),
                 QStringLiteral("MobilePhone")}};
    return {"tb_product",
            "tb_product_find",
            {QStringLiteral("PrdName"), QStringLiteral("FirstSpell"), QStringLiteral("PrdCode")}};
}

// A one- or two-character text is looked up through the index's vocabulary; past these many
// trigrams or rows it is common, and the plain statement finds its rows as fast.
constexpr int kMaxShortTerms = 400;
constexpr qint64 kMaxShortRows = 20000;

// Fetching a row the index names costs about this many rows read in order (measured at a million
// rows: some 3.7 µs against 0.75 µs).
constexpr qint64 kFetchCost = 5;
// A probe that finds this share of its rows matching calls the text common (per mille).
constexpr int kCommonPerMille = 10;

// The key joins its columns with line feeds; a text holding one (or any other control character)
// could match across two columns there.
bool hasControl(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() < 0x20)
            return true;
    return false;
}

bool isAsciiUpper(char32_t c) {
    return c >= U'A' && c <= U'Z';
}

// SQLite's lower() and LIKE fold ASCII letters only; so does the index key.
QList<char32_t> foldedAscii(const QString& text) {
    QList<char32_t> out;
    for (const char32_t c : text.toUcs4())
        out.append(isAsciiUpper(c) ? c + 32 : c);
    return out;
}

QString fromCodePoints(const char32_t* data, qsizetype n) {
    return QString::fromUcs4(data, n);
}

// A term of an FTS5 query, quoted.
QString quotedTerm(const QString& term) {
    QString t = term;
    t.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + t + QLatin1Char('"');
}

QString pgKey(const TableInfo& info, const QString& prefix) {
    QStringList args;
    for (const QString& c : info.keyColumns)
        args << prefix + c;
    while (args.size() < 4)
        args << QStringLiteral("NULL");
    return QStringLiteral("selvo_find_key(") + args.join(QStringLiteral(", ")) + QLatin1Char(')');
}

std::optional<SqlPart> sqliteIndexCondition(Database& db, const TableInfo& info, const QString& text,
                                            const QString& prefix) {
    const QList<char32_t> folded = foldedAscii(text);
    const QString id = prefix + QStringLiteral("ID");
    const QString index = QString::fromLatin1(info.index);
    if (folded.size() >= 3) {
        // One phrase: its trigrams one after another, as the text runs in the key.
        return SqlPart{id + QStringLiteral(" IN (SELECT rowid FROM ") + index + QStringLiteral(" WHERE ") +
                           index + QStringLiteral(" MATCH ?)"),
                       {quotedTerm(fromCodePoints(folded.constData(), folded.size()))}};
    }
    // One or two characters: every place they occur starts a trigram of the key (the key ends in
    // two line feeds), so the trigrams that begin with them find every row holding them.
    const QString start = fromCodePoints(folded.constData(), folded.size());
    const QString end = start + QString::fromUcs4(U"\U0010FFFF", 1);
    auto q = db.select(QStringLiteral("SELECT term, doc FROM ") + index +
                           QStringLiteral("_terms WHERE term >= ? AND term <= ?"),
                       {start, end});
    if (!q)
        return std::nullopt;
    QStringList terms;
    qint64 rows = 0;
    while (q->next()) {
        terms << quotedTerm(q->value(0).toString());
        rows += q->value(1).toLongLong();
        if (terms.size() > kMaxShortTerms || rows > kMaxShortRows)
            return std::nullopt;
    }
    if (terms.isEmpty())
        return SqlPart{QStringLiteral("1 = 0"), {}};
    return SqlPart{id + QStringLiteral(" IN (SELECT rowid FROM ") + index + QStringLiteral(" WHERE ") +
                       index + QStringLiteral(" MATCH ?)"),
                   {terms.join(QStringLiteral(" OR "))}};
}

std::optional<SqlPart> pgIndexCondition(const TableInfo& info, const QString& text, const QString& prefix) {
    const QString key = pgKey(info, prefix);
    if (text.toUcs4().size() >= 3)
        return SqlPart{key + QStringLiteral(" LIKE lower(?) ESCAPE '\\'"), {likePattern(text)}};
    return SqlPart{QStringLiteral("selvo_find_grams(") + key + QStringLiteral(") @> ARRAY[lower(?)]"),
                   {text}};
}

// The plain condition as the engine tests it fastest, rows for rows the same. PostgreSQL's ILIKE
// lowers each column it tests; one LIKE on the lowered key turns most rows away first (a column
// holds the text only if the key does, as the text holds no line feed), and the plain condition
// decides the rest.
SqlPart fastExact(const Database& db, SearchTable table, const QString& text, const QString& prefix) {
    const SqlPart exact = ContainsCondition(db, table, text, prefix);
    if (db.engine() != Engine::Postgres || hasControl(text))
        return exact;
    return SqlPart{QStringLiteral("CASE WHEN ") + pgKey(infoOf(table), prefix) +
                       QStringLiteral(" LIKE lower(?) ESCAPE '\\' THEN ") + exact.sql +
                       QStringLiteral(" ELSE false END"),
                   QVariantList{likePattern(text.trimmed())} + exact.binds};
}

QString joinWhere(const QStringList& parts) {
    QStringList kept;
    for (const QString& p : parts)
        if (!p.isEmpty())
            kept << p;
    return kept.isEmpty() ? QString() : QStringLiteral(" WHERE ") + kept.join(QStringLiteral(" AND "));
}

} // namespace

QStringList SearchColumns(SearchTable table) {
    return infoOf(table).keyColumns;
}

SqlPart ContainsCondition(const Database& db, SearchTable table, const QString& text, const QString& prefix) {
    const QString pattern = likePattern(text.trimmed());
    SqlPart part;
    QStringList ors;
    for (const QString& c : infoOf(table).keyColumns) {
        ors << db.likeClause(prefix + c);
        part.binds << pattern;
    }
    part.sql = QLatin1Char('(') + ors.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    return part;
}

std::optional<SqlPart> IndexCondition(Database& db, SearchTable table, const QString& text,
                                      const QString& prefix) {
    const QString t = text.trimmed();
    if (t.isEmpty() || hasControl(t))
        return std::nullopt;
    const TableInfo info = infoOf(table);
    if (db.engine() == Engine::Postgres)
        return pgIndexCondition(info, t, prefix);
    return sqliteIndexCondition(db, info, t, prefix);
}

std::optional<SqlPart> SearchStatement(Database& db, SearchTable table, const QString& text,
                                       const SearchQuery& query) {
    const QString t = text.trimmed();
    const QString order = query.orderBy.isEmpty() ? QString() : QStringLiteral(" ORDER BY ") + query.orderBy;
    const QString limit =
        query.limit > 0 ? QStringLiteral(" LIMIT ") + QString::number(query.limit) : QString();
    const TableInfo info = infoOf(table);
    const qint64 after = query.byId ? std::max<qint64>(0, query.afterId) : 0;
    SqlPart base = query.where;
    if (after > 0) {
        base.sql = QStringLiteral("%1ID > ?").arg(query.prefix) +
                   (base.sql.isEmpty() ? QString() : QStringLiteral(" AND ") + base.sql);
        base.binds.prepend(after);
    }
    if (t.isEmpty())
        return SqlPart{query.select + joinWhere({base.sql}) + order + limit, base.binds};

    const SqlPart exact = fastExact(db, table, t, query.prefix);
    // The kProbeRows rows that follow `after` in ID order (from the first row when it is 0), as
    // a range of IDs worked out first: a range of known bounds is what lets each engine's planner
    // see how few rows it holds (PostgreSQL would otherwise plan for a third of the table and
    // start parallel workers for it).
    std::optional<qint64> probeEnd;
    {
        db.clearLastError();
        const QVariantList from = after > 0 ? QVariantList{after} : QVariantList{};
        const auto bound = db.scalar(
            QStringLiteral("SELECT ID FROM %1%2 ORDER BY ID LIMIT 1 OFFSET %3")
                .arg(QLatin1String(info.table), after > 0 ? QStringLiteral(" WHERE ID > ?") : QString())
                .arg(kProbeRows - 1),
            from);
        if (!bound && !db.lastError().isEmpty())
            return std::nullopt;
        if (bound)
            probeEnd = bound->toLongLong(); // none: fewer rows than that, all of them
    }
    const auto probe = [&](const QString& prefix) {
        SqlPart part;
        QStringList parts;
        if (after > 0) {
            parts << prefix + QStringLiteral("ID > ?");
            part.binds << after;
        }
        if (probeEnd) {
            parts << prefix + QStringLiteral("ID <= ?");
            part.binds << *probeEnd;
        }
        part.sql = parts.join(QStringLiteral(" AND "));
        return part;
    };
    const auto rowsAfter = [&]() -> std::optional<qint64> {
        auto top = db.scalar(QStringLiteral("SELECT max(ID) FROM ") + QLatin1String(info.table));
        if (!top)
            return std::nullopt;
        return std::max<qint64>(0, top->toLongLong() - after);
    };
    // Reading on in order costs about limit * kProbeRows / found rows; fetching every row the
    // index names about found * rows / kProbeRows, each some five times the cost of one read in order.
    const auto readOnInOrder = [&](qint64 found, qint64 rows) {
        return found > 0 && qint64(query.limit) * kProbeRows * kProbeRows < kFetchCost * found * found * rows;
    };

    bool common = false;
    if (query.byId && query.limit > 0) {
        // Ordered by ID: a page found among the first rows is the page. Counting stops at a page.
        const SqlPart window = probe(query.prefix);
        const SqlPart first{query.select + joinWhere({window.sql, base.sql, exact.sql}) + order + limit,
                            window.binds + base.binds + exact.binds};
        auto n = db.scalar(QStringLiteral("SELECT count(*) FROM (") + first.sql + QStringLiteral(") s"),
                           first.binds);
        if (!n)
            return std::nullopt;
        if (n->toLongLong() >= query.limit)
            return first;
        const auto rows = rowsAfter();
        if (!rows)
            return std::nullopt;
        common = readOnInOrder(n->toLongLong(), *rows);
    } else {
        const SqlPart window = probe(QString());
        const SqlPart plain = fastExact(db, table, t, QString());
        auto n = db.scalar(QStringLiteral("SELECT count(*) FROM ") + QLatin1String(info.table) +
                               joinWhere({window.sql, plain.sql}),
                           window.binds + plain.binds);
        if (!n)
            return std::nullopt;
        if (query.limit > 0) {
            const auto rows = rowsAfter();
            if (!rows)
                return std::nullopt;
            common = readOnInOrder(n->toLongLong(), *rows);
        } else {
            // A common text's answer is long whatever finds it; the plain statement reads it in order.
            common = n->toLongLong() * 1000 >= qint64(kProbeRows) * kCommonPerMille;
        }
    }

    std::optional<SqlPart> narrowed;
    if (!common)
        narrowed = IndexCondition(db, table, t, query.prefix);
    QStringList where{base.sql};
    QVariantList binds = base.binds;
    if (narrowed) {
        where << narrowed->sql;
        binds += narrowed->binds;
    }
    // Past PostgreSQL's search index, every row's key holds the text already: the plain condition
    // alone decides, without working out the key once more.
    const SqlPart decides =
        narrowed && db.engine() == Engine::Postgres ? ContainsCondition(db, table, t, query.prefix) : exact;
    where << decides.sql;
    binds += decides.binds;
    QString finalOrder = order;
    if (narrowed && db.engine() == Engine::Postgres && !query.orderBy.isEmpty()) {
        // The index has named the few rows to look at. PostgreSQL's planner would rather walk an
        // index in the list's order and test row after row until the page is full, as it cannot
        // tell how rare the text is; an order it has no index for keeps it to the search index.
        QStringList terms;
        for (const QString& term : query.orderBy.split(QLatin1Char(','))) {
            QStringList words = term.trimmed().split(QLatin1Char(' '), Qt::SkipEmptyParts);
            const QString direction = words.size() > 1 ? QLatin1Char(' ') + words.takeLast() : QString();
            const QString expression = words.join(QLatin1Char(' '));
            terms << QStringLiteral("coalesce(%1, %1)%2").arg(expression, direction);
        }
        finalOrder = QStringLiteral(" ORDER BY ") + terms.join(QStringLiteral(", "));
    }
    return SqlPart{query.select + joinWhere(where) + finalOrder + limit, binds};
}

QString SearchKeyExpression(SearchTable table, const QString& prefix) {
    QStringList parts;
    for (const QString& c : infoOf(table).keyColumns)
        parts << QStringLiteral("coalesce(") + prefix + c + QStringLiteral(", '')");
    return QStringLiteral("lower(") + parts.join(QStringLiteral(" || char(10) || ")) +
           QStringLiteral(" || char(10, 10))");
}

QStringList SearchIndexDdl(const Database& db) {
    QStringList ddl;
    if (db.engine() == Engine::Postgres) {
        ddl << QStringLiteral(
                   "CREATE OR REPLACE FUNCTION selvo_find_key(a text, b text, c text, d text) RETURNS text "
                   "LANGUAGE sql IMMUTABLE PARALLEL SAFE AS $$ SELECT lower(coalesce(a, '') || E'\\n' || "
                   "coalesce(b, '') || E'\\n' || coalesce(c, '') || E'\\n' || coalesce(d, '') || E'\\n\\n') "
                   "$$")
            << QStringLiteral("CREATE OR REPLACE FUNCTION selvo_find_grams(k text) RETURNS text[] LANGUAGE "
                              "sql IMMUTABLE "
                              "PARALLEL SAFE AS $$ SELECT coalesce(array_agg(DISTINCT g), '{}') FROM (SELECT "
                              "substr(k, i, 1) "
                              "FROM generate_series(1, length(k)) i UNION ALL SELECT substr(k, i, 2) FROM "
                              "generate_series(1, length(k) - 1) i) s(g) $$");
        for (const SearchTable t : {SearchTable::Members, SearchTable::Products}) {
            const TableInfo info = infoOf(t);
            const QString table = QLatin1String(info.table);
            const QString key = pgKey(info, QString());
            ddl << QStringLiteral("CREATE INDEX IF NOT EXISTS ix_%1_find ON %2 USING gin (%3 gin_trgm_ops)")
                       .arg(table.mid(3), table, key)
                << QStringLiteral(
                       "CREATE INDEX IF NOT EXISTS ix_%1_grams ON %2 USING gin (selvo_find_grams(%3))")
                       .arg(table.mid(3), table, key);
        }
        return ddl;
    }
    for (const SearchTable t : {SearchTable::Members, SearchTable::Products}) {
        const TableInfo info = infoOf(t);
        const QString table = QLatin1String(info.table);
        const QString index = QLatin1String(info.index);
        ddl << QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1 USING fts5(k, tokenize = 'trigram "
                              "case_sensitive 1', detail = full, content = '')")
                   .arg(index)
            << QStringLiteral("CREATE VIRTUAL TABLE IF NOT EXISTS %1_terms USING fts5vocab(%1, 'row')")
                   .arg(index)
            << QStringLiteral("INSERT INTO %1(rowid, k) SELECT ID, %2 FROM %3")
                   .arg(index, SearchKeyExpression(t, QString()), table)
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ai AFTER INSERT ON %2 BEGIN "
                              "INSERT INTO %1(rowid, k) VALUES(new.ID, %3); END")
                   .arg(index, table, SearchKeyExpression(t, QStringLiteral("new.")))
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_ad AFTER DELETE ON %2 BEGIN "
                              "INSERT INTO %1(%1, rowid, k) VALUES('delete', old.ID, %3); END")
                   .arg(index, table, SearchKeyExpression(t, QStringLiteral("old.")))
            << QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_au AFTER UPDATE OF ID, %4 ON %2 BEGIN "
                              "INSERT INTO %1(%1, rowid, k) VALUES('delete', old.ID, %3); "
                              "INSERT INTO %1(rowid, k) VALUES(new.ID, %5); END")
                   .arg(index, table, SearchKeyExpression(t, QStringLiteral("old.")),
                        info.keyColumns.join(QStringLiteral(", ")),
                        SearchKeyExpression(t, QStringLiteral("new.")));
    }
    return ddl;
}

} // namespace selvo::db

#include "datagen/citation_filler.h"

#include "core/citations/citation_rules.h"
#include "core/citations/citation_store.h"
#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/shared_data.h"
#include "core/db/sql_dialect.h"
#include "datagen/citation_generator.h"

#include <QSqlQuery>

namespace {
// Bound values per statement: far below every engine's limit, and large enough that a round trip carries
// many rows.
constexpr int kValuesPerStatement = 2000;

struct MasterList {
    QString table;
    QString column;
    const QStringList& names;
};

QList<MasterList> masterLists()
{
    const CitationRowTable& categories = CitationTables::categories();
    const CitationRowTable& courts = CitationTables::courts();
    const CitationRowTable& acts = CitationTables::acts();
    return {{categories.master, categories.nameColumn, CitationGenerator::categories()},
            {courts.master, courts.nameColumn, CitationGenerator::courts()},
            {acts.master, acts.nameColumn, CitationGenerator::acts()}};
}

// Rows collected for one table and written many to a statement.
class RowBuffer
{
public:
    RowBuffer(QString head, int columns)
        : m_head(std::move(head))
        , m_columns(columns)
    {}

    void add(const QVariantList& row) { m_values << row; }

    Error flush(DbSession& s)
    {
        const int perStatement = qMax(1, kValuesPerStatement / m_columns);
        const QString oneRow =
            QLatin1Char('(') + QStringList(m_columns, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
        const int rows = int(m_values.size()) / m_columns;
        for (int first = 0; first < rows; first += perStatement) {
            const int count = qMin(perStatement, rows - first);
            const QString sql = m_head + QStringList(count, oneRow).join(QLatin1Char(','));
            Result<int> r = s.execute(sql, m_values.mid(qsizetype(first) * m_columns, qsizetype(count) * m_columns));
            if (!r)
                return r.error();
        }
        m_values.clear();
        return {};
    }

private:
    QString m_head;
    int m_columns;
    QVariantList m_values;
};

Error nextKey(DbSession& s, const QString& table, qint64* key)
{
    Result<qint64> next = SharedData::getNextId(s, table);
    if (!next)
        return next.error();
    *key = *next;
    return {};
}
} // namespace

Error CitationFiller::writeMasters(DbSession& session)
{
    return inTransaction(session, [&]() -> Error {
        for (const MasterList& m : masterLists()) {
            if (Error e = session.lockForWrite(m.table))
                return e;
            Result<QSqlQuery> q =
                session.query(QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id").arg(m.column, m.table));
            if (!q)
                return q.error();
            QStringList stored;
            bool inOrder = true;
            while (q->next()) {
                inOrder = inOrder && q->value(0).toLongLong() == stored.size() + 1;
                stored << q->value(1).toString();
            }
            if (stored == m.names && inOrder)
                continue;
            if (!stored.isEmpty())
                return Error::other(QStringLiteral("The table %1 holds other rows already.").arg(m.table));
            RowBuffer rows(QStringLiteral("INSERT INTO %1 (id,%2) VALUES ").arg(m.table, m.column), 2);
            for (int i = 0; i < m.names.size(); ++i)
                rows.add({i + 1, m.names[i]});
            if (Error e = rows.flush(session))
                return e;
        }
        return {};
    });
}

Result<QList<qint64>> CitationFiller::storeAll(DbSession& session, const QList<Citation>& citations)
{
    // The order in which add takes its keys and so its locks: the case first, then the texts in the order they
    // are written (remarks before rule of law), then bench and links.
    constexpr std::array<Citation::Text, Citation::kTextCount> addOrder{Citation::Judgment,    Citation::NatureOfCase,
                                                                        Citation::FactSummary, Citation::Issue,
                                                                        Citation::Remarks,     Citation::RuleOfLaw};
    const CitationRowTable& benchTable = CitationTables::bench();
    const CitationRowTable& categoryTable = CitationTables::categories();
    const CitationRowTable& courtTable = CitationTables::courts();
    const CitationRowTable& actTable = CitationTables::acts();
    QList<qint64> caseIds;
    const Error e = inTransaction(session, [&]() -> Error {
        qint64 caseKey = 0, benchKey = 0, categoryKey = 0, courtKey = 0, actKey = 0;
        std::array<qint64, Citation::kTextCount> textKeys{};
        if (Error err = nextKey(session, CitationTables::caseTable(), &caseKey))
            return err;
        for (Citation::Text t : addOrder)
            if (Error err = nextKey(session, CitationTables::text(t).table, &textKeys[t]))
                return err;
        for (auto [table, key] : {std::pair{&benchTable, &benchKey}, std::pair{&categoryTable, &categoryKey},
                                  std::pair{&courtTable, &courtKey}, std::pair{&actTable, &actKey}})
            if (Error err = nextKey(session, table->table, key))
                return err;

        std::vector<RowBuffer> textRows;
        for (Citation::Text t : addOrder) {
            const CitationTextTable& text = CitationTables::text(t);
            textRows.emplace_back(QStringLiteral("INSERT INTO %1 (id,%2) VALUES ").arg(text.table, text.column), 2);
        }
        const QStringList caseColumns = CitationTables::caseColumns();
        RowBuffer cases(QStringLiteral("INSERT INTO %1 (%2) VALUES ")
                            .arg(CitationTables::caseTable(), caseColumns.join(QLatin1Char(','))),
                        int(caseColumns.size()));
        // As the store writes them: a link's master and citation, then its section; a bench name, then its citation.
        const auto linkHead = [](const CitationRowTable& t) {
            QStringList columns{QStringLiteral("id")};
            if (t.isLink())
                columns << t.masterColumn << t.caseColumn << t.textColumn;
            else
                columns << t.textColumn << t.caseColumn;
            columns.removeAll(QString());
            return QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(t.table, columns.join(QLatin1Char(',')));
        };
        RowBuffer bench(linkHead(benchTable), 3);
        RowBuffer categories(linkHead(categoryTable), 3);
        RowBuffer courts(linkHead(courtTable), 3);
        RowBuffer acts(linkHead(actTable), 4);

        for (const Citation& typed : citations) {
            const Citation c = CitationRules::asAdded(typed);
            if (Error err = CitationRules::limitsError(c))
                return err;
            const qint64 caseId = caseKey++;
            std::array<qint64, Citation::kTextCount> ids{};
            for (size_t i = 0; i < addOrder.size(); ++i) {
                const Citation::Text t = addOrder[i];
                ids[t] = textKeys[t]++;
                textRows[i].add({ids[t], c.texts[t]});
            }
            QVariantList row;
            for (const QString& column : caseColumns) {
                if (column == CitationTables::caseKey())
                    row << caseId;
                else if (column == CitationTables::citation())
                    row << c.citation;
                else if (column == CitationTables::caseTitle())
                    row << c.caseTitle;
                else if (column == CitationTables::judgmentDate())
                    row << (c.judgmentDate.isValid() ? QVariant(c.judgmentDate)
                                                     : QVariant(QMetaType::fromType<QDate>()));
                for (const CitationTextTable& text : CitationTables::texts())
                    if (column == text.keyColumn)
                        row << ids[text.text];
            }
            cases.add(row);
            for (const QString& name : c.bench)
                if (!name.trimmed().isEmpty())
                    bench.add({benchKey++, name, caseId});
            for (const CitationLink& link : c.categories)
                if (!CitationRules::isPlaceholder(link))
                    categories.add({categoryKey++, link.masterId, caseId});
            for (const CitationLink& link : c.courts)
                if (!CitationRules::isPlaceholder(link))
                    courts.add({courtKey++, link.masterId, caseId});
            for (const CitationLink& link : c.acts)
                if (!CitationRules::isPlaceholder(link))
                    acts.add({actKey++, link.masterId, caseId, link.section});
            caseIds << caseId;
        }
        // Texts before the cases that point at them, cases before their links.
        for (RowBuffer& rows : textRows)
            if (Error err = rows.flush(session))
                return err;
        for (RowBuffer* rows : {&cases, &bench, &categories, &courts, &acts})
            if (Error err = rows->flush(session))
                return err;
        return {};
    });
    if (e)
        return e;
    return caseIds;
}

Error CitationFiller::fill(DbSession& session, CitationGenerator& generator, int n, Path path, int batch,
                           const Progress& progress)
{
    if (path != Path::Bulk || n <= 0)
        return fillBatches(session, generator, n, path, batch, progress);
    // The engine may take the search index's entries in one go at the end instead of row by row (as the merge's
    // write-back does).
    const QList<SearchIndexDef> indexes = Schema::searchIndexes();
    const SqlDialect& dialect = session.dialect();
    Result<SqlDialect::BulkFill> bulk = dialect.beginBulkFill(session, indexes);
    if (!bulk)
        return bulk.error();
    const Error filled = fillBatches(session, generator, n, path, batch, progress);
    // Ended even after a failed fill: the rows already committed are indexed all the same.
    const Error ended = dialect.endBulkFill(session, *bulk, indexes);
    return filled ? filled : ended;
}

Error CitationFiller::fillBatches(DbSession& session, CitationGenerator& generator, int n, Path path, int batch,
                                  const Progress& progress)
{
    const CitationStore store(session);
    for (int done = 0; done < n;) {
        const int count = qMin(batch, n - done);
        QList<Citation> citations;
        citations.reserve(count);
        for (int i = 0; i < count; ++i)
            citations << generator.next();
        if (path == Path::Bulk) {
            Result<QList<qint64>> ids = storeAll(session, citations);
            if (!ids)
                return ids.error();
        } else {
            // Each add joins the batch's transaction, so the batch commits once.
            const Error e = inTransaction(session, [&]() -> Error {
                for (const Citation& c : citations) {
                    Result<qint64> id = store.add(c);
                    if (!id)
                        return id.error();
                }
                return {};
            });
            if (e)
                return e;
        }
        done += count;
        if (progress)
            progress(done);
    }
    return {};
}

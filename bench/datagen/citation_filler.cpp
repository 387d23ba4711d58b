#include "datagen/citation_filler.h"

#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/sql_dialect.h"
#include "core/db/shared_data.h"
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
    return {{QStringLiteral("category_master"), QStringLiteral("category"), CitationGenerator::categories()},
            {QStringLiteral("court_master"), QStringLiteral("court_name"), CitationGenerator::courts()},
            {QStringLiteral("act_master"), QStringLiteral("act"), CitationGenerator::acts()}};
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

    DbError flush(DbSession& s)
    {
        const int perStatement = qMax(1, kValuesPerStatement / m_columns);
        const QString oneRow =
            QLatin1Char('(') + QStringList(m_columns, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
        const int rows = int(m_values.size()) / m_columns;
        for (int first = 0; first < rows; first += perStatement) {
            const int count = qMin(perStatement, rows - first);
            const QString sql = m_head + QStringList(count, oneRow).join(QLatin1Char(','));
            DbResult<int> r = s.execute(sql, m_values.mid(qsizetype(first) * m_columns, qsizetype(count) * m_columns));
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

DbError nextKey(DbSession& s, const QString& table, qint64* key)
{
    DbResult<qint64> next = SharedData::getNextId(s, table);
    if (!next)
        return next.error();
    *key = *next;
    return {};
}
} // namespace

DbError CitationFiller::writeMasters(DbSession& session)
{
    return inTransaction(session, [&]() -> DbError {
        for (const MasterList& m : masterLists()) {
            if (DbError e = session.lockForWrite(m.table))
                return e;
            DbResult<QSqlQuery> q =
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
                return DbError::other(QStringLiteral("The table %1 holds other rows already.").arg(m.table));
            RowBuffer rows(QStringLiteral("INSERT INTO %1 (id,%2) VALUES ").arg(m.table, m.column), 2);
            for (int i = 0; i < m.names.size(); ++i)
                rows.add({i + 1, m.names[i]});
            if (DbError e = rows.flush(session))
                return e;
        }
        return {};
    });
}

DbResult<QList<qint64>> CitationFiller::storeAll(DbSession& session, const QList<Citation>& citations)
{
    const auto& texts = CitationStore::textTables();
    // The order in which add takes its keys and so its locks: the case first, then the texts in the order they
    // are written (remarks before rule of law), then bench and links.
    constexpr std::array<Citation::Text, Citation::kTextCount> addOrder{Citation::Judgment,    Citation::NatureOfCase,
                                                                        Citation::FactSummary, Citation::Issue,
                                                                        Citation::Remarks,     Citation::RuleOfLaw};
    QList<qint64> caseIds;
    const DbError e = inTransaction(session, [&]() -> DbError {
        qint64 caseKey = 0, benchKey = 0, categoryKey = 0, courtKey = 0, actKey = 0;
        std::array<qint64, Citation::kTextCount> textKeys{};
        if (DbError err = nextKey(session, QStringLiteral("case_master"), &caseKey))
            return err;
        for (Citation::Text t : addOrder)
            if (DbError err = nextKey(session, texts[t].table, &textKeys[t]))
                return err;
        for (auto [table, key] : {std::pair{QStringLiteral("cm_bench_name"), &benchKey},
                                  std::pair{QStringLiteral("cmd_category_master"), &categoryKey},
                                  std::pair{QStringLiteral("cmd_court_master"), &courtKey},
                                  std::pair{QStringLiteral("cmd_act_master"), &actKey}})
            if (DbError err = nextKey(session, table, key))
                return err;

        std::vector<RowBuffer> textRows;
        for (Citation::Text t : addOrder)
            textRows.emplace_back(QStringLiteral("INSERT INTO %1 (id,%2) VALUES ").arg(texts[t].table, texts[t].column),
                                  2);
        RowBuffer cases(QStringLiteral("INSERT INTO case_master (case_id,citation,judgment_id,c_case,nature_case_id,"
                                       "fact_summary_id,issue_id,rule_of_law_id,remarks_id,dt_of_judgment) VALUES "),
                        10);
        RowBuffer bench(QStringLiteral("INSERT INTO cm_bench_name (id,bench_name,case_id) VALUES "), 3);
        RowBuffer categories(QStringLiteral("INSERT INTO cmd_category_master (id,cat_id,cmd_id) VALUES "), 3);
        RowBuffer courts(QStringLiteral("INSERT INTO cmd_court_master (id,court_id,cmd_id) VALUES "), 3);
        RowBuffer acts(QStringLiteral("INSERT INTO cmd_act_master (id,act_id,cmd_id,section) VALUES "), 4);

        for (const Citation& typed : citations) {
            Citation c = typed;
            c.caseTitle = CitationStore::trimBlanks(c.caseTitle);
            for (QString& text : c.texts)
                text = CitationStore::trimBlanks(text);
            if (DbError err = CitationStore::validate(c))
                return err;
            const qint64 caseId = caseKey++;
            std::array<qint64, Citation::kTextCount> ids{};
            for (size_t i = 0; i < addOrder.size(); ++i) {
                const Citation::Text t = addOrder[i];
                ids[t] = textKeys[t]++;
                textRows[i].add({ids[t], c.texts[t]});
            }
            cases.add({caseId, c.citation, ids[Citation::Judgment], c.caseTitle, ids[Citation::NatureOfCase],
                       ids[Citation::FactSummary], ids[Citation::Issue], ids[Citation::RuleOfLaw],
                       ids[Citation::Remarks],
                       c.judgmentDate.isValid() ? QVariant(c.judgmentDate) : QVariant(QMetaType::fromType<QDate>())});
            for (const QString& name : c.bench)
                if (!name.trimmed().isEmpty())
                    bench.add({benchKey++, name, caseId});
            for (const CitationLink& link : c.categories)
                if (!CitationStore::isPlaceholder(link))
                    categories.add({categoryKey++, link.masterId, caseId});
            for (const CitationLink& link : c.courts)
                if (!CitationStore::isPlaceholder(link))
                    courts.add({courtKey++, link.masterId, caseId});
            for (const CitationLink& link : c.acts)
                if (!CitationStore::isPlaceholder(link))
                    acts.add({actKey++, link.masterId, caseId, link.section});
            caseIds << caseId;
        }
        // Texts before the cases that point at them, cases before their links.
        for (RowBuffer& rows : textRows)
            if (DbError err = rows.flush(session))
                return err;
        for (RowBuffer* rows : {&cases, &bench, &categories, &courts, &acts})
            if (DbError err = rows->flush(session))
                return err;
        return {};
    });
    if (e)
        return e;
    return caseIds;
}

DbError CitationFiller::fill(DbSession& session, CitationGenerator& generator, int n, Path path, int batch,
                             const Progress& progress)
{
    if (path != Path::Bulk || n <= 0)
        return fillBatches(session, generator, n, path, batch, progress);
    // The engine may take the search index's entries in one go at the end instead of row by row (as the merge's
    // write-back does).
    const QList<SearchIndexDef> indexes = Schema::searchIndexes();
    const SqlDialect& dialect = session.dialect();
    DbResult<SqlDialect::BulkFill> bulk = dialect.beginBulkFill(session, indexes);
    if (!bulk)
        return bulk.error();
    const DbError filled = fillBatches(session, generator, n, path, batch, progress);
    // Ended even after a failed fill: the rows already committed are indexed all the same.
    const DbError ended = dialect.endBulkFill(session, *bulk, indexes);
    return filled ? filled : ended;
}

DbError CitationFiller::fillBatches(DbSession& session, CitationGenerator& generator, int n, Path path, int batch,
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
            DbResult<QList<qint64>> ids = storeAll(session, citations);
            if (!ids)
                return ids.error();
        } else {
            // Each add joins the batch's transaction, so the batch commits once.
            const DbError e = inTransaction(session, [&]() -> DbError {
                for (const Citation& c : citations) {
                    DbResult<qint64> id = store.add(c);
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

#include "core/citations/citation_store.h"

#include "core/citations/citation_rules.h"

#include "core/db/db_session.h"
#include "core/db/shared_data.h"

#include <QSet>
#include <QSqlRecord>

#include <algorithm>

namespace {
const QString& kCaseMaster = CitationTables::caseTable();

// The order in which a new citation's text rows are written: remarks before rule of law.
constexpr std::array<Citation::Text, Citation::kTextCount> kAddOrder{Citation::Judgment,    Citation::NatureOfCase,
                                                                     Citation::FactSummary, Citation::Issue,
                                                                     Citation::Remarks,     Citation::RuleOfLaw};
// And changed: rule of law before remarks.
constexpr std::array<Citation::Text, Citation::kTextCount> kModifyOrder{Citation::Judgment,    Citation::NatureOfCase,
                                                                        Citation::FactSummary, Citation::Issue,
                                                                        Citation::RuleOfLaw,   Citation::Remarks};

QVariant dateValue(const QDate& date)
{
    return date.isValid() ? QVariant(date) : QVariant(QMetaType::fromType<QDate>());
}

// The values of a case_master row in the order of its columns, each text by the key of its row.
QVariantList caseRow(const Citation& c, const std::array<qint64, Citation::kTextCount>& textIds)
{
    QVariantList values;
    for (const QString& column : CitationTables::caseColumns()) {
        if (column == CitationTables::caseKey())
            values << c.caseId;
        else if (column == CitationTables::citation())
            values << c.citation;
        else if (column == CitationTables::caseTitle())
            values << c.caseTitle;
        else if (column == CitationTables::judgmentDate())
            values << dateValue(c.judgmentDate);
        for (const CitationTextTable& t : CitationTables::texts())
            if (column == t.keyColumn)
                values << textIds[t.text];
    }
    return values;
}

// Takes the next key of a table inside the write's transaction.
Error nextKey(DbSession& s, const QString& table, qint64* key)
{
    Result<qint64> next = SharedData::getNextId(s, table);
    if (!next)
        return next.error();
    *key = *next;
    return {};
}

Error insertLinks(DbSession& s, const CitationRowTable& t, const QList<CitationLink>& links, qint64 caseId, qint64 key)
{
    const bool withText = !t.textColumn.isEmpty();
    const QString sql =
        withText
            ? QStringLiteral("INSERT INTO %1 (id,%2,%3,%4) VALUES (?,?,?,?)")
                  .arg(t.table, t.masterColumn, t.caseColumn, t.textColumn)
            : QStringLiteral("INSERT INTO %1 (id,%2,%3) VALUES (?,?,?)").arg(t.table, t.masterColumn, t.caseColumn);
    for (const CitationLink& link : links) {
        if (CitationRules::isPlaceholder(link))
            continue;
        QVariantList values{key, link.masterId, caseId};
        if (withText)
            values << link.section;
        if (Error e = s.run(sql, values))
            return e;
        ++key;
    }
    return {};
}

// A link as it is stored: the master row it points to and, for Acts, the section. The master's name is the
// master's own, so renaming it changes no citation.
bool sameLinks(const QList<CitationLink>& a, const QList<CitationLink>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const CitationLink& x, const CitationLink& y) {
        return x.masterId == y.masterId && x.section == y.section;
    });
}

// Whether two loads of a citation found the same rows: its case_master row, its six texts, its links and bench.
bool sameStoredCitation(const Citation& a, const Citation& b)
{
    return a.caseId == b.caseId && a.citation == b.citation && a.caseTitle == b.caseTitle &&
           a.judgmentDate == b.judgmentDate && a.texts == b.texts && a.textIds == b.textIds &&
           sameLinks(a.categories, b.categories) && sameLinks(a.courts, b.courts) && sameLinks(a.acts, b.acts) &&
           a.bench == b.bench;
}

Result<QList<CitationLink>> loadLinks(DbSession& s, const CitationRowTable& t, qint64 caseId)
{
    // Link keys follow the list's order, so ordering by them gives the list back as it was entered.
    const bool withText = !t.textColumn.isEmpty();
    const QString sql = QStringLiteral("SELECT %3.%4 AS link_name, %3.id AS master_id%5 FROM %6,%1,%3 "
                                       "WHERE %6.%7 = %1.%8 AND %1.%2 = %3.id AND %1.%8 = ? ORDER BY %1.id")
                            .arg(t.table, t.masterColumn, t.master, t.nameColumn,
                                 withText ? QStringLiteral(", %1.%2 AS section").arg(t.table, t.textColumn) : QString(),
                                 kCaseMaster, CitationTables::caseKey(), t.caseColumn);
    QList<CitationLink> links;
    if (Error e = s.forEachRow(sql, {caseId}, [&](const QSqlQuery& q) {
            links.append({q.value(QStringLiteral("master_id")).toLongLong(),
                          q.value(QStringLiteral("link_name")).toString(),
                          withText ? q.value(QStringLiteral("section")).toString() : QString()});
            return true;
        }))
        return e;
    return links;
}
} // namespace

CitationStore::CitationStore(DbSession& session)
    : m_session(session)
{}

QString CitationStore::vanishedMessage(qint64 caseId)
{
    return QStringLiteral("The citation %1 no longer exists; another program may have deleted it.").arg(caseId);
}

QString CitationStore::changedMessage(qint64 caseId, bool deleting)
{
    return QStringLiteral("The citation %1 was changed or deleted by another user since it was opened; nothing was %2.")
        .arg(caseId)
        .arg(deleting ? QStringLiteral("deleted") : QStringLiteral("stored"));
}

Result<QList<qint64>> CitationStore::caseIds() const
{
    return m_session.column<qint64>(QStringLiteral("SELECT %1 FROM %2").arg(CitationTables::caseKey(), kCaseMaster));
}

Result<qint64> CitationStore::nextCaseId() const
{
    return SharedData::getNextId(m_session, kCaseMaster);
}

Result<bool> CitationStore::exists(qint64 caseId) const
{
    Result<QSqlQuery> q = m_session.query(
        QStringLiteral("SELECT %1 FROM %2 WHERE %1 = ?").arg(CitationTables::caseKey(), kCaseMaster), {caseId});
    if (!q)
        return q.error();
    return q->next();
}

Result<Citation> CitationStore::load(qint64 caseId) const
{
    return read(caseId, nullptr);
}

Result<Citation> CitationStore::loadWhole(qint64 caseId) const
{
    bool whole = false;
    Result<Citation> c = read(caseId, &whole);
    if (c && !whole)
        return Error{Error::Kind::NotFound, QString(),
                     QStringLiteral("The citation %1 is not stored, or one of "
                                    "its texts is missing.")
                         .arg(caseId)};
    return c;
}

Result<Citation> CitationStore::read(qint64 caseId, bool* whole) const
{
    Citation c;
    c.caseId = caseId;
    // The six texts joined to their citation, in the order of the FROM list; columns are read by name.
    QStringList columns;
    for (const QString& column : {CitationTables::caseKey(), CitationTables::citation(), CitationTables::caseTitle(),
                                  CitationTables::judgmentDate()})
        columns << kCaseMaster + QLatin1Char('.') + column;
    const QList<Citation::Text> fromOrder{Citation::FactSummary,  Citation::Issue,   Citation::Judgment,
                                          Citation::NatureOfCase, Citation::Remarks, Citation::RuleOfLaw};
    QStringList from{kCaseMaster};
    QStringList joins;
    for (Citation::Text i : fromOrder) {
        const CitationTextTable& t = CitationTables::text(i);
        columns << QStringLiteral("%1.id AS %2_row").arg(t.table, t.column)
                << QStringLiteral("%1.%2 AS %2").arg(t.table, t.column);
        from << t.table;
    }
    for (Citation::Text i : kModifyOrder) {
        const CitationTextTable& t = CitationTables::text(i);
        joins << QStringLiteral("%1.%2 = %3.id").arg(kCaseMaster, t.keyColumn, t.table);
    }
    const QString sql = QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
                        from.join(QLatin1Char(',')) + QStringLiteral(" WHERE ") + joins.join(QStringLiteral(" AND ")) +
                        QStringLiteral(" AND %1 = ?").arg(CitationTables::caseKey());
    bool found = false;
    if (Error e = m_session.forEachRow(sql, {caseId}, [&](const QSqlQuery& q) {
            found = true;
            c.citation = q.value(CitationTables::citation()).toString();
            c.caseTitle = q.value(CitationTables::caseTitle()).toString();
            // SQLite hands the date back as text, PostgreSQL as a timestamp.
            const QVariant stored = q.value(CitationTables::judgmentDate());
            const QDate date = stored.toDate().isValid() ? stored.toDate() : stored.toDateTime().date();
            // Only month and year are kept on screen.
            if (date.isValid())
                c.judgmentDate = QDate(date.year(), date.month(), 1);
            for (const CitationTextTable& t : CitationTables::texts()) {
                c.text(t.text) = q.value(t.column).toString();
                c.textIds[t.text] = q.value(t.column + QStringLiteral("_row")).toLongLong();
            }
            return false;
        }))
        return e;
    if (whole)
        *whole = found;
    for (auto [list, table] :
         {std::pair{&c.categories, &CitationTables::categories()}, std::pair{&c.courts, &CitationTables::courts()},
          std::pair{&c.acts, &CitationTables::acts()}}) {
        Result<QList<CitationLink>> links = loadLinks(m_session, *table, caseId);
        if (!links)
            return links.error();
        *list = *links;
    }
    const CitationRowTable& bench = CitationTables::bench();
    Result<QList<QString>> names = m_session.column<QString>(
        QStringLiteral("SELECT %1.%2 AS %2 FROM %3,%1 WHERE %3.%4 = %1.%5 AND %1.%5 = ? ORDER BY %1.id")
            .arg(bench.table, bench.textColumn, kCaseMaster, CitationTables::caseKey(), bench.caseColumn),
        {caseId});
    if (!names)
        return names.error();
    c.bench = *names;
    return c;
}

Result<Citation> CitationStore::storedAsLoaded(qint64 caseId, const Citation* loaded, bool deleting) const
{
    const Result<bool> there = exists(caseId);
    if (!there)
        return there.error();
    if (!*there)
        return Error{Error::Kind::NotFound, QString(), vanishedMessage(caseId)};
    Result<Citation> stored = load(caseId);
    if (stored && loaded && !sameStoredCitation(*stored, *loaded))
        return Error{Error::Kind::Conflict, QString(), changedMessage(caseId, deleting)};
    return stored;
}

Error CitationStore::lockLinkedMasters(const Citation& c) const
{
    QStringList gone;
    for (auto [links, table] :
         {std::pair{&c.categories, &CitationTables::categories()}, std::pair{&c.courts, &CitationTables::courts()},
          std::pair{&c.acts, &CitationTables::acts()}}) {
        QList<const CitationLink*> linked;
        QVariantList ids;
        for (const CitationLink& link : *links) {
            if (CitationRules::isPlaceholder(link))
                continue;
            linked << &link;
            ids << link.masterId;
        }
        if (linked.isEmpty())
            continue;
        // Held until the commit, so that no master row the links need can be deleted before they are written.
        if (Error e = m_session.lockForWrite(table->master))
            return e;
        const QString marks = QStringList(ids.size(), QStringLiteral("?")).join(QLatin1Char(','));
        Result<QList<qint64>> found = m_session.column<qint64>(
            QStringLiteral("SELECT id FROM %1 WHERE id IN (%2)").arg(table->master, marks), ids);
        if (!found)
            return found.error();
        const QSet<qint64> present(found->begin(), found->end());
        for (const CitationLink* link : linked) {
            const QString what = QStringLiteral("%1 \"%2\"").arg(table->caption, link->name);
            if (!present.contains(link->masterId) && !gone.contains(what))
                gone << what;
        }
    }
    if (gone.isEmpty())
        return {};
    QString named = QStringLiteral("The ") + gone.first();
    for (qsizetype i = 1; i < gone.size(); ++i)
        named += (i + 1 == gone.size() ? QStringLiteral(" and the ") : QStringLiteral(", the ")) + gone.at(i);
    return {Error::Kind::NotFound, QString(),
            named + (gone.size() == 1 ? QStringLiteral(" was") : QStringLiteral(" were")) +
                QStringLiteral(" deleted by another user; nothing was stored.")};
}

Error CitationStore::insertLinksAndBench(const Citation& c, qint64 caseId, const QStringList& keptBench) const
{
    // The four keys are taken before anything is written, so rewritten rows get fresh keys after the old ones.
    const QList<CitationRowTable> tables = CitationTables::rowTables();
    QList<qint64> keys(tables.size());
    for (qsizetype i = 0; i < tables.size(); ++i)
        if (Error e = nextKey(m_session, tables[i].table, &keys[i]))
            return e;
    for (const CitationRowTable& t : tables)
        if (Error e = m_session.run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(t.table, t.caseColumn), {caseId}))
            return e;
    const CitationRowTable& bench = CitationTables::bench();
    const QString benchSql =
        QStringLiteral("INSERT INTO %1 (id,%2,%3) VALUES (?,?,?)").arg(bench.table, bench.textColumn, bench.caseColumn);
    qint64 benchKey = keys[0];
    for (const QString& name : c.bench) {
        if (name.trimmed().isEmpty())
            continue;
        if (Error e = m_session.run(benchSql, {benchKey, name, caseId}))
            return e;
        ++benchKey;
    }
    // Rows the caller was not shown go back as they were, after the ones it gave.
    for (const QString& name : keptBench) {
        if (Error e = m_session.run(benchSql, {benchKey, name, caseId}))
            return e;
        ++benchKey;
    }
    if (Error e = insertLinks(m_session, CitationTables::categories(), c.categories, caseId, keys[1]))
        return e;
    if (Error e = insertLinks(m_session, CitationTables::courts(), c.courts, caseId, keys[2]))
        return e;
    return insertLinks(m_session, CitationTables::acts(), c.acts, caseId, keys[3]);
}

Result<qint64> CitationStore::add(const Citation& typed) const
{
    Citation c = CitationRules::asAdded(typed);
    if (Error e = CitationRules::limitsError(c))
        return e;
    const QStringList columns = CitationTables::caseColumns();
    const QString insertCase = QStringLiteral("INSERT INTO %1 (%2) VALUES(%3)")
                                   .arg(kCaseMaster, columns.join(QLatin1Char(',')),
                                        QStringList(columns.size(), QStringLiteral("?")).join(QLatin1Char(',')));
    const Error e = inTransaction(m_session, [&]() -> Error {
        // Every citation writer locks case_master first, so writers queue in one order and cannot deadlock.
        if (Error err = nextKey(m_session, kCaseMaster, &c.caseId))
            return err;
        if (Error err = lockLinkedMasters(c))
            return err;
        std::array<qint64, Citation::kTextCount> ids{};
        for (Citation::Text t : kAddOrder)
            if (Error err = nextKey(m_session, CitationTables::text(t).table, &ids[t]))
                return err;
        for (Citation::Text t : kAddOrder) {
            const CitationTextTable& table = CitationTables::text(t);
            if (Error err =
                    m_session.run(QStringLiteral("INSERT INTO %1 (id,%2) VALUES (?,?)").arg(table.table, table.column),
                                  {ids[t], c.texts[t]}))
                return err;
        }
        if (Error err = m_session.run(insertCase, caseRow(c, ids)))
            return err;
        return insertLinksAndBench(c, c.caseId);
    });
    if (e)
        return e;
    return c.caseId;
}

Error CitationStore::modify(const Citation& loaded, const Citation& edited) const
{
    return rewrite(loaded, edited);
}

Error CitationStore::rewrite(const Citation& loaded, const Citation& edited) const
{
    if (Error e = CitationRules::limitsError(edited))
        return e;
    Citation c = edited;
    // The rows written are the ones that were loaded, and found unchanged below.
    c.caseId = loaded.caseId;
    c.textIds = loaded.textIds;
    // Every column but the key, in table order, and the key last for the WHERE.
    QStringList assignments = CitationTables::caseColumns();
    assignments.removeOne(CitationTables::caseKey());
    const QString updateCase =
        QStringLiteral("UPDATE %1 SET %2 = ? WHERE %3 = ?")
            .arg(kCaseMaster, assignments.join(QStringLiteral(" = ?, ")), CitationTables::caseKey());
    QVariantList caseValues = caseRow(c, c.textIds);
    caseValues.move(CitationTables::caseColumns().indexOf(CitationTables::caseKey()), caseValues.size() - 1);
    return inTransaction(m_session, [&]() -> Error {
        if (Error err = m_session.lockForWrite(kCaseMaster))
            return err;
        const Result<Citation> stored = storedAsLoaded(c.caseId, &loaded, false);
        if (!stored)
            return stored.error();
        if (Error err = lockLinkedMasters(c))
            return err;
        for (Citation::Text t : kModifyOrder) {
            const CitationTextTable& table = CitationTables::text(t);
            if (Error err =
                    m_session.run(QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?").arg(table.table, table.column),
                                  {c.texts[t], c.textIds[t]}))
                return err;
        }
        const Result<int> affected = m_session.execute(updateCase, caseValues);
        if (!affected)
            return affected.error();
        if (*affected == 0)
            return Error{Error::Kind::NotFound, QString(), vanishedMessage(c.caseId)};
        return insertLinksAndBench(c, c.caseId, stored->bench.mid(Citation::kBenchRows));
    });
}

Error CitationStore::remove(const Citation& loaded) const
{
    return erase(loaded.caseId, &loaded);
}

Error CitationStore::remove(qint64 caseId) const
{
    return erase(caseId, nullptr);
}

Error CitationStore::erase(qint64 caseId, const Citation* loaded) const
{
    return inTransaction(m_session, [&]() -> Error {
        if (Error err = m_session.lockForWrite(kCaseMaster))
            return err;
        if (loaded) {
            const Result<Citation> stored = storedAsLoaded(caseId, loaded, true);
            if (!stored)
                return stored.error();
        }
        // The text rows are the ones the stored citation points to, whatever a screen remembered.
        QStringList keyColumns;
        for (const CitationTextTable& t : CitationTables::texts())
            keyColumns << t.keyColumn;
        std::array<QVariant, Citation::kTextCount> textIds;
        bool stored = false;
        if (Error err = m_session.forEachRow(
                QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                    .arg(keyColumns.join(QLatin1Char(',')), kCaseMaster, CitationTables::caseKey()),
                {caseId}, [&](const QSqlQuery& q) {
                    stored = true;
                    for (const CitationTextTable& t : CitationTables::texts())
                        textIds[t.text] = q.value(t.keyColumn);
                    return false;
                }))
            return err;
        if (!stored)
            return Error{Error::Kind::NotFound, QString(), vanishedMessage(caseId)};
        // Children before case_master, case_master before the texts it points to.
        for (const CitationRowTable& t : CitationTables::rowTables())
            if (Error err =
                    m_session.run(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(t.table, t.caseColumn), {caseId}))
                return err;
        if (Error err = m_session.run(
                QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(kCaseMaster, CitationTables::caseKey()), {caseId}))
            return err;
        for (Citation::Text t : kModifyOrder) {
            if (textIds[t].isNull())
                continue;
            if (Error err = m_session.run(
                    QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(CitationTables::text(t).table), {textIds[t]}))
                return err;
        }
        return {};
    });
}

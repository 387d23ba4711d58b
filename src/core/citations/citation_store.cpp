#include "core/citations/citation_store.h"

#include "core/db/db_session.h"
#include "core/db/shared_data.h"

#include <QSet>
#include <QSqlRecord>

#include <algorithm>

namespace {
const QString kCaseMaster = QStringLiteral("case_master");

struct LinkTable {
    QString table;        // cmd_category_master
    QString masterColumn; // cat_id
    QString master;       // category_master
    QString nameColumn;   // category
    QString caption;      // how messages name one row of the master
};

const LinkTable& categoryLinks()
{
    static const LinkTable t{QStringLiteral("cmd_category_master"), QStringLiteral("cat_id"),
                             QStringLiteral("category_master"), QStringLiteral("category"), QStringLiteral("category")};
    return t;
}

const LinkTable& courtLinks()
{
    static const LinkTable t{QStringLiteral("cmd_court_master"), QStringLiteral("court_id"),
                             QStringLiteral("court_master"), QStringLiteral("court_name"), QStringLiteral("court")};
    return t;
}

const LinkTable& actLinks()
{
    static const LinkTable t{QStringLiteral("cmd_act_master"), QStringLiteral("act_id"), QStringLiteral("act_master"),
                             QStringLiteral("act"), QStringLiteral("Act")};
    return t;
}

// The order in which a new citation's text rows are written: remarks before rule of law.
constexpr std::array<Citation::Text, Citation::kTextCount> kAddOrder{Citation::Judgment,    Citation::NatureOfCase,
                                                                     Citation::FactSummary, Citation::Issue,
                                                                     Citation::Remarks,     Citation::RuleOfLaw};
// And changed: rule of law before remarks.
constexpr std::array<Citation::Text, Citation::kTextCount> kModifyOrder{Citation::Judgment,    Citation::NatureOfCase,
                                                                        Citation::FactSummary, Citation::Issue,
                                                                        Citation::RuleOfLaw,   Citation::Remarks};

DbError run(DbSession& s, const QString& sql, const QVariantList& values, int* affected = nullptr)
{
    DbResult<int> r = s.execute(sql, values);
    if (!r)
        return r.error();
    if (affected)
        *affected = *r;
    return {};
}

QVariant dateValue(const QDate& date)
{
    return date.isValid() ? QVariant(date) : QVariant(QMetaType::fromType<QDate>());
}

DbError tooLong(const QString& field, int limit, qsizetype length)
{
    return DbError::other(QStringLiteral("The %1 may hold at most %2 characters; it has %3. Nothing was stored.")
                              .arg(field)
                              .arg(limit)
                              .arg(length));
}

// Takes the next key of a table inside the write's transaction.
DbError nextKey(DbSession& s, const QString& table, qint64* key)
{
    DbResult<qint64> next = SharedData::getNextId(s, table);
    if (!next)
        return next.error();
    *key = *next;
    return {};
}

DbError insertLinks(DbSession& s, const LinkTable& t, const QList<CitationLink>& links, qint64 caseId, qint64 key,
                    bool withSection)
{
    const QString sql = withSection ? QStringLiteral("INSERT INTO %1 (id,%2,cmd_id,section) VALUES (?,?,?,?)")
                                    : QStringLiteral("INSERT INTO %1 (id,%2,cmd_id) VALUES (?,?,?)");
    for (const CitationLink& link : links) {
        if (CitationStore::isPlaceholder(link))
            continue;
        QVariantList values{key, link.masterId, caseId};
        if (withSection)
            values << link.section;
        if (DbError e = run(s, sql.arg(t.table, t.masterColumn), values))
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

DbResult<QList<CitationLink>> loadLinks(DbSession& s, const LinkTable& t, qint64 caseId, bool withSection)
{
    // Link keys follow the list's order, so ordering by them gives the list back as it was entered.
    const QString sql =
        QStringLiteral("SELECT %3.%4 AS link_name, %3.id AS master_id%5 FROM case_master,%1,%3 "
                       "WHERE case_master.case_id = %1.cmd_id AND %1.%2 = %3.id AND %1.cmd_id = ? ORDER BY %1.id")
            .arg(t.table, t.masterColumn, t.master, t.nameColumn,
                 withSection ? QStringLiteral(", %1.section AS section").arg(t.table) : QString());
    DbResult<QSqlQuery> q = s.query(sql, {caseId});
    if (!q)
        return q.error();
    QList<CitationLink> links;
    while (q->next())
        links.append({q->value(QStringLiteral("master_id")).toLongLong(),
                      q->value(QStringLiteral("link_name")).toString(),
                      withSection ? q->value(QStringLiteral("section")).toString() : QString()});
    return links;
}
} // namespace

const std::array<CitationStore::TextTable, Citation::kTextCount>& CitationStore::textTables()
{
    static const std::array<TextTable, Citation::kTextCount> tables{{
        {QStringLiteral("cm_judgment_master"), QStringLiteral("judgment"), QStringLiteral("judgment_id"),
         QStringLiteral("Judgment")},
        {QStringLiteral("cm_nature_of_case_master"), QStringLiteral("nature_of_case"), QStringLiteral("nature_case_id"),
         QStringLiteral("Nature of case")},
        {QStringLiteral("cm_fact_summary_master"), QStringLiteral("fact_summary"), QStringLiteral("fact_summary_id"),
         QStringLiteral("Fact summary")},
        {QStringLiteral("cm_issue_master"), QStringLiteral("issue"), QStringLiteral("issue_id"),
         QStringLiteral("Issue")},
        {QStringLiteral("cm_rule_of_law_master"), QStringLiteral("rule_of_law"), QStringLiteral("rule_of_law_id"),
         QStringLiteral("Rule of law")},
        {QStringLiteral("cm_remarks_master"), QStringLiteral("remarks"), QStringLiteral("remarks_id"),
         QStringLiteral("Remarks")},
    }};
    return tables;
}

CitationStore::CitationStore(DbSession& session)
    : m_session(session)
{}

QString CitationStore::trimBlanks(const QString& text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.mid(begin, end - begin);
}

bool CitationStore::isPlaceholder(const CitationLink& link)
{
    return link.name.compare(QLatin1String("(None)"), Qt::CaseInsensitive) == 0 || link.masterId == 0;
}

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

qsizetype CitationStore::characterCount(const QString& text)
{
    qsizetype count = text.size();
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate()) {
            --count;
            ++i;
        }
    }
    return count;
}

// Measured as the columns' lengths are, so that a text the database would take is never refused here.
DbError CitationStore::validate(const Citation& c)
{
    if (characterCount(c.citation) > kShortTextLimit)
        return tooLong(QStringLiteral("Citation"), kShortTextLimit, characterCount(c.citation));
    if (characterCount(c.caseTitle) > kShortTextLimit)
        return tooLong(QStringLiteral("Case"), kShortTextLimit, characterCount(c.caseTitle));
    for (int i = 0; i < Citation::kTextCount; ++i)
        if (characterCount(c.texts[i]) > kLongTextLimit)
            return tooLong(textTables()[i].caption, kLongTextLimit, characterCount(c.texts[i]));
    for (const CitationLink& act : c.acts)
        if (!isPlaceholder(act) && characterCount(act.section) > kNameLimit)
            return tooLong(QStringLiteral("Section of %1").arg(act.name), kNameLimit, characterCount(act.section));
    if (c.bench.size() > Citation::kBenchRows)
        return DbError::other(
            QStringLiteral("A citation has at most %1 bench names. Nothing was stored.").arg(Citation::kBenchRows));
    for (int row = 0; row < c.bench.size(); ++row)
        if (characterCount(c.bench[row]) > kNameLimit)
            return tooLong(QStringLiteral("Bench name in row %1").arg(row + 1), kNameLimit,
                           characterCount(c.bench[row]));
    return {};
}

DbResult<QList<qint64>> CitationStore::caseIds() const
{
    DbResult<QSqlQuery> q = m_session.query(QStringLiteral("SELECT case_id FROM case_master"));
    if (!q)
        return q.error();
    QList<qint64> ids;
    while (q->next())
        ids << q->value(0).toLongLong();
    return ids;
}

DbResult<qint64> CitationStore::nextCaseId() const
{
    return SharedData::getNextId(m_session, kCaseMaster);
}

DbResult<bool> CitationStore::exists(qint64 caseId) const
{
    DbResult<QSqlQuery> q =
        m_session.query(QStringLiteral("SELECT case_id FROM case_master WHERE case_id = ?"), {caseId});
    if (!q)
        return q.error();
    return q->next();
}

DbResult<Citation> CitationStore::load(qint64 caseId) const
{
    Citation c;
    c.caseId = caseId;
    // The six texts joined to their citation, in the order of the FROM list; columns are read by name.
    QStringList columns{QStringLiteral("case_master.case_id"), QStringLiteral("case_master.citation"),
                        QStringLiteral("case_master.c_case"), QStringLiteral("case_master.dt_of_judgment")};
    const QList<int> fromOrder{Citation::FactSummary,  Citation::Issue,   Citation::Judgment,
                               Citation::NatureOfCase, Citation::Remarks, Citation::RuleOfLaw};
    QStringList from{kCaseMaster};
    QStringList joins;
    for (int i : fromOrder) {
        const TextTable& t = textTables()[i];
        columns << QStringLiteral("%1.id AS %2_row").arg(t.table, t.column)
                << QStringLiteral("%1.%2 AS %2").arg(t.table, t.column);
        from << t.table;
    }
    for (int i : kModifyOrder) {
        const TextTable& t = textTables()[i];
        joins << QStringLiteral("case_master.%1 = %2.id").arg(t.keyColumn, t.table);
    }
    const QString sql = QStringLiteral("SELECT ") + columns.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") +
                        from.join(QLatin1Char(',')) + QStringLiteral(" WHERE ") + joins.join(QStringLiteral(" AND ")) +
                        QStringLiteral(" AND case_id = ?");
    {
        DbResult<QSqlQuery> q = m_session.query(sql, {caseId});
        if (!q)
            return q.error();
        if (q->next()) {
            c.citation = q->value(QStringLiteral("citation")).toString();
            c.caseTitle = q->value(QStringLiteral("c_case")).toString();
            const QDate date = q->value(QStringLiteral("dt_of_judgment")).toDate();
            // Only month and year are kept on screen.
            if (date.isValid())
                c.judgmentDate = QDate(date.year(), date.month(), 1);
            for (int i = 0; i < Citation::kTextCount; ++i) {
                const QString& column = textTables()[i].column;
                c.texts[i] = q->value(column).toString();
                c.textIds[i] = q->value(column + QStringLiteral("_row")).toLongLong();
            }
        }
    }
    for (auto [list, table, section] :
         {std::tuple{&c.categories, &categoryLinks(), false}, std::tuple{&c.courts, &courtLinks(), false},
          std::tuple{&c.acts, &actLinks(), true}}) {
        DbResult<QList<CitationLink>> links = loadLinks(m_session, *table, caseId, section);
        if (!links)
            return links.error();
        *list = *links;
    }
    DbResult<QSqlQuery> bench = m_session.query(
        QStringLiteral("SELECT cm_bench_name.bench_name AS bench_name FROM case_master,cm_bench_name "
                       "WHERE case_master.case_id = cm_bench_name.case_id AND cm_bench_name.case_id = ? "
                       "ORDER BY cm_bench_name.id"),
        {caseId});
    if (!bench)
        return bench.error();
    while (bench->next())
        c.bench << bench->value(QStringLiteral("bench_name")).toString();
    return c;
}

DbResult<Citation> CitationStore::storedAsLoaded(qint64 caseId, const Citation* loaded, bool deleting) const
{
    const DbResult<bool> there = exists(caseId);
    if (!there)
        return there.error();
    if (!*there)
        return DbError{DbError::Kind::NotFound, QString(), vanishedMessage(caseId)};
    DbResult<Citation> stored = load(caseId);
    if (stored && loaded && !sameStoredCitation(*stored, *loaded))
        return DbError{DbError::Kind::Conflict, QString(), changedMessage(caseId, deleting)};
    return stored;
}

DbError CitationStore::lockLinkedMasters(const Citation& c) const
{
    QStringList gone;
    for (auto [links, table] : {std::pair{&c.categories, &categoryLinks()}, std::pair{&c.courts, &courtLinks()},
                                std::pair{&c.acts, &actLinks()}}) {
        QList<const CitationLink*> linked;
        QVariantList ids;
        for (const CitationLink& link : *links) {
            if (isPlaceholder(link))
                continue;
            linked << &link;
            ids << link.masterId;
        }
        if (linked.isEmpty())
            continue;
        // Held until the commit, so that no master row the links need can be deleted before they are written.
        if (DbError e = m_session.lockForWrite(table->master))
            return e;
        const QString marks = QStringList(ids.size(), QStringLiteral("?")).join(QLatin1Char(','));
        DbResult<QSqlQuery> q =
            m_session.query(QStringLiteral("SELECT id FROM %1 WHERE id IN (%2)").arg(table->master, marks), ids);
        if (!q)
            return q.error();
        QSet<qint64> present;
        while (q->next())
            present.insert(q->value(0).toLongLong());
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
    return {DbError::Kind::NotFound, QString(),
            named + (gone.size() == 1 ? QStringLiteral(" was") : QStringLiteral(" were")) +
                QStringLiteral(" deleted by another user; nothing was stored.")};
}

DbError CitationStore::insertLinksAndBench(const Citation& c, qint64 caseId, const QStringList& keptBench) const
{
    // The four keys are taken before anything is written, so rewritten rows get fresh keys after the old ones.
    qint64 benchKey = 0, categoryKey = 0, courtKey = 0, actKey = 0;
    if (DbError e = nextKey(m_session, QStringLiteral("cm_bench_name"), &benchKey))
        return e;
    if (DbError e = nextKey(m_session, categoryLinks().table, &categoryKey))
        return e;
    if (DbError e = nextKey(m_session, courtLinks().table, &courtKey))
        return e;
    if (DbError e = nextKey(m_session, actLinks().table, &actKey))
        return e;
    for (const QString& table :
         {QStringLiteral("cm_bench_name"), categoryLinks().table, courtLinks().table, actLinks().table}) {
        const QString column =
            table == QLatin1String("cm_bench_name") ? QStringLiteral("case_id") : QStringLiteral("cmd_id");
        if (DbError e = run(m_session, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, column), {caseId}))
            return e;
    }
    for (const QString& name : c.bench) {
        if (name.trimmed().isEmpty())
            continue;
        if (DbError e =
                run(m_session, QStringLiteral("INSERT INTO cm_bench_name (id,bench_name,case_id) VALUES (?,?,?)"),
                    {benchKey, name, caseId}))
            return e;
        ++benchKey;
    }
    // Rows the caller was not shown go back as they were, after the ones it gave.
    for (const QString& name : keptBench) {
        if (DbError e =
                run(m_session, QStringLiteral("INSERT INTO cm_bench_name (id,bench_name,case_id) VALUES (?,?,?)"),
                    {benchKey, name, caseId}))
            return e;
        ++benchKey;
    }
    if (DbError e = insertLinks(m_session, categoryLinks(), c.categories, caseId, categoryKey, false))
        return e;
    if (DbError e = insertLinks(m_session, courtLinks(), c.courts, caseId, courtKey, false))
        return e;
    return insertLinks(m_session, actLinks(), c.acts, caseId, actKey, true);
}

DbResult<qint64> CitationStore::add(const Citation& typed) const
{
    Citation c = typed;
    c.caseTitle = trimBlanks(c.caseTitle);
    for (QString& text : c.texts)
        text = trimBlanks(text);
    if (DbError e = validate(c))
        return e;
    qint64 caseId = 0;
    const DbError e = inTransaction(m_session, [&]() -> DbError {
        // Every citation writer locks case_master first, so writers queue in one order and cannot deadlock.
        if (DbError err = nextKey(m_session, kCaseMaster, &caseId))
            return err;
        if (DbError err = lockLinkedMasters(c))
            return err;
        std::array<qint64, Citation::kTextCount> ids{};
        for (Citation::Text t : kAddOrder)
            if (DbError err = nextKey(m_session, textTables()[t].table, &ids[t]))
                return err;
        for (Citation::Text t : kAddOrder) {
            const TextTable& table = textTables()[t];
            if (DbError err =
                    run(m_session, QStringLiteral("INSERT INTO %1 (id,%2) VALUES (?,?)").arg(table.table, table.column),
                        {ids[t], c.texts[t]}))
                return err;
        }
        if (DbError err =
                run(m_session,
                    QStringLiteral("INSERT INTO case_master (case_id,citation,judgment_id,c_case,nature_case_id,"
                                   "fact_summary_id,issue_id,rule_of_law_id,remarks_id,dt_of_judgment) "
                                   "VALUES(?,?,?,?,?,?,?,?,?,?)"),
                    {caseId, c.citation, ids[Citation::Judgment], c.caseTitle, ids[Citation::NatureOfCase],
                     ids[Citation::FactSummary], ids[Citation::Issue], ids[Citation::RuleOfLaw], ids[Citation::Remarks],
                     dateValue(c.judgmentDate)}))
            return err;
        return insertLinksAndBench(c, caseId);
    });
    if (e)
        return e;
    return caseId;
}

DbError CitationStore::modify(const Citation& loaded, const Citation& edited) const
{
    return rewrite(&loaded, edited);
}

DbError CitationStore::modify(const Citation& citation) const
{
    return rewrite(nullptr, citation);
}

DbError CitationStore::rewrite(const Citation* loaded, const Citation& edited) const
{
    if (DbError e = validate(edited))
        return e;
    Citation c = edited;
    if (loaded) {
        // The rows written are the ones that were loaded, and found unchanged below.
        c.caseId = loaded->caseId;
        c.textIds = loaded->textIds;
    }
    return inTransaction(m_session, [&]() -> DbError {
        if (DbError err = m_session.lockForWrite(kCaseMaster))
            return err;
        const DbResult<Citation> stored = storedAsLoaded(c.caseId, loaded, false);
        if (!stored)
            return stored.error();
        if (DbError err = lockLinkedMasters(c))
            return err;
        for (Citation::Text t : kModifyOrder) {
            const TextTable& table = textTables()[t];
            if (DbError err =
                    run(m_session, QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?").arg(table.table, table.column),
                        {c.texts[t], c.textIds[t]}))
                return err;
        }
        int affected = 0;
        if (DbError err =
                run(m_session,
                    QStringLiteral("UPDATE case_master SET citation = ?, judgment_id = ?, c_case = ?, "
                                   "nature_case_id = ?, fact_summary_id = ?, issue_id = ?, rule_of_law_id = ?, "
                                   "remarks_id = ?, dt_of_judgment = ? WHERE case_id = ?"),
                    {c.citation, c.textIds[Citation::Judgment], c.caseTitle, c.textIds[Citation::NatureOfCase],
                     c.textIds[Citation::FactSummary], c.textIds[Citation::Issue], c.textIds[Citation::RuleOfLaw],
                     c.textIds[Citation::Remarks], dateValue(c.judgmentDate), c.caseId},
                    &affected))
            return err;
        if (affected == 0)
            return DbError{DbError::Kind::NotFound, QString(), vanishedMessage(c.caseId)};
        return insertLinksAndBench(c, c.caseId, stored->bench.mid(Citation::kBenchRows));
    });
}

DbError CitationStore::remove(const Citation& loaded) const
{
    return erase(loaded.caseId, &loaded);
}

DbError CitationStore::remove(qint64 caseId) const
{
    return erase(caseId, nullptr);
}

DbError CitationStore::erase(qint64 caseId, const Citation* loaded) const
{
    return inTransaction(m_session, [&]() -> DbError {
        if (DbError err = m_session.lockForWrite(kCaseMaster))
            return err;
        if (loaded) {
            const DbResult<Citation> stored = storedAsLoaded(caseId, loaded, true);
            if (!stored)
                return stored.error();
        }
        // The text rows are the ones the stored citation points to, whatever a screen remembered.
        QStringList keyColumns;
        for (const TextTable& t : textTables())
            keyColumns << t.keyColumn;
        DbResult<QSqlQuery> q = m_session.query(
            QStringLiteral("SELECT %1 FROM case_master WHERE case_id = ?").arg(keyColumns.join(QLatin1Char(','))),
            {caseId});
        if (!q)
            return q.error();
        if (!q->next())
            return DbError{DbError::Kind::NotFound, QString(), vanishedMessage(caseId)};
        std::array<QVariant, Citation::kTextCount> textIds;
        for (int i = 0; i < Citation::kTextCount; ++i)
            textIds[i] = q->value(textTables()[i].keyColumn);
        q->finish();
        for (const auto& [table, column] : {std::pair{QStringLiteral("cm_bench_name"), QStringLiteral("case_id")},
                                            std::pair{categoryLinks().table, QStringLiteral("cmd_id")},
                                            std::pair{courtLinks().table, QStringLiteral("cmd_id")},
                                            std::pair{actLinks().table, QStringLiteral("cmd_id")},
                                            std::pair{kCaseMaster, QStringLiteral("case_id")}}) {
            if (DbError err =
                    run(m_session, QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table, column), {caseId}))
                return err;
        }
        for (Citation::Text t : kModifyOrder) {
            if (textIds[t].isNull())
                continue;
            if (DbError err = run(m_session, QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(textTables()[t].table),
                                  {textIds[t]}))
                return err;
        }
        return {};
    });
}

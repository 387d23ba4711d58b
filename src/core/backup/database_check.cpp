#include "core/backup/database_check.h"

#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/masters/master_kind.h"
#include "core/masters/master_store.h"
#include "core/masters/master_table.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

namespace {
using Problem = DatabaseCheck::Problem;
using Kind = DatabaseCheck::Problem::Kind;

// Rows named one by one in a problem before the rest are only counted.
constexpr int kNamedRows = 10;

QString keyName(const QString& table, const QString& column, const QString& refTable, const QString& refColumn)
{
    return QStringLiteral("%1.%2>%3.%4").arg(table, column, refTable, refColumn).toLower();
}

QString listed(const QStringList& keys, qint64 count)
{
    QString text = keys.join(QStringLiteral(", "));
    if (count > keys.size())
        text += QStringLiteral(" and %1 more").arg(count - keys.size());
    return text;
}

// The keys of the rows a condition picks, the first few by name, and how many there are.
Error pick(DbSession& session, const QString& from, QStringList* keys, qint64* count)
{
    Result<QSqlQuery> counted = session.query(QStringLiteral("SELECT COUNT(*) FROM ") + from);
    if (!counted)
        return counted.error();
    *count = counted->next() ? counted->value(0).toLongLong() : 0;
    if (*count == 0)
        return {};
    return session.forEachRow(
        QStringLiteral("SELECT k FROM (SELECT x.k AS k FROM %1) y ORDER BY k LIMIT %2").arg(from).arg(kNamedRows), {},
        [keys](const QSqlQuery& q) {
            *keys << q.value(0).toString();
            return true;
        });
}

Error checkSchema(DbSession& session, const Schema::Status& status, DatabaseCheck::Report& report)
{
    for (const QString& table : status.missingTables)
        report.problems.append({Kind::Schema, QStringLiteral("The table %1 is missing.").arg(table)});
    for (const TableDef& t : Schema::allTables()) {
        if (status.missingTables.contains(t.name))
            continue;
        const Result<QStringList> columns = session.column<QString>(session.dialect().tableColumnsQuery(), {t.name});
        if (!columns)
            return columns.error();
        QSet<QString> there;
        for (const QString& c : *columns)
            there.insert(c.toLower());
        for (const ColumnDef& c : t.columns)
            if (!there.contains(c.name.toLower()))
                report.problems.append(
                    {Kind::Schema, QStringLiteral("The table %1 lacks its column %2.").arg(t.name, c.name)});
    }
    QSet<QString> keys;
    if (Error e = session.forEachRow(session.dialect().foreignKeysQuery(), {}, [&keys](const QSqlQuery& q) {
            keys.insert(
                keyName(q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()));
            return true;
        }))
        return e;
    for (const ForeignKeyDef& k : Schema::foreignKeys())
        if (!status.missingTables.contains(k.table) &&
            !keys.contains(keyName(k.table, k.column, k.refTable, k.refColumn)))
            report.problems.append({Kind::Schema, QStringLiteral("The foreign key of %1.%2 to %3.%4 is missing.")
                                                      .arg(k.table, k.column, k.refTable, k.refColumn)});
    return {};
}

Error checkSearchIndex(DbSession& session, DatabaseCheck::Report& report)
{
    for (const SearchIndexDef& x : Schema::searchIndexes()) {
        const Result<SqlDialect::SearchIndexGaps> gaps = session.dialect().searchIndexGaps(session, x);
        if (!gaps)
            return gaps.error();
        if (gaps->unindexed > 0)
            report.problems.append({Kind::SearchIndex, QStringLiteral("%1 rows of %2.%3 cannot be found through the "
                                                                      "search index.")
                                                           .arg(gaps->unindexed)
                                                           .arg(x.table, x.column)});
        if (gaps->stray > 0)
            report.problems.append(
                {Kind::SearchIndex, QStringLiteral("The search index of %1.%2 holds %3 entries whose rows are gone.")
                                        .arg(x.table, x.column)
                                        .arg(gaps->stray)});
        if (gaps->unindexed > 0 || gaps->stray > 0)
            report.searchIndexDamaged = true;
    }
    return {};
}

// A row that names a row of another table that is not there: a link to a missing master or citation, or a citation
// whose text is missing.
Error checkLinks(DbSession& session, DatabaseCheck::Report& report)
{
    for (const ForeignKeyDef& k : Schema::foreignKeys()) {
        const QString from = QStringLiteral("%1 x WHERE x.%2 IS NOT NULL AND NOT EXISTS (SELECT 1 FROM %3 p WHERE "
                                            "p.%4 = x.%2)")
                                 .arg(k.table, k.column, k.refTable, k.refColumn);
        QStringList keys;
        qint64 count = 0;
        // The value that points nowhere stands for the row.
        if (Error e = pick(session, QStringLiteral("(SELECT x.%1 AS k FROM %2) x").arg(k.column, from), &keys, &count))
            return e;
        if (count > 0)
            report.problems.append({Kind::BrokenLink, QStringLiteral("%1 rows of %2 name a %3 that %4 does not hold "
                                                                     "(%3 %5).")
                                                          .arg(count)
                                                          .arg(k.table, k.column, k.refTable, listed(keys, count))});
    }
    return {};
}

// The long texts are rows of their own that a citation points at; one that no citation points at is left over.
QString orphanTexts(const ForeignKeyDef& k)
{
    return QStringLiteral("%1 WHERE NOT EXISTS (SELECT 1 FROM %2 c WHERE c.%3 = %1.%4)")
        .arg(k.refTable, k.table, k.column, k.refColumn);
}

QList<ForeignKeyDef> textKeys()
{
    QList<ForeignKeyDef> keys;
    const QString caseTable = Schema::caseTable().name;
    for (const ForeignKeyDef& k : Schema::foreignKeysOf(caseTable))
        keys << k;
    return keys;
}

Error checkOrphanTexts(DbSession& session, DatabaseCheck::Report& report)
{
    for (const ForeignKeyDef& k : textKeys()) {
        QStringList keys;
        qint64 count = 0;
        if (Error e = pick(session,
                           QStringLiteral("(SELECT %1.%2 AS k FROM %3) x").arg(k.refTable, k.refColumn, orphanTexts(k)),
                           &keys, &count))
            return e;
        if (count > 0) {
            report.orphanTexts += count;
            report.problems.append({Kind::OrphanText, QStringLiteral("%1 rows of %2 belong to no citation (%3 %4).")
                                                          .arg(count)
                                                          .arg(k.refTable, k.refColumn, listed(keys, count))});
        }
    }
    return {};
}

Error checkDuplicateNames(DbSession& session, DatabaseCheck::Report& report)
{
    for (MasterKind kind : {MasterKind::Category, MasterKind::Court, MasterKind::Act}) {
        const MasterTable& t = MasterTable::of(kind);
        QHash<QString, QStringList> byName;
        QStringList order;
        if (Error e = session.forEachRow(
                QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id").arg(t.nameColumn, t.table), {},
                [&](const QSqlQuery& q) {
                    const QString name = MasterStore::comparable(q.value(1).toString());
                    if (!byName.contains(name))
                        order << name;
                    byName[name] << QStringLiteral("%1 \"%2\"").arg(q.value(0).toString(), q.value(1).toString());
                    return true;
                }))
            return e;
        for (const QString& name : order)
            if (byName.value(name).size() > 1)
                report.problems.append(
                    {Kind::DuplicateName, QStringLiteral("%1 holds the same name more than once: %2.")
                                              .arg(t.table, byName.value(name).join(QStringLiteral(", ")))});
    }
    return {};
}

Error checkEngine(DbSession& session, DatabaseCheck::Report& report)
{
    const QString check = session.dialect().integrityCheckQuery();
    if (check.isEmpty())
        return {};
    const Result<QStringList> rows = session.column<QString>(check);
    if (!rows)
        return rows.error();
    if (*rows != QStringList{QStringLiteral("ok")})
        for (const QString& row : *rows)
            report.problems.append({Kind::Engine, QStringLiteral("The engine's check: %1").arg(row)});
    return {};
}
} // namespace

Result<DatabaseCheck::Report> DatabaseCheck::run(DbSession& session)
{
    if (!session.isOpen())
        return session.error();
    Report report;
    const Result<Schema::Status> status = Schema::inspect(session);
    if (!status)
        return status.error();
    switch (status->state) {
    case Schema::State::Newer:
        report.problems.append({Kind::Schema, Schema::newerVersionMessage(
                                                  session.context().connection.database.trimmed(), status->version)});
        return report;
    case Schema::State::NotOurs:
        if (status->missingTables.size() == Schema::allTables().size()) {
            report.problems.append({Kind::Schema, QStringLiteral("The database holds none of the program's tables.")});
            return report;
        }
        break;
    case Schema::State::Older:
        report.problems.append({Kind::Schema, QStringLiteral("The database records schema version %1 of %2; the "
                                                             "program brings it up to date when it opens it.")
                                                  .arg(status->version)
                                                  .arg(Schema::kCurrentVersion)});
        break;
    case Schema::State::Current:
        break;
    }
    if (Error e = checkSchema(session, *status, report))
        return e;
    if (!status->missingTables.isEmpty())
        return report; // the row checks read every table
    if (status->version >= 3)
        if (Error e = checkSearchIndex(session, report))
            return e;
    if (Error e = checkLinks(session, report))
        return e;
    if (Error e = checkOrphanTexts(session, report))
        return e;
    if (Error e = checkDuplicateNames(session, report))
        return e;
    if (Error e = checkEngine(session, report))
        return e;
    return report;
}

QStringList DatabaseCheck::repairPlan(const Report& report)
{
    QStringList plan;
    if (report.orphanTexts > 0)
        plan << QStringLiteral("Remove the %1 text rows that belong to no citation.").arg(report.orphanTexts);
    if (report.searchIndexDamaged || report.orphanTexts > 0)
        plan << QStringLiteral("Rebuild the search index from the texts.");
    return plan;
}

Error DatabaseCheck::repair(DbSession& session)
{
    return inTransaction(session, [&session]() -> Error {
        const QList<ForeignKeyDef> keys = textKeys();
        if (Error e = session.lockForWrite(Schema::caseTable().name))
            return e;
        for (const ForeignKeyDef& k : keys) {
            if (Error e = session.lockForWrite(k.refTable))
                return e;
            if (Error e = session.run(QStringLiteral("DELETE FROM ") + orphanTexts(k)))
                return e;
        }
        return session.dialect().rebuildSearchIndexes(session, Schema::searchIndexes());
    });
}

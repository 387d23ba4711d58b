#include "core/masters/master_store.h"

#include "core/db/db_session.h"
#include "core/db/shared_data.h"

#include <QSqlError>
#include <QSqlQuery>

namespace {
DbError& sink(DbError* error, DbError& local)
{
    DbError& e = error ? *error : local;
    e = {};
    return e;
}

// Runs a prepared statement with its values; the query is positioned before its first row.
bool run(QSqlQuery& q, const QString& sql, const QVariantList& values, DbError* error)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        *error = DbError::fromSql(q.lastError());
        return false;
    }
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        *error = DbError::fromSql(q.lastError());
        return false;
    }
    return true;
}

// Opens a connection, runs one read and hands the query, before its first row, to read().
template <typename Read>
void readRows(const DbContext& ctx, const QString& sql, const QVariantList& values, DbError& e, Read read)
{
    DbSession conn(ctx);
    if (!conn.isOpen()) {
        e = conn.error();
        return;
    }
    QSqlQuery q(conn.db());
    if (run(q, sql, values, &e))
        read(q);
}

MasterResult failed(const DbError& e)
{
    return {MasterResult::Outcome::Failed, e};
}

// Whether any row the query returns (name in its second column) has the same name as wanted.
bool anySameName(QSqlQuery& q, const QString& wanted)
{
    while (q.next())
        if (MasterStore::comparable(q.value(1).toString()) == wanted)
            return true;
    return false;
}
} // namespace

MasterStore::MasterStore(const DbContext& ctx, MasterKind kind)
    : m_ctx(ctx)
    , m_table(&MasterTable::of(kind))
{}

QString MasterStore::comparable(const QString& name)
{
    // Trailing blanks do not count, leading ones do; letters compare by their case-folded form, the same for
    // every alphabet (the engines' own LOWER functions disagree beyond ASCII).
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == QLatin1Char(' '))
        --end;
    return name.left(end).toCaseFolded();
}

QList<MasterRow> MasterStore::rows(DbError* error) const
{
    DbError local;
    QList<MasterRow> result;
    readRows(m_ctx, m_table->selectAll, {}, sink(error, local), [&](QSqlQuery& q) {
        while (q.next())
            result.append({q.value(0).toLongLong(), q.value(1).toString()});
    });
    return result;
}

QList<qint64> MasterStore::ids(DbError* error) const
{
    QList<qint64> result;
    for (const MasterRow& r : rows(error))
        result << r.id;
    return result;
}

std::optional<qint64> MasterStore::nextId(DbError* error) const
{
    DbError local;
    DbError& e = sink(error, local);
    DbSession session(m_ctx);
    const DbResult<qint64> next = SharedData::getNextId(session, m_table->table);
    if (!next) {
        e = next.error();
        return std::nullopt;
    }
    return *next;
}

QString MasterStore::nameOf(qint64 id, DbError* error) const
{
    DbError local;
    QString name;
    readRows(m_ctx, m_table->selectById, {id}, sink(error, local), [&](QSqlQuery& q) {
        if (q.next())
            name = q.value(1).toString();
    });
    return name;
}

bool MasterStore::isInUse(qint64 id, DbError* error) const
{
    DbError local;
    bool used = false;
    readRows(m_ctx, m_table->inUse, {id}, sink(error, local), [&](QSqlQuery& q) { used = q.next(); });
    return used;
}

QList<QStringList> MasterStore::listingRows(DbError* error) const
{
    DbError local;
    QList<QStringList> result;
    readRows(m_ctx, m_table->listing, {}, sink(error, local), [&](QSqlQuery& q) {
        while (q.next())
            result.append({q.value(0).toString(), q.value(1).toString()});
    });
    return result;
}

// In one transaction: unless a row the check returns has the same name, write the (already trimmed) name.
// The write says whether it touched a row.
MasterResult MasterStore::writeUnlessDuplicate(const QString& name, const QString& checkSql,
                                               const QVariantList& checkValues,
                                               const std::function<DbError(QSqlQuery&, bool*)>& write) const
{
    if (name.isEmpty())
        return {MasterResult::Outcome::EmptyName, {}};
    DbSession conn(m_ctx);
    if (!conn.isOpen())
        return failed(conn.error());
    MasterResult result;
    const DbError e = inTransaction(conn, [&]() -> DbError {
        DbError err;
        QSqlQuery q(conn.db());
        if (!run(q, checkSql, checkValues, &err))
            return err;
        const bool duplicate = anySameName(q, comparable(name));
        q.finish();
        if (duplicate) {
            result.outcome = MasterResult::Outcome::Duplicate;
            return {};
        }
        QSqlQuery w(conn.db());
        bool touched = true;
        if (DbError we = write(w, &touched))
            return we;
        if (!touched)
            result.outcome = MasterResult::Outcome::Missing;
        return {};
    });
    return e ? failed(e) : result;
}

MasterResult MasterStore::add(qint64 id, const QString& typedName) const
{
    // The name is tested as it will be stored.
    const QString name = typedName.trimmed();
    return writeUnlessDuplicate(name, m_table->selectAll, {}, [&](QSqlQuery& insert, bool*) {
        DbError err;
        run(insert, m_table->insert, {id, name}, &err);
        return err;
    });
}

MasterResult MasterStore::rename(qint64 id, const QString& typedName) const
{
    const QString name = typedName.trimmed();
    // The row's own name does not count, so a row may keep its name or change only its case.
    return writeUnlessDuplicate(name, m_table->selectOthers, {id}, [&](QSqlQuery& update, bool* touched) {
        DbError err;
        if (run(update, m_table->update, {name, id}, &err))
            *touched = update.numRowsAffected() != 0;
        return err;
    });
}

MasterResult MasterStore::remove(qint64 id) const
{
    DbSession conn(m_ctx);
    if (!conn.isOpen())
        return failed(conn.error());
    MasterResult result;
    const DbError e = inTransaction(conn, [&]() -> DbError {
        DbError err;
        QSqlQuery q(conn.db());
        if (!run(q, m_table->inUse, {id}, &err))
            return err;
        const bool used = q.next();
        q.finish();
        if (used) {
            result.outcome = MasterResult::Outcome::InUse;
            return {};
        }
        QSqlQuery del(conn.db());
        if (!run(del, m_table->remove, {id}, &err))
            return err;
        if (del.numRowsAffected() == 0)
            result.outcome = MasterResult::Outcome::Missing;
        return {};
    });
    return e ? failed(e) : result;
}

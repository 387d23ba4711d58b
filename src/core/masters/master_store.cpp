#include "core/masters/master_store.h"

#include "core/db/db_session.h"
#include "core/db/shared_data.h"

#include <QSqlQuery>

namespace {
MasterResult ended(MasterResult::Outcome outcome, qint64 id = 0)
{
    MasterResult r;
    r.outcome = outcome;
    r.id = id;
    return r;
}

MasterResult failed(const Error& error)
{
    MasterResult r;
    r.outcome = MasterResult::Outcome::Failed;
    r.error = error;
    return r;
}
} // namespace

MasterStore::MasterStore(DbSession& session, MasterKind kind)
    : m_session(session)
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

Result<QList<MasterRow>> MasterStore::rows() const
{
    QList<MasterRow> result;
    if (Error e = m_session.forEachRow(m_table->selectAll, {}, [&](const QSqlQuery& q) {
            result.append({q.value(0).toLongLong(), q.value(1).toString()});
            return true;
        }))
        return e;
    return result;
}

Result<QList<qint64>> MasterStore::ids() const
{
    const Result<QList<MasterRow>> all = rows();
    if (!all)
        return all.error();
    QList<qint64> result;
    for (const MasterRow& r : *all)
        result << r.id;
    return result;
}

Result<qint64> MasterStore::nextId() const
{
    return SharedData::getNextId(m_session, m_table->table);
}

Result<std::optional<QString>> MasterStore::nameOf(qint64 id) const
{
    std::optional<QString> name;
    if (Error e = m_session.forEachRow(m_table->selectById, {id}, [&](const QSqlQuery& q) {
            name = q.value(1).toString();
            return false;
        }))
        return e;
    return name;
}

Result<bool> MasterStore::exists(qint64 id) const
{
    const Result<std::optional<QString>> name = nameOf(id);
    if (!name)
        return name.error();
    return name->has_value();
}

Result<bool> MasterStore::isInUse(qint64 id) const
{
    bool used = false;
    if (Error e = m_session.forEachRow(m_table->inUse, {id}, [&](const QSqlQuery&) {
            used = true;
            return false;
        }))
        return e;
    return used;
}

Result<QList<QStringList>> MasterStore::listingRows() const
{
    QList<QStringList> result;
    if (Error e = m_session.forEachRow(m_table->listing, {}, [&](const QSqlQuery& q) {
            result.append({q.value(0).toString(), q.value(1).toString()});
            return true;
        }))
        return e;
    return result;
}

Result<ListingReportData> MasterStore::listing(const Clock& today) const
{
    const Result<QList<QStringList>> rows = listingRows();
    if (!rows)
        return rows.error();
    return buildMasterListingData(m_table->kind, *rows, today ? today() : QDate());
}

Result<bool> MasterStore::anySameName(const QString& sql, const QVariantList& values, const QString& name) const
{
    const QString wanted = comparable(name);
    bool same = false;
    if (Error e = m_session.forEachRow(sql, values, [&](const QSqlQuery& q) {
            same = comparable(q.value(1).toString()) == wanted;
            return !same;
        }))
        return e;
    return same;
}

// One write: in a transaction, under the table's lock, so a check and the write it guards see the same rows.
// A refusal (duplicate, missing, in use) commits nothing and is no failure.
MasterResult MasterStore::writeUnderLock(const std::function<Result<MasterResult>()>& write)
{
    MasterResult result;
    const Error e = inTransaction(m_session, [&]() -> Error {
        if (Error locked = m_session.lockForWrite(m_table->table))
            return locked;
        const Result<MasterResult> r = write();
        if (!r)
            return r.error();
        result = *r;
        return {};
    });
    return e ? failed(e) : result;
}

MasterResult MasterStore::add(const QString& typedName)
{
    // The name is tested as it will be stored.
    const QString name = typedName.trimmed();
    if (name.isEmpty())
        return ended(MasterResult::Outcome::EmptyName);
    return writeUnderLock([&]() -> Result<MasterResult> {
        const Result<bool> duplicate = anySameName(m_table->selectAll, {}, name);
        if (!duplicate)
            return duplicate.error();
        if (*duplicate)
            return ended(MasterResult::Outcome::Duplicate);
        // Taken under the lock, so nobody else can take it before the commit.
        const Result<qint64> key = SharedData::getNextId(m_session, m_table->table);
        if (!key)
            return key.error();
        const Result<int> inserted = m_session.execute(m_table->insert, {*key, name});
        if (!inserted)
            return inserted.error();
        return ended(MasterResult::Outcome::Done, *key);
    });
}

MasterResult MasterStore::rename(qint64 id, const QString& typedName)
{
    const QString name = typedName.trimmed();
    if (name.isEmpty())
        return ended(MasterResult::Outcome::EmptyName);
    return writeUnderLock([&]() -> Result<MasterResult> {
        const Result<bool> there = exists(id);
        if (!there)
            return there.error();
        if (!*there)
            return ended(MasterResult::Outcome::Missing, id);
        // The row's own name does not count, so a row may keep its name or change only its case.
        const Result<bool> duplicate = anySameName(m_table->selectOthers, {id}, name);
        if (!duplicate)
            return duplicate.error();
        if (*duplicate)
            return ended(MasterResult::Outcome::Duplicate, id);
        const Result<int> updated = m_session.execute(m_table->update, {name, id});
        if (!updated)
            return updated.error();
        return ended(*updated == 0 ? MasterResult::Outcome::Missing : MasterResult::Outcome::Done, id);
    });
}

MasterResult MasterStore::remove(qint64 id)
{
    return writeUnderLock([&]() -> Result<MasterResult> {
        const Result<bool> there = exists(id);
        if (!there)
            return there.error();
        if (!*there)
            return ended(MasterResult::Outcome::Missing, id);
        const Result<bool> used = isInUse(id);
        if (!used)
            return used.error();
        if (*used)
            return ended(MasterResult::Outcome::InUse, id);
        const Result<int> deleted = m_session.execute(m_table->remove, {id});
        if (!deleted)
            return deleted.error();
        return ended(*deleted == 0 ? MasterResult::Outcome::Missing : MasterResult::Outcome::Done, id);
    });
}

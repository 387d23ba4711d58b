#include "core/masters/master_store.h"

#include "core/db/db_session.h"
#include "core/db/shared_data.h"

#include <QSqlQuery>

namespace {
const QString kInUse = QStringLiteral("Can not delete selected record as its reference is used in Citation.");
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

QString MasterStore::goneMessage()
{
    return QStringLiteral("The record no longer exists; the list has been reloaded.");
}

// One write: in a transaction, under the table's lock, so a check and the write it guards see the same rows.
// A refusal rolls back, and nothing had been written before it.
Error MasterStore::writeUnderLock(const std::function<Error()>& write)
{
    return inTransaction(m_session, [&]() -> Error {
        if (Error locked = m_session.lockForWrite(m_table->table))
            return locked;
        return write();
    });
}

Result<qint64> MasterStore::add(const QString& typedName)
{
    // The name is tested as it will be stored.
    const QString name = typedName.trimmed();
    if (name.isEmpty())
        return Error::other(m_table->emptyName);
    qint64 stored = 0;
    if (Error e = writeUnderLock([&]() -> Error {
            const Result<bool> duplicate = anySameName(m_table->selectAll, {}, name);
            if (!duplicate)
                return duplicate.error();
            if (*duplicate)
                return Error::of(Error::Kind::Duplicate, m_table->addDuplicate);
            // Taken under the lock, so nobody else can take it before the commit.
            const Result<qint64> key = SharedData::getNextId(m_session, m_table->table);
            if (!key)
                return key.error();
            const Result<int> inserted = m_session.execute(m_table->insert, {*key, name});
            if (!inserted)
                return inserted.error();
            stored = *key;
            return {};
        }))
        return e;
    return stored;
}

Error MasterStore::rename(qint64 id, const QString& typedName)
{
    const QString name = typedName.trimmed();
    if (name.isEmpty())
        return Error::other(m_table->emptyName);
    return writeUnderLock([&]() -> Error {
        const Result<bool> there = exists(id);
        if (!there)
            return there.error();
        if (!*there)
            return Error::of(Error::Kind::NotFound, goneMessage());
        // The row's own name does not count, so a row may keep its name or change only its case.
        const Result<bool> duplicate = anySameName(m_table->selectOthers, {id}, name);
        if (!duplicate)
            return duplicate.error();
        if (*duplicate)
            return Error::of(Error::Kind::Duplicate, m_table->modifyDuplicate);
        const Result<int> updated = m_session.execute(m_table->update, {name, id});
        if (!updated)
            return updated.error();
        return *updated == 0 ? Error::of(Error::Kind::NotFound, goneMessage()) : Error();
    });
}

Error MasterStore::remove(qint64 id)
{
    return writeUnderLock([&]() -> Error {
        const Result<bool> there = exists(id);
        if (!there)
            return there.error();
        if (!*there)
            return Error::of(Error::Kind::NotFound, goneMessage());
        const Result<bool> used = isInUse(id);
        if (!used)
            return used.error();
        if (*used)
            return Error::of(Error::Kind::InUse, kInUse);
        const Result<int> deleted = m_session.execute(m_table->remove, {id});
        if (!deleted)
            return deleted.error();
        return *deleted == 0 ? Error::of(Error::Kind::NotFound, goneMessage()) : Error();
    });
}

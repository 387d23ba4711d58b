#include "core/backup/database_backup.h"

#include "core/citations/citation_tables.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

const QString DatabaseBackup::kNotEmpty =
    QStringLiteral("The database \"%1\" holds %2 citations (%3 rows in all). Restoring the backup replaces all of "
                   "them with the backup's.");
const QString DatabaseBackup::kNotABackup = QStringLiteral("The file %1 is not a backup of a Lexorium database.");

namespace {
void report(const DatabaseBackup::Progress& progress, const QString& step, int percent)
{
    if (progress)
        progress(step, percent);
}

// A progress of copying the tables, mapped to a part of the whole bar.
TableCopy::Progress tableProgress(const DatabaseBackup::Progress& progress, const QString& verb, int from, int to)
{
    if (!progress)
        return {};
    return [progress, verb, from, to](const QString& table, int done, int total) {
        const int percent = from + (to - from) * done / qMax(1, total);
        progress(table.isEmpty() ? verb : QStringLiteral("%1 %2...").arg(verb, table), percent);
    };
}

// The engine's own check of a database: each problem it reports, none when it is sound.
Result<QStringList> engineProblems(DbSession& session)
{
    const QString check = session.dialect().integrityCheckQuery();
    if (check.isEmpty())
        return QStringList();
    Result<QStringList> rows = session.column<QString>(check);
    if (!rows)
        return rows.error();
    if (*rows == QStringList{QStringLiteral("ok")})
        return QStringList();
    return *rows;
}

Error ioError(const QString& text)
{
    return Error::of(Error::Kind::Io, text);
}

// Puts what was written of the file onto the disk, so that a backup that has its name survives a power cut.
Error flushFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || ::fsync(file.handle()) != 0)
        return ioError(QStringLiteral("Cannot write the backup %1 to the disk.").arg(path));
    return {};
}

// Replaces `to` with `from` in one step: a reader of `to` sees the old file or the new one, never a part.
Error replaceFile(const QString& from, const QString& to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) != 0)
        return ioError(
            QStringLiteral("Cannot name the backup %1: %2.").arg(to, QString::fromLocal8Bit(std::strerror(errno))));
    return {};
}

// Whether the file is a sound database of the current schema holding exactly `expected`.
Error verify(const DbContext& ctx, const QString& shownName, const TableCopy::Counts& expected)
{
    DbSession check(ctx, SqlDialect::Target::ReadOnlyCatalog);
    if (!check.isOpen())
        return check.error();
    const Result<QStringList> problems = engineProblems(check);
    if (!problems)
        return problems.error();
    if (!problems->isEmpty())
        return Error::other(QStringLiteral("The backup %1 failed the engine's check: %2")
                                .arg(shownName, problems->join(QStringLiteral("; "))));
    const Result<Schema::Status> status = Schema::inspect(check);
    if (!status)
        return status.error();
    if (status->state != Schema::State::Current)
        return Error::other(QStringLiteral("The backup %1 does not hold the program's schema.").arg(shownName));
    const Result<TableCopy::Counts> found = TableCopy::countRows(check);
    if (!found)
        return found.error();
    const QString difference = TableCopy::difference(expected, *found);
    if (!difference.isEmpty())
        return Error::other(QStringLiteral("The backup %1 is not whole: %2.").arg(shownName, difference));
    return {};
}

DatabaseBackup::Summary summaryOf(const QString& file, const TableCopy::Counts& counts)
{
    return {file, counts.value(CitationTables::caseTable()), TableCopy::total(counts)};
}
} // namespace

QString DatabaseBackup::partialName(const QString& file)
{
    return file + QStringLiteral(".part");
}

DbContext DatabaseBackup::fileContext(const DbContext& present, const QString& file)
{
    DbContext ctx = present;
    ctx.connection = ConnectionString{QStringLiteral("(local)"), present.connection.user,
                                      QFileInfo(file).absoluteFilePath(), present.connection.password};
    return ctx;
}

Result<DatabaseBackup::Summary> DatabaseBackup::backup(DbSession& present, const QString& file,
                                                       const Progress& progress)
{
    if (!present.isOpen())
        return present.error();
    const QString target = QFileInfo(file).absoluteFilePath();
    const QFileInfo folder(QFileInfo(target).absolutePath());
    if (!folder.isDir() || !folder.isWritable())
        return ioError(QStringLiteral("Cannot write a backup into the folder %1.").arg(folder.filePath()));
    if (QFileInfo(target).isDir())
        return ioError(QStringLiteral("%1 is a folder.").arg(target));
    // Renaming the copy over the file in use would pull the database away from under its connections.
    if (DatabaseAdmin::sameDatabase(present.context(), fileContext(present.context(), target)))
        return Error::of(Error::Kind::Conflict,
                         QStringLiteral("A backup cannot be written over the database it is made of: %1.").arg(target));

    const QString part = partialName(target);
    const DbContext partCtx = fileContext(present.context(), part);
    DatabaseAdmin::dropDatabase(partCtx);                 // what a backup that was ended halfway left
    if (Error e = DatabaseAdmin::createDatabase(partCtx)) // an empty file, readable by its owner only
        return e;
    auto dropPart = qScopeGuard([&partCtx] { DatabaseAdmin::dropDatabase(partCtx); });

    TableCopy::Counts counts;
    const QString copyInto = present.dialect().copyIntoFileStatement();
    if (!copyInto.isEmpty()) {
        // The engine copies its file itself, in one read. A second connection holds a read snapshot meanwhile,
        // so that the rows counted are the rows copied: no writer can commit before it lets go.
        DbSession holder(present.context());
        if (!holder.isOpen())
            return holder.error();
        ReadSnapshot snapshot(holder);
        if (snapshot.error())
            return snapshot.error();
        report(progress, QStringLiteral("Counting the rows..."), 5);
        const Result<TableCopy::Counts> counted = TableCopy::countRows(holder);
        if (!counted)
            return counted.error();
        counts = *counted;
        report(progress, QStringLiteral("Copying the database..."), 10);
        if (Error e = present.run(copyInto, {part}))
            return e;
    } else {
        DbSession copy(partCtx);
        if (!copy.isOpen())
            return copy.error();
        report(progress, QStringLiteral("Making the backup's tables..."), 2);
        if (Error e = Schema::create(copy))
            return e;
        ReadSnapshot snapshot(present);
        if (snapshot.error())
            return snapshot.error();
        const Result<TableCopy::Counts> counted = TableCopy::countRows(present);
        if (!counted)
            return counted.error();
        counts = *counted;
        const QList<SearchIndexDef> indexes = Schema::searchIndexes();
        const Result<SqlDialect::BulkFill> fill = copy.dialect().beginBulkFill(copy, indexes);
        if (!fill)
            return fill.error();
        const Error copied = inTransaction(copy, [&]() -> Error {
            return TableCopy::copyAll(present, copy, tableProgress(progress, QStringLiteral("Copying"), 5, 80));
        });
        report(progress, QStringLiteral("Indexing the backup's texts..."), 80);
        const Error indexed = copy.dialect().endBulkFill(copy, *fill, indexes);
        if (copied)
            return copied;
        if (indexed)
            return indexed;
    }

    report(progress, QStringLiteral("Checking the backup..."), 90);
    if (Error e = verify(partCtx, target, counts))
        return e;
    if (Error e = flushFile(part))
        return e;
    if (Error e = replaceFile(part, target))
        return e;
    dropPart.dismiss();
    report(progress, QStringLiteral("Done."), 100);
    return summaryOf(target, counts);
}

Result<DatabaseBackup::Summary> DatabaseBackup::inspect(const DbContext& present, const QString& file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    if (!QFileInfo(path).isFile())
        return Error::of(Error::Kind::NotFound, QStringLiteral("There is no backup file %1.").arg(path));
    DbSession source(fileContext(present, path), SqlDialect::Target::ReadOnlyCatalog);
    if (!source.isOpen())
        return Error::other(kNotABackup.arg(path) + QLatin1Char(' ') + source.error().description);
    const Result<QStringList> problems = engineProblems(source);
    if (!problems)
        return Error::other(kNotABackup.arg(path) + QLatin1Char(' ') + problems.error().description);
    if (!problems->isEmpty())
        return Error::other(
            QStringLiteral("The backup %1 is damaged: %2").arg(path, problems->join(QStringLiteral("; "))));
    const Result<Schema::Status> status = Schema::inspect(source);
    if (!status)
        return status.error();
    switch (status->state) {
    case Schema::State::Current:
        break;
    case Schema::State::Newer:
        return Error::other(Schema::newerVersionMessage(path, status->version));
    case Schema::State::Older:
        return Error::other(QStringLiteral("The backup %1 was made by an earlier version of the program; open it "
                                           "once as a database to bring it up to date.")
                                .arg(path));
    case Schema::State::NotOurs:
        return Error::other(kNotABackup.arg(path));
    }
    const Result<TableCopy::Counts> counts = TableCopy::countRows(source);
    if (!counts)
        return counts.error();
    return summaryOf(path, *counts);
}

Result<TableCopy::Counts> DatabaseBackup::presentRows(DbSession& present)
{
    return TableCopy::countRows(present);
}

Result<DatabaseBackup::Summary> DatabaseBackup::restore(DbSession& present, const QString& file, Replace replace,
                                                        const Progress& progress)
{
    if (!present.isOpen())
        return present.error();
    report(progress, QStringLiteral("Checking the backup..."), 0);
    const Result<Summary> backup = inspect(present.context(), file);
    if (!backup)
        return backup.error();
    if (DatabaseAdmin::sameDatabase(present.context(), fileContext(present.context(), backup->file)))
        return Error::of(Error::Kind::Conflict,
                         QStringLiteral("The database cannot be restored from its own file %1.").arg(backup->file));
    DbSession source(fileContext(present.context(), backup->file), SqlDialect::Target::ReadOnlyCatalog);
    if (!source.isOpen())
        return source.error();
    const Result<TableCopy::Counts> expected = TableCopy::countRows(source);
    if (!expected)
        return expected.error();

    TransactionGuard guard(present);
    if (guard.error())
        return guard.error();
    // Nobody else writes until the restore is committed or rolled back.
    for (const TableDef& t : Schema::allTables())
        if (Error e = present.lockForWrite(t.name))
            return e;
    const Result<TableCopy::Counts> there = TableCopy::countRows(present);
    if (!there)
        return there.error();
    if (TableCopy::total(*there) > 0 && replace == Replace::No)
        return Error::of(Error::Kind::Conflict, kNotEmpty.arg(present.context().connection.database.trimmed())
                                                    .arg(there->value(CitationTables::caseTable()))
                                                    .arg(TableCopy::total(*there)));

    const QList<SearchIndexDef> indexes = Schema::searchIndexes();
    const Result<SqlDialect::BulkFill> fill = present.dialect().beginBulkFill(present, indexes);
    if (!fill)
        return fill.error();
    report(progress, QStringLiteral("Removing the present rows..."), 5);
    if (Error e = TableCopy::clearAll(present))
        return e;
    if (Error e = TableCopy::copyAll(source, present, tableProgress(progress, QStringLiteral("Restoring"), 10, 85)))
        return e;
    report(progress, QStringLiteral("Indexing the texts..."), 85);
    if (Error e = present.dialect().endBulkFill(present, *fill, indexes))
        return e;
    report(progress, QStringLiteral("Checking the restored rows..."), 95);
    const Result<TableCopy::Counts> restored = TableCopy::countRows(present);
    if (!restored)
        return restored.error();
    const QString difference = TableCopy::difference(*expected, *restored);
    if (!difference.isEmpty())
        return Error::other(QStringLiteral("The restore was undone: %1.").arg(difference));
    if (Error e = guard.commit())
        return e;
    report(progress, QStringLiteral("Done."), 100);
    return *backup;
}

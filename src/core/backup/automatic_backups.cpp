#include "core/backup/automatic_backups.h"

#include "core/backup/database_backup.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
const QString kStampForm = QStringLiteral("yyyy-MM-dd-HHmmss");

QRegularExpression namePattern(const DbContext& ctx)
{
    return QRegularExpression(QStringLiteral("^%1-(\\d{4}-\\d\\d-\\d\\d-\\d{6})\\.db$")
                                  .arg(QRegularExpression::escape(DatabaseAdmin::plainDatabaseName(ctx))));
}
} // namespace

QString AutomaticBackups::folder(const DbContext& ctx)
{
    return ctx.dataDir() + QStringLiteral("/Backups");
}

QString AutomaticBackups::fileName(const DbContext& ctx, const QDateTime& at)
{
    return folder(ctx) + QLatin1Char('/') + DatabaseAdmin::plainDatabaseName(ctx) + QLatin1Char('-') +
           at.toString(kStampForm) + QStringLiteral(".db");
}

QStringList AutomaticBackups::existing(const DbContext& ctx)
{
    const QRegularExpression pattern = namePattern(ctx);
    QStringList files;
    // The stamp sorts as the time does.
    for (const QString& name : QDir(folder(ctx)).entryList({QStringLiteral("*.db")}, QDir::Files, QDir::Name))
        if (pattern.match(name).hasMatch())
            files << folder(ctx) + QLatin1Char('/') + name;
    return files;
}

std::optional<QDateTime> AutomaticBackups::newest(const DbContext& ctx)
{
    const QStringList files = existing(ctx);
    if (files.isEmpty())
        return std::nullopt;
    const QRegularExpressionMatch m = namePattern(ctx).match(QFileInfo(files.last()).fileName());
    const QDateTime at = QDateTime::fromString(m.captured(1), kStampForm);
    if (!at.isValid())
        return std::nullopt;
    return at;
}

bool AutomaticBackups::isDue(const DbContext& ctx, const QDateTime& now)
{
    const std::optional<QDateTime> last = newest(ctx);
    return !last || last->secsTo(now) > kMaxAgeSeconds;
}

Result<QString> AutomaticBackups::make(DbSession& present, const QDateTime& at)
{
    const DbContext& ctx = present.context();
    const QString dir = folder(ctx);
    if (!QDir().mkpath(dir))
        return Error::of(Error::Kind::Io, QStringLiteral("Cannot make the folder %1.").arg(dir));
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QString file = fileName(ctx, at);
    const Result<DatabaseBackup::Summary> made = DatabaseBackup::backup(present, file);
    if (!made)
        return made.error();
    QStringList files = existing(ctx);
    while (files.size() > kKept)
        QFile::remove(files.takeFirst());
    return made->file;
}

QString AutomaticBackups::madeBeforeMerge(const QString& file)
{
    return QStringLiteral("The database as it was before is backed up in %1.").arg(QDir::toNativeSeparators(file));
}

#include "core/db/settings_file.h"

#include "core/db/connection_validation.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace {
// Far more than any real setting takes; a longer line is not one of ours, and is not read whole into memory.
constexpr qint64 kMaxLineBytes = 4096;

const char* const kValueNames[] = {"server name", "user name", "database name", "password"};

bool hasControlChar(const QString& s)
{
    for (const QChar c : s)
        if (c.category() == QChar::Other_Control)
            return true;
    return false;
}

// What is wrong with the value on line index + 1, as the rest of a sentence about it; empty when nothing is.
QString valueProblem(int index, const QString& raw)
{
    const QString value = raw.trimmed();
    if (hasControlChar(value))
        return QStringLiteral("holds control characters.");
    switch (index) {
    case 0: {
        if (value.isEmpty())
            return QStringLiteral("is empty.");
        const QString why = ConnectionString::serverNameProblem(value);
        return why.isEmpty() ? QString() : QStringLiteral("is not valid. ") + why;
    }
    case 2:
        if (value.isEmpty())
            return QStringLiteral("is empty.");
        // It names a file on the embedded engine: only a name the connection screen would take is safe.
        if (ConnectionValidation::isInvalidDatabaseName(value))
            return QStringLiteral("is not a valid database name.");
        return {};
    default:
        return {};
    }
}

QString cannotUse(const QFile& file, const QString& why)
{
    return QStringLiteral("The settings file %1 cannot be used.\n%2").arg(file.fileName(), why);
}
} // namespace

QString SettingsFile::path(const QString& programDir)
{
    return programDir + QStringLiteral("/vor_Lexorium.ini");
}

bool SettingsFile::exists(const QString& programDir)
{
    return QFile::exists(path(programDir));
}

QString SettingsFile::problem(const ConnectionString& settings)
{
    const QString values[] = {settings.server, settings.user, settings.database, settings.password};
    for (int i = 0; i < 4; ++i) {
        const QString why = valueProblem(i, values[i]);
        if (!why.isEmpty())
            return QStringLiteral("The %1 %2").arg(QLatin1String(kValueNames[i]), why);
    }
    return {};
}

Result<ConnectionString> SettingsFile::read(const QString& programDir)
{
    return readFile(path(programDir));
}

Result<ConnectionString> SettingsFile::readFile(const QString& fileName)
{
    QFile file(fileName);
    auto fail = [&](const QString& why, Error::Kind kind = Error::Kind::Io) {
        return Result<ConnectionString>(Error::of(kind, cannotUse(file, why)));
    };
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString(), file.exists() ? Error::Kind::Io : Error::Kind::NotFound);
    QStringList lines;
    while (lines.size() < 4 && !file.atEnd()) {
        const int number = int(lines.size()) + 1;
        QByteArray bytes = file.readLine(kMaxLineBytes);
        if (!bytes.endsWith('\n') && !file.atEnd())
            return fail(QStringLiteral("Line %1 is too long to be a setting.").arg(number));
        while (bytes.endsWith('\n') || bytes.endsWith('\r'))
            bytes.chop(1);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString line = utf8(bytes);
        if (utf8.hasError())
            return fail(QStringLiteral("Line %1 is not text: it holds bytes that are not UTF-8.").arg(number));
        const QString why = valueProblem(int(lines.size()), line);
        if (!why.isEmpty())
            return fail(QStringLiteral("Line %1, the %2, %3")
                            .arg(QString::number(number), QLatin1String(kValueNames[lines.size()]), why));
        lines << line;
    }
    if (lines.size() < 4)
        return fail(QStringLiteral("It holds fewer than four lines."));
    return ConnectionString{lines[0], lines[1], lines[2], lines[3]};
}

Error SettingsFile::write(const QString& programDir, const ConnectionString& settings)
{
    return writeFile(path(programDir), settings);
}

Error SettingsFile::writeFile(const QString& fileName, const ConnectionString& settings)
{
    const QString why = problem(settings);
    if (!why.isEmpty())
        return Error::other(why);
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly))
        return Error::of(Error::Kind::Io, file.errorString());
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray crlf("\r\n");
    for (const QString& value : {settings.server, settings.user, settings.database, settings.password})
        file.write(value.trimmed().toUtf8() + crlf);
    if (!file.commit())
        return Error::of(Error::Kind::Io, file.errorString());
    return {};
}

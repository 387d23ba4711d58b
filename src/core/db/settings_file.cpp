#include "core/db/settings_file.h"

#include <QFile>
#include <QSaveFile>

QString SettingsFile::path(const QString& programDir)
{
    return programDir + QStringLiteral("/vor_Lexorium.ini");
}

bool SettingsFile::exists(const QString& programDir)
{
    return QFile::exists(path(programDir));
}

bool SettingsFile::read(const QString& programDir, ConnectionString* settings, QString* error)
{
    QFile file(path(programDir));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    QStringList lines;
    while (lines.size() < 4 && !file.atEnd()) {
        QString line = QString::fromUtf8(file.readLine());
        while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        lines << line;
    }
    if (lines.size() < 4) {
        if (error)
            *error = QStringLiteral("The settings file %1 holds fewer than four lines.").arg(file.fileName());
        return false;
    }
    *settings = {lines[0], lines[1], lines[2], lines[3]};
    return true;
}

bool SettingsFile::write(const QString& programDir, const ConnectionString& settings, QString* error)
{
    QSaveFile file(path(programDir));
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    const QByteArray crlf("\r\n");
    for (const QString& value : {settings.server, settings.user, settings.database, settings.password})
        file.write(value.trimmed().toUtf8() + crlf);
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    return true;
}

#include "core/db/connection_string.h"

ConnectionString ConnectionString::trimmed(const QString& server, const QString& user, const QString& database,
                                           const QString& password)
{
    return {server.trimmed(), user.trimmed(), database.trimmed(), password.trimmed()};
}

bool ConnectionString::isEmbedded() const
{
    return server.trimmed().compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0;
}

QString ConnectionString::host() const
{
    const QString s = server.trimmed();
    const int colon = s.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        s.mid(colon + 1).toInt(&ok);
        if (ok)
            return s.left(colon);
    }
    return s;
}

int ConnectionString::port() const
{
    const QString s = server.trimmed();
    const int colon = s.lastIndexOf(QLatin1Char(':'));
    if (colon > 0) {
        bool ok = false;
        const int p = s.mid(colon + 1).toInt(&ok);
        if (ok && p > 0 && p < 65536)
            return p;
    }
    return 5432;
}

QString ConnectionString::oleDbText() const
{
    return QStringLiteral("Provider=sqloledb;Data Source=") + server + QStringLiteral(";Initial Catalog=") + database +
           QStringLiteral(";User Id=") + user + QStringLiteral(";Password=") + password;
}

QString ConnectionString::odbcText() const
{
    return QStringLiteral("driver={SQL Server};server=") + server + QStringLiteral(";uid=") + user +
           QStringLiteral(";pwd=") + password + QStringLiteral(";database=");
}

bool ConnectionString::operator==(const ConnectionString& other) const
{
    return server == other.server && user == other.user && database == other.database && password == other.password;
}

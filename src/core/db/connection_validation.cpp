#include "core/db/connection_validation.h"

#include <QLocale>

namespace {
bool isNumber(const QString& typed)
{
    const QString t = typed.trimmed();
    if (t.isEmpty())
        return false;
    bool ok = false;
    QLocale::c().toDouble(t, &ok);
    return ok;
}

bool isSafeName(const QString& name)
{
    if (name.isEmpty())
        return true; // the empty name has its own message
    if (name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('.')))
        return false;
    for (const QChar c : name) {
        if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') || c == QLatin1Char(' '))
            continue;
        return false;
    }
    return true;
}
} // namespace

bool ConnectionValidation::isInvalidDatabaseName(const QString& typed)
{
    return isNumber(typed) || !isSafeName(typed.trimmed());
}

QString ConnectionValidation::firstFailure(const ConnectionFields& f, Purpose purpose)
{
    if (isInvalidDatabaseName(f.database))
        return QStringLiteral("Invalid database name.");
    if (f.server.trimmed().isEmpty())
        return QStringLiteral("Please enter the Server Name.");
    if (f.user.trimmed().isEmpty())
        return QStringLiteral("Please enter the User Name.");
    if (f.database.trimmed().isEmpty())
        return QStringLiteral("Please enter the Database Name.");
    if (f.password.trimmed().isEmpty())
        return QStringLiteral("Please enter the User Password.");
    if (f.confirmation.trimmed().isEmpty())
        return QStringLiteral("Please enter the Confirm Password.");
    if (purpose == Purpose::Ok) {
        if (f.password.trimmed().compare(f.confirmation, Qt::CaseInsensitive) != 0)
            return QStringLiteral("User Password and Confirm Password do not macth.");
    } else if (f.password.trimmed().compare(f.confirmation.trimmed(), Qt::CaseInsensitive) != 0) {
        return QStringLiteral("User Password and Confirm Password dose not macth.");
    }
    return {};
}

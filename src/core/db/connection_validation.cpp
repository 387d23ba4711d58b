#include "core/db/connection_validation.h"

#include "core/db/connection_string.h"

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

bool isMark(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining ||
           category == QChar::Mark_Enclosing;
}

bool isSafeName(const QString& name)
{
    if (name.isEmpty())
        return true; // the empty name has its own message
    if (name.startsWith(QLatin1Char('-')) || name.startsWith(QLatin1Char('.')))
        return false;
    // By code point, so that letters beyond the first plane count as letters.
    bool afterLetter = false;
    for (const char32_t c : name.toUcs4()) {
        // Many scripts write a letter as a base and its marks ("हिन्दी"); a mark belongs to the letter before it.
        if (isMark(c)) {
            if (!afterLetter)
                return false;
            continue;
        }
        afterLetter = QChar::isLetter(c);
        if (QChar::isLetterOrNumber(c) || c == U'_' || c == U'-' || c == U' ')
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
    // Before any login: a server name that cannot be used must not be quietly read as another one.
    const QString serverProblem = ConnectionString::serverNameProblem(f.server);
    if (!serverProblem.isEmpty())
        return QStringLiteral("Invalid server name.\n") + serverProblem;
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

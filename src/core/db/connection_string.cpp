#include "core/db/connection_string.h"

namespace {
// A server name taken apart; problem says why it cannot be used.
struct ServerParts {
    QString host;
    int port = ConnectionString::kDefaultPort;
    QString problem;
};

bool isHostNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('.') || c == QLatin1Char('_');
}

bool isIpv6Char(QChar c)
{
    // Hex digits and colons, and dots for an embedded IPv4 tail.
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'a' && u <= u'f') || (u >= u'A' && u <= u'F') || u == u':' || u == u'.';
}

bool allOf(const QString& s, bool (*test)(QChar))
{
    for (const QChar c : s)
        if (!test(c))
            return false;
    return true;
}

// An IPv6 address, perhaps with a zone ("fe80::1%eth0").
bool isIpv6Address(const QString& s)
{
    const int percent = s.indexOf(QLatin1Char('%'));
    const QString address = percent < 0 ? s : s.left(percent);
    const QString zone = percent < 0 ? QString() : s.mid(percent + 1);
    return address.contains(QLatin1Char(':')) && allOf(address, isIpv6Char) &&
           (percent < 0 || (!zone.isEmpty() && allOf(zone, isHostNameChar)));
}

bool hasControlChar(const QString& s)
{
    for (const QChar c : s)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return true;
    return false;
}

ServerParts split(const QString& raw)
{
    const QString s = raw.trimmed();
    ServerParts p;
    const QString formHint =
        QStringLiteral("It must be (local) for this computer, or a PostgreSQL server as host or host:port.");
    if (s.size() > ConnectionString::kMaxServerLength) {
        p.problem = QStringLiteral("It is longer than %1 characters.").arg(ConnectionString::kMaxServerLength);
        return p;
    }
    if (s.isEmpty() || hasControlChar(s)) {
        p.problem = formHint;
        return p;
    }
    QString portPart; // what follows the host, colon included
    if (s.startsWith(QLatin1Char('['))) {
        const int close = s.indexOf(QLatin1Char(']'));
        p.host = close < 0 ? QString() : s.mid(1, close - 1);
        portPart = close < 0 ? QString() : s.mid(close + 1);
        if (close >= 0 && !isIpv6Address(p.host)) {
            p.problem = formHint;
            return p;
        }
        if (close < 0 || (!portPart.isEmpty() && !portPart.startsWith(QLatin1Char(':')))) {
            p.problem = QStringLiteral("An IPv6 address must be written in brackets, as in [::1]:5432.");
            return p;
        }
    } else {
        const int colon = s.indexOf(QLatin1Char(':'));
        if (colon >= 0 && s.indexOf(QLatin1Char(':'), colon + 1) >= 0) {
            p.problem = QStringLiteral("An IPv6 address must be written in brackets, as in [::1]:5432.");
            return p;
        }
        p.host = colon < 0 ? s : s.left(colon);
        portPart = colon < 0 ? QString() : s.mid(colon);
        // A socket folder is a path; anything else is a host name or an IPv4 address.
        const bool socketFolder = p.host.startsWith(QLatin1Char('/'));
        if (p.host.isEmpty() || (!socketFolder && !allOf(p.host, isHostNameChar))) {
            p.problem = formHint;
            return p;
        }
    }
    if (!portPart.isEmpty()) {
        const QString digits = portPart.mid(1);
        bool ok = !digits.isEmpty();
        for (const QChar c : digits)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const uint port = ok ? digits.toUInt(&ok) : 0;
        if (!ok || port < 1 || port > 65535) {
            p.port = 0;
            p.problem = QStringLiteral("The port after the colon must be a whole number from 1 to 65535.");
            return p;
        }
        p.port = int(port);
    }
    return p;
}
} // namespace

ConnectionString ConnectionString::trimmed(const QString& server, const QString& user, const QString& database,
                                           const QString& password)
{
    return {server.trimmed(), user.trimmed(), database.trimmed(), password.trimmed()};
}

QString ConnectionString::serverNameProblem(const QString& server)
{
    if (server.trimmed().compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0)
        return {};
    return split(server).problem;
}

bool ConnectionString::isEmbedded() const
{
    return server.trimmed().compare(QLatin1String("(local)"), Qt::CaseInsensitive) == 0;
}

QString ConnectionString::host() const
{
    return split(server).host;
}

int ConnectionString::port() const
{
    const ServerParts p = split(server);
    return p.problem.isEmpty() ? p.port : 0;
}

bool ConnectionString::operator==(const ConnectionString& other) const
{
    return server == other.server && user == other.user && database == other.database && password == other.password;
}

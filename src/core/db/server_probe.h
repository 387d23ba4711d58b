#pragma once

#include <QString>

// Can a TCP connection to host:port be made within the time-out? Tells an unreachable server apart from a
// refused login without reading the client library's localised messages.
class ServerProbe
{
public:
    // Empty when reachable, otherwise why not.
    static QString reach(const QString& host, int port, int timeoutSeconds);
};

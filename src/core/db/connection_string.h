#pragma once

#include <QString>

// The four connection settings. "(local)" is the embedded engine; anything else is a PostgreSQL server
// written "host" or "host:port", an IPv6 address in brackets ("[::1]:5432"), or a socket folder ("/run/pg").
struct ConnectionString {
    // The longest server name the screen takes and the settings file holds.
    static constexpr int kMaxServerLength = 255;
    static constexpr int kDefaultPort = 5432;

    QString server;
    QString user;
    QString database;
    QString password;

    static ConnectionString trimmed(const QString& server, const QString& user, const QString& database,
                                    const QString& password);

    // Why the server name cannot be used, as a sentence; empty when it can. An empty name is left to the caller.
    static QString serverNameProblem(const QString& server);

    bool isEmbedded() const;
    // The host without brackets or port.
    QString host() const;
    // The port given after the host, kDefaultPort when none is; 0 (which no server listens on) when the server
    // name is not valid, so that a bad port can never quietly become the default one.
    int port() const;

    bool operator==(const ConnectionString& other) const;
};

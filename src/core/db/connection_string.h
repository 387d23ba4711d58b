#pragma once

#include <QString>

// The four connection settings. "(local)" is the embedded engine; anything else is a PostgreSQL server
// written "host" or "host:port".
struct ConnectionString {
    QString server;
    QString user;
    QString database;
    QString password;

    static ConnectionString trimmed(const QString& server, const QString& user, const QString& database,
                                    const QString& password);

    bool isEmbedded() const;
    QString host() const;
    int port() const;

    // The textual forms, for showing or logging only: nothing parses them back, so a password with a
    // semicolon or a quote is safe.
    QString oleDbText() const;
    QString odbcText() const;

    bool operator==(const ConnectionString& other) const;
    bool operator!=(const ConnectionString& other) const { return !(*this == other); }
};

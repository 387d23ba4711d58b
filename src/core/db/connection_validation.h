#pragma once

#include <QString>

// The connection screen's fields as typed.
struct ConnectionFields {
    QString server;
    QString user;
    QString database;
    QString password;
    QString confirmation;

    // How many characters each field takes: a server name as long as a host name may be, PostgreSQL's longest
    // user name, and room for a generated password.
    static constexpr int kMaxServer = 255;
    static constexpr int kMaxUser = 63;
    static constexpr int kMaxDatabase = 20;
    static constexpr int kMaxPassword = 128;
};

// The checks "Ok" and "Test Connection..." share, in the order the user meets them.
class ConnectionValidation
{
public:
    enum class Purpose { Ok, Test };

    // The message of the first failing check, or an empty text when all pass.
    static QString firstFailure(const ConnectionFields& fields, Purpose purpose);

    // A database name that is a number, or that is not safe as a database and file name.
    static bool isInvalidDatabaseName(const QString& typed);
};

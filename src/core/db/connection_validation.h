#pragma once

#include <QString>

// The connection screen's fields as typed.
struct ConnectionFields {
    QString server;
    QString user;
    QString database;
    QString password;
    QString confirmation;
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

#pragma once

#include <QString>

class QSqlError;

// What went wrong with a database call, as the screens need to tell it apart.
struct DbError {
    enum class Kind {
        None,
        Unreachable,   // server refused, unknown host, time-out
        AlreadyExists, // CREATE DATABASE on a name in use
        Conflict,      // the stored rows are no longer the ones the caller read: another user changed them since
        NotFound,      // a row the operation needs is no longer stored
        Other,         // anything else: a refused login, a failing statement
    };

    Kind kind = Kind::None;
    QString code; // the engine's native error code, where it has one
    QString description;

    bool isError() const { return kind != Kind::None; }
    explicit operator bool() const { return isError(); }

    static DbError fromSql(const QSqlError& error);
    static DbError other(const QString& description, const QString& code = QString());
};

#pragma once

#include <QString>

class QSqlError;

// What went wrong, in the words the user is shown. Callers decide by the kind, never by the text.
struct Error {
    enum class Kind {
        None,
        Unreachable,   // server refused, unknown host, time-out
        AlreadyExists, // a database or file of that name is there already
        Conflict,      // the stored rows are no longer the ones the caller read: another user changed them since
        NotFound,      // a row, file or database the operation needs is not there
        Duplicate,     // the same name or record is stored already
        InUse,         // still used by other rows, or held by another program
        Cancelled,     // the user stopped it
        Io,            // a file could not be read or written
        Other,         // anything else: a refused login, a failing statement
    };

    Kind kind = Kind::None;
    QString code; // the engine's native error number, where it has one
    QString description;

    bool isError() const { return kind != Kind::None; }
    explicit operator bool() const { return isError(); }

    // Only this one is out of line, as it needs Qt Sql; the help reader, Qt Core alone, uses the rest.
    static Error fromSql(const QSqlError& error);
    static Error other(const QString& description, const QString& code = QString())
    {
        return {Kind::Other, code, description};
    }
    static Error of(Kind kind, const QString& description) { return {kind, QString(), description}; }
};

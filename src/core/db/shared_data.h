#pragma once

#include "core/util/result.h"

#include <QVariant>

class DbSession;

// A column by name, or by its position in the table (0 is the first).
struct ColumnRef {
    ColumnRef(const QString& name)
        : name(name)
    {}
    ColumnRef(const char* name)
        : name(QString::fromLatin1(name))
    {}
    ColumnRef(int position)
        : position(position)
    {}
    QString name;
    int position = -1;
};

// The small data routines every screen shares.
class SharedData
{
public:
    // The next key of a table: its largest key plus one, 1 when empty. Inside a write transaction the table is
    // locked against other writers first, so the key stays free until the transaction ends; outside one it is
    // only a proposal.
    static Result<qint64> getNextId(DbSession& session, const QString& table);

    // The result column of the first row whose key column equals keyValue; a null value when none does.
    static Result<QVariant> getFieldById(DbSession& session, const QString& table, const ColumnRef& keyColumn,
                                         const QVariant& keyValue, const ColumnRef& resultColumn);

    // The full name of the file an export writes, from the name the save dialog returned.
    static QString exportFileName(const QString& chosen);

    // Table and column names are never user text, but they go into SQL text, so they must be plain names.
    static bool isPlainIdentifier(const QString& name);
};

#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"

#include <QVariant>

#include <optional>

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
    // The next key of a table: its largest key plus one, 1 when empty. Nothing on failure.
    static std::optional<qint64> getNextId(const DbContext& ctx, const QString& table);

    // The result column of the first row whose key column equals keyValue; a null value when none does.
    static QVariant getFieldById(const DbContext& ctx, const QString& table, const ColumnRef& keyColumn,
                                 const QVariant& keyValue, const ColumnRef& resultColumn, DbError* error = nullptr);

    // The full name of the file an export writes, from the name the save dialog returned.
    static QString exportFileName(const QString& chosen);

    // Table and column names are never user text, but they go into SQL text, so they must be plain names.
    static bool isPlainIdentifier(const QString& name);
};

#pragma once

#include "core/db/connection_string.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QString>
#include <QStringList>

#include <memory>

class DbSession;
struct DbContext;

// What differs between the engines in administering their databases, beside the dialect's connecting and talking
// to one: what names a database and where it lies, whether it is there, making, copying and dropping it, which
// ones the user may drop, and whether another connection holds one. DatabaseAdmin is what the rest calls.
class EngineAdmin
{
public:
    virtual ~EngineAdmin() = default;

    static std::unique_ptr<EngineAdmin> forConnection(const ConnectionString& connection);

    // What names one database whatever way it was written: its file, or its server, port and name.
    virtual QString databaseIdentity(const DbContext& ctx) const = 0;
    // What the engine itself says the session's database is, however its server or file was spelled: equal for
    // two sessions on one database, different for sessions on two.
    virtual Result<QString> databaseIdentity(DbSession& session) const = 0;
    // Whether another connection, of this program or any other, holds the session's database right now.
    virtual Result<bool> isHeldElsewhere(DbSession& session) const = 0;
    // The databases at the context's place (its data folder, its server) that its user may drop.
    virtual Result<QStringList> ownDatabases(const DbContext& ctx) const = 0;
    // How settings typed in another screen name the database: the path of its file, or its name on the server.
    virtual QString databaseLocation(const DbContext& ctx) const = 0;
    // A database name as typed, without the place it names: the file's base name where a database is named by the
    // path of its file.
    virtual QString plainDatabaseName(const QString& typed) const { return typed; }

    virtual Result<bool> databaseExists(const DbContext& ctx) const = 0;
    virtual Error createDatabase(const DbContext& ctx) const = 0;
    virtual Error dropDatabase(const DbContext& ctx) const = 0;
    // Makes `into` (which must not exist) a copy of `from`, which nothing may be connected to meanwhile.
    virtual Error copyDatabase(const DbContext& from, const DbContext& into) const = 0;
};

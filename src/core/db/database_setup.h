#pragma once

#include "core/db/connection_string.h"
#include "core/db/program_folders.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QString>

#include <functional>
#include <optional>

// First use and start-up without any screen: trying a login, creating a new database, and opening the one the
// settings file names. The screens only ask, show and call.
class DatabaseSetup
{
public:
    // A login to the server alone, naming no database of ours. A server name that cannot be used is refused
    // before anything is tried.
    static Error testConnection(const QString& programDir, const ConnectionString& settings);

    struct Created {
        enum class Failure { None, Login, CreateDatabase, Schema, Settings };
        Failure failure = Failure::None;
        Error error;
        bool ok() const { return failure == Failure::None; }
    };
    // Logs in, creates the database and its schema and stores the settings. Settings that could not be stored are
    // refused before the login. On any failure after the database was made it is dropped again and no settings
    // are written, so nothing half-made is left behind.
    static Created createNew(const QString& programDir, const ConnectionString& settings);
    // The same with the settings file and the data folder where the folders say.
    static Created createNew(const ProgramFolders& folders, const ConnectionString& settings);

    struct Opened {
        // None on first use: there is no settings file.
        std::optional<ConnectionString> connection;
        // Set when the leftover working tables could not be dropped; the database is usable all the same.
        Error cleanupError;
    };
    using Progress = std::function<void(const QString& step)>;
    // Reads the settings file, opens its database, brings an older schema up to date and drops the merge's
    // leftover working tables. A database without the program's tables, or of a newer schema, is refused and
    // left as it was. Kind::Unreachable when the server did not answer; any other error says why the settings
    // or the database cannot be used.
    // percent tells how far the running upgrade step has come (Schema::ensureCurrent's).
    using Percent = std::function<void(int percent)>;
    static Result<Opened> openStored(const QString& programDir, const Progress& progress = {},
                                     const Percent& percent = {});
    // The same for a settings file and a data folder of any names.
    static Result<Opened> openStored(const ProgramFolders& folders, const Progress& progress = {},
                                     const Percent& percent = {});
};

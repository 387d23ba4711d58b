#include "core/db/sqlite_dialect.h"

const char* userVersion = "PRAGMA user_version";

// The engine is told by the dialect: no PRAGMA, no sqlite_master here.
#include "core/db/db_session.h"

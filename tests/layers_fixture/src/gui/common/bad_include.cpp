#include "core/db/sqlite_dialect.h"

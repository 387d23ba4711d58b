#include "core/db/db_session.h"

const char* triggers = "SELECT name FROM sqlite_master WHERE type = 'trigger'";

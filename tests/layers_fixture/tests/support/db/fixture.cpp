#include "core/db/db_session.h"

const char* earlier = "CREATE INDEX x ON t USING gin ((y) gin_trgm_ops)";

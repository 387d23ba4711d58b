#include "core/db/db_session.h"
#include "core/util/error.h"

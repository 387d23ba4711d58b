#include "core/db/db_session.h"

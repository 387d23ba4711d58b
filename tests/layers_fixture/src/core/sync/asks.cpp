#include "core/db/db_session.h"

bool embedded(DbSession& s)
{
    return s.dialect().driverName() == QLatin1String("QSQLITE");
}

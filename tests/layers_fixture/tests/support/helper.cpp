#include "core/db/database_admin.h"

const char* copy = "CREATE DATABASE %1 TEMPLATE %2";

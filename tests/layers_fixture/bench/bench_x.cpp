#include "datagen/filler.h"

const char* wal = "PRAGMA journal_mode = WAL";

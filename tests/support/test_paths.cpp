#include "test_paths.h"

QString builtProgramDir()
{
    return QStringLiteral(LEXORIUM_BIN_DIR);
}

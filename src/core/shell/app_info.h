#pragma once

#include <QString>

// The title of every message box the program shows.
inline QString applicationTitle()
{
    return QStringLiteral("Lexorium");
}

#pragma once

#include <QString>

// Folder of the built program; Help/ lives below it.
QString builtProgramDir();

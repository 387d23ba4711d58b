#pragma once

#include <QDate>

#include <functional>

// Today's date as the caller's clock tells it; the core never reads the system clock itself.
using Clock = std::function<QDate()>;

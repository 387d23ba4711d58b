#include "core/util/error.h"

#include <QSqlError>

Error Error::fromSql(const QSqlError& error)
{
    if (error.type() == QSqlError::NoError)
        return {};
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    return {Kind::Other, error.nativeErrorCode(), text};
}

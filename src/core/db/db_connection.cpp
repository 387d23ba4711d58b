#include "core/db/db_connection.h"

#include <QAtomicInt>
#include <QElapsedTimer>
#include <QSqlError>

namespace {
QString nextConnectionName()
{
    static QAtomicInt counter;
    return QStringLiteral("lexorium-%1").arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

DbConnection::DbConnection(const DbContext& ctx, SqlDialect::Target target, int timeoutSeconds)
    : m_dialect(SqlDialect::forConnection(ctx.connection))
    , m_name(nextConnectionName())
{
    m_error = m_dialect->precheck(ctx, target, timeoutSeconds);
    if (m_error)
        return;
    m_db = QSqlDatabase::addDatabase(m_dialect->driverName(), m_name);
    if (!m_db.isValid()) {
        m_error =
            DbError::other(QStringLiteral("The database driver %1 is not available.").arg(m_dialect->driverName()));
        return;
    }
    m_dialect->configure(m_db, ctx, target, timeoutSeconds);
    QElapsedTimer clock;
    clock.start();
    if (!m_db.open()) {
        // The time-out holds for both tries together; a server that timed out once times out again quickly.
        const int left = qMax(2, timeoutSeconds - int(clock.elapsed() / 1000));
        m_error = m_dialect->classifyOpenFailure(ctx, DbError::fromSql(m_db.lastError()), left);
        return;
    }
    m_error = m_dialect->prepare(m_db);
}

DbConnection::~DbConnection()
{
    if (QSqlDatabase::contains(m_name)) {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
}

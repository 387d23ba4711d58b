#include "core/db/sql_dialect.h"

#include "core/db/postgres_dialect.h"
#include "core/db/sqlite_dialect.h"

std::unique_ptr<SqlDialect> SqlDialect::forConnection(const ConnectionString& connection)
{
    if (connection.isEmbedded())
        return std::make_unique<SqliteDialect>();
    return std::make_unique<PostgresDialect>();
}

QString SqlDialect::createIndexStatement(const QString& name, const QString& table, const QString& column) const
{
    return QStringLiteral("CREATE INDEX IF NOT EXISTS %1 ON %2(%3)").arg(quoteIdentifier(name), table, column);
}

Result<SqlDialect::BulkFill> SqlDialect::beginBulkFill(DbSession& session, const QList<SearchIndexDef>& indexes) const
{
    if (Error e = beginBulkIndexedWrite(session, indexes))
        return e;
    return BulkFill{};
}

Error SqlDialect::endBulkFill(DbSession& session, const BulkFill&, const QList<SearchIndexDef>& indexes) const
{
    return endBulkIndexedWrite(session, indexes);
}

int SqlDialect::schemaVersionFrom(const QVariant& stored) const
{
    return stored.toInt();
}

const QList<QPair<QChar, QString>>& SqlDialect::searchSpellings()
{
    // Every letter beyond ASCII whose capital holds an ASCII letter, and that capital in small letters.
    static const QList<QPair<QChar, QString>> spellings{
        {QChar(0x00DF), QStringLiteral("ss")},
        {QChar(0x0131), QStringLiteral("i")},
        {QChar(0x0149), QString(QChar(0x02BC)) + QLatin1Char('n')},
        {QChar(0x017F), QStringLiteral("s")},
        {QChar(0x01F0), QLatin1Char('j') + QString(QChar(0x030C))},
        {QChar(0x1E96), QLatin1Char('h') + QString(QChar(0x0331))},
        {QChar(0x1E97), QLatin1Char('t') + QString(QChar(0x0308))},
        {QChar(0x1E98), QLatin1Char('w') + QString(QChar(0x030A))},
        {QChar(0x1E99), QLatin1Char('y') + QString(QChar(0x030A))},
        {QChar(0x1E9A), QLatin1Char('a') + QString(QChar(0x02BE))},
        {QChar(0xFB00), QStringLiteral("ff")},
        {QChar(0xFB01), QStringLiteral("fi")},
        {QChar(0xFB02), QStringLiteral("fl")},
        {QChar(0xFB03), QStringLiteral("ffi")},
        {QChar(0xFB04), QStringLiteral("ffl")},
        {QChar(0xFB05), QStringLiteral("st")},
        {QChar(0xFB06), QStringLiteral("st")},
    };
    return spellings;
}

QString SqlDialect::searchIndexedText(const QString& columnRef)
{
    // Constants of the schema, not values: they are part of the index's definition.
    QString expression = columnRef;
    for (const auto& [letter, spelled] : searchSpellings())
        expression = QStringLiteral("replace(%1,'%2','%3')").arg(expression, QString(letter), spelled);
    return expression;
}

QString SqlDialect::joinedKeys(const QList<qint64>& keys)
{
    QStringList list;
    list.reserve(keys.size());
    for (qint64 key : keys)
        list << QString::number(key);
    return list.join(QLatin1Char(','));
}

#include "core/sync/row_copier.h"

#include "core/db/db_session.h"
#include "core/db/sql_dialect.h"

#include <QDate>
#include <QDateTime>
#include <QSqlQuery>
#include <QStringList>

#include <limits>

QVariant RowCopier::toDate(const QVariant& value)
{
    const QVariant none(QMetaType::fromType<QDate>());
    if (value.isNull())
        return none;
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return value;
    case QMetaType::QDateTime:
        return value.toDateTime().date();
    default:
        break;
    }
    const QString text = value.toString().trimmed();
    const QDate date = QDate::fromString(text.left(10), Qt::ISODate);
    return date.isValid() ? QVariant(date) : none;
}

namespace {
int dateColumnOf(const TableDef& t)
{
    for (int c = 0; c < t.columns.size(); ++c)
        if (t.columns.at(c).type == QLatin1String("DATETIME"))
            return c;
    return -1;
}
} // namespace

Error RowCopier::insert(DbSession& to, const TableDef& into, const QVariantList& values)
{
    const int columns = int(into.columns.size());
    if (columns == 0 || values.isEmpty())
        return {};
    if (values.size() % columns != 0)
        return Error::other(QStringLiteral("%1 values do not make whole rows of %2 for %3.")
                                .arg(values.size())
                                .arg(columns)
                                .arg(into.name));
    const SqlDialect& d = to.dialect();
    const qsizetype rows = values.size() / columns;
    const QString bulk = d.bulkInsertStatement(into);
    if (!bulk.isEmpty()) {
        for (qsizetype first = 0; first < rows; first += kPageRows) {
            const qsizetype count = qMin<qsizetype>(kPageRows, rows - first);
            if (Error e = to.run(bulk, d.bulkInsertValues(into, values.mid(first * columns, count * columns))))
                return e;
        }
        return {};
    }
    QStringList names;
    for (const ColumnDef& c : into.columns)
        names << c.name;
    const QString insertHead =
        QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(into.name, names.join(QLatin1Char(',')));
    const int perStatement = qMax(1, d.boundValuesPerStatement() / columns);
    const QString oneRow =
        QLatin1Char('(') + QStringList(columns, QStringLiteral("?")).join(QLatin1Char(',')) + QLatin1Char(')');
    const qsizetype whole = rows / perStatement * perStatement;
    if (whole > 0) {
        Result<int> r = to.executeEach(insertHead + QStringList(perStatement, oneRow).join(QLatin1Char(',')),
                                       values.mid(0, whole * columns), perStatement * columns);
        if (!r)
            return r.error();
    }
    if (whole < rows) {
        Result<int> r = to.execute(insertHead + QStringList(int(rows - whole), oneRow).join(QLatin1Char(',')),
                                   values.mid(whole * columns));
        if (!r)
            return r.error();
    }
    return {};
}

Error RowCopier::copy(DbSession& from, const QString& select, DbSession& to, const TableDef& into, qint64* copied,
                      const QVariant& startAfter)
{
    const int columns = int(into.columns.size());
    const int dateColumn = dateColumnOf(into);
    QVariant after = startAfter.isValid() ? startAfter : QVariant(std::numeric_limits<qint32>::min());
    qint64 total = 0;
    for (;;) {
        QVariantList values;
        int rows = 0;
        {
            Result<QSqlQuery> q = from.query(select, {after});
            if (!q)
                return q.error();
            values.reserve(kPageRows * columns);
            while (q->next()) {
                after = q->value(0);
                for (int c = 0; c < columns; ++c)
                    values << (c == dateColumn ? toDate(q->value(c + 1)) : q->value(c + 1));
                ++rows;
            }
        }
        if (rows == 0)
            break;
        if (Error e = insert(to, into, values))
            return e;
        total += rows;
        if (rows < kPageRows)
            break;
    }
    if (copied)
        *copied = total;
    return {};
}

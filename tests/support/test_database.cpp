#include "test_database.h"

#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {
QString env(const char* name)
{
    return qEnvironmentVariable(name);
}

QString uniqueName()
{
    static QAtomicInt counter;
    return QStringLiteral("lxt_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
}
} // namespace

TestDatabase::TestDatabase() = default;

TestDatabase::~TestDatabase()
{
    if (m_created)
        DatabaseAdmin::dropDatabase(m_ctx);
}

QString TestDatabase::engine()
{
    const QString e = env("LEXORIUM_TEST_ENGINE");
    return e.isEmpty() ? QStringLiteral("sqlite") : e;
}

bool TestDatabase::serverSettings(ConnectionString* settings, QString* why)
{
    if (!isPostgres()) {
        *settings = {QStringLiteral("(local)"), QStringLiteral("sa"), QString(), QStringLiteral("secret")};
        return true;
    }
    const QString server = env("LEXORIUM_TEST_PG");
    if (server.isEmpty()) {
        *why = QStringLiteral("no PostgreSQL server for tests (LEXORIUM_TEST_PG is not set)");
        return false;
    }
    *settings = {server, env("LEXORIUM_TEST_PG_USER"), QString(), env("LEXORIUM_TEST_PG_PASSWORD")};
    return true;
}

TestDatabase::Status TestDatabase::prepareUnique(QString* why)
{
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder");
        return Status::Fail;
    }
    ConnectionString settings;
    if (!serverSettings(&settings, why))
        return env("LEXORIUM_REQUIRE_PG") == QLatin1String("1") ? Status::Fail : Status::Skip;
    settings.database = uniqueName();
    m_ctx = {m_dir.path(), settings};
    return Status::Ready;
}

TestDatabase::Status TestDatabase::create(bool withSchema, QString* why)
{
    const Status s = prepareUnique(why);
    if (s != Status::Ready)
        return s;
    if (Error e = DatabaseAdmin::createDatabase(m_ctx)) {
        *why = QStringLiteral("cannot create test database: ") + e.description;
        return Status::Fail;
    }
    m_created = true;
    if (withSchema) {
        if (Error e = Schema::create(m_ctx)) {
            *why = QStringLiteral("cannot create schema: ") + e.description;
            return Status::Fail;
        }
    }
    return Status::Ready;
}

Error TestDatabase::openError(const DbContext& ctx)
{
    DbSession session(ctx);
    return session.error();
}

QStringList TestDatabase::tableNames(const DbContext& ctx)
{
    DbSession session(ctx);
    return DatabaseAdmin::userTables(session).valueOr({});
}

bool TestDatabase::exec(const QString& sql, const QVariantList& values) const
{
    DbSession session(m_ctx);
    if (!session.isOpen()) {
        qWarning("open failed: %s", qPrintable(session.error().description));
        return false;
    }
    const Result<int> r = session.execute(sql, values);
    if (!r) {
        qWarning("%s failed: %s", qPrintable(sql), qPrintable(r.error().description));
        return false;
    }
    return true;
}

QVariant TestDatabase::scalar(const QString& sql, const QVariantList& values) const
{
    DbSession session(m_ctx);
    Result<QSqlQuery> q = session.query(sql, values);
    if (!q || !q->next())
        return {};
    return q->value(0);
}

bool TestDatabase::addSampleMasters() const
{
    struct Master {
        const char* table;
        const char* column;
        QList<const char*> names;
    };
    const QList<Master> masters{{"category_master", "category", {"Tax", "Civil", "Criminal"}},
                                {"court_master", "court_name", {"Supreme Court", "High Court"}},
                                {"act_master", "act", {"Income Tax Ordinance", "Contract Act"}}};
    for (const Master& m : masters) {
        for (int i = 0; i < m.names.size(); ++i)
            if (!exec(QStringLiteral("INSERT INTO %1 (id, %2) VALUES (?, ?)")
                          .arg(QLatin1String(m.table), QLatin1String(m.column)),
                      {i + 1, QString::fromUtf8(m.names[i])}))
                return false;
    }
    return true;
}

QStringList TestDatabase::citationTableRows() const
{
    QStringList out;
    DbSession session(m_ctx);
    for (const QString& table :
         {QStringLiteral("case_master"), QStringLiteral("cm_judgment_master"),
          QStringLiteral("cm_nature_of_case_master"), QStringLiteral("cm_fact_summary_master"),
          QStringLiteral("cm_issue_master"), QStringLiteral("cm_rule_of_law_master"),
          QStringLiteral("cm_remarks_master"), QStringLiteral("cm_bench_name"), QStringLiteral("cmd_category_master"),
          QStringLiteral("cmd_court_master"), QStringLiteral("cmd_act_master")}) {
        Result<QSqlQuery> q = session.query(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
        if (!q)
            return {q.error().description};
        while (q->next()) {
            QStringList cells{table};
            for (int i = 0; i < q->record().count(); ++i)
                cells << q->value(i).toString();
            out << cells.join(QLatin1Char('|'));
        }
    }
    return out;
}

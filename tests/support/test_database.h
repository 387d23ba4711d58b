#pragma once

#include "core/db/db_context.h"
#include "core/util/error.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A fresh database on the engine this run tests (LEXORIUM_TEST_ENGINE: sqlite or postgres), in a temporary
// program folder, dropped again at the end.
class TestDatabase
{
public:
    enum class Status { Ready, Skip, Fail };

    TestDatabase();
    ~TestDatabase();

    static QString engine();
    static bool isPostgres() { return engine() == QLatin1String("postgres"); }
    // The server settings of this run's engine, without a database name.
    static bool serverSettings(ConnectionString* settings, QString* why);

    // Creates the database (and its schema when asked) under a new unique name.
    Status create(bool withSchema, QString* why);
    // A context on this engine whose database does not exist yet (for creation tests).
    Status prepareUnique(QString* why);

    const DbContext& ctx() const { return m_ctx; }
    QString programDir() const { return m_dir.path(); }

    // Why a session on ctx cannot be opened; no error when it can.
    static Error openError(const DbContext& ctx);
    // The user tables of ctx's database, empty when it cannot be read.
    static QStringList tableNames(const DbContext& ctx);

    // Master rows for citations to link to: categories 1-3 (Tax, Civil, Criminal), courts 1-2 (Supreme Court,
    // High Court), Acts 1-2 (Income Tax Ordinance, Contract Act).
    bool addSampleMasters() const;

    // Runs one statement, failing loudly; for writing fixture rows directly.
    bool exec(const QString& sql, const QVariantList& values = {}) const;
    QVariant scalar(const QString& sql, const QVariantList& values = {}) const;
    // Every row of the eleven tables a citation is spread over, in key order, as text: equal before and after a
    // write that stored nothing, and between two ways of writing the same citations.
    QStringList citationTableRows() const;

private:
    QTemporaryDir m_dir;
    DbContext m_ctx;
    bool m_created = false;
};

// Skips or fails the test as the run requires.
#define LEX_REQUIRE_READY(status, why)                                                                                 \
    do {                                                                                                               \
        switch (status) {                                                                                              \
        case TestDatabase::Status::Skip:                                                                               \
            QSKIP(qPrintable(why));                                                                                    \
        case TestDatabase::Status::Fail:                                                                               \
            QFAIL(qPrintable(why));                                                                                    \
        case TestDatabase::Status::Ready:                                                                              \
            break;                                                                                                     \
        }                                                                                                              \
    } while (false)

// A context whose database does not exist yet, in `var`.
#define LEX_PREPARE_DATABASE(var)                                                                                      \
    TestDatabase var;                                                                                                  \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        const TestDatabase::Status status_ = var.prepareUnique(&why_);                                                 \
        LEX_REQUIRE_READY(status_, why_);                                                                              \
    } while (false)

// Sets up `var` with a new database, skipping or failing the test as the run requires.
#define LEX_USE_DATABASE(var, withSchema)                                                                              \
    TestDatabase var;                                                                                                  \
    do {                                                                                                               \
        QString why_;                                                                                                  \
        switch (var.create(withSchema, &why_)) {                                                                       \
        case TestDatabase::Status::Skip:                                                                               \
            QSKIP(qPrintable(why_));                                                                                   \
        case TestDatabase::Status::Fail:                                                                               \
            QFAIL(qPrintable(why_));                                                                                   \
        case TestDatabase::Status::Ready:                                                                              \
            break;                                                                                                     \
        }                                                                                                              \
    } while (false)

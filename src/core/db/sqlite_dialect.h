#pragma once

#include "core/db/sql_dialect.h"

#include <QFileDevice>

// The embedded engine: one file per database, Data/<name>.db below the program's directory.
class SqliteDialect : public SqlDialect
{
public:
    // How long a statement waits for another program's lock before it fails with the engine's message.
    static constexpr int kBusyTimeoutMs = 3000;
    // A database is the user's own, like the settings file beside it.
    static constexpr QFileDevice::Permissions kOwnerOnly{QFileDevice::ReadOwner | QFileDevice::WriteOwner};

    static QString databaseFile(const DbContext& ctx);

    QString driverName() const override;
    void configure(QSqlDatabase& db, const DbContext& ctx, Target target, int timeoutSeconds) const override;
    Error prepare(QSqlDatabase& db) const override;
    Error precheck(const DbContext& ctx, Target target, int timeoutSeconds) const override;
    Error classifyOpenFailure(const DbContext& ctx, Error error, int timeoutSeconds) const override;
    QString quoteIdentifier(const QString& name) const override;
    QString createTableStatement(const TableDef& table, const QList<ForeignKeyDef>& keys) const override;
    QString addForeignKeyStatement(const ForeignKeyDef& key) const override;
    QString userTablesQuery() const override;
    QString userIndexesQuery() const override;
    int boundValuesPerStatement() const override;
    QStringList scratchSessionStatements() const override;
    QStringList bulkWriteStatements() const override;
    QString foreignKeysQuery() const override;
    QString beginWriteStatement() const override;
    QString lockTableStatement(const QString& table) const override;
    QString schemaVersionQuery() const override;
    QString setSchemaVersionStatement(const DbContext& ctx, int version) const override;
    Error createSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    Result<SearchIndexState> searchIndexState(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    QString searchCandidateCondition(const SearchIndexDef& index, const QString& keyExpr, int segments) const override;
    QVariantList searchCandidateValues(const QStringList& segments) const override;
    QString searchTextExpression(const QString& column) const override;
    Result<bool> searchFoldsAlike(DbSession& session, const QString& letters) const override;
    QString keyListCondition(const QString& column) const override;
    QVariant keyListValue(const QList<qint64>& keys) const override;
    QString yearMonthExpression(const QString& column) const override;
    Result<BulkFill> beginBulkFill(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    Error endBulkFill(DbSession& session, const BulkFill& fill, const QList<SearchIndexDef>& indexes) const override;
    QStringList writeAheadJournalStatements() const override;
    QString beginSnapshotStatement() const override;
    QString copyIntoFileStatement() const override;
    QString integrityCheckQuery() const override;
    QString tableColumnsQuery() const override;
    Result<SearchIndexGaps> searchIndexGaps(DbSession& session, const SearchIndexDef& index) const override;
    Error rebuildSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
};

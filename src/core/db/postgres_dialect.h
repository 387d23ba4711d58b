#pragma once

#include "core/db/sql_dialect.h"

// A PostgreSQL server, "host" or "host:port"; trial logins and CREATE DATABASE go through the maintenance
// database "postgres".
class PostgresDialect : public SqlDialect
{
public:
    QString driverName() const override;
    void configure(QSqlDatabase& db, const DbContext& ctx, Target target, int timeoutSeconds) const override;
    Error prepare(QSqlDatabase& db) const override;
    Error precheck(const DbContext& ctx, Target target, int timeoutSeconds) const override;
    Error classifyOpenFailure(const DbContext& ctx, Error error, int timeoutSeconds) const override;
    QString quoteIdentifier(const QString& name) const override;
    QString createTableStatement(const TableDef& table, const QList<ForeignKeyDef>& keys) const override;
    QString createScratchTableStatement(const TableDef& table) const override;
    QString addForeignKeyStatement(const ForeignKeyDef& key) const override;
    QString userTablesQuery() const override;
    QString userIndexesQuery() const override;
    int boundValuesPerStatement() const override;
    QString bulkInsertStatement(const TableDef& table) const override;
    QVariantList bulkInsertValues(const TableDef& table, const QVariantList& rows) const override;
    QStringList scratchSessionStatements() const override;
    QStringList bulkWriteStatements() const override;
    QString foreignKeysQuery() const override;
    QString readOnlyStatement() const override;
    bool isLoginRefusal(const Error& error) const override;
    QString beginWriteStatement() const override;
    QString lockTableStatement(const QString& table) const override;
    QString schemaVersionQuery() const override;
    QString setSchemaVersionStatement(const DbContext& ctx, int version) const override;
    int schemaVersionFrom(const QVariant& stored) const override;
    Error createSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    Result<SearchIndexState> searchIndexState(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    QString searchCandidateCondition(const SearchIndexDef& index, const QString& keyExpr, int segments) const override;
    QVariantList searchCandidateValues(const QStringList& segments) const override;
    QString searchFoldProbeQuery() const override;
    Result<bool> searchFoldsAlike(DbSession& session, const QString& letters) const override;
    QString searchPlainTextCondition(const QString& column) const override;
    QString searchTextPrefix(const QString& column, int length) const override;
    Error renewSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    Error renewSearchedTextStorage(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    QString keyListCondition(const QString& column) const override;
    QVariant keyListValue(const QList<qint64>& keys) const override;
    QString yearMonthExpression(const QString& column) const override;
    Error beginBulkIndexedWrite(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    Error endBulkIndexedWrite(DbSession& session, const QList<SearchIndexDef>& indexes) const override;
    QStringList settleStatements() const override;
    QString beginSnapshotStatement() const override;
    QString tableColumnsQuery() const override;
    Result<SearchIndexGaps> searchIndexGaps(DbSession& session, const SearchIndexDef& index) const override;
    Error rebuildSearchIndexes(DbSession& session, const QList<SearchIndexDef>& indexes) const override;

private:
    // What the trigram index holds of a column, and what a search compares with it.
    static QString indexedText(const QString& column);
};

#include "core/transfer/citation_transfer_export.h"

#include "core/citations/citation_store.h"
#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"
#include "core/sync/row_copier.h"
#include "core/transfer/transfer_writer.h"
#include "core/util/cancel_token.h"

namespace {
// The stored citation as the import reads it back: its date as stored (the store's load keeps only the month).
Result<TransferRecord> recordOf(DbSession& session, qint64 caseId)
{
    const Result<Citation> c = CitationStore(session).loadWhole(caseId);
    if (!c)
        return c.error();
    TransferRecord r;
    r.citation = c->citation;
    r.caseTitle = c->caseTitle;
    r.texts = c->texts;
    for (const CitationLink& link : c->categories)
        r.categories << link.name;
    for (const CitationLink& link : c->courts)
        r.courts << link.name;
    for (const CitationLink& link : c->acts)
        r.acts << TransferAct{link.name, link.section};
    for (const QString& name : c->bench)
        if (!name.trimmed().isEmpty())
            r.bench << name;
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?")
                          .arg(CitationTables::judgmentDate(), CitationTables::caseTable(), CitationTables::caseKey()),
                      {caseId});
    if (!q)
        return q.error();
    if (q->next())
        r.judgmentDate = RowCopier::toDate(q->value(0)).toDate();
    return r;
}
} // namespace

Result<qint64> CitationTransferExport::write(DbSession& session, const QString& fileName, const QList<qint64>& caseIds,
                                             CancelToken* cancel, const Progress& progress)
{
    Result<std::unique_ptr<TransferWriter>> writer = TransferWriter::forFile(fileName);
    if (!writer)
        return writer.error();
    QList<qint64> ids = caseIds;
    if (ids.isEmpty()) {
        Result<QList<qint64>> all =
            session.column<qint64>(QStringLiteral("SELECT %1 FROM %2 ORDER BY %1")
                                       .arg(CitationTables::caseKey(), CitationTables::caseTable()));
        if (!all)
            return all.error();
        ids = *all;
    }
    if (Error e = (*writer)->begin())
        return e;
    qint64 written = 0;
    for (qint64 id : ids) {
        if (cancel && cancel->isCancelled())
            return Error::of(Error::Kind::Cancelled, QStringLiteral("The export was cancelled; no file was written."));
        const Result<TransferRecord> record = recordOf(session, id);
        if (!record)
            return record.error();
        if (Error e = (*writer)->add(*record))
            return e;
        ++written;
        if (progress)
            progress(written, ids.size());
    }
    if (Error e = (*writer)->finish())
        return e;
    return written;
}

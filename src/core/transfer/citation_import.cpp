#include "core/transfer/citation_import.h"

#include "core/citations/citation_rules.h"
#include "core/citations/citation_store.h"
#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"
#include "core/masters/master_store.h"
#include "core/sync/row_copier.h"
#include "core/transfer/transfer_reader.h"
#include "core/util/cancel_token.h"

#include <QHash>
#include <QLocale>

#include <array>
#include <memory>

namespace {
// Rows stored in one transaction, each in a part of its own that a refusal undoes alone: a commit per row waits
// for the disk every time, and this many rows hold other writers back for a fraction of a second only.
constexpr int kRowsPerCommit = 50;
constexpr std::array<MasterKind, 3> kKinds{MasterKind::Category, MasterKind::Court, MasterKind::Act};

// What makes two citations the same for the import, as for the merge: the citation text and the month and year
// of the judgment.
QString identityOf(const QString& citation, const QDate& date)
{
    return citation + QChar(0x1f) + (date.isValid() ? date.toString(QStringLiteral("yyyy-MM")) : QString());
}

QString kindWord(MasterKind kind)
{
    switch (kind) {
    case MasterKind::Category:
        return QStringLiteral("category");
    case MasterKind::Court:
        return QStringLiteral("court");
    case MasterKind::Act:
        break;
    }
    return QStringLiteral("Act");
}

// A rule's refusal as a reason of a row: the row is not stored, so the store's closing words are left off.
QString reasonOf(const Error& e)
{
    QString text = e.description;
    const QString tail = QStringLiteral(" Nothing was stored.");
    if (text.endsWith(tail))
        text.chop(tail.size());
    return text;
}

class Importer
{
public:
    Importer(DbSession& session, const ImportOptions& options)
        : m_session(session)
        , m_options(options)
    {
        m_summary.dryRun = options.dryRun;
    }

    Error prepare()
    {
        if (Error e = catchUp())
            return e;
        return loadMasters();
    }

    // One record: stored, skipped, refused or left out, and counted so. An Error only when the database fails
    // in a way no later row could get past.
    Error take(const TransferRecord& r)
    {
        ++m_summary.read;
        if (!r.leftOutWhy.isEmpty()) {
            ++m_summary.leftOut;
            m_summary.refusals << ImportRefusal{r.place, r.leftOutWhy};
            return {};
        }
        if (!r.problem.isEmpty())
            return refuse(r.place, r.problem);
        Citation c = citationOf(r);
        if (CitationRules::requiredError(c))
            return refuse(r.place, QStringLiteral("the citation is empty."));
        if (Error e = CitationRules::limitsError(CitationRules::asAdded(c)))
            return refuse(r.place, reasonOf(e));
        if (const QString problem = masterNameProblem(r); !problem.isEmpty())
            return refuse(r.place, problem);
        const QString identity = identityOf(c.citation, c.judgmentDate);
        if (m_options.dryRun) {
            if (Error e = catchUp())
                return e;
            if (isDuplicate(r.place, identity))
                return {};
            m_identities.insert(identity, -r.place);
            ++m_summary.stored;
            return {};
        }
        // A master deleted by another user since it was read is looked up once more.
        for (int attempt = 0;; ++attempt) {
            Error refused;
            bool duplicate = false;
            if (Error e = store(r, &c, identity, &refused, &duplicate))
                return e;
            if (duplicate)
                return {};
            if (!refused) {
                ++m_pendingStored;
                return m_pendingStored >= kRowsPerCommit ? commitBatch() : Error();
            }
            if (refused.kind != Error::Kind::NotFound || attempt > 0)
                return refuse(r.place, reasonOf(refused));
            if (Error e = loadMasters())
                return e;
        }
    }

    ImportSummary& summary() { return m_summary; }
    // The counts so far, the rows waiting for their commit among the stored.
    ImportSummary progress() const
    {
        ImportSummary soFar = m_summary;
        soFar.stored += m_pendingStored;
        return soFar;
    }

    // Commits the rows stored since the last commit; when the commit fails they are not stored, and the error
    // says so.
    Error commitBatch()
    {
        if (!m_batch)
            return {};
        const Error e = m_batch->commit();
        m_batch.reset();
        if (!e)
            m_summary.stored += m_pendingStored;
        m_pendingStored = 0;
        return e;
    }

private:
    Error refuse(qint64 place, const QString& reason)
    {
        ++m_summary.refused;
        m_summary.refusals << ImportRefusal{place, reason};
        return {};
    }

    bool isDuplicate(qint64 place, const QString& identity)
    {
        const auto found = m_identities.constFind(identity);
        if (found == m_identities.constEnd() || m_options.allowDuplicates)
            return false;
        ++m_summary.duplicates;
        const QString of = *found > 0
                               ? QStringLiteral("citation %1").arg(*found)
                               : QStringLiteral("%1 %2 of this file").arg(m_summary.placeName.toLower()).arg(-*found);
        m_summary.refusals << ImportRefusal{
            place,
            QStringLiteral("skipped as a duplicate of %1 (the same citation and month and year of judgment).").arg(of)};
        return true;
    }

    // The row in one transaction: the masters it names that are not there yet, then the citation. `refused`
    // when the row cannot be stored (the transaction rolled back).
    Error store(const TransferRecord& r, Citation* c, const QString& identity, Error* refused, bool* duplicate)
    {
        std::array<QHash<QString, qint64>, 3> added;
        m_reloadedInRow = false;
        const auto refuseWith = [refused](const Error& e) {
            *refused = e;
            return Error();
        };
        if (!m_batch) {
            m_batch = std::make_unique<TransactionGuard>(m_session);
            if (Error e = m_batch->error()) {
                m_batch.reset();
                return e;
            }
        }
        Savepoint row(m_session);
        if (row.error())
            return row.error();
        // case_master first, as every citation writer locks it, so that writers queue in one order.
        if (Error e = m_session.lockForWrite(CitationTables::caseTable()))
            return refuseWith(e);
        if (Error e = catchUp())
            return refuseWith(e);
        if (isDuplicate(r.place, identity)) {
            *duplicate = true;
            return {};
        }
        const std::array<const QStringList*, 2> named{&r.categories, &r.courts};
        const std::array<QList<CitationLink>*, 2> links{&c->categories, &c->courts};
        for (int k = 0; k < 2; ++k) {
            links[k]->clear();
            for (const QString& name : *named[k]) {
                const Result<qint64> id = masterId(kKinds[k], name, &added[k]);
                if (!id) {
                    m_mastersStale = true;
                    return refuseWith(id.error());
                }
                links[k]->append({*id, name, QString()});
            }
        }
        c->acts.clear();
        for (const TransferAct& act : r.acts) {
            const Result<qint64> id = masterId(MasterKind::Act, act.name, &added[2]);
            if (!id) {
                m_mastersStale = true;
                return refuseWith(id.error());
            }
            c->acts.append({*id, act.name, act.section});
        }
        const Result<qint64> caseId = CitationStore(m_session).add(*c);
        if (!caseId) {
            m_mastersStale = m_mastersStale || m_reloadedInRow;
            return refuseWith(caseId.error());
        }
        if (Error e = row.release())
            return refuseWith(e);
        for (int k = 0; k < 3; ++k)
            m_masters[k].insert(added[k]);
        m_identities.insert(identity, *caseId);
        m_lastCase = qMax(m_lastCase, *caseId);
        return {};
    }

    Result<qint64> masterId(MasterKind kind, const QString& name, QHash<QString, qint64>* added)
    {
        if (m_mastersStale) {
            if (Error e = loadMasters())
                return e;
        }
        const int k = int(kind);
        const QString key = MasterStore::comparable(name.trimmed());
        if (const auto found = m_masters[k].constFind(key); found != m_masters[k].constEnd())
            return *found;
        if (const auto found = added->constFind(key); found != added->constEnd())
            return *found;
        MasterStore store(m_session, kind);
        const Result<qint64> id = store.add(name);
        if (id) {
            added->insert(key, *id);
            return id;
        }
        if (id.error().kind != Error::Kind::Duplicate)
            return id.error();
        // Another program added it since the names were read.
        m_reloadedInRow = true;
        if (Error e = loadMasters())
            return e;
        if (const auto found = m_masters[k].constFind(key); found != m_masters[k].constEnd())
            return *found;
        return id.error();
    }

    Error loadMasters()
    {
        for (MasterKind kind : kKinds) {
            const Result<QList<MasterRow>> rows = MasterStore(m_session, kind).rows();
            if (!rows)
                return rows.error();
            QHash<QString, qint64>& names = m_masters[int(kind)];
            names.clear();
            for (const MasterRow& row : *rows)
                names.insert(MasterStore::comparable(row.name), row.id);
        }
        m_mastersStale = false;
        return {};
    }

    // Takes in the citations stored since the last look, by this import or by anyone else.
    Error catchUp()
    {
        const QString sql = QStringLiteral("SELECT %1, %2, %3 FROM %4 WHERE %1 > ?")
                                .arg(CitationTables::caseKey(), CitationTables::citation(),
                                     CitationTables::judgmentDate(), CitationTables::caseTable());
        return m_session.forEachRow(sql, {m_lastCase}, [this](const QSqlQuery& q) {
            const qint64 id = q.value(0).toLongLong();
            const QString identity = identityOf(q.value(1).toString(), RowCopier::toDate(q.value(2)).toDate());
            if (!m_identities.contains(identity))
                m_identities.insert(identity, id);
            m_lastCase = qMax(m_lastCase, id);
            return true;
        });
    }

    QString masterNameProblem(const TransferRecord& r) const
    {
        const std::array<const QStringList*, 2> named{&r.categories, &r.courts};
        QList<std::pair<MasterKind, QString>> names;
        for (int k = 0; k < 2; ++k)
            for (const QString& name : *named[k])
                names << std::pair{kKinds[k], name};
        for (const TransferAct& act : r.acts)
            names << std::pair{MasterKind::Act, act.name};
        for (const auto& [kind, name] : names) {
            const int limit = MasterTable::of(kind).maxNameLength;
            const qsizetype length = CitationRules::characterCount(name.trimmed());
            if (limit > 0 && length > limit)
                return QStringLiteral("the %1 name \"%2...\" is %3 characters long; at most %4 are kept.")
                    .arg(kindWord(kind), name.left(20))
                    .arg(length)
                    .arg(limit);
        }
        return {};
    }

    // The record as the store takes it; the links are filled once their masters are known (a placeholder key
    // until then, so that the rules see every link).
    static Citation citationOf(const TransferRecord& r)
    {
        Citation c;
        c.citation = r.citation;
        c.caseTitle = r.caseTitle;
        c.judgmentDate = r.judgmentDate;
        c.texts = r.texts;
        c.bench = r.bench;
        for (const QString& name : r.categories)
            c.categories.append({-1, name, QString()});
        for (const QString& name : r.courts)
            c.courts.append({-1, name, QString()});
        for (const TransferAct& act : r.acts)
            c.acts.append({-1, act.name, act.section});
        return c;
    }

    DbSession& m_session;
    ImportOptions m_options;
    ImportSummary m_summary;
    // Every stored citation's identity and its case id; a row of this file in a dry run by minus its place.
    QHash<QString, qint64> m_identities;
    qint64 m_lastCase = 0;
    std::array<QHash<QString, qint64>, 3> m_masters; // comparable name to id, per MasterKind
    bool m_mastersStale = false;
    bool m_reloadedInRow = false;
    std::unique_ptr<TransactionGuard> m_batch;
    qint64 m_pendingStored = 0;
};

QString count(qint64 n)
{
    return QLocale::c().toString(n);
}
} // namespace

Result<ImportSummary> CitationImport::run(DbSession& session, const QString& fileName, const ImportOptions& options,
                                          CancelToken* cancel, const Progress& progress)
{
    Result<std::unique_ptr<TransferReader>> reader = TransferReader::forFile(fileName);
    if (!reader)
        return reader.error();
    if (Error e = (*reader)->open())
        return e;
    Importer importer(session, options);
    importer.summary().placeName = (*reader)->placeName();
    if (Error e = importer.prepare())
        return e;
    // A failure that ends the run: the rows stored before it stay (those of the open transaction too, when it
    // can still be committed), and the caller is told how many.
    const auto endWith = [&](Error e) {
        importer.commitBatch();
        const qint64 stored = importer.summary().stored;
        if (stored == 1 && !options.dryRun)
            e.description += QStringLiteral(" The row stored before it stays.");
        else if (stored > 1 && !options.dryRun)
            e.description += QStringLiteral(" The %1 rows stored before it stay.").arg(count(stored));
        return e;
    };
    for (;;) {
        if (cancel && cancel->isCancelled()) {
            importer.summary().cancelled = true;
            break;
        }
        TransferRecord record;
        const Result<bool> got = (*reader)->next(&record);
        if (!got)
            return endWith(got.error());
        if (!*got)
            break;
        if (Error e = importer.take(record))
            return endWith(e);
        if (progress)
            progress(importer.progress(), (*reader)->percent());
    }
    if (Error e = importer.commitBatch())
        return endWith(e);
    if (progress)
        progress(importer.summary(), importer.summary().cancelled ? (*reader)->percent() : 100);
    return importer.summary();
}

QString CitationImport::summaryText(const ImportSummary& s)
{
    const bool items = s.placeName == QLatin1String("Item");
    const QString noun = items ? (s.read == 1 ? QStringLiteral("item") : QStringLiteral("items"))
                               : (s.read == 1 ? QStringLiteral("row") : QStringLiteral("rows"));
    QString text;
    if (s.dryRun)
        text = QStringLiteral("Read %1 %2: %3 would be stored, %4 would be skipped as duplicates, %5 would be refused.")
                   .arg(count(s.read), noun, count(s.stored), count(s.duplicates), count(s.refused));
    else
        text = QStringLiteral("Read %1 %2: %3 stored, %4 skipped as duplicates, %5 refused.")
                   .arg(count(s.read), noun, count(s.stored), count(s.duplicates), count(s.refused));
    if (s.leftOut > 0)
        text += QStringLiteral(" %1 left out as not legal cases.").arg(count(s.leftOut));
    if (s.cancelled)
        text += s.dryRun ? QStringLiteral(" Cancelled before the end of the file.")
                         : QStringLiteral(" Cancelled before the end of the file; the rows stored before stay.");
    if (s.dryRun)
        text += QStringLiteral(" Nothing was written.");
    return text;
}

QString CitationImport::refusalsText(const ImportSummary& s)
{
    QString text;
    for (const ImportRefusal& r : s.refusals)
        text += QStringLiteral("%1 %2: %3\n").arg(s.placeName).arg(r.place).arg(r.reason);
    return text;
}

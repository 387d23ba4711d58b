#pragma once

#include "core/util/error.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QVariantList>

#include <functional>

class DbSession;
struct TableDef;

// The last step of a merge: the rows it added (those above the present database's largest keys) go from the
// merged working database into the present one, inside the caller's transaction. The master lists go first, then
// the citations a batch at a time, each batch with its new texts and its links, so that the number of citations
// written grows steadily however long the engine takes over each text's index entries.
class MergeWriteBack
{
public:
    static constexpr int kCitationsPerBatch = 100;

    // The citations written so far, of how many, and how many a second so far.
    using Progress = std::function<void(qint64 written, qint64 total, double perSecond)>;

    // `presentMaxKeys`: each table's largest key in the present database when the merge began.
    MergeWriteBack(DbSession& merged, DbSession& present, const QHash<QString, qint64>& presentMaxKeys);

    void setProgress(Progress progress) { m_progress = std::move(progress); }
    void setBatchSize(int citations) { m_batch = qMax(1, citations); }
    Error run();
    qint64 citationsWritten() const { return m_citationsWritten; }

private:
    // Reads rows of `table` from the merged database (its key first, then every column in order) and writes those
    // not written yet.
    Error copyRows(const TableDef& table, const QString& select, const QVariantList& values);
    Error copyBatch(qint64 after, qint64 last);
    // Rows above the present's keys that no new citation reached (none, as a merge builds them; but nothing is
    // to be lost if one is there).
    Error copyRest(const TableDef& table);

    DbSession& m_merged;
    DbSession& m_present;
    QHash<QString, qint64> m_maxKeys;
    QHash<QString, QSet<qint64>> m_written; // keys written, by table
    Progress m_progress;
    int m_batch = kCitationsPerBatch;
    qint64 m_citationsWritten = 0;
};

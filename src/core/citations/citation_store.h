#pragma once

#include "core/citations/citation.h"
#include "core/citations/citation_tables.h"
#include "core/util/result.h"

#include <QList>

class DbSession;

// Reads and writes citations on a session, in the tables CitationTables names and as CitationRules allows. Every
// write is one transaction: all of the citation's rows, or none. Keys are taken inside that transaction under the
// engine's lock (largest key plus one, 1 for an empty table, link and bench rows numbered in list order), so
// programs writing to one database at once never collide.
class CitationStore
{
public:
    using TextTable = CitationTextTable;
    static const std::array<TextTable, Citation::kTextCount>& textTables() { return CitationTables::texts(); }
    // The lengths of the columns as the boxes of a screen limit them.
    static constexpr int kShortTextLimit = 50;
    static constexpr int kLongTextLimit = 7900;
    static constexpr int kNameLimit = 200;

    explicit CitationStore(DbSession& session);

    // Every case id, in the order the database returns them.
    Result<QList<qint64>> caseIds() const;
    // The key a new citation would get now; the write takes it again under its lock.
    Result<qint64> nextCaseId() const;

    // The stored citation; its date is reduced to the first of its month. A case without its text rows loads
    // with empty texts and its lists; exists() tells whether the case is stored at all.
    Result<Citation> load(qint64 caseId) const;
    // The same for a reader that needs the whole citation: Kind::NotFound when the case is not stored or one of
    // its six text rows is missing.
    Result<Citation> loadWhole(qint64 caseId) const;
    Result<bool> exists(qint64 caseId) const;

    // Stores a new citation and gives back the case id it got. The case title and the long texts are stored
    // without leading and trailing blanks.
    Result<qint64> add(const Citation& citation) const;
    // Rewrites the stored citation `loaded` (as load gave it) as `edited`: its texts in their rows, its links and
    // bench anew; nothing is trimmed. Refused with Kind::Conflict, nothing written, when the stored citation (its
    // row, texts, links or bench) is no longer what was loaded: another user changed it, or deleted it and a new
    // citation took its key. Kind::NotFound when it is gone, or when a linked category, court or Act is.
    // Bench names stored beyond the 21 a screen shows are kept, after the ones given.
    Error modify(const Citation& loaded, const Citation& edited) const;
    // Deletes the citation `loaded` from all eleven tables; the master rows stay. Refused like modify when the
    // stored citation is no longer the one loaded.
    Error remove(const Citation& loaded) const;
    // The same by key alone, whatever is stored under it: for a caller that deletes by key, holding no copy.
    Error remove(qint64 caseId) const;

    // The error a write of a case that is no longer stored gives.
    static QString vanishedMessage(qint64 caseId);
    // The error a write of a case that another user changed since it was loaded gives.
    static QString changedMessage(qint64 caseId, bool deleting);

private:
    // The stored citation, and in `whole` whether its six text rows were found.
    Result<Citation> read(qint64 caseId, bool* whole) const;
    Error rewrite(const Citation& loaded, const Citation& edited) const;
    Error erase(qint64 caseId, const Citation* loaded) const;
    // Under the lock: the stored citation, when it is still the one loaded (or no copy is given).
    Result<Citation> storedAsLoaded(qint64 caseId, const Citation* loaded, bool deleting) const;
    // Locks the master tables the citation links to and names those of its links whose master row is gone.
    Error lockLinkedMasters(const Citation& c) const;
    Error insertLinksAndBench(const Citation& c, qint64 caseId, const QStringList& keptBench = {}) const;
    DbSession& m_session;
};

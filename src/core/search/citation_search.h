#pragma once

#include "core/util/error.h"
#include "core/util/result.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>

class CancelToken;
class DbSession;
struct SearchLinkPass;

// Where a search looks: every field of every citation, or one field.
enum class SearchField {
    AllFields,
    Judgment,
    NatureOfCase,
    FactSummary,
    Issue,
    RuleOfLaw,
    Remarks,
    Citation,
    Case,
    Date,
    Act,
    Section,
    Category,
    Court,
    Bench,
};

// One pass over the database; "Select all fields" runs several of them into one list.
enum class SearchPass {
    All, // every text field of case_master, the six long texts and the date
    Act,
    Section,
    Bench,
    Category,
    Court,
    Items, // the one field named by the request
};

struct SearchRequest {
    QString text; // as typed
    SearchField field = SearchField::AllFields;
    bool matchCase = false;
    bool wholeWord = false;
};

struct SearchHit {
    qint64 caseId = 0;
    QString citation; // the "Citation" column
    QString foundIn;  // the "Found in" column, e.g. "(act)Income Tax Act"
};

// Finds the citations whose stored texts contain a search text, pass by pass, delivering hits as they are
// found. It shows nothing: the caller decides where hits and progress go and may ask it to stop.
class CitationSearch
{
public:
    using HitSink = std::function<void(const SearchHit&)>;
    // Called with the running row (or candidate) number of the current pass.
    using ProgressSink = std::function<void(int)>;

    explicit CitationSearch(DbSession& session);

    // The passes that Find Now runs for a request, in order.
    static QList<SearchPass> passesFor(const SearchRequest& request);
    // The choices of "Look in", in the order they are offered, and what each means.
    static QStringList fieldChoices();
    static SearchField fieldForChoice(const QString& choice);

    // Runs one pass. A stop or cancel is seen between rows: the pass ends, its hits so far delivered, and a stop
    // request is cleared. Hits of one pass come in ascending case id, at most one per citation.
    Error runPass(SearchPass pass, const SearchRequest& request, const HitSink& onHit,
                  const ProgressSink& onProgress = {}, CancelToken* cancel = nullptr);
    // Runs the given passes in order into the same sink. A stop ends the running pass only; a cancel ends the
    // run.
    Error run(const QList<SearchPass>& passes, const SearchRequest& request, const HitSink& onHit,
              const ProgressSink& onProgress = {}, CancelToken* cancel = nullptr);

    // The word tests, exposed for their own tests.
    static bool isDelimiter(QChar c);                                  // Codes
    static bool findMatch(const QString& stored, const QString& word); // FindMatch, any occurrence
    // FindMatch with the given letter-case rule; both texts as they are to be compared.
    static bool findMatchIn(const QString& stored, const QString& word, Qt::CaseSensitivity cs);
    static bool fieldMatches(const QString& stored, const SearchRequest& request);

    // The first citations in id order are read straight, without the index, until they give `hits` hits or
    // `maxRows` citations have been read (or a twentieth of a second has gone), and while their hits promise as
    // many: the index's statements take as long for the first screen of the list as for all of it. 0 rows: the
    // index from the first citation on.
    void setFirstScreen(int hits, int maxRows)
    {
        m_screenful = hits;
        m_maxHeadRows = maxRows;
    }
    static constexpr int kScreenful = 50;
    static constexpr int kMaxHeadRows = 2000;

    // Whether the trigram index finds the candidates for this text (the exact test still decides); otherwise the
    // passes read every row.
    bool indexAnswers(const SearchRequest& request);
    // Whether the engine's own test of the index's candidates settles the texts of this request where it is
    // provably the program's, so that only as much of a matching text as "Found in" shows is read
    // (SqlDialect::searchPlainTextCondition). Off: the program tests every candidate, as for any other request.
    bool engineTests(const SearchRequest& request);
    void setEngineTestsAllowed(bool allowed) { m_engineTestsAllowed = allowed; }

private:
    static constexpr int kMaxColumns = 9; // of the all-fields walk
    struct CaseCandidate {
        qint64 caseId = 0;
        quint32 columns = 0;           // bit per column of the all-fields walk that may hold the text
        qint64 rows[kMaxColumns] = {}; // per such column, the key of the row holding it
        int settledColumn = -1;        // the first column the engine's own test found the text in
        QString shown;                 // as much of that column's text as "Found in" shows
    };

    struct PassState;
    Error runCasePass(const QList<int>& columns, const SearchRequest& request, const HitSink& onHit,
                      const ProgressSink& onProgress, CancelToken* cancel);
    // Reads the first citations in id order straight, until a screenful of hits or while the hits promise one;
    // gives the last case id read.
    Result<qint64> runHead(PassState& state);
    // Reads the given citations (ascending ids) with all the pass's columns and tests them.
    Error testRows(const QList<qint64>& ids, PassState& state);
    Error runIndexedCasePass(const QList<CaseCandidate>& candidates, PassState& state);
    // Tests one column of a batch of candidates, skipping those found already; the hits go to `found`.
    Error testColumn(int index, const QList<CaseCandidate>& batch, const PassState& state,
                     QHash<qint64, QString>* found);
    Result<QHash<qint64, QString>> citationsOf(const QList<qint64>& caseIds);
    // The candidates of the pass with a case id above `after`, in ascending id.
    Result<QList<CaseCandidate>> caseCandidates(const QList<int>& columns, const SearchRequest& request, qint64 after);
    Error runLinkPass(const SearchLinkPass& pass, const SearchRequest& request, const HitSink& onHit,
                      const ProgressSink& onProgress, CancelToken* cancel);
    // The masters of a link pass whose name passes the test, by key.
    Result<QHash<qint64, QString>> matchingMasters(const SearchLinkPass& pass, const SearchRequest& request,
                                                   const QStringList& segments);

    Error addDateCandidates(const SearchRequest& request, QStringList* conditions, QVariantList* values);
    QStringList indexSegments(const SearchRequest& request);
    bool readsUtf8Bytes();

    DbSession& m_session;
    int m_indexUsable = -1;             // not yet known
    int m_utf8Bytes = -1;               // not yet known
    QHash<char16_t, bool> m_foldsAlike; // letters beyond ASCII, whether the index folds them as the exact test
    int m_screenful = kScreenful;
    int m_maxHeadRows = kMaxHeadRows;
    bool m_engineTestsAllowed = true;
};

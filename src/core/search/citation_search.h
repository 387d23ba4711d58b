#pragma once

#include "core/util/error.h"
#include "core/util/result.h"

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

    // Whether the trigram index finds the candidates for this text (the exact test still decides); otherwise the
    // passes read every row.
    bool indexAnswers(const SearchRequest& request);

private:
    static constexpr int kMaxColumns = 9; // of the all-fields walk
    struct CaseCandidate {
        qint64 caseId = 0;
        quint32 columns = 0;           // bit per column of the all-fields walk that may hold the text
        qint64 rows[kMaxColumns] = {}; // per such column, the key of the row holding it
    };

    Error runCasePass(const QList<int>& columns, const SearchRequest& request, const HitSink& onHit,
                      const ProgressSink& onProgress, CancelToken* cancel);
    Error runIndexedCasePass(const QList<int>& columns, const QList<CaseCandidate>& candidates,
                             const SearchRequest& request, const HitSink& onHit, const ProgressSink& onProgress,
                             CancelToken* cancel);
    Result<QList<CaseCandidate>> caseCandidates(const QList<int>& columns, const SearchRequest& request);
    Error runLinkPass(const SearchLinkPass& pass, const SearchRequest& request, const HitSink& onHit,
                      const ProgressSink& onProgress, CancelToken* cancel);

    Error addDateCandidates(const SearchRequest& request, QStringList* conditions, QVariantList* values);
    QStringList indexSegments(const SearchRequest& request);
    bool readsUtf8Bytes();

    DbSession& m_session;
    int m_indexUsable = -1; // not yet known
    int m_utf8Bytes = -1;   // not yet known
};

#include "core/search/citation_search.h"

#include "core/citations/citation_tables.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/db/sql_dialect.h"
#include "core/search/field_test.h"
#include "core/search/index_segments.h"
#include "core/search/judgment_date_query.h"
#include "core/util/cancel_token.h"

#include <QElapsedTimer>
#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <algorithm>
#include <array>
#include <limits>
#include <optional>

namespace {
// Rows of case_master read per statement: enough to keep round trips few, few enough that six long texts each
// never pile up in memory.
constexpr int kCaseBatch = 100;
// With the index, one column's texts are read per statement, so a batch may be larger.
constexpr int kIndexedBatch = 1000;
// Above this many matching master rows, the link pass reads every link and tests the master in memory rather
// than looking up a long list of keys.
constexpr int kMaxBoundMasters = 500;
// How much of a long text "Found in" shows.
constexpr int kShownLength = 100;
// How long the first citations may be read straight before the index takes over.
constexpr qint64 kMaxHeadMs = 50;
// The first few citations read straight tell how quickly the walk finds hits: few, so that a word the walk would
// find too slowly costs little before the index is asked.
constexpr int kFirstHeadBatch = 20;
// Below every case id.
constexpr qint64 kBeforeAll = std::numeric_limits<qint64>::min();

// The fields of a citation that the all-fields pass tests, in the order it tests them (the order of
// case_master's columns, each text id standing for its text).
struct Column {
    SearchField field;
    const char* caption; // the "Look in" choice
    const char* label;   // named in "Found in"
    QString table;       // the text's own table, or case_master
    QString column;
    QString keyColumn; // case_master's column pointing at the text's row; empty for its own columns
};

constexpr int kColumnCount = 9;

Column caseColumn(SearchField field, const char* caption, const char* label, const QString& column)
{
    return {field, caption, label, CitationTables::caseTable(), column, QString()};
}

Column textColumn(SearchField field, const char* caption, const char* label, Citation::Text text)
{
    const CitationTextTable& t = CitationTables::text(text);
    return {field, caption, label, t.table, t.column, t.keyColumn};
}

const std::array<Column, kColumnCount>& searchColumns()
{
    static const std::array<Column, kColumnCount> columns{{
        caseColumn(SearchField::Citation, "Citation", "citation", CitationTables::citation()),
        textColumn(SearchField::Judgment, "Judgment", "judgment", Citation::Judgment),
        caseColumn(SearchField::Case, "Case", "case", CitationTables::caseTitle()),
        textColumn(SearchField::NatureOfCase, "Nature of case", "nature of case", Citation::NatureOfCase),
        textColumn(SearchField::FactSummary, "Fact summary", "fact summary", Citation::FactSummary),
        textColumn(SearchField::Issue, "Issue", "issue", Citation::Issue),
        textColumn(SearchField::RuleOfLaw, "Rule of Law", "rule of law", Citation::RuleOfLaw),
        textColumn(SearchField::Remarks, "Remarks", "remarks", Citation::Remarks),
        caseColumn(SearchField::Date, "Date", "date", CitationTables::judgmentDate()),
    }};
    return columns;
}
const std::array<Column, kColumnCount>& kColumns = searchColumns();

QString latin(const char* text)
{
    return QLatin1String(text);
}

bool isDateColumn(int index)
{
    return kColumns[index].field == SearchField::Date;
}

bool isTextTableColumn(int index)
{
    return !kColumns[index].keyColumn.isEmpty();
}

// The alias of a column's table in the joined query: t<index> for the long texts, cm for case_master.
QString columnExpression(int index)
{
    if (!isTextTableColumn(index))
        return QStringLiteral("cm.") + kColumns[index].column;
    return QStringLiteral("t%1.%2").arg(index).arg(kColumns[index].column);
}

// The first line of a value, cut to a readable length.
QString shortened(const QString& value)
{
    qsizetype end = value.size();
    for (qsizetype i = 0; i < qMin<qsizetype>(value.size(), kShownLength); ++i) {
        if (value[i] == QLatin1Char('\r') || value[i] == QLatin1Char('\n')) {
            end = i;
            break;
        }
    }
    end = qMin<qsizetype>(end, kShownLength);
    return end < value.size() ? value.left(end) + QStringLiteral("...") : value;
}

QString foundIn(const QString& label, const QString& value)
{
    return QLatin1Char('(') + label + QLatin1Char(')') + value;
}

bool stopRequested(CancelToken* cancel)
{
    return cancel && cancel->takeStop();
}

// A pass that has ended forgets a stop that came too late for it.
void endPass(CancelToken* cancel)
{
    if (cancel)
        cancel->endPass();
}

} // namespace

struct SearchLinkPass {
    const char* label;
    // Act, category and court: the name is the master's; the link table says which citations use it.
    QString masterTable; // empty for the passes that test the link rows' own text
    QString masterColumn;
    QString linkTable;
    QString linkMasterColumn;
    QString linkCaseColumn;
    QString linkTextColumn; // section, bench: the text on the link row itself
    QString linkOrder;      // the walk's order among one citation's links
};

namespace {
const SearchLinkPass* linkPassFor(SearchPass pass);
}

CitationSearch::CitationSearch(DbSession& session)
    : m_session(session)
{}

QList<SearchPass> CitationSearch::passesFor(const SearchRequest& request)
{
    switch (request.field) {
    case SearchField::AllFields:
        return {SearchPass::All,   SearchPass::Act,      SearchPass::Section,
                SearchPass::Bench, SearchPass::Category, SearchPass::Court};
    case SearchField::Act:
        return {SearchPass::Act};
    case SearchField::Section:
        return {SearchPass::Section};
    case SearchField::Bench:
        return {SearchPass::Bench};
    case SearchField::Category:
        return {SearchPass::Category};
    case SearchField::Court:
        return {SearchPass::Court};
    default:
        return {SearchPass::Items};
    }
}

QStringList CitationSearch::fieldChoices()
{
    QStringList choices;
    for (const Column& c : kColumns)
        choices << latin(c.caption);
    choices << QStringLiteral("Act") << QStringLiteral("Section") << QStringLiteral("Category")
            << QStringLiteral("Court") << QStringLiteral("Bench");
    return choices;
}

SearchField CitationSearch::fieldForChoice(const QString& choice)
{
    for (const Column& c : kColumns)
        if (choice == latin(c.caption))
            return c.field;
    static const QHash<QString, SearchField> links{{QStringLiteral("Act"), SearchField::Act},
                                                   {QStringLiteral("Section"), SearchField::Section},
                                                   {QStringLiteral("Category"), SearchField::Category},
                                                   {QStringLiteral("Court"), SearchField::Court},
                                                   {QStringLiteral("Bench"), SearchField::Bench}};
    return links.value(choice, SearchField::AllFields);
}

bool CitationSearch::isDelimiter(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('.') || c == QLatin1Char(',') || c == QChar(10) ||
           c == QChar(13) || c == QChar(9);
}

bool CitationSearch::findMatch(const QString& stored, const QString& word)
{
    return findMatchIn(stored, word, Qt::CaseSensitive);
}

bool CitationSearch::findMatchIn(const QString& stored, const QString& word, Qt::CaseSensitivity cs)
{
    const QChar tab(9);
    const QString padded = tab + stored + tab;
    const bool startsBlank = word.startsWith(QLatin1Char(' '));
    const bool blankEdge = startsBlank || word.endsWith(QLatin1Char(' '));
    // Every occurrence, not only the first: "tax" stands free in "taxation and tax".
    for (qsizetype at = padded.indexOf(word, 0, cs); at >= 0; at = padded.indexOf(word, at + 1, cs)) {
        const QChar before = at == 0 || startsBlank ? QChar(QLatin1Char(' ')) : padded[at - 1];
        if (!isDelimiter(before))
            continue;
        if (blankEdge)
            return true;
        const qsizetype behind = at + word.size();
        if (isDelimiter(behind < padded.size() ? padded[behind] : tab))
            return true;
    }
    return false;
}

namespace {
bool isAscii(QStringView text)
{
    for (QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}
} // namespace

bool CitationSearch::fieldMatches(const QString& stored, const SearchRequest& request)
{
    const QString& q = request.text;
    if (stored.size() < q.size())
        return false;
    if (request.matchCase)
        return request.wholeWord ? findMatch(stored, q) : stored.contains(q);
    // Letter case is compared in capitals. Between ASCII texts that is exactly Qt's case-insensitive comparison,
    // which needs no upper-case copy of a long text; beyond ASCII the capitals may differ from it (a sharp s
    // becomes "SS"), so those keep the comparison in capitals.
    if (isAscii(q) && isAscii(stored))
        return request.wholeWord ? findMatchIn(stored, q, Qt::CaseInsensitive)
                                 : stored.contains(q, Qt::CaseInsensitive);
    return request.wholeWord ? findMatch(stored.toUpper(), q.toUpper()) : stored.toUpper().contains(q.toUpper());
}

Error CitationSearch::run(const QList<SearchPass>& passes, const SearchRequest& request, const HitSink& onHit,
                          const ProgressSink& onProgress, CancelToken* cancel)
{
    for (SearchPass pass : passes) {
        if (cancel && cancel->isCancelled())
            break;
        if (Error e = runPass(pass, request, onHit, onProgress, cancel))
            return e;
    }
    return {};
}

Error CitationSearch::runPass(SearchPass pass, const SearchRequest& request, const HitSink& onHit,
                              const ProgressSink& onProgress, CancelToken* cancel)
{
    if (!m_session.isOpen())
        return m_session.error();
    // An empty search text would list every citation; the screen never asks for it.
    if (request.text.isEmpty()) {
        endPass(cancel);
        return {};
    }
    if (const SearchLinkPass* link = linkPassFor(pass))
        return runLinkPass(*link, request, onHit, onProgress, cancel);
    QList<int> columns;
    for (int i = 0; i < kColumnCount; ++i)
        if (pass == SearchPass::All || request.field == SearchField::AllFields || kColumns[i].field == request.field)
            columns << i;
    return runCasePass(columns, request, onHit, onProgress, cancel);
}

namespace {
// The "Found in" text when the column's value passes the test, nothing otherwise.
std::optional<QString> matchedCell(int index, const QVariant& value, const SearchRequest& request,
                                   const FieldTest& test, const JudgmentDateQuery& dateQuery)
{
    if (isDateColumn(index)) {
        if (!dateQuery.matches(value, request))
            return std::nullopt;
        return foundIn(latin(kColumns[index].label),
                       JudgmentDateQuery::shownForm(JudgmentDateQuery::storedDate(value)));
    }
    if (!test.matches(value))
        return std::nullopt;
    return foundIn(latin(kColumns[index].label), shortened(FieldTest::shownText(value, kShownLength)));
}

// A column as the field test reads it: a text in the form the engine hands out quickest, when that is known
// to be its UTF-8.
QString testedExpression(const SqlDialect& dialect, int index, bool utf8Bytes)
{
    return isDateColumn(index) || !utf8Bytes ? columnExpression(index)
                                             : dialect.searchTextExpression(columnExpression(index));
}
} // namespace

// What one pass over case_master has done so far: the rows it has gone through and the hits it has delivered.
struct CitationSearch::PassState {
    const QList<int>& columns;
    const SearchRequest& request;
    const HitSink& onHit;
    const ProgressSink& onProgress;
    CancelToken* cancel;
    const JudgmentDateQuery dateQuery;
    const FieldTest test;
    int row = 0;
    int hits = 0;
    bool stopped = false; // a stop or cancel ended the pass

    PassState(const QList<int>& columns_, const SearchRequest& request_, const HitSink& onHit_,
              const ProgressSink& onProgress_, CancelToken* cancel_)
        : columns(columns_)
        , request(request_)
        , onHit(onHit_)
        , onProgress(onProgress_)
        , cancel(cancel_)
        , dateQuery(JudgmentDateQuery::parse(request_.text))
        , test(request_)
    {}

    void deliver(const SearchHit& hit)
    {
        ++hits;
        onHit(hit);
    }
    void advance()
    {
        ++row; // counted with or without a sink: the first citations' walk goes by it
        if (onProgress)
            onProgress(row);
    }
};

Error CitationSearch::runCasePass(const QList<int>& columns, const SearchRequest& request, const HitSink& onHit,
                                  const ProgressSink& onProgress, CancelToken* cancel)
{
    PassState state(columns, request, onHit, onProgress, cancel);
    if (indexSegments(request).isEmpty()) {
        Result<QList<CaseCandidate>> candidates = caseCandidates(columns, request, kBeforeAll);
        if (!candidates)
            return candidates.error();
        QList<qint64> ids;
        ids.reserve(candidates->size());
        for (const CaseCandidate& c : std::as_const(*candidates))
            ids << c.caseId;
        if (Error e = testRows(ids, state))
            return e;
    } else {
        // The index's statements cost the same however few hits are wanted first; reading the first citations
        // straight is quicker where the text is frequent, so the list's first screen fills at once.
        Result<qint64> headEnd = runHead(state);
        if (!headEnd)
            return headEnd.error();
        if (state.stopped)
            return {};
        Result<QList<CaseCandidate>> candidates = caseCandidates(columns, request, *headEnd);
        if (!candidates)
            return candidates.error();
        if (Error e = runIndexedCasePass(*candidates, state))
            return e;
    }
    if (!state.stopped)
        endPass(cancel);
    return {};
}

Result<qint64> CitationSearch::runHead(PassState& state)
{
    // Only the date: its candidates are months, cheap to ask for.
    if (std::all_of(state.columns.begin(), state.columns.end(), isDateColumn))
        return kBeforeAll;
    qint64 last = kBeforeAll;
    // Where reading the texts is slow (a server sends each long text whole) the index is the quicker way to the
    // rest of the screen: the walk gives way to it after a while.
    QElapsedTimer clock;
    clock.start();
    while (state.hits < m_screenful && state.row < m_maxHeadRows && clock.elapsed() < kMaxHeadMs) {
        // The first batch has no lower bound: a bound below every key may not fit the key column's type.
        const bool first = last == kBeforeAll;
        Result<QSqlQuery> q =
            m_session.query(QStringLiteral("SELECT case_id FROM case_master %1 ORDER BY case_id LIMIT %2")
                                .arg(first ? QString() : QStringLiteral("WHERE case_id > ?"))
                                .arg(qMin(first ? kFirstHeadBatch : kCaseBatch, m_maxHeadRows - state.row)),
                            first ? QVariantList() : QVariantList{last});
        if (!q)
            return q.error();
        QList<qint64> ids;
        while (q->next())
            ids << q->value(0).toLongLong();
        if (ids.isEmpty())
            break;
        if (Error e = testRows(ids, state))
            return e;
        if (state.stopped)
            return last;
        last = ids.constLast();
        // Go on only while the hits so far promise a screenful within the head's rows and within its time: where
        // each citation's texts come slowly, a word of middling frequency is quicker to have from the index.
        if (qint64(state.hits) * m_maxHeadRows < qint64(m_screenful) * state.row)
            break;
        if (qint64(state.hits) * kMaxHeadMs < qint64(m_screenful) * clock.elapsed())
            break;
    }
    return last;
}

Error CitationSearch::testRows(const QList<qint64>& ids, PassState& state)
{
    QStringList select{QStringLiteral("cm.case_id"), QStringLiteral("cm.citation")};
    QString from = QStringLiteral("case_master cm");
    for (int i : state.columns) {
        select << testedExpression(m_session.dialect(), i, readsUtf8Bytes());
        if (isTextTableColumn(i))
            from += QStringLiteral(" LEFT JOIN %1 t%2 ON t%2.id = cm.%3")
                        .arg(kColumns[i].table)
                        .arg(i)
                        .arg(kColumns[i].keyColumn);
    }
    const QString sql = QStringLiteral("SELECT ") + select.join(QLatin1Char(',')) + QStringLiteral(" FROM ") + from +
                        QStringLiteral(" WHERE ") + m_session.dialect().keyListCondition(QStringLiteral("cm.case_id")) +
                        QStringLiteral(" ORDER BY cm.case_id");
    for (qsizetype start = 0; start < ids.size(); start += kCaseBatch) {
        Result<QSqlQuery> q = m_session.query(sql, {m_session.dialect().keyListValue(ids.mid(start, kCaseBatch))});
        if (!q)
            return q.error();
        while (q->next()) {
            if (stopRequested(state.cancel)) {
                state.stopped = true;
                return {};
            }
            for (int c = 0; c < state.columns.size(); ++c) {
                const int index = state.columns[c];
                const std::optional<QString> where =
                    matchedCell(index, q->value(c + 2), state.request, state.test, state.dateQuery);
                if (!where)
                    continue;
                state.deliver({q->value(0).toLongLong(), q->value(1).toString(), *where});
                break;
            }
            state.advance();
        }
    }
    return {};
}

Error CitationSearch::runIndexedCasePass(const QList<CaseCandidate>& candidates, PassState& state)
{
    // The index is a superset per column: a column it rules out for a citation cannot match there, so only the
    // columns it names are read, one statement per column and batch, straight from the row holding the text,
    // and a citation already found in an earlier column is not read again. The citations' own texts are read
    // for the hits only.
    for (qsizetype start = 0; start < candidates.size(); start += kIndexedBatch) {
        if (state.cancel && state.cancel->isPassEnding())
            break;
        const QList<CaseCandidate> batch = candidates.mid(start, kIndexedBatch);
        QHash<qint64, QString> found; // case id: "Found in"
        for (int index : state.columns)
            if (Error e = testColumn(index, batch, state, &found))
                return e;
        Result<QHash<qint64, QString>> citations = citationsOf(found.keys());
        if (!citations)
            return citations.error();
        for (const CaseCandidate& c : batch) {
            if (stopRequested(state.cancel)) {
                state.stopped = true;
                return {};
            }
            const auto hit = found.constFind(c.caseId);
            if (hit != found.constEnd())
                state.deliver({c.caseId, citations->value(c.caseId), *hit});
            state.advance();
        }
    }
    return {};
}

Error CitationSearch::testColumn(int index, const QList<CaseCandidate>& batch, const PassState& state,
                                 QHash<qint64, QString>* found)
{
    // The rows of the column's table to read, each with the citations that point at it.
    QHash<qint64, QList<qint64>> casesOfRow;
    QList<qint64> keys;
    for (const CaseCandidate& c : batch) {
        if (!(c.columns & (1u << index)) || found->contains(c.caseId))
            continue;
        if (c.settledColumn == index) {
            found->insert(c.caseId, foundIn(latin(kColumns[index].label), shortened(c.shown)));
            continue;
        }
        QList<qint64>& cases = casesOfRow[c.rows[index]];
        if (cases.isEmpty())
            keys << c.rows[index];
        cases << c.caseId;
    }
    if (keys.isEmpty())
        return {};
    const SqlDialect& d = m_session.dialect();
    const QString tested = testedExpression(d, index, readsUtf8Bytes());
    const QString sql = isTextTableColumn(index) ? QStringLiteral("SELECT t%1.id, %2 FROM %3 t%1 WHERE %4")
                                                       .arg(index)
                                                       .arg(tested, kColumns[index].table,
                                                            d.keyListCondition(QStringLiteral("t%1.id").arg(index)))
                                                 : QStringLiteral("SELECT cm.case_id, %1 FROM case_master cm WHERE %2")
                                                       .arg(tested, d.keyListCondition(QStringLiteral("cm.case_id")));
    Result<QSqlQuery> q = m_session.query(sql, {d.keyListValue(keys)});
    if (!q)
        return q.error();
    while (q->next()) {
        const std::optional<QString> where =
            matchedCell(index, q->value(1), state.request, state.test, state.dateQuery);
        if (!where)
            continue;
        for (qint64 caseId : casesOfRow.value(q->value(0).toLongLong()))
            found->insert(caseId, *where);
    }
    return {};
}

Result<QHash<qint64, QString>> CitationSearch::citationsOf(const QList<qint64>& caseIds)
{
    QHash<qint64, QString> citations;
    if (caseIds.isEmpty())
        return citations;
    const SqlDialect& d = m_session.dialect();
    Result<QSqlQuery> q = m_session.query(QStringLiteral("SELECT case_id, citation FROM case_master WHERE ") +
                                              d.keyListCondition(QStringLiteral("case_id")),
                                          {d.keyListValue(caseIds)});
    if (!q)
        return q.error();
    while (q->next())
        citations.insert(q->value(0).toLongLong(), q->value(1).toString());
    return citations;
}

Result<QList<CitationSearch::CaseCandidate>> CitationSearch::caseCandidates(const QList<int>& columns,
                                                                            const SearchRequest& request, qint64 after)
{
    // The citations before `after` are left out here rather than in the statements: a bound on the case id would
    // have the engine walk case_master instead of the index.
    const QStringList segments = indexSegments(request);
    if (segments.isEmpty()) {
        // Without the index every citation is read, all its columns.
        quint32 all = 0;
        for (int i : columns)
            all |= 1u << i;
        bool needsRows = false;
        for (int i : columns)
            needsRows = needsRows || !isDateColumn(i);
        QStringList conditions;
        QVariantList values;
        if (!needsRows) {
            if (Error e = addDateCandidates(request, &conditions, &values))
                return e;
            if (conditions.isEmpty())
                return QList<CaseCandidate>();
        }
        QString sql = QStringLiteral("SELECT cm.case_id FROM case_master cm");
        if (!conditions.isEmpty())
            sql += QStringLiteral(" WHERE (") + conditions.join(QStringLiteral(") OR (")) + QLatin1Char(')');
        Result<QSqlQuery> q = m_session.query(sql + QStringLiteral(" ORDER BY cm.case_id"), values);
        if (!q)
            return q.error();
        QList<CaseCandidate> ids;
        while (q->next())
            if (q->value(0).toLongLong() > after) {
                CaseCandidate c;
                c.caseId = q->value(0).toLongLong();
                c.columns = all;
                ids.append(c);
            }
        return ids;
    }

    // Each column asked on its own, so that a candidate carries the columns it may match in, and for each the
    // row that holds its text.
    static_assert(kColumnCount <= kMaxColumns);
    const bool settles = engineTests(request) && segments == QStringList{request.text};
    QHash<qint64, CaseCandidate> byCase;
    for (int i : columns) {
        const QString row =
            isTextTableColumn(i) ? QStringLiteral("cm.") + kColumns[i].keyColumn : QStringLiteral("cm.case_id");
        QStringList conditions;
        QVariantList values;
        if (isDateColumn(i)) {
            if (Error e = addDateCandidates(request, &conditions, &values))
                return e;
            if (conditions.isEmpty())
                continue;
        } else {
            const SearchIndexDef index = Schema::searchIndexOf(kColumns[i].table, kColumns[i].column);
            conditions << m_session.dialect().searchCandidateCondition(index, row, int(segments.size()));
            values << m_session.dialect().searchCandidateValues(segments);
        }
        // The candidate's own condition settles a text that the engine tests as the program does, where the
        // index was asked for the whole search text: its beginning is all that is read of it.
        QString shown;
        QString from = QStringLiteral("case_master cm");
        if (settles && !isDateColumn(i)) {
            QString column = columnExpression(i);
            if (isTextTableColumn(i))
                from += QStringLiteral(" JOIN %1 t%2 ON t%2.id = cm.%3")
                            .arg(kColumns[i].table)
                            .arg(i)
                            .arg(kColumns[i].keyColumn);
            const SqlDialect& d = m_session.dialect();
            shown = QStringLiteral(", CASE WHEN %1 THEN %2 END")
                        .arg(d.searchPlainTextCondition(column), d.searchTextPrefix(column, kShownLength + 1));
        }
        Result<QSqlQuery> q =
            m_session.query(QStringLiteral("SELECT cm.case_id, %1%2 FROM %3 WHERE (").arg(row, shown, from) +
                                conditions.join(QStringLiteral(") OR (")) + QLatin1Char(')'),
                            values);
        if (!q)
            return q.error();
        while (q->next()) {
            const qint64 caseId = q->value(0).toLongLong();
            if (caseId <= after)
                continue;
            CaseCandidate& c = byCase[caseId];
            c.caseId = caseId;
            c.columns |= 1u << i;
            c.rows[i] = q->value(1).toLongLong();
            // Columns come in their order, so the first settled one is the one "Found in" may name.
            if (!shown.isEmpty() && c.settledColumn < 0 && !q->value(2).isNull()) {
                c.settledColumn = i;
                c.shown = FieldTest::shownText(q->value(2), kShownLength);
            }
        }
    }
    QList<CaseCandidate> ids;
    ids.reserve(byCase.size());
    for (const CaseCandidate& c : std::as_const(byCase))
        ids.append(c);
    std::sort(ids.begin(), ids.end(),
              [](const CaseCandidate& a, const CaseCandidate& b) { return a.caseId < b.caseId; });
    return ids;
}

Error CitationSearch::addDateCandidates(const SearchRequest& request, QStringList* conditions, QVariantList* values)
{
    const JudgmentDateQuery date = JudgmentDateQuery::parse(request.text);
    const QString range = QStringLiteral("(cm.dt_of_judgment >= ? AND cm.dt_of_judgment < ?)");
    switch (date.kind()) {
    case JudgmentDateQuery::Kind::NoDate:
        return {};
    case JudgmentDateQuery::Kind::Day:
    case JudgmentDateQuery::Kind::Month:
        *conditions << range;
        *values << date.from() << date.until();
        return {};
    case JudgmentDateQuery::Kind::Text:
        break;
    }
    // Text is looked for in "Mar-2004": ask which months the citations fall in and test each once.
    if (request.text.size() > JudgmentDateQuery::shownForm(QDate(2000, 1, 1)).size())
        return {};
    const QString month = m_session.dialect().yearMonthExpression(QStringLiteral("dt_of_judgment"));
    Result<QSqlQuery> q = m_session.query(QStringLiteral("SELECT DISTINCT %1 FROM case_master WHERE "
                                                         "dt_of_judgment IS NOT NULL ORDER BY 1")
                                              .arg(month));
    if (!q)
        return q.error();
    QList<QDate> months;
    while (q->next()) {
        const QDate first = QDate::fromString(q->value(0).toString() + QStringLiteral("-01"), Qt::ISODate);
        if (first.isValid() && fieldMatches(JudgmentDateQuery::shownForm(first), request))
            months << first;
    }
    // Neighbouring months make one range.
    for (qsizetype i = 0; i < months.size();) {
        qsizetype j = i + 1;
        while (j < months.size() && months[j] == months[j - 1].addMonths(1))
            ++j;
        *conditions << range;
        *values << months[i] << months[j - 1].addMonths(1);
        i = j;
    }
    return {};
}

QStringList CitationSearch::indexSegments(const SearchRequest& request)
{
    if (m_indexUsable < 0) {
        m_indexUsable = IndexSegments::spellingsAgree() ? 1 : 0;
        const QString probe = m_session.dialect().searchFoldProbeQuery();
        if (m_indexUsable && !probe.isEmpty()) {
            Result<QSqlQuery> q = m_session.query(probe);
            m_indexUsable = q && q->next() && q->value(0).toBool() ? 1 : 0;
        }
    }
    if (!m_indexUsable)
        return {};
    return IndexSegments::of(request.text, [this](QChar c) {
        const auto known = m_foldsAlike.constFind(c.unicode());
        if (known != m_foldsAlike.constEnd())
            return *known;
        // An engine that cannot be asked leaves the letter to the exact test.
        const Result<bool> alike = m_session.dialect().searchFoldsAlike(m_session, IndexSegments::sameInCapitals(c));
        const bool usable = alike && *alike;
        m_foldsAlike.insert(c.unicode(), usable);
        return usable;
    });
}

bool CitationSearch::readsUtf8Bytes()
{
    if (m_utf8Bytes < 0) {
        // A database may keep its texts in another encoding: read bytes only where they are UTF-8.
        const QString sample = QStringLiteral("\u00e9a");
        Result<QSqlQuery> q =
            m_session.query(QStringLiteral("SELECT ") +
                            m_session.dialect().searchTextExpression(QLatin1Char('\'') + sample + QLatin1Char('\'')));
        m_utf8Bytes = 0;
        if (q && q->next()) {
            const QVariant v = q->value(0);
            m_utf8Bytes = v.metaType().id() == QMetaType::QByteArray && v.toByteArray() == sample.toUtf8() ? 1 : 0;
        }
    }
    return m_utf8Bytes == 1;
}

bool CitationSearch::indexAnswers(const SearchRequest& request)
{
    return !indexSegments(request).isEmpty();
}

bool CitationSearch::engineTests(const SearchRequest& request)
{
    if (!m_engineTestsAllowed || request.matchCase || request.wholeWord || request.text.isEmpty() ||
        !isAscii(request.text) || m_session.dialect().searchPlainTextCondition(QStringLiteral("x")).isEmpty())
        return false;
    indexSegments(request); // probes how the engine folds letters
    return m_indexUsable == 1;
}

Result<QHash<qint64, QString>> CitationSearch::matchingMasters(const SearchLinkPass& pass, const SearchRequest& request,
                                                               const QStringList& segments)
{
    QString sql = QStringLiteral("SELECT id, %1 FROM %2").arg(pass.masterColumn, pass.masterTable);
    QVariantList values;
    if (!segments.isEmpty()) {
        const SearchIndexDef index = Schema::searchIndexOf(pass.masterTable, pass.masterColumn);
        sql += QStringLiteral(" WHERE ") +
               m_session.dialect().searchCandidateCondition(index, QStringLiteral("id"), int(segments.size()));
        values = m_session.dialect().searchCandidateValues(segments);
    }
    Result<QSqlQuery> q = m_session.query(sql, values);
    if (!q)
        return q.error();
    QHash<qint64, QString> names;
    while (q->next()) {
        const QString name = q->value(1).toString();
        if (fieldMatches(name, request))
            names.insert(q->value(0).toLongLong(), name);
    }
    return names;
}

Error CitationSearch::runLinkPass(const SearchLinkPass& pass, const SearchRequest& request, const HitSink& onHit,
                                  const ProgressSink& onProgress, CancelToken* cancel)
{
    const QString& link = pass.linkTable;
    QString sql =
        QStringLiteral("SELECT cm.case_id, cm.citation, l.%1 FROM case_master cm JOIN %2 l ON l.%3 = "
                       "cm.case_id")
            .arg(!pass.masterTable.isEmpty() ? pass.linkMasterColumn : pass.linkTextColumn, link, pass.linkCaseColumn);
    QVariantList values;
    QHash<qint64, QString> names; // the matching masters
    const QStringList segments = indexSegments(request);
    if (!pass.masterTable.isEmpty()) {
        Result<QHash<qint64, QString>> masters = matchingMasters(pass, request, segments);
        if (!masters)
            return masters.error();
        names = *masters;
        if (names.isEmpty()) {
            endPass(cancel);
            return {};
        }
        // Few matching masters: let the link table's index pick their rows; many: read every link instead.
        if (names.size() <= kMaxBoundMasters) {
            values << m_session.dialect().keyListValue(names.keys());
            sql += QStringLiteral(" WHERE ") +
                   m_session.dialect().keyListCondition(QStringLiteral("l.") + pass.linkMasterColumn);
        }
    } else if (!segments.isEmpty()) {
        const SearchIndexDef index = Schema::searchIndexOf(link, pass.linkTextColumn);
        sql += QStringLiteral(" WHERE ") +
               m_session.dialect().searchCandidateCondition(index, QStringLiteral("l.id"), int(segments.size()));
        values = m_session.dialect().searchCandidateValues(segments);
    }
    sql += QStringLiteral(" ORDER BY cm.case_id, ") + pass.linkOrder;

    Result<QSqlQuery> q = m_session.query(sql, values);
    if (!q)
        return q.error();
    int row = 0;
    qint64 lastListed = 0;
    bool listedAny = false;
    while (q->next()) {
        if (stopRequested(cancel))
            return {};
        const qint64 caseId = q->value(0).toLongLong();
        if (!(listedAny && caseId == lastListed)) {
            QString text;
            bool match = false;
            if (!pass.masterTable.isEmpty()) {
                const auto found = names.constFind(q->value(2).toLongLong());
                match = found != names.constEnd();
                if (match)
                    text = *found;
            } else {
                text = q->value(2).toString();
                match = fieldMatches(text, request);
            }
            if (match) {
                onHit({caseId, q->value(1).toString(), foundIn(latin(pass.label), shortened(text))});
                lastListed = caseId;
                listedAny = true;
            }
        }
        if (onProgress)
            onProgress(++row);
    }
    endPass(cancel);
    return {};
}

namespace {
// A pass over one table of a citation's rows: the master's names when it links to a master, the rows' own text
// otherwise.
SearchLinkPass linkPass(const char* label, const CitationRowTable& t, bool ownText)
{
    SearchLinkPass pass{label, QString(), QString(), t.table, t.masterColumn, t.caseColumn, QString(), QString()};
    if (ownText) {
        pass.linkTextColumn = t.textColumn;
    } else {
        pass.masterTable = t.master;
        pass.masterColumn = t.nameColumn;
    }
    pass.linkOrder =
        t.masterColumn.isEmpty() ? QStringLiteral("l.id") : QStringLiteral("l.%1, l.id").arg(t.masterColumn);
    return pass;
}

const SearchLinkPass* linkPassFor(SearchPass pass)
{
    static const SearchLinkPass act = linkPass("act", CitationTables::acts(), false);
    static const SearchLinkPass section = linkPass("section", CitationTables::acts(), true);
    static const SearchLinkPass bench = linkPass("bench", CitationTables::bench(), true);
    static const SearchLinkPass category = linkPass("category", CitationTables::categories(), false);
    static const SearchLinkPass court = linkPass("court", CitationTables::courts(), false);
    switch (pass) {
    case SearchPass::Act:
        return &act;
    case SearchPass::Section:
        return &section;
    case SearchPass::Bench:
        return &bench;
    case SearchPass::Category:
        return &category;
    case SearchPass::Court:
        return &court;
    case SearchPass::All:
    case SearchPass::Items:
        break;
    }
    return nullptr;
}
} // namespace

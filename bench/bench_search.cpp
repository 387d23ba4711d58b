// Find Citation on databases of 5,000 and 50,000 generated citations: the all-fields search (six passes) and
// one-field searches for a medium, a rare and a common word and a two-character text; the index's own query
// for the same word, straight against the engine (the most the index path can hope for); and, at the smallest
// size, the row-by-row method (one lookup per text of every citation) as the reference it replaces.
//
// LEXORIUM_BENCH_SIZES=5000,50000 LEXORIUM_BENCH_ROUNDS=5; LEXORIUM_TEST_ENGINE picks the engine;
// LEXORIUM_BENCH_CACHE=<folder> keeps the filled databases (embedded: files in its Data/; PostgreSQL: template
// databases lexbench_search_<size> on the server) and reuses them;
// LEXORIUM_BENCH_ONLY=<text> runs only the searches whose name holds the text.
#include "core/citations/citation_tables.h"
#include "core/db/database_admin.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/search/citation_search.h"
#include "datagen/bench_sizes.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/test_database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace {
// The hits that fill the list's first screen.
constexpr int kScreenful = 50;

double elapsedMs(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

double median(std::vector<double> ms)
{
    if (ms.empty())
        return 0;
    std::sort(ms.begin(), ms.end());
    const size_t n = ms.size();
    return n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
}

struct Subject {
    int size = 0;
    TestDatabase db;
    std::unique_ptr<DbSession> session;
    double fillSeconds = 0;
    std::map<QString, std::vector<double>> ms;
    std::map<QString, int> hits;
    std::map<QString, std::vector<double>> firstScreen; // until the first screenful of hits is delivered
};

struct Case {
    QString name;
    SearchRequest request;
    bool raw = false;      // the index's own query only
    bool rowByRow = false; // the reference method
    bool readAll = false;  // every searched text read once, nothing tested
};

SearchRequest request(const QString& text, SearchField field, bool matchCase = false, bool wholeWord = false)
{
    SearchRequest r;
    r.text = text;
    r.field = field;
    r.matchCase = matchCase;
    r.wholeWord = wholeWord;
    return r;
}

QString cacheFolder()
{
    return qEnvironmentVariable("LEXORIUM_BENCH_CACHE");
}

// Where the filled database of that size is kept: a file in the folder, or a database beside it on the server.
DbContext cachedContext(const DbContext& ctx, int size)
{
    DbContext cached = ctx;
    cached.programDir = cacheFolder();
    cached.connection.database = QStringLiteral("lexbench_search_%1").arg(size);
    return cached;
}

bool reported(const Error& e)
{
    if (e)
        std::fprintf(stderr, "%s\n", qPrintable(e.description));
    return !e;
}

// Replaces the freshly made database by the cached one, if there is one.
bool useCache(const DbContext& ctx, int size)
{
    if (cacheFolder().isEmpty())
        return false;
    const DbContext cached = cachedContext(ctx, size);
    // Without a cached copy (or when it cannot be told) the database is filled as usual.
    const Result<bool> exists = DatabaseAdmin::databaseExists(cached);
    if (!exists)
        reported(exists.error());
    if (!exists || !*exists)
        return false;
    return reported(DatabaseAdmin::dropDatabase(ctx)) && reported(DatabaseAdmin::copyDatabase(cached, ctx));
}

bool saveCache(const DbContext& ctx, int size)
{
    const DbContext cached = cachedContext(ctx, size);
    return reported(DatabaseAdmin::dropDatabase(cached)) && reported(DatabaseAdmin::copyDatabase(ctx, cached));
}

// The all-fields candidates asked of the engine directly: the same statement the search makes first.
int rawIndexQuery(DbSession& session, const QString& word)
{
    const QStringList segments{word};
    QStringList conditions;
    QVariantList values;
    const SqlDialect& d = session.dialect();
    for (const SearchIndexDef& x : Schema::searchIndexes()) {
        if (x.table == CitationTables::caseTable()) {
            conditions << d.searchCandidateCondition(x, QStringLiteral("cm.") + CitationTables::caseKey(), 1);
        } else {
            const auto text = std::find_if(CitationTables::texts().begin(), CitationTables::texts().end(),
                                           [&x](const CitationTextTable& t) { return t.table == x.table; });
            if (text == CitationTables::texts().end())
                continue;
            conditions << d.searchCandidateCondition(x, QStringLiteral("cm.") + text->keyColumn, 1);
        }
        values << d.searchCandidateValues(segments);
    }
    Result<QSqlQuery> q =
        session.query(QStringLiteral("SELECT cm.case_id FROM case_master cm WHERE (") +
                          conditions.join(QStringLiteral(") OR (")) + QStringLiteral(") ORDER BY cm.case_id"),
                      values);
    int n = 0;
    while (q && q->next())
        ++n;
    return q ? n : -1;
}

// What a search without the index cannot do with less: every text read once, in the form the search reads it,
// and nothing tested.
int readEveryText(DbSession& session)
{
    int n = 0;
    QStringList statements{
        QStringLiteral("SELECT %1, %2 FROM %3")
            .arg(CitationTables::citation(), CitationTables::caseTitle(), CitationTables::caseTable())};
    for (const CitationTextTable& t : CitationTables::texts())
        statements
            << QStringLiteral("SELECT %1 FROM %2").arg(session.dialect().searchTextExpression(t.column), t.table);
    for (const QString& sql : statements) {
        Result<QSqlQuery> q = session.query(sql);
        if (!q)
            return -1;
        while (q->next()) {
            for (int c = 0; c < q->record().count(); ++c)
                n += q->value(c).isNull() ? 0 : 1;
        }
    }
    return n;
}

// The method the index replaces: every citation row, each of its six texts fetched by its own key, the field
// test in the program. (The lookup reads by key here; reading the whole text table per lookup, as a plain
// row-by-row walk of the table would, is slower still.)
int rowByRow(DbSession& session, const SearchRequest& r)
{
    const auto& texts = CitationTables::texts();
    // The citation rows first: a connection serves one statement at a time on PostgreSQL.
    struct Row {
        QString citation, title;
        QVariant textIds[Citation::kTextCount];
    };
    QList<Row> cases;
    {
        Result<QSqlQuery> rows = session.query(QStringLiteral("SELECT * FROM ") + CitationTables::caseTable());
        while (rows && rows->next()) {
            Row row{rows->value(CitationTables::citation()).toString(),
                    rows->value(CitationTables::caseTitle()).toString(),
                    {}};
            for (int i = 0; i < Citation::kTextCount; ++i)
                row.textIds[i] = rows->value(texts[i].keyColumn);
            cases << row;
        }
    }
    int found = 0;
    for (const Row& row : cases) {
        bool match = CitationSearch::fieldMatches(row.citation, r) || CitationSearch::fieldMatches(row.title, r);
        for (int i = 0; i < Citation::kTextCount && !match; ++i) {
            Result<QSqlQuery> text =
                session.query(QStringLiteral("SELECT %1 FROM %2 WHERE id = ?").arg(texts[i].column, texts[i].table),
                              {row.textIds[i]});
            match = text && text->next() && CitationSearch::fieldMatches(text->value(0).toString(), r);
        }
        found += match ? 1 : 0;
    }
    return found;
}
} // namespace

class BenchSearch : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void searches();
    void cleanupTestCase();

private:
    std::vector<std::unique_ptr<Subject>> m_subjects;
    QList<Case> m_cases;
    int m_rounds = 5;
};

void BenchSearch::initTestCase()
{
    if (!qEnvironmentVariableIsEmpty("LEXORIUM_BENCH_ROUNDS"))
        m_rounds = qMax(1, qEnvironmentVariableIntValue("LEXORIUM_BENCH_ROUNDS"));
    const QList<int> sizes = benchSizes(QStringLiteral("5000,50000"));

    const QString medium = CitationGenerator::wordInShareOfCitations(0.05);
    const QString rare = CitationGenerator::wordInShareOfCitations(0.0005);
    const QString common = CitationGenerator::wordInShareOfCitations(0.9);
    const QString two = medium.left(2);
    std::fprintf(stderr, "words: medium \"%s\", rare \"%s\", common \"%s\", two characters \"%s\"\n",
                 qPrintable(medium), qPrintable(rare), qPrintable(common), qPrintable(two));
    const auto A = SearchField::AllFields;
    const auto J = SearchField::Judgment;
    for (const auto& [label, word] : {std::pair{"medium", medium}, std::pair{"rare", rare}, std::pair{"common", common},
                                      std::pair{"2 chars", two}}) {
        const QString l = QLatin1String(label);
        m_cases << Case{QStringLiteral("all fields, ") + l, request(word, A)};
        m_cases << Case{QStringLiteral("judgment substring, ") + l, request(word, J)};
        m_cases << Case{QStringLiteral("judgment whole word, ") + l, request(word, J, false, true)};
        m_cases << Case{QStringLiteral("judgment match case, ") + l, request(word, J, true)};
        if (word.size() >= 3)
            m_cases << Case{QStringLiteral("raw index query, ") + l, request(word, A), true};
    }
    // A letter beyond ASCII in the rare word: asked of the index as the word itself is, where the engine folds it.
    QString accented = rare;
    accented[accented.size() - 2] = QChar(0xE1);
    m_cases << Case{QStringLiteral("all fields, rare with a letter beyond ASCII"), request(accented, A)};
    m_cases << Case{QStringLiteral("row by row, medium"), request(medium, A), false, true};
    m_cases << Case{QStringLiteral("every text read, nothing tested"), request(two, A), false, false, true};
    // LEXORIUM_BENCH_ONLY=<text>: only the searches whose name holds it (for profiling one of them).
    const QString only = qEnvironmentVariable("LEXORIUM_BENCH_ONLY");
    if (!only.isEmpty())
        m_cases.removeIf([&only](const Case& c) { return !c.name.contains(only); });

    for (int size : sizes) {
        auto s = std::make_unique<Subject>();
        s->size = size;
        QString why;
        const TestDatabase::Status status = s->db.create(true, &why);
        LEX_REQUIRE_READY(status, why);
        // LEXORIUM_BENCH_CACHE keeps each filled database (a file there, or a template database on the server),
        // so that a rerun measures without refilling.
        const bool cached = useCache(s->db.ctx(), size);
        if (cached) {
            s->session = std::make_unique<DbSession>(s->db.ctx());
            QVERIFY2(s->session->isOpen(), qPrintable(s->session->error().description));
            // A copy kept by an earlier version of the program is brought up to date (and timed) once.
            const Result<Schema::Status> status = Schema::inspect(*s->session);
            QVERIFY2(status, qPrintable(status.error().description));
            if (status->state == Schema::State::Older && status->version < Schema::kCurrentVersion) {
                QElapsedTimer upgrade;
                upgrade.start();
                const Error e = Schema::ensureCurrent(*s->session);
                QVERIFY2(!e, qPrintable(e.description));
                std::fprintf(stderr, "upgraded the kept %d citations from schema version %d in %.1f s\n", size,
                             status->version, double(upgrade.elapsed()) / 1000);
                for (const QString& sql : s->session->dialect().settleStatements())
                    s->session->query(sql);
                s->session.reset();
                QVERIFY(saveCache(s->db.ctx(), size));
                s->session = std::make_unique<DbSession>(s->db.ctx());
            } else if (status->state == Schema::State::Older) {
                QVERIFY(!Schema::ensureCurrent(*s->session)); // a copy does not keep the recorded version
            }
            m_subjects.push_back(std::move(s));
            continue;
        }
        s->session = std::make_unique<DbSession>(s->db.ctx());
        QVERIFY(!CitationFiller::writeMasters(*s->session));
        CitationGenerator generator(1);
        QElapsedTimer clock;
        clock.start();
        const Error filled =
            CitationFiller::fill(*s->session, generator, size, CitationFiller::Path::Bulk, 500, [&](int done) {
                if (done % 10000 == 0)
                    std::fprintf(stderr, "  filled %d of %d\n", done, size);
            });
        QVERIFY2(!filled, qPrintable(filled.description));
        s->fillSeconds = double(clock.elapsed()) / 1000;
        for (const QString& sql : s->session->dialect().settleStatements())
            s->session->query(sql);
        if (!cacheFolder().isEmpty()) {
            s->session.reset(); // a template database must have no connections
            QVERIFY(saveCache(s->db.ctx(), size));
            s->session = std::make_unique<DbSession>(s->db.ctx());
        }
        m_subjects.push_back(std::move(s));
    }
}

void BenchSearch::searches()
{
    QElapsedTimer t;
    for (int round = 0; round < m_rounds; ++round) {
        for (const Case& c : m_cases) {
            std::vector<Subject*> order;
            for (const auto& s : m_subjects)
                order.push_back(s.get());
            if (round % 2)
                std::reverse(order.begin(), order.end());
            for (Subject* s : order) {
                if (c.rowByRow && (s != m_subjects.front().get() || round > 0))
                    continue; // the reference once, at the smallest size
                int hits = 0;
                t.start();
                if (c.raw) {
                    hits = rawIndexQuery(*s->session, c.request.text);
                } else if (c.readAll) {
                    hits = readEveryText(*s->session);
                } else if (c.rowByRow) {
                    hits = rowByRow(*s->session, c.request);
                } else {
                    CitationSearch search(*s->session);
                    double screenful = -1;
                    const Error e = search.run(CitationSearch::passesFor(c.request), c.request,
                                               [&hits, &screenful, &t](const SearchHit&) {
                                                   if (++hits == kScreenful)
                                                       screenful = elapsedMs(t);
                                               });
                    QVERIFY2(!e, qPrintable(e.description));
                    // Fewer hits than a screenful: the screen is full when the search ends.
                    s->firstScreen[c.name].push_back(screenful >= 0 ? screenful : elapsedMs(t));
                }
                s->ms[c.name].push_back(elapsedMs(t));
                s->hits[c.name] = hits;
            }
        }
    }
}

void BenchSearch::cleanupTestCase()
{
    std::printf("\nFind Citation on %s, milliseconds, median of %d rounds (hits)\n",
                TestDatabase::isPostgres() ? "PostgreSQL" : "the embedded engine", m_rounds);
    for (const auto& s : m_subjects)
        std::printf("filled %d citations in %.1f s\n", s->size, s->fillSeconds);
    std::printf("| search |");
    for (const auto& s : m_subjects)
        std::printf(" %d |", s->size);
    std::printf(" ratio | first %d hits at %d |\n|---|", kScreenful, m_subjects.empty() ? 0 : m_subjects.back()->size);
    for (size_t i = 0; i <= m_subjects.size() + 1; ++i)
        std::printf("---|");
    std::printf("\n");
    for (const Case& c : m_cases) {
        std::printf("| %s |", qPrintable(c.name));
        std::vector<double> medians;
        for (const auto& s : m_subjects) {
            const auto found = s->ms.find(c.name);
            if (found == s->ms.end()) {
                std::printf(" |");
                continue;
            }
            medians.push_back(median(found->second));
            std::printf(" %.1f (%d) |", medians.back(), s->hits[c.name]);
        }
        if (medians.size() >= 2 && medians.front() > 0)
            std::printf(" %.1f |", medians.back() / medians.front());
        else
            std::printf(" |");
        const auto first = m_subjects.empty() ? nullptr : &m_subjects.back()->firstScreen;
        if (first && first->count(c.name))
            std::printf(" %.1f |\n", median(first->at(c.name)));
        else
            std::printf(" |\n");
    }
    // All fields against the raw index query, per size.
    for (const auto& s : m_subjects)
        for (const char* w : {"medium", "rare", "common"}) {
            const double all = median(s->ms[QStringLiteral("all fields, ") + QLatin1String(w)]);
            const double raw = median(s->ms[QStringLiteral("raw index query, ") + QLatin1String(w)]);
            std::printf("%d citations, %s word: all fields / raw index query = %.1f\n", s->size, w,
                        raw > 0 ? all / raw : 0.0);
        }
    std::fflush(stdout);
}

QTEST_GUILESS_MAIN(BenchSearch)
#include "bench_search.moc"

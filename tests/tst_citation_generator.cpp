// The generated citations the benchmarks and the concurrency tests rely on: the same for a seed, within every
// limit of the store, realistic in shape and word frequencies, and filled in bulk exactly as the store stores.
#include "core/citations/citation_rules.h"
#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/db/schema.h"
#include "core/search/citation_search.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "datagen/vocabulary.h"
#include "support/test_database.h"

#include <QRegularExpression>
#include <QSet>
#include <QTest>

namespace {
QString fingerprint(const Citation& c)
{
    QStringList parts{c.citation, c.caseTitle, c.judgmentDate.toString(Qt::ISODate)};
    for (const QString& text : c.texts)
        parts << text;
    for (const QList<CitationLink>* links : {&c.categories, &c.courts, &c.acts})
        for (const CitationLink& link : *links)
            parts << QStringLiteral("%1=%2=%3").arg(link.masterId).arg(link.name, link.section);
    parts << c.bench;
    return parts.join(QChar(0x1F));
}

// A citation store with three citations, the middle one deleted again: keys have a gap and a largest value.
bool startWithAGap(const TestDatabase& t)
{
    DbSession session(t.ctx());
    if (CitationFiller::writeMasters(session))
        return false;
    const CitationStore store(session);
    CitationGenerator generator(99);
    for (int i = 0; i < 3; ++i)
        if (!store.add(generator.next()))
            return false;
    return !store.remove(2);
}

int citationsContaining(const QList<Citation>& citations, const QString& word)
{
    const QRegularExpression re(QStringLiteral("(?<![\\w-])%1(?![\\w-])").arg(QRegularExpression::escape(word)),
                                QRegularExpression::CaseInsensitiveOption);
    int n = 0;
    for (const Citation& c : citations)
        for (const QString& text : c.texts)
            if (text.contains(re)) {
                ++n;
                break;
            }
    return n;
}
} // namespace

class TestCitationGenerator : public QObject
{
    Q_OBJECT

private slots:
    void sameSeedSameCitations();
    void masterListsOfRealisticSize();
    void citationsKeepEveryLimitAndLookReal();
    void wordFrequenciesFollowTheRanks();
    void bulkFillStoresWhatTheStoreStores();
    void mastersAreWrittenOnce();
    void bulkFillLeavesTheSearchIndexAsTheStoreDoes();
};

void TestCitationGenerator::sameSeedSameCitations()
{
    if (TestDatabase::isPostgres())
        QSKIP("the generator does not touch a database");
    CitationGenerator a(7), b(7), c(8);
    bool differs = false;
    for (int i = 0; i < 40; ++i) {
        const QString x = fingerprint(a.next());
        QCOMPARE(fingerprint(b.next()), x);
        differs = differs || fingerprint(c.next()) != x;
    }
    QVERIFY(differs);
    QCOMPARE(a.produced(), 40);
}

void TestCitationGenerator::masterListsOfRealisticSize()
{
    if (TestDatabase::isPostgres())
        QSKIP("the generator does not touch a database");
    struct Expect {
        const QStringList& list;
        int least, most, width;
    };
    for (const Expect& e :
         {Expect{CitationGenerator::categories(), 50, 80, 255}, Expect{CitationGenerator::courts(), 35, 50, 100},
          Expect{CitationGenerator::acts(), 280, 320, 255}}) {
        QVERIFY2(e.list.size() >= e.least && e.list.size() <= e.most, qPrintable(QString::number(e.list.size())));
        QSet<QString> seen;
        for (const QString& name : e.list) {
            QVERIFY2(name.size() <= e.width && name == name.trimmed() && !name.isEmpty(), qPrintable(name));
            QVERIFY2(!seen.contains(name.toLower()), qPrintable(name));
            seen.insert(name.toLower());
        }
    }
}

void TestCitationGenerator::citationsKeepEveryLimitAndLookReal()
{
    if (TestDatabase::isPostgres())
        QSKIP("the generator does not touch a database");
    CitationGenerator generator(3);
    const QRegularExpression reported(
        QStringLiteral("^(PLD \\d{4} [A-Za-z]+( \\([A-Z]+\\))? \\d+|\\d{4} [A-Z][A-Za-z.]*( \\([A-Z.]+\\))? \\d+)$"));
    QSet<QString> citations;
    QSet<int> decades;
    int titlesWithVersus = 0;
    qsizetype longest = 0, shortest = CitationStore::kLongTextLimit;
    constexpr int kCount = 1500;
    for (int i = 0; i < kCount; ++i) {
        const Citation c = generator.next();
        const QString where = QStringLiteral("#%1 %2 / %3").arg(i).arg(c.citation, c.caseTitle);
        QVERIFY2(!CitationRules::limitsError(c), qPrintable(where));
        QVERIFY2(reported.match(c.citation).hasMatch(), qPrintable(where));
        for (QChar ch : c.citation)
            QVERIFY2(!CitationGenerator::isRefusedInCitation(ch), qPrintable(where));
        citations.insert(c.citation);
        QVERIFY2(!c.caseTitle.isEmpty() && c.caseTitle == c.caseTitle.trimmed(), qPrintable(where));
        titlesWithVersus += c.caseTitle.contains(QLatin1String(" v. "));
        QVERIFY2(c.judgmentDate >= QDate(CitationGenerator::kFirstYear, 1, 1) &&
                     c.judgmentDate <= QDate(CitationGenerator::kLastYear, 12, 31),
                 qPrintable(where));
        decades.insert(c.judgmentDate.year() / 10);
        for (auto [links, master] :
             {std::pair{&c.categories, &CitationGenerator::categories()},
              std::pair{&c.courts, &CitationGenerator::courts()}, std::pair{&c.acts, &CitationGenerator::acts()}}) {
            QVERIFY2(links->size() >= 1 && links->size() <= 3, qPrintable(where));
            QSet<qint64> ids;
            for (const CitationLink& link : *links) {
                QVERIFY2(link.masterId >= 1 && link.masterId <= master->size(), qPrintable(where));
                QCOMPARE(link.name, master->at(link.masterId - 1));
                ids.insert(link.masterId);
            }
            QCOMPARE(ids.size(), links->size());
        }
        for (const CitationLink& act : c.acts)
            QVERIFY2(!act.section.isEmpty(), qPrintable(where));
        QVERIFY2(c.bench.size() >= 1 && c.bench.size() <= 7, qPrintable(where));
        QCOMPARE(QSet<QString>(c.bench.begin(), c.bench.end()).size(), c.bench.size());
        for (const QString& text : c.texts) {
            QVERIFY2(text.size() >= CitationGenerator::kMinTextLength, qPrintable(where));
            QVERIFY2(text == text.trimmed(), qPrintable(where));
            longest = qMax(longest, text.size());
            shortest = qMin(shortest, text.size());
        }
    }
    // Law reports number pages per year: a repeat is rare but possible.
    QVERIFY(citations.size() >= kCount * 99 / 100);
    QVERIFY(titlesWithVersus >= kCount * 9 / 10);
    QVERIFY2(decades.size() >= 7, "dates over seven decades");
    QVERIFY2(longest > 7500 && shortest < 300, qPrintable(QStringLiteral("%1..%2").arg(shortest).arg(longest)));
}

void TestCitationGenerator::wordFrequenciesFollowTheRanks()
{
    if (TestDatabase::isPostgres())
        QSKIP("the generator does not touch a database");
    const Vocabulary& v = CitationGenerator::vocabulary();
    QVERIFY(v.size() > 30000);
    for (int rank = 2; rank <= v.size(); ++rank)
        QVERIFY(v.probability(rank) <= v.probability(rank - 1));
    QCOMPARE(v.rankOf(v.word(1234)), 1234);

    const QString common = CitationGenerator::wordInShareOfCitations(0.9);
    const QString medium = CitationGenerator::wordInShareOfCitations(0.1);
    const QString rare = CitationGenerator::wordInShareOfCitations(0.002);
    QVERIFY(v.rankOf(common) < v.rankOf(medium) && v.rankOf(medium) < v.rankOf(rare));

    // In a sample, each word is in about the share of citations its rank promises.
    CitationGenerator generator(5);
    QList<Citation> sample;
    constexpr int kSample = 600;
    for (int i = 0; i < kSample; ++i)
        sample << generator.next();
    for (const QString& word : {common, medium}) {
        const double expected = CitationGenerator::shareOfCitations(v.rankOf(word));
        const double seen = double(citationsContaining(sample, word)) / kSample;
        QVERIFY2(
            seen > expected * 0.7 && seen < qMin(1.0, expected * 1.4) + 0.01,
            qPrintable(QStringLiteral("%1: in %2 of the citations, expected %3").arg(word).arg(seen).arg(expected)));
    }
    QVERIFY2(citationsContaining(sample, rare) <= 8, qPrintable(rare));
}

void TestCitationGenerator::bulkFillStoresWhatTheStoreStores()
{
    LEX_USE_DATABASE(bulk, true);
    LEX_USE_DATABASE(oneByOne, true);
    QVERIFY(startWithAGap(bulk));
    QVERIFY(startWithAGap(oneByOne));
    {
        DbSession session(bulk.ctx());
        CitationGenerator generator(9);
        const Error e = CitationFiller::fill(session, generator, 40, CitationFiller::Path::Bulk, 15);
        QVERIFY2(!e, qPrintable(e.description));
    }
    {
        DbSession session(oneByOne.ctx());
        CitationGenerator generator(9);
        const Error e = CitationFiller::fill(session, generator, 40, CitationFiller::Path::Store, 15);
        QVERIFY2(!e, qPrintable(e.description));
    }
    const QStringList expected = oneByOne.citationTableRows();
    QCOMPARE(bulk.scalar(QStringLiteral("SELECT COUNT(*) FROM case_master")).toInt(), 42);
    QCOMPARE(bulk.scalar(QStringLiteral("SELECT MAX(case_id) FROM case_master")).toInt(), 43);
    const QStringList got = bulk.citationTableRows();
    QCOMPARE(got.size(), expected.size());
    for (int i = 0; i < got.size(); ++i)
        QCOMPARE(got[i], expected[i]);
}

void TestCitationGenerator::mastersAreWrittenOnce()
{
    LEX_USE_DATABASE(t, true);
    DbSession session(t.ctx());
    QVERIFY(!CitationFiller::writeMasters(session));
    QVERIFY(!CitationFiller::writeMasters(session));
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM act_master")).toInt(), CitationGenerator::acts().size());
    QCOMPARE(t.scalar(QStringLiteral("SELECT court_name FROM court_master WHERE id = 1")).toString(),
             CitationGenerator::courts().first());

    LEX_USE_DATABASE(other, true);
    QVERIFY(other.exec(QStringLiteral("INSERT INTO category_master (id, category) VALUES (1, 'Tax')")));
    DbSession otherSession(other.ctx());
    QVERIFY(CitationFiller::writeMasters(otherSession).isError());
    QCOMPARE(other.scalar(QStringLiteral("SELECT COUNT(*) FROM court_master")).toInt(), 0);
}

void TestCitationGenerator::bulkFillLeavesTheSearchIndexAsTheStoreDoes()
{
    LEX_USE_DATABASE(bulk, true);
    LEX_USE_DATABASE(oneByOne, true);
    // Citations from before the fill must stay findable after the index is made again.
    QVERIFY(startWithAGap(bulk));
    QVERIFY(startWithAGap(oneByOne));
    for (auto [t, path] :
         {std::pair{&bulk, CitationFiller::Path::Bulk}, std::pair{&oneByOne, CitationFiller::Path::Store}}) {
        DbSession session(t->ctx());
        CitationGenerator generator(21);
        const Error e = CitationFiller::fill(session, generator, 60, path, 25);
        QVERIFY2(!e, qPrintable(e.description));
    }

    if (!TestDatabase::isPostgres()) {
        const QString triggers =
            QStringLiteral("SELECT group_concat(name || ':' || sql, ';') FROM (SELECT name, sql FROM sqlite_master "
                           "WHERE type = 'trigger' ORDER BY name)");
        QVERIFY(!bulk.scalar(triggers).toString().isEmpty());
        QCOMPARE(bulk.scalar(triggers).toString(), oneByOne.scalar(triggers).toString());
        for (const SearchIndexDef& index : Schema::searchIndexes())
            QVERIFY2(bulk.exec(QStringLiteral("INSERT INTO %1(%1) VALUES ('integrity-check')").arg(index.name)),
                     qPrintable(index.name));
    }

    // The same words find the same citations in the same places.
    auto hits = [](const TestDatabase& t, const QString& text) {
        QStringList found;
        DbSession session(t.ctx());
        CitationSearch search(session);
        SearchRequest r;
        r.text = text;
        const Error e = search.run(CitationSearch::passesFor(r), r,
                                   [&found](const SearchHit& h) { found << QString::number(h.caseId) + h.foundIn; });
        if (e)
            found << e.description;
        return found;
    };
    const Vocabulary& v = CitationGenerator::vocabulary();
    int found = 0;
    for (const QString& text : {v.word(1), v.word(40), QStringLiteral("court"), QStringLiteral("the")}) {
        const QStringList expected = hits(oneByOne, text);
        QCOMPARE(hits(bulk, text), expected);
        found += int(expected.size());
    }
    QVERIFY(found > 0);

    // The triggers are back: a citation stored afterwards is indexed as it is written.
    {
        DbSession session(bulk.ctx());
        Citation c = CitationGenerator(5).next();
        c.text(Citation::Judgment) = QStringLiteral("Held: the qwzxv doctrine applies.");
        QVERIFY(CitationStore(session).add(c));
    }
    QCOMPARE(hits(bulk, QStringLiteral("qwzxv")).size(), 1);
}

QTEST_GUILESS_MAIN(TestCitationGenerator)
#include "tst_citation_generator.moc"

#include "core/citations/citation_store.h"
#include "core/db/db_session.h"
#include "core/search/citation_search.h"
#include "core/search/field_test.h"
#include "core/search/judgment_date_query.h"
#include "core/util/cancel_token.h"
#include "support/test_database.h"

#include <QRandomGenerator>
#include <QTest>

Q_DECLARE_METATYPE(SearchRequest)

namespace {
using Hits = QList<QPair<qint64, QString>>;

SearchRequest request(const QString& text, SearchField field = SearchField::AllFields, bool matchCase = false,
                      bool wholeWord = false)
{
    SearchRequest r;
    r.text = text;
    r.field = field;
    r.matchCase = matchCase;
    r.wholeWord = wholeWord;
    return r;
}

Hits hitsOf(DbSession& session, const QList<SearchPass>& passes, const SearchRequest& r)
{
    Hits hits;
    CitationSearch search(session);
    const Error e = search.run(passes, r, [&hits](const SearchHit& h) { hits.append({h.caseId, h.foundIn}); });
    if (e)
        qWarning("search failed: %s", qPrintable(e.description));
    return hits;
}

Citation citation(const QString& text, const QString& title, const QDate& date)
{
    Citation c;
    c.citation = text;
    c.caseTitle = title;
    c.judgmentDate = date;
    return c;
}

// Three citations with known texts and links; their keys are 1, 2 and 3.
bool addFixture(const TestDatabase& t)
{
    if (!t.addSampleMasters())
        return false;
    Citation first = citation(QStringLiteral("PLD 2003 SC 5"), QStringLiteral("Ali v State"), QDate(2003, 3, 1));
    first.text(Citation::Judgment) = QStringLiteral("The income tax was levied.\nAppeal dismissed.");
    first.text(Citation::NatureOfCase) = QStringLiteral("Civil appeal");
    first.text(Citation::FactSummary) = QStringLiteral("Facts of the levy");
    first.text(Citation::Issue) = QStringLiteral("Whether the levy was lawful");
    first.text(Citation::RuleOfLaw) = QStringLiteral("A levy needs a statute");
    first.text(Citation::Remarks) = QStringLiteral("Followed often");
    first.categories = {{1, QStringLiteral("Tax"), {}}};
    first.courts = {{2, QStringLiteral("High Court"), {}}};
    first.acts = {{1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 12(2)")}};
    first.bench = {QStringLiteral("Justice Khan")};

    Citation second = citation(QStringLiteral("2004 SCMR 12"), QStringLiteral("Bano v Karim"), QDate(2004, 7, 1));
    second.text(Citation::Judgment) = QStringLiteral("Contract breached; damages awarded.");
    second.text(Citation::NatureOfCase) = QStringLiteral("Suit for damages");
    second.text(Citation::RuleOfLaw) = QStringLiteral("Income-Tax Act not attracted");
    second.categories = {{2, QStringLiteral("Civil"), {}}};
    second.courts = {{1, QStringLiteral("Supreme Court"), {}}};
    second.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 73")}};
    second.bench = {QStringLiteral("Justice Iqbal")};

    Citation third = citation(QStringLiteral("1999 CLC 7"), QStringLiteral("Tax payer v Revenue"), QDate());
    third.text(Citation::Judgment) = QStringLiteral("Taxation and tax ") + QString(400, QLatin1Char('x'));
    third.text(Citation::Remarks) = QStringLiteral("Income Tax Act applied");
    third.categories = {{1, QStringLiteral("Tax"), {}}, {3, QStringLiteral("Criminal"), {}}};
    third.courts = {{2, QStringLiteral("High Court"), {}}, {1, QStringLiteral("Supreme Court"), {}}};
    third.acts = {{2, QStringLiteral("Contract Act"), QStringLiteral("s. 5 and s. 12")},
                  {1, QStringLiteral("Income Tax Ordinance"), QStringLiteral("s. 122")}};
    third.bench = {QStringLiteral("Justice Ahmed"), QStringLiteral("Justice Khan")};

    DbSession session(t.ctx());
    const CitationStore store(session);
    for (const Citation& c : {first, second, third})
        if (!store.add(c))
            return false;
    return true;
}
} // namespace

class TestCitationSearch : public QObject
{
    Q_OBJECT

private slots:
    void delimiters_data();
    void delimiters();
    void wholeWord_data();
    void wholeWord();
    void fieldTest_data();
    void fieldTest();
    void preparedTestAgreesWithFieldMatches();
    void dateRules_data();
    void dateRules();
    void passesAndChoices();

    void everyPass_data();
    void everyPass();
    void selectAllFieldsAppendsSixPasses();
    void keysAreNotSearched();
    void stopEndsThePassAfterItsRow();
    void cancelEndsEveryPass();
    void allFieldsReadsOnlyTheColumnsTheIndexNames();
    void firstScreenComesBeforeTheIndexIsAsked();
};

void TestCitationSearch::delimiters_data()
{
    QTest::addColumn<QChar>("c");
    QTest::addColumn<bool>("delimiter");
    QTest::newRow("blank") << QChar(QLatin1Char(' ')) << true;
    QTest::newRow("full stop") << QChar(QLatin1Char('.')) << true;
    QTest::newRow("comma") << QChar(QLatin1Char(',')) << true;
    QTest::newRow("tab") << QChar(9) << true;
    QTest::newRow("line feed") << QChar(10) << true;
    QTest::newRow("carriage return") << QChar(13) << true;
    QTest::newRow("hyphen") << QChar(QLatin1Char('-')) << false;
    QTest::newRow("semicolon") << QChar(QLatin1Char(';')) << false;
    QTest::newRow("bracket") << QChar(QLatin1Char('(')) << false;
    QTest::newRow("letter") << QChar(QLatin1Char('a')) << false;
    QTest::newRow("no-break space") << QChar(0x00A0) << false;
}

void TestCitationSearch::delimiters()
{
    QFETCH(QChar, c);
    QFETCH(bool, delimiter);
    QCOMPARE(CitationSearch::isDelimiter(c), delimiter);
}

void TestCitationSearch::wholeWord_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("word");
    QTest::addColumn<bool>("found");
    QTest::newRow("hyphen before") << "Income-Tax Act"
                                   << "Tax" << false;
    QTest::newRow("blanks around") << "Income Tax Act"
                                   << "Tax" << true;
    QTest::newRow("comma behind") << "income tax, 1961"
                                  << "tax" << true;
    QTest::newRow("start of text") << "Tax on income"
                                   << "Tax" << true;
    QTest::newRow("end of text") << "Income Tax"
                                 << "Tax" << true;
    QTest::newRow("whole text") << "Tax"
                                << "Tax" << true;
    QTest::newRow("inside a word") << "taxation"
                                   << "tax" << false;
    QTest::newRow("later occurrence stands free") << "taxation and tax"
                                                  << "tax" << true;
    QTest::newRow("later occurrence behind a hyphen") << "taxation and pre-tax"
                                                      << "tax" << false;
    QTest::newRow("third occurrence") << "surtax, taxes. tax."
                                      << "tax" << true;
    QTest::newRow("letter case counts") << "Income Tax Act"
                                        << "tax" << false;
    QTest::newRow("line break around") << "first\ntax\r\nlast"
                                       << "tax" << true;
    QTest::newRow("full stop before") << "s.12 applies"
                                      << "12" << true;
    QTest::newRow("word with a leading blank") << "pre tax"
                                               << " tax" << true;
    QTest::newRow("word with a trailing blank") << "taxes and tax law"
                                                << "tax " << true;
    QTest::newRow("longer than the text") << "tax"
                                          << "taxes" << false;
    QTest::newRow("overlapping occurrences") << "aaa aa"
                                             << "aa" << true;
}

void TestCitationSearch::wholeWord()
{
    QFETCH(QString, stored);
    QFETCH(QString, word);
    QFETCH(bool, found);
    QCOMPARE(CitationSearch::findMatch(stored, word), found);
}

void TestCitationSearch::fieldTest_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("found");
    QTest::newRow("whole word, case: hyphen is no delimiter") << "Income-Tax Act"
                                                              << "Tax" << true << true << false;
    QTest::newRow("whole word, case: blanks") << "Income Tax Act"
                                              << "Tax" << true << true << true;
    QTest::newRow("whole word, case: wrong case") << "Income Tax Act"
                                                  << "TAX" << true << true << false;
    QTest::newRow("whole word, any case") << "Income Tax Act"
                                          << "tAx" << false << true << true;
    QTest::newRow("whole word, any case, later occurrence") << "Taxation and TAX"
                                                            << "tax" << false << true << true;
    QTest::newRow("substring, case") << "Income-Tax Act"
                                     << "Tax" << true << false << true;
    QTest::newRow("substring, case, wrong case") << "Income-Tax Act"
                                                 << "tax" << true << false << false;
    QTest::newRow("substring, any case") << "Income-Tax Act"
                                         << "TAX" << false << false << true;
    QTest::newRow("substring, start of text") << "Tax Act"
                                              << "tax" << false << false << true;
    QTest::newRow("substring, end of text") << "Income Tax"
                                            << "tax" << false << false << true;
    QTest::newRow("longer than the stored text") << "Tax"
                                                 << "Taxes" << false << false << false;
    QTest::newRow("longer, whole word") << "Tax"
                                        << "Tax " << false << true << false;
    QTest::newRow("empty stored text") << ""
                                       << "a" << false << false << false;
    QTest::newRow("sharp s any case") << "Straße 5"
                                      << "STRASSE" << false << false << true;
    // The lengths are compared as stored and as typed, before capitals are made.
    QTest::newRow("sharp s, stored text shorter") << "Straße"
                                                  << "STRASSE" << false << false << false;
    QTest::newRow("sharp s with case") << "Straße"
                                       << "Strasse" << true << false << false;
    QTest::newRow("Greek any case") << "ΑΣΦΑΛΕΙΑ"
                                    << "ασφάλεια" << false << false << false;
    QTest::newRow("Greek any case, same accents") << "ΑΣΦΆΛΕΙΑ"
                                                  << "ασφάλεια" << false << false << true;
    // Capitals, not Qt's case folding, decide beyond ASCII: the two differ on these.
    QTest::newRow("dotless i any case") << "ıncome tax"
                                        << "INCOME" << false << false << true;
    QTest::newRow("dotless i any case, whole word") << "the ıncome tax"
                                                    << "income" << false << true << true;
    QTest::newRow("Kelvin sign is no k") << "5 \u212A"
                                         << "k" << false << false << false;
    QTest::newRow("Kelvin sign is no k, whole word") << "5 \u212A"
                                                     << "k" << false << true << false;
    QTest::newRow("long s any case") << "ſtate"
                                     << "STATE" << false << false << true;
    QTest::newRow("ASCII word beside other letters") << "Straße tax act"
                                                     << "TAX" << false << true << true;
    QTest::newRow("ASCII whole word, any case, inside a longer word") << "Taxes and taxation"
                                                                      << "TAX" << false << true << false;
    QTest::newRow("ASCII whole word, any case, last of several") << "taxes, tax"
                                                                 << "TAX" << false << true << true;
}

void TestCitationSearch::fieldTest()
{
    QFETCH(QString, stored);
    QFETCH(QString, text);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(bool, found);
    const SearchRequest r = request(text, SearchField::AllFields, matchCase, wholeWord);
    QCOMPARE(CitationSearch::fieldMatches(stored, r), found);
    // The prepared test, on the text and on its UTF-8 bytes, answers the same.
    const FieldTest prepared(r);
    QCOMPARE(prepared.matches(stored), found);
    QCOMPARE(prepared.matches(QVariant(stored.toUtf8())), found);
}

void TestCitationSearch::preparedTestAgreesWithFieldMatches()
{
    // Random texts of ASCII letters in both cases, the delimiters, letters whose capitals are plain (sharp s,
    // long s, dotless i, a ligature), letters that fold but are no plain capital (Kelvin sign, dotted I), other
    // scripts and a character beyond the BMP; search texts cut from them with their case changed, or made up.
    QStringList pieces;
    for (const char* piece :
         {"a",  "A", "x", "X", "s", "S", "t", "k",      "K",      "i", "I", " ", ".", ",",  "\t",        "\r",
          "\n", "-", "1", "ß", "ſ", "ı", "ﬁ", "\u212A", "\u0130", "é", "É", "Σ", "ς", "中", "\U0001F600"})
        pieces << QString::fromUtf8(piece);
    QRandomGenerator random(7);
    const int asciiPieces = 19; // the pieces before "ß"
    QCOMPARE(pieces[asciiPieces], QString::fromUtf8("ß"));
    auto pick = [&](int n, bool asciiOnly = false) {
        QString t;
        for (int i = 0; i < n; ++i)
            t += pieces[random.bounded(asciiOnly ? asciiPieces : int(pieces.size()))];
        return t;
    };
    int checked = 0;
    int found = 0;
    for (int round = 0; round < 4000; ++round) {
        // Some long enough for the scan to take many windows at a time.
        const QString stored = pick(random.bounded(0, round % 4 < 2 ? 240 : 40), round % 4 == 1);
        QString text;
        if (stored.size() > 2 && random.bounded(3) > 0) {
            const int from = random.bounded(int(stored.size()) - 1);
            text = stored.mid(from, random.bounded(1, 6));
            text = random.bounded(2) ? text.toUpper() : text.toLower();
        } else {
            text = pick(random.bounded(1, 5));
        }
        if (text.isEmpty())
            continue;
        for (int options = 0; options < 4; ++options) {
            const SearchRequest r = request(text, SearchField::AllFields, options & 1, options & 2);
            const bool expected = CitationSearch::fieldMatches(stored, r);
            const FieldTest prepared(r);
            QVERIFY2(prepared.matches(stored) == expected,
                     qPrintable(QStringLiteral("\"%1\" in \"%2\", options %3").arg(text, stored).arg(options)));
            QVERIFY2(prepared.matches(QVariant(stored.toUtf8())) == expected,
                     qPrintable(QStringLiteral("bytes: \"%1\" in \"%2\", options %3").arg(text, stored).arg(options)));
            ++checked;
            found += expected ? 1 : 0;
        }
    }
    // Both answers occur often enough for the comparison to mean something.
    QVERIFY(found > checked / 10);
    QVERIFY(found < checked * 9 / 10);

    // What "Found in" shows of a long value read as bytes is what it shows of the text.
    const QString longText = QString(150, QChar(0x4E2D)) + QStringLiteral("tail");
    const QString shown = FieldTest::shownText(QVariant(longText.toUtf8()), 100);
    QVERIFY(shown.size() > 100);
    QCOMPARE(shown.left(101), longText.left(101));
    QCOMPARE(FieldTest::shownText(QVariant(QByteArray("short")), 100), QStringLiteral("short"));
}

void TestCitationSearch::dateRules_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<bool>("found");
    const QVariant march(QDate(2003, 3, 1));
    QTest::newRow("month and year") << march << "Mar-2003" << false << true;
    QTest::newRow("month and year, other month") << march << "Apr-2003" << false << false;
    QTest::newRow("month name and year") << march << "March 2003" << false << true;
    QTest::newRow("month number and year") << march << "03/2003" << false << true;
    QTest::newRow("iso month") << march << "2003-03" << false << true;
    QTest::newRow("day, month abbreviated") << march << "01-Mar-2003" << false << true;
    QTest::newRow("day, other day") << march << "05-Mar-2003" << false << false;
    QTest::newRow("day first, numbers") << march << "01/03/2003" << false << true;
    QTest::newRow("iso day") << march << "2003-03-01" << false << true;
    QTest::newRow("month first with day") << march << "March 1, 2003" << false << true;
    QTest::newRow("a year alone is text") << march << "2003" << false << true;
    QTest::newRow("another year") << march << "2004" << false << false;
    QTest::newRow("month alone is text") << march << "mar" << false << true;
    QTest::newRow("month alone, whole word: hyphen follows") << march << "mar" << true << false;
    QTest::newRow("text across the hyphen") << march << "r-20" << false << true;
    QTest::newRow("date kept as text with a time")
        << QVariant(QStringLiteral("2003-03-01T00:00:00")) << "Mar-2003" << false << true;
    QTest::newRow("date kept as text") << QVariant(QStringLiteral("2003-03-01")) << "2003" << false << true;
    QTest::newRow("no date") << QVariant() << "2003" << false << false;
    QTest::newRow("the stand-in for no date, searched")
        << QVariant(QDate(9999, 1, 1)) << "01/01/9999" << false << false;
    QTest::newRow("the stand-in for no date, as text") << QVariant(QDate(9999, 1, 1)) << "9999" << false << false;
    QTest::newRow("searching for the stand-in") << march << "01/01/9999" << false << false;
}

void TestCitationSearch::dateRules()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, text);
    QFETCH(bool, wholeWord);
    QFETCH(bool, found);
    const SearchRequest r = request(text, SearchField::Date, false, wholeWord);
    QCOMPARE(JudgmentDateQuery::parse(text).matches(stored, r), found);
}

void TestCitationSearch::passesAndChoices()
{
    using P = SearchPass;
    QCOMPARE(CitationSearch::passesFor(request(QStringLiteral("x"))),
             (QList<P>{P::All, P::Act, P::Section, P::Bench, P::Category, P::Court}));
    QCOMPARE(CitationSearch::passesFor(request(QStringLiteral("x"), SearchField::Section)), QList<P>{P::Section});
    QCOMPARE(CitationSearch::passesFor(request(QStringLiteral("x"), SearchField::Date)), QList<P>{P::Items});
    const QStringList choices = CitationSearch::fieldChoices();
    for (const char* wanted : {"Judgment", "Nature of case", "Fact summary", "Issue", "Rule of Law", "Remarks",
                               "Citation", "Case", "Date", "Act", "Section", "Category", "Court", "Bench"})
        QVERIFY2(choices.contains(QLatin1String(wanted)), wanted);
    QCOMPARE(choices.size(), 14);
    // Every choice leads to its own field, and that field's passes search it.
    QSet<SearchField> fields;
    for (const QString& choice : choices) {
        const SearchField f = CitationSearch::fieldForChoice(choice);
        QVERIFY2(f != SearchField::AllFields, qPrintable(choice));
        fields.insert(f);
    }
    QCOMPARE(fields.size(), choices.size());
    QCOMPARE(CitationSearch::fieldForChoice(QStringLiteral("Bench")), SearchField::Bench);
    QCOMPARE(CitationSearch::fieldForChoice(QStringLiteral("Rule of Law")), SearchField::RuleOfLaw);
}

void TestCitationSearch::everyPass_data()
{
    QTest::addColumn<int>("pass");
    QTest::addColumn<SearchRequest>("req");
    QTest::addColumn<Hits>("expected");
    using F = SearchField;
    const int all = int(SearchPass::All);
    const int items = int(SearchPass::Items);
    const QString thirdJudgment =
        QStringLiteral("(judgment)Taxation and tax ") + QString(83, QLatin1Char('x')) + QStringLiteral("...");
    QTest::newRow("all: the first matching field in column order")
        << all << request(QStringLiteral("tax"))
        << Hits{{1, QStringLiteral("(judgment)The income tax was levied....")},
                {2, QStringLiteral("(rule of law)Income-Tax Act not attracted")},
                {3, thirdJudgment}};
    QTest::newRow("all: whole word with case") << all << request(QStringLiteral("Tax"), F::AllFields, true, true)
                                               << Hits{{3, QStringLiteral("(case)Tax payer v Revenue")}};
    QTest::newRow("all: long text is shortened")
        << all << request(QStringLiteral("taxation and tax"), F::AllFields, false, true) << Hits{{3, thirdJudgment}};
    QTest::newRow("all: date") << all << request(QStringLiteral("Jul-2004"))
                               << Hits{{2, QStringLiteral("(date)Jul-2004")}};
    QTest::newRow("all: nothing") << all << request(QStringLiteral("nowhere")) << Hits{};
    QTest::newRow("items: judgment") << items << request(QStringLiteral("LEVIED"), F::Judgment)
                                     << Hits{{1, QStringLiteral("(judgment)The income tax was levied....")}};
    QTest::newRow("items: case") << items << request(QStringLiteral("v"), F::Case, false, true)
                                 << Hits{{1, QStringLiteral("(case)Ali v State")},
                                         {2, QStringLiteral("(case)Bano v Karim")},
                                         {3, QStringLiteral("(case)Tax payer v Revenue")}};
    QTest::newRow("items: citation") << items << request(QStringLiteral("scmr"), F::Citation)
                                     << Hits{{2, QStringLiteral("(citation)2004 SCMR 12")}};
    QTest::newRow("items: nature of case") << items << request(QStringLiteral("appeal"), F::NatureOfCase)
                                           << Hits{{1, QStringLiteral("(nature of case)Civil appeal")}};
    QTest::newRow("items: fact summary") << items << request(QStringLiteral("levy"), F::FactSummary)
                                         << Hits{{1, QStringLiteral("(fact summary)Facts of the levy")}};
    QTest::newRow("items: issue") << items << request(QStringLiteral("lawful"), F::Issue)
                                  << Hits{{1, QStringLiteral("(issue)Whether the levy was lawful")}};
    QTest::newRow("items: remarks") << items << request(QStringLiteral("income tax act"), F::Remarks)
                                    << Hits{{3, QStringLiteral("(remarks)Income Tax Act applied")}};
    QTest::newRow("items: date, a year") << items << request(QStringLiteral("2003"), F::Date)
                                         << Hits{{1, QStringLiteral("(date)Mar-2003")}};
    QTest::newRow("items: date, a day") << items << request(QStringLiteral("01/07/2004"), F::Date)
                                        << Hits{{2, QStringLiteral("(date)Jul-2004")}};
    QTest::newRow("act") << int(SearchPass::Act) << request(QStringLiteral("act"), F::Act)
                         << Hits{{2, QStringLiteral("(act)Contract Act")}, {3, QStringLiteral("(act)Contract Act")}};
    QTest::newRow("act, first of two by the Act's key") << int(SearchPass::Act) << request(QStringLiteral("o"), F::Act)
                                                        << Hits{{1, QStringLiteral("(act)Income Tax Ordinance")},
                                                                {2, QStringLiteral("(act)Contract Act")},
                                                                {3, QStringLiteral("(act)Income Tax Ordinance")}};
    QTest::newRow("section") << int(SearchPass::Section) << request(QStringLiteral("12"), F::Section, false, true)
                             << Hits{{3, QStringLiteral("(section)s. 5 and s. 12")}};
    QTest::newRow("section, substring") << int(SearchPass::Section) << request(QStringLiteral("12"), F::Section)
                                        << Hits{{1, QStringLiteral("(section)s. 12(2)")},
                                                {3, QStringLiteral("(section)s. 122")}};
    QTest::newRow("bench") << int(SearchPass::Bench) << request(QStringLiteral("khan"), F::Bench)
                           << Hits{{1, QStringLiteral("(bench)Justice Khan")},
                                   {3, QStringLiteral("(bench)Justice Khan")}};
    QTest::newRow("bench, first row") << int(SearchPass::Bench) << request(QStringLiteral("justice"), F::Bench)
                                      << Hits{{1, QStringLiteral("(bench)Justice Khan")},
                                              {2, QStringLiteral("(bench)Justice Iqbal")},
                                              {3, QStringLiteral("(bench)Justice Ahmed")}};
    QTest::newRow("category") << int(SearchPass::Category) << request(QStringLiteral("tax"), F::Category)
                              << Hits{{1, QStringLiteral("(category)Tax")}, {3, QStringLiteral("(category)Tax")}};
    QTest::newRow("category, match case")
        << int(SearchPass::Category) << request(QStringLiteral("tax"), F::Category, true) << Hits{};
    QTest::newRow("court") << int(SearchPass::Court) << request(QStringLiteral("court"), F::Court)
                           << Hits{{1, QStringLiteral("(court)High Court")},
                                   {2, QStringLiteral("(court)Supreme Court")},
                                   {3, QStringLiteral("(court)Supreme Court")}};
}

void TestCitationSearch::everyPass()
{
    QFETCH(int, pass);
    QFETCH(SearchRequest, req);
    QFETCH(Hits, expected);
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    QCOMPARE(hitsOf(session, {SearchPass(pass)}, req), expected);
}

void TestCitationSearch::selectAllFieldsAppendsSixPasses()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    const SearchRequest r = request(QStringLiteral("khan"));
    const Hits hits = hitsOf(session, CitationSearch::passesFor(r), r);
    // Found by the bench pass only; every pass lists its own hits, so citation 1 and 3 come once each here.
    QCOMPARE(hits, (Hits{{1, QStringLiteral("(bench)Justice Khan")}, {3, QStringLiteral("(bench)Justice Khan")}}));

    const SearchRequest tax = request(QStringLiteral("Tax"), SearchField::AllFields, true);
    const Hits all = hitsOf(session, CitationSearch::passesFor(tax), tax);
    QCOMPARE(all, (Hits{{2, QStringLiteral("(rule of law)Income-Tax Act not attracted")},
                        {3, QStringLiteral("(judgment)Taxation and tax ") + QString(83, QLatin1Char('x')) +
                                QStringLiteral("...")},
                        {1, QStringLiteral("(act)Income Tax Ordinance")},
                        {3, QStringLiteral("(act)Income Tax Ordinance")},
                        {1, QStringLiteral("(category)Tax")},
                        {3, QStringLiteral("(category)Tax")}}));
}

void TestCitationSearch::keysAreNotSearched()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    // Citation 3's key and the keys of its six texts are 3; none of its texts holds a 3.
    QCOMPARE(hitsOf(session, {SearchPass::All}, request(QStringLiteral("3"))),
             (Hits{{1, QStringLiteral("(citation)PLD 2003 SC 5")}}));
    // Nor is a key searched through a link: section texts and names only.
    QCOMPARE(hitsOf(session, {SearchPass::Category}, request(QStringLiteral("1"), SearchField::Category)), Hits{});
}

void TestCitationSearch::stopEndsThePassAfterItsRow()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    CitationSearch search(session);
    CancelToken stop;
    QList<int> progress;
    Hits hits;
    // Pressed while the first row is being looked at: that row still counts, the next is not read.
    const Error e = search.runPass(
        SearchPass::All, request(QStringLiteral("v")),
        [&](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
            stop.stopPass();
        },
        [&progress](int row) { progress << row; }, &stop);
    QVERIFY(!e);
    QCOMPARE(hits.size(), 1);
    QCOMPARE(hits.first().first, qint64(1));
    QCOMPARE(progress, QList<int>{1});
    QVERIFY(!stop.isStopRequested()); // the request is cleared when the pass ends

    // A stop in one pass does not reach the next one.
    int stopsLeft = 1;
    hits.clear();
    QVERIFY(!search.run(
        {SearchPass::Bench, SearchPass::Court}, request(QStringLiteral("u")),
        [&](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
            if (stopsLeft-- > 0)
                stop.stopPass();
        },
        {}, &stop));
    QCOMPARE(hits, (Hits{{1, QStringLiteral("(bench)Justice Khan")},
                         {1, QStringLiteral("(court)High Court")},
                         {2, QStringLiteral("(court)Supreme Court")},
                         {3, QStringLiteral("(court)Supreme Court")}}));

    // Pressed before the pass starts: nothing is read.
    stop.stopPass();
    hits.clear();
    progress.clear();
    QVERIFY(!search.runPass(
        SearchPass::Section, request(QStringLiteral("s")),
        [&](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
        },
        [&progress](int row) { progress << row; }, &stop));
    QVERIFY(hits.isEmpty());
    QVERIFY(progress.isEmpty());
    QVERIFY(!stop.isStopRequested());
}

void TestCitationSearch::cancelEndsEveryPass()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    CitationSearch search(session);
    CancelToken cancel;
    QList<int> progress;
    Hits hits;
    // Cancelled at the first hit: its row counts, nothing after it is read, in this pass or the next.
    QVERIFY(!search.run(
        {SearchPass::Bench, SearchPass::Court}, request(QStringLiteral("u")),
        [&](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
            cancel.cancel();
        },
        [&progress](int row) { progress << row; }, &cancel));
    QCOMPARE(hits, (Hits{{1, QStringLiteral("(bench)Justice Khan")}}));
    QCOMPARE(progress, QList<int>{1});
    QVERIFY(cancel.isCancelled()); // unlike a stop, it holds

    // Cancelled before: no pass reads a row, whether it walks the index or every row.
    hits.clear();
    progress.clear();
    for (const QString& text : {QStringLiteral("v"), QStringLiteral("Khan")}) {
        for (SearchPass pass : CitationSearch::passesFor(request(text)))
            QVERIFY(!search.runPass(
                pass, request(text),
                [&](const SearchHit& h) {
                    hits.append({h.caseId, h.foundIn});
                },
                [&progress](int row) { progress << row; }, &cancel));
    }
    QVERIFY(hits.isEmpty());
    QVERIFY(progress.isEmpty());

    // Reset, the same token runs again to the end.
    cancel.reset();
    QVERIFY(!search.run(
        {SearchPass::Bench}, request(QStringLiteral("Khan")),
        [&](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
        },
        {}, &cancel));
    QCOMPARE(hits, (Hits{{1, QStringLiteral("(bench)Justice Khan")}, {3, QStringLiteral("(bench)Justice Khan")}}));
}

void TestCitationSearch::allFieldsReadsOnlyTheColumnsTheIndexNames()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    CitationSearch search(session);
    search.setFirstScreen(0, 0); // the index from the first citation on
    const SearchRequest dismissed = request(QStringLiteral("dismissed"));
    if (!search.indexAnswers(dismissed))
        QSKIP("the search index is not there on this server");

    // "dismissed" is only in the first judgment: no remarks are read to find it.
    // The statements that read the texts name their table with its alias; the candidates' do not.
    const QString remarksRead = QStringLiteral("FROM cm_remarks_master t7");
    session.failNextStatementContaining(remarksRead);
    Hits hits;
    QVERIFY(!search.runPass(SearchPass::All, dismissed, [&hits](const SearchHit& h) {
        hits.append({h.caseId, h.foundIn});
    }));
    QCOMPARE(hits, (Hits{{1, QStringLiteral("(judgment)The income tax was levied....")}}));
    // The planted failure is still waiting for the first statement that reads remarks.
    QVERIFY(!session.query(QStringLiteral("SELECT count(*) ") + remarksRead));

    // Where the index names a column the exact test rejects, the later columns still decide, in their order.
    QCOMPARE(hitsOf(session, {SearchPass::All}, request(QStringLiteral("income"), SearchField::AllFields, false, true)),
             (Hits{{1, QStringLiteral("(judgment)The income tax was levied....")},
                   {3, QStringLiteral("(remarks)Income Tax Act applied")}}));

    // A failing read is reported, not taken for "no hits" (the read of the judgments, or on the server, which
    // settles a plain text itself, the candidates' statement that reads their beginnings).
    session.failNextStatementContaining(QStringLiteral("cm_judgment_master t1"));
    hits.clear();
    QVERIFY(search.runPass(SearchPass::All, dismissed, [&hits](const SearchHit& h) {
        hits.append({h.caseId, h.foundIn});
    }));
    QVERIFY(hits.isEmpty());
}

void TestCitationSearch::firstScreenComesBeforeTheIndexIsAsked()
{
    LEX_USE_DATABASE(t, true);
    QVERIFY(addFixture(t));
    DbSession session(t.ctx());
    CitationSearch indexOnly(session);
    indexOnly.setFirstScreen(0, 0);
    const SearchRequest tax = request(QStringLiteral("tax"));
    if (!indexOnly.indexAnswers(tax))
        QSKIP("the search index is not there on this server");
    Hits all;
    QVERIFY(!indexOnly.runPass(SearchPass::All, tax, [&all](const SearchHit& h) {
        all.append({h.caseId, h.foundIn});
    }));
    QCOMPARE(all.size(), 3);

    // A screenful of two: the first two citations are read straight and listed before the index is asked for
    // the rest; the index's statement failing then shows that nothing after them came from the index yet.
    CitationSearch search(session);
    search.setFirstScreen(2, 2);
    session.failNextStatementContaining(QStringLiteral("FROM case_master cm WHERE ("));
    Hits hits;
    QList<int> progress;
    const Error failed = search.runPass(
        SearchPass::All, tax,
        [&hits](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
        },
        [&progress](int row) { progress << row; });
    QVERIFY(failed);
    QCOMPARE(hits, all.mid(0, 2));
    QCOMPARE(progress, (QList<int>{1, 2}));

    // Whole, the same hits in the same order as the index alone gives, the rows counted on across the switch.
    hits.clear();
    progress.clear();
    QVERIFY(!search.runPass(
        SearchPass::All, tax,
        [&hits](const SearchHit& h) {
            hits.append({h.caseId, h.foundIn});
        },
        [&progress](int row) { progress << row; }));
    QCOMPARE(hits, all);
    QCOMPARE(progress, (QList<int>{1, 2, 3}));

    // Hits too few for a screenful: the head gives up after its rows and the index finds the rest.
    search.setFirstScreen(50, 1);
    hits.clear();
    QVERIFY(!search.runPass(SearchPass::All, tax, [&hits](const SearchHit& h) { hits.append({h.caseId, h.foundIn}); }));
    QCOMPARE(hits, all);
    // The same without a progress sink: the index is still asked after the first row (its statement fails here).
    session.failNextStatementContaining(QStringLiteral("FROM case_master cm WHERE ("));
    hits.clear();
    QVERIFY(search.runPass(SearchPass::All, tax, [&hits](const SearchHit& h) { hits.append({h.caseId, h.foundIn}); }));
    QCOMPARE(hits, all.mid(0, 1));
}

QTEST_GUILESS_MAIN(TestCitationSearch)
#include "tst_citation_search.moc"

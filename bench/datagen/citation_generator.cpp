#include "datagen/citation_generator.h"

#include "core/citations/citation_rules.h"
#include "core/citations/citation_store.h"
#include "datagen/legal_lists.h"
#include "datagen/vocabulary.h"
#include "datagen/zipf_table.h"

#include <QSet>

#include <cmath>
#include <vector>

namespace {
constexpr int kJudgePool = 320;
constexpr int kJudgeCareerYears = 14;

// The kind of court decides where its cases are reported and how large its benches are.
enum class CourtLevel { Supreme, High, Shariat, Tribunal };

CourtLevel levelOf(const QString& court)
{
    if (court.startsWith(QLatin1String("Supreme Court")))
        return CourtLevel::Supreme;
    if (court.contains(QLatin1String("Shariat")))
        return CourtLevel::Shariat;
    if (court.contains(QLatin1String("High Court")))
        return CourtLevel::High;
    return CourtLevel::Tribunal;
}

// The place a high court's decisions are reported under in the PLD.
QString pldPlace(const QString& court)
{
    if (court.startsWith(QLatin1String("Sindh")))
        return QStringLiteral("Karachi");
    if (court.startsWith(QLatin1String("Peshawar")))
        return QStringLiteral("Peshawar");
    if (court.startsWith(QLatin1String("Islamabad")))
        return QStringLiteral("Islamabad");
    if (court.startsWith(QLatin1String("Balochistan")))
        return QStringLiteral("Quetta");
    if (court.contains(QLatin1String("Azad")))
        return QStringLiteral("AJK");
    return QStringLiteral("Lahore");
}

const QStringList& criminalCategories()
{
    static const QStringList list{QStringLiteral("Criminal Law"),   QStringLiteral("Bail"),
                                  QStringLiteral("Narcotics"),      QStringLiteral("Anti-Terrorism"),
                                  QStringLiteral("Hudood"),         QStringLiteral("Quashment of FIR"),
                                  QStringLiteral("Accountability"), QStringLiteral("Habeas Corpus")};
    return list;
}

const QStringList& penalSections()
{
    static const QStringList list =
        QStringLiteral("s. 302(b)|s. 324|s. 34|s. 109|s. 365-A|s. 489-F|s. 376|s. 392|s. 411|"
                       "s. 420|s. 468|s. 471|s. 337-A(i)|s. 148|s. 149|s. 506|s. 302(c)|s. 396")
            .split(QLatin1Char('|'));
    return list;
}

const QStringList& procedureSections()
{
    static const QStringList list =
        QStringLiteral("s. 497|s. 498|s. 561-A|s. 22-A|s. 342|s. 345|s. 265-K|s. 249-A|s. 426|"
                       "s. 154|s. 164|s. 173|s. 417|s. 439|s. 540|s. 103")
            .split(QLatin1Char('|'));
    return list;
}

const QStringList& civilProcedureSections()
{
    static const QStringList list =
        QStringLiteral("s. 11|s. 12(2)|s. 115|s. 151|s. 100|s. 96|s. 47|O. VII, R. 11|"
                       "O. XXXIX, Rr. 1 and 2|O. IX, R. 13|O. XLI, R. 27|O. XXII, R. 3|s. 10|s. 9")
            .split(QLatin1Char('|'));
    return list;
}

const QStringList& judges()
{
    static const QStringList pool = [] {
        RandomSource random(0x4A75646765735EEDULL);
        QSet<QString> seen;
        QStringList names;
        while (names.size() < kJudgePool) {
            const QString name = random.pick(LegalLists::maleNames()) + QLatin1Char(' ') +
                                 random.pick(LegalLists::familyNames()) + QStringLiteral(", J.");
            if (!seen.contains(name)) {
                seen.insert(name);
                names << name;
            }
        }
        return names;
    }();
    return pool;
}

// Draws sizes 1..weights.size() with the given weights.
int weightedCount(RandomSource& random, std::initializer_list<double> weights)
{
    double total = 0;
    for (double w : weights)
        total += w;
    double u = random.uniform() * total;
    int n = 1;
    for (double w : weights) {
        if (u < w)
            return n;
        u -= w;
        ++n;
    }
    return int(weights.size());
}

QString roman(int n)
{
    static const char* const numerals[] = {"I",    "II",    "III", "IV",  "V",    "VI",   "VII",    "VIII",
                                           "IX",   "X",     "XI",  "XII", "XIII", "XIV",  "XV",     "XVI",
                                           "XVII", "XVIII", "XIX", "XX",  "XXI",  "XXII", "XXXVII", "XXXIX"};
    return QString::fromLatin1(numerals[(n - 1) % int(std::size(numerals))]);
}

// Lower-case words of the fixed phrases: their frequency is more than their rank says.
const QSet<QString>& phraseWords()
{
    static const QSet<QString> set = [] {
        QSet<QString> s{QStringLiteral("section"), QStringLiteral("under"), QStringLiteral("of"),
                        QStringLiteral("the")};
        for (const QString& phrase : LegalLists::openingPhrases())
            for (const QString& w : phrase.split(QLatin1Char(' ')))
                s.insert(w.toLower().remove(QLatin1Char(',')));
        return s;
    }();
    return set;
}

// Words that take an "'s" now and then.
const QSet<QString>& possessors()
{
    static const QSet<QString> set{
        QStringLiteral("appellant"),   QStringLiteral("respondent"),  QStringLiteral("petitioner"),
        QStringLiteral("accused"),     QStringLiteral("complainant"), QStringLiteral("court"),
        QStringLiteral("plaintiff"),   QStringLiteral("defendant"),   QStringLiteral("witness"),
        QStringLiteral("tenant"),      QStringLiteral("landlord"),    QStringLiteral("owner"),
        QStringLiteral("husband"),     QStringLiteral("wife"),        QStringLiteral("father"),
        QStringLiteral("prosecution"), QStringLiteral("employer"),    QStringLiteral("vendee")};
    return set;
}

// Draw counts of a fixed sample of citations, for the expected shares.
const std::vector<int>& sampleDraws()
{
    static const std::vector<int> draws = [] {
        std::vector<int> d;
        CitationGenerator gen(0x5A4D504C45ULL);
        for (int i = 0; i < 400; ++i) {
            gen.next();
            d.push_back(gen.lastDraws());
        }
        return d;
    }();
    return draws;
}
} // namespace

CitationGenerator::CitationGenerator(quint64 seed)
    : m_random(seed)
{}

const QStringList& CitationGenerator::categories()
{
    return LegalLists::categories();
}

const QStringList& CitationGenerator::courts()
{
    return LegalLists::courts();
}

const QStringList& CitationGenerator::acts()
{
    return LegalLists::acts();
}

const Vocabulary& CitationGenerator::vocabulary()
{
    return Vocabulary::standard();
}

bool CitationGenerator::isRefusedInCitation(QChar c)
{
    return CitationRules::isRefusedInCitation(c);
}

double CitationGenerator::shareOfCitations(int rank)
{
    const double p = vocabulary().probability(rank);
    double sum = 0;
    for (int n : sampleDraws())
        sum += 1 - std::pow(1 - p, n);
    return sum / double(sampleDraws().size());
}

QString CitationGenerator::wordInShareOfCitations(double share)
{
    const Vocabulary& v = vocabulary();
    // Shares fall with the rank: find the first rank at or below the share.
    int lo = 1, hi = v.size();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (shareOfCitations(mid) > share)
            lo = mid + 1;
        else
            hi = mid;
    }
    // Of the nearest word above and the nearest below that share, the closer one (by ratio).
    auto usable = [&](int r) {
        return !phraseWords().contains(v.word(r).toLower());
    };
    int below = lo;
    while (below < v.size() && !usable(below))
        ++below;
    int above = lo - 1;
    while (above >= 1 && !usable(above))
        --above;
    if (above < 1)
        return v.word(below);
    return std::log(shareOfCitations(above) / share) < std::log(share / shareOfCitations(below)) ? v.word(above)
                                                                                                 : v.word(below);
}

QString CitationGenerator::person()
{
    QString name;
    if (m_random.chance(0.18)) {
        name = QStringLiteral("Mst. ") + m_random.pick(LegalLists::femaleNames());
    } else {
        if (m_random.chance(0.2))
            name = m_random.pick(LegalLists::honorifics()) + QLatin1Char(' ');
        name += m_random.pick(LegalLists::maleNames());
        if (m_random.chance(0.35))
            name += QLatin1Char(' ') + m_random.pick(LegalLists::familyNames());
    }
    return name;
}

QString CitationGenerator::party(bool publicBody)
{
    if (publicBody)
        return m_random.pick(LegalLists::publicParties());
    if (m_random.chance(0.17))
        return QStringLiteral("Messrs ") + m_random.pick(LegalLists::companyStems()) + QLatin1Char(' ') +
               m_random.pick(LegalLists::companyTrades());
    return person();
}

QString CitationGenerator::caseTitle(bool criminal)
{
    if (m_random.chance(0.01))
        return QStringLiteral("Suo Motu Case No. %1 of %2")
            .arg(m_random.between(1, 30))
            .arg(m_random.between(1990, 2023));
    if (m_random.chance(0.01))
        return QStringLiteral("In re: ") + person();
    // The column holds 50 characters: draw again until the title fits.
    for (int attempt = 0; attempt < 12; ++attempt) {
        QString left = party(!criminal && m_random.chance(0.12));
        QString right = criminal && m_random.chance(0.85) ? QStringLiteral("The State") : party(m_random.chance(0.45));
        if (m_random.chance(0.15))
            left += m_random.chance(0.5) ? QStringLiteral(" and others") : QStringLiteral(" and another");
        if (m_random.chance(0.2) && right != QLatin1String("The State"))
            right += m_random.chance(0.6) ? QStringLiteral(" and others") : QStringLiteral(" and another");
        const QString title = left + QStringLiteral(" v. ") + right;
        if (title.size() <= CitationStore::kShortTextLimit && left != right)
            return title;
    }
    return m_random.pick(LegalLists::maleNames()) + QStringLiteral(" v. The State");
}

QString CitationGenerator::citationText(int year, int court)
{
    const QString& courtName = courts().at(court);
    const int reported = year + (m_random.chance(0.25) ? 1 : 0);
    const double u = m_random.uniform();
    auto journal = [&](const char* name, int maxPage) {
        return QStringLiteral("%1 %2 %3").arg(reported).arg(QLatin1String(name)).arg(m_random.between(1, maxPage));
    };
    if (courtName.contains(QLatin1String("Gilgit")))
        return journal("GBLR", 600);
    switch (levelOf(courtName)) {
    case CourtLevel::Supreme:
        if (courtName.contains(QLatin1String("Azad")))
            return QStringLiteral("PLD %1 SC (AJK) %2").arg(reported).arg(m_random.between(1, 300));
        if (u < 0.3)
            return QStringLiteral("PLD %1 SC %2").arg(reported).arg(m_random.between(1, 1500));
        if (u < 0.9)
            return journal("SCMR", 2300);
        return u < 0.95 ? journal("PTD", 3000) : journal("PLC (C.S.)", 1500);
    case CourtLevel::Shariat:
        if (u < 0.5)
            return QStringLiteral("PLD %1 FSC %2").arg(reported).arg(m_random.between(1, 400));
        return journal("P.Cr.L.J.", 2600);
    case CourtLevel::High:
        if (u < 0.2)
            return QStringLiteral("PLD %1 %2 %3").arg(reported).arg(pldPlace(courtName)).arg(m_random.between(1, 900));
        if (u < 0.45)
            return journal("CLC", 2500);
        if (u < 0.65)
            return reported >= 1999 ? journal("YLR", 3600) : journal("MLD", 2800);
        if (u < 0.8)
            return journal("P.Cr.L.J.", 2600);
        if (u < 0.9)
            return journal("MLD", 2800);
        return journal("CLD", 1900);
    case CourtLevel::Tribunal:
        break;
    }
    if (courtName.contains(QLatin1String("Revenue")) || courtName.contains(QLatin1String("Customs")) ||
        courtName.contains(QLatin1String("Tax")))
        return journal("PTD", 3000);
    if (courtName.contains(QLatin1String("Service")))
        return journal("PLC (C.S.)", 1500);
    if (courtName.contains(QLatin1String("Labour")) || courtName.contains(QLatin1String("Industrial")))
        return journal("PLC", 1200);
    if (courtName.contains(QLatin1String("Banking")) || courtName.contains(QLatin1String("Competition")))
        return journal("CLD", 1900);
    if (courtName.contains(QLatin1String("Terrorism")) || courtName.contains(QLatin1String("Accountability")) ||
        courtName.contains(QLatin1String("Sessions")))
        return journal("P.Cr.L.J.", 2600);
    return journal("MLD", 2800);
}

QString CitationGenerator::section(int act)
{
    const QString& name = acts().at(act);
    if (name.startsWith(QLatin1String("Constitution")))
        return m_random.pick(LegalLists::constitutionArticles());
    if (name.startsWith(QLatin1String("Pakistan Penal Code")))
        return m_random.pick(penalSections());
    if (name.startsWith(QLatin1String("Code of Criminal Procedure")))
        return m_random.pick(procedureSections());
    if (name.startsWith(QLatin1String("Code of Civil Procedure")))
        return m_random.pick(civilProcedureSections());
    if (name.contains(QLatin1String(" Rules")))
        return QStringLiteral("Rule %1").arg(m_random.between(1, 60));
    if (name.contains(QLatin1String(" Order,")) || name.contains(QLatin1String(" Order ")))
        return QStringLiteral("Art. %1").arg(m_random.between(1, 170));
    const int n = m_random.between(1, 240);
    const double u = m_random.uniform();
    if (u < 0.5)
        return QStringLiteral("s. %1").arg(n);
    if (u < 0.75)
        return QStringLiteral("s. %1(%2)").arg(n).arg(m_random.between(1, 6));
    if (u < 0.85)
        return QStringLiteral("s. %1(%2)(%3)").arg(n).arg(m_random.between(1, 4)).arg(QChar(u'a' + m_random.below(6)));
    if (u < 0.93)
        return QStringLiteral("ss. %1 and %2").arg(n).arg(n + m_random.between(1, 9));
    if (u < 0.97)
        return QStringLiteral("s. %1-%2").arg(n).arg(QChar(u'A' + m_random.below(3)));
    return QStringLiteral("O. %1, R. %2").arg(roman(m_random.between(1, 24))).arg(m_random.between(1, 20));
}

QString CitationGenerator::sentence(bool first)
{
    QString s;
    bool capital = true;
    if (first ? m_random.chance(0.6) : m_random.chance(0.3)) {
        s = m_random.pick(LegalLists::openingPhrases()) + QLatin1Char(' ');
        capital = false;
    }
    const int words = m_random.between(6, 26);
    for (int i = 0; i < words; ++i) {
        QString w = vocabulary().draw(m_random);
        ++m_draws;
        if (capital) {
            w[0] = w[0].toUpper();
            capital = false;
        }
        s += w;
        if (i + 1 < words) {
            if (possessors().contains(w) && m_random.chance(0.1))
                s += QStringLiteral("'s");
            if (m_random.chance(0.07))
                s += QLatin1Char(',');
            s += QLatin1Char(' ');
        }
    }
    if (m_random.chance(0.05))
        s += QStringLiteral(" under section %1").arg(m_random.between(1, 500));
    if (m_random.chance(0.03)) {
        const int court = m_random.below(int(courts().size()));
        s += QStringLiteral(" (") + citationText(m_random.between(kFirstYear, kLastYear), court) + QLatin1Char(')');
    }
    return s + QLatin1Char('.');
}

QString CitationGenerator::longText(int minLength, int maxLength, double skew, bool paragraphs)
{
    // The last sentence may be cut short by up to a word: aim a little above the least length.
    constexpr int kSlack = 30;
    const int target =
        minLength + kSlack + int(double(maxLength - minLength - kSlack) * std::pow(m_random.uniform(), skew));
    QString text;
    text.reserve(target + 200);
    int sentencesInParagraph = 0;
    int paragraph = 1;
    int paragraphLength = m_random.between(3, 7);
    while (text.size() < target) {
        QString next = sentence(text.isEmpty());
        QString joint = text.isEmpty() ? QString() : QStringLiteral(" ");
        if (paragraphs && sentencesInParagraph == paragraphLength) {
            joint = QStringLiteral("\n\n%1. ").arg(++paragraph);
            sentencesInParagraph = 0;
            paragraphLength = m_random.between(3, 7);
        }
        if (text.size() + joint.size() + next.size() > target) {
            // Stop at the last whole sentence, unless that leaves the text much too short: then cut this one at a
            // blank and close it.
            if (text.size() >= qMax(minLength, target * 6 / 10))
                break;
            next.truncate(qMax(1, int(target - text.size() - joint.size() - 1)));
            const qsizetype blank = next.lastIndexOf(QLatin1Char(' '));
            if (blank > 0)
                next.truncate(blank);
            while (!next.isEmpty() && !next.back().isLetterOrNumber())
                next.chop(1);
            text += joint + next + QLatin1Char('.');
            break;
        }
        text += joint + next;
        ++sentencesInParagraph;
    }
    return text;
}

QList<CitationLink> CitationGenerator::links(const QStringList& master, int count, double exponent)
{
    // Some entries are used far more than others: the Constitution and the codes, the superior courts.
    const ZipfTable table(int(master.size()), exponent);
    QList<CitationLink> list;
    QSet<int> taken;
    while (list.size() < count) {
        const int i = table.draw(m_random);
        if (taken.contains(i))
            continue;
        taken.insert(i);
        list.append({i + 1, master.at(i), QString()});
    }
    return list;
}

QStringList CitationGenerator::bench(int year, int court)
{
    // Judges sit for some years each, starting one after another, so a bench is made of contemporaries.
    const QStringList& pool = judges();
    const double perYear = double(pool.size()) / double(kLastYear - kFirstYear + kJudgeCareerYears);
    const int first = qBound(0, int((year - kFirstYear) * perYear), int(pool.size()) - 1);
    const int last = qBound(first, int((year - kFirstYear + kJudgeCareerYears) * perYear), int(pool.size()) - 1);
    int size = 1;
    switch (levelOf(courts().at(court))) {
    case CourtLevel::Supreme:
        size = weightedCount(m_random, {0, 0.35, 0.4, 0.05, 0.15, 0, 0.05});
        break;
    case CourtLevel::Shariat:
    case CourtLevel::High:
        size = weightedCount(m_random, {0.55, 0.4, 0.03, 0, 0.02});
        break;
    case CourtLevel::Tribunal:
        size = weightedCount(m_random, {0.7, 0.25, 0.05});
        break;
    }
    size = qMin(size, last - first + 1);
    QStringList names;
    while (names.size() < size) {
        const QString& name = pool.at(m_random.between(first, last));
        if (!names.contains(name))
            names << name;
    }
    return names;
}

Citation CitationGenerator::next()
{
    Citation c;
    m_draws = 0;
    // More cases are reported in later years.
    const int year = kFirstYear + int(double(kLastYear - kFirstYear + 1) * std::pow(m_random.uniform(), 0.6));
    const int month = m_random.between(1, 12);
    c.judgmentDate = QDate(year, month, m_random.between(1, QDate(year, month, 1).daysInMonth()));

    c.categories = links(categories(), weightedCount(m_random, {0.55, 0.33, 0.12}), 0.9);
    c.courts = links(courts(), weightedCount(m_random, {0.7, 0.22, 0.08}), 1.2);
    c.acts = links(acts(), weightedCount(m_random, {0.5, 0.32, 0.18}), 1.1);
    for (CitationLink& act : c.acts)
        act.section = section(int(act.masterId) - 1);
    bool criminal = false;
    for (const CitationLink& category : c.categories)
        criminal = criminal || criminalCategories().contains(category.name);

    const int court = int(c.courts.first().masterId) - 1;
    c.citation = citationText(year, court);
    c.caseTitle = caseTitle(criminal);
    c.bench = bench(year, court);

    const int max = CitationStore::kLongTextLimit;
    c.text(Citation::Judgment) = longText(400, max, 1.5, true);
    c.text(Citation::NatureOfCase) = longText(kMinTextLength, 1200, 2, false);
    c.text(Citation::FactSummary) = longText(300, max, 4, false);
    c.text(Citation::Issue) = longText(kMinTextLength, max, 6, false);
    c.text(Citation::RuleOfLaw) = longText(kMinTextLength, max, 6, false);
    c.text(Citation::Remarks) = longText(kMinTextLength, max, 8, false);
    m_lastDraws = m_draws;
    ++m_produced;
    return c;
}

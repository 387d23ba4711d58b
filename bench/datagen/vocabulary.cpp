#include "datagen/vocabulary.h"

#include "datagen/legal_lists.h"
#include "datagen/random_source.h"

#include <QSet>

#include <algorithm>
#include <numeric>

namespace {
// The share of drawn words that come from the rare tail: in judgments, names of places and people and terms of
// art are a few words in a hundred.
constexpr double kRareShare = 0.04;
constexpr int kMadeUpNames = 40000;
// Terms of art are spread through the first part of the tail: rare, but not the rarest.
constexpr int kTermSpacing = 40;
constexpr int kFirstTermAt = 150;

QString capitalised(QString s)
{
    if (!s.isEmpty())
        s[0] = s[0].toUpper();
    return s;
}

// Made-up village and family names from syllables: always the same list, none of them a real word of the list.
QStringList madeUpNames(const QSet<QString>& taken)
{
    const QStringList& syllables = LegalLists::nameSyllables();
    const QStringList& suffixes = LegalLists::placeSuffixes();
    RandomSource random(0x4C65786F6E616D65ULL);
    QSet<QString> seen = taken;
    QStringList names;
    names.reserve(kMadeUpNames);
    while (names.size() < kMadeUpNames) {
        QString name;
        const int parts = random.between(2, 3);
        for (int i = 0; i < parts; ++i)
            name += random.pick(syllables);
        if (random.chance(0.7))
            name += random.pick(suffixes);
        name = capitalised(name);
        if (seen.contains(name.toLower()))
            continue;
        seen.insert(name.toLower());
        names << name;
    }
    return names;
}
} // namespace

const Vocabulary& Vocabulary::standard()
{
    static const Vocabulary v;
    return v;
}

Vocabulary::Vocabulary()
{
    const QStringList& common = LegalLists::commonWords();
    QSet<QString> taken;
    for (const QString& w : common)
        taken.insert(w.toLower());
    // The tail: made-up names, with the terms of art set in at even steps.
    QStringList tail = madeUpNames(taken);
    QStringList terms;
    for (const QString& t : LegalLists::rareTerms())
        if (!taken.contains(t.toLower()))
            terms << t;
    for (int i = 0; i < terms.size(); ++i)
        tail.insert(qMin<qsizetype>(kFirstTermAt + i * kTermSpacing, tail.size()), terms[i]);

    // The common words fall off a little faster than 1/rank, so that the last of them are in about one citation
    // out of ten. In the tail no single made-up name may stand out: its head is flattened, and its end is in a
    // handful of citations out of 50,000.
    m_common = ZipfTable(int(common.size()), 1.1);
    m_rare = ZipfTable(int(tail.size()), 1.0, 200);

    // One ranking over both lists, by the chance of a draw.
    struct Entry {
        const QString* word;
        double p;
        bool rare;
        int index;
    };
    std::vector<Entry> all;
    all.reserve(size_t(common.size() + tail.size()));
    for (int i = 0; i < common.size(); ++i)
        all.push_back({&common[i], (1 - kRareShare) * m_common.probability(i), false, i});
    for (int i = 0; i < tail.size(); ++i)
        all.push_back({&tail[i], kRareShare * m_rare.probability(i), true, i});
    std::stable_sort(all.begin(), all.end(), [](const Entry& a, const Entry& b) { return a.p > b.p; });

    m_commonRank.resize(size_t(common.size()));
    m_rareRank.resize(size_t(tail.size()));
    m_words.reserve(qsizetype(all.size()));
    m_probability.reserve(all.size());
    for (size_t i = 0; i < all.size(); ++i) {
        const int rank = int(i) + 1;
        m_words << *all[i].word;
        m_probability.push_back(all[i].p);
        (all[i].rare ? m_rareRank : m_commonRank)[size_t(all[i].index)] = rank;
        m_rank.insert(*all[i].word, rank);
    }
}

const QString& Vocabulary::draw(RandomSource& random) const
{
    const bool rare = random.chance(kRareShare);
    const int index = rare ? m_rare.draw(random) : m_common.draw(random);
    return word((rare ? m_rareRank : m_commonRank)[size_t(index)]);
}

#pragma once

#include "datagen/zipf_table.h"

#include <QHash>
#include <QStringList>

#include <vector>

class RandomSource;

// The words of the generated long texts, ranked by how often they are drawn (rank 1 most often). Frequencies fall
// off as in real prose (Zipf): the common words of legal English make up most of a text, and behind them comes a
// long tail of rare terms of art and made-up village and family names, each in only a few citations of a large
// database, so that a search can be timed for a common, a medium and a rare word.
class Vocabulary
{
public:
    static const Vocabulary& standard();

    int size() const { return int(m_words.size()); }
    // rank in 1..size().
    const QString& word(int rank) const { return m_words.at(rank - 1); }
    // The share of all drawn words that are this word.
    double probability(int rank) const { return m_probability.at(size_t(rank) - 1); }
    // 0 when the word is not in the vocabulary (words are compared as drawn, with their case).
    int rankOf(const QString& word) const { return m_rank.value(word, 0); }

    const QString& draw(RandomSource& random) const;

private:
    Vocabulary();
    QStringList m_words;
    std::vector<double> m_probability;
    // The rank of each word of the common and of the rare list, by position in that list.
    std::vector<int> m_commonRank;
    std::vector<int> m_rareRank;
    QHash<QString, int> m_rank;
    ZipfTable m_common;
    ZipfTable m_rare;
};

#pragma once

#include <vector>

class RandomSource;

// Draws positions 0..n-1 with weight 1 / (position + 1 + offset)^exponent: a few very often, most rarely. An
// offset flattens the head, so that the first positions are not much more frequent than the next ones.
class ZipfTable
{
public:
    ZipfTable() = default;
    ZipfTable(int n, double exponent, double offset = 0);

    int size() const { return int(m_cumulative.size()); }
    // The chance of position i in one draw.
    double probability(int i) const;
    int draw(RandomSource& random) const;

private:
    std::vector<double> m_cumulative;
};

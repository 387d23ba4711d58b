#include "datagen/zipf_table.h"

#include "datagen/random_source.h"

#include <algorithm>
#include <cmath>

ZipfTable::ZipfTable(int n, double exponent, double offset)
{
    m_cumulative.reserve(size_t(n));
    double total = 0;
    for (int i = 0; i < n; ++i) {
        total += 1.0 / std::pow(double(i + 1) + offset, exponent);
        m_cumulative.push_back(total);
    }
    for (double& c : m_cumulative)
        c /= total;
}

double ZipfTable::probability(int i) const
{
    return i == 0 ? m_cumulative[0] : m_cumulative[size_t(i)] - m_cumulative[size_t(i) - 1];
}

int ZipfTable::draw(RandomSource& random) const
{
    const double u = random.uniform();
    const auto it = std::upper_bound(m_cumulative.begin(), m_cumulative.end(), u);
    return it == m_cumulative.end() ? size() - 1 : int(it - m_cumulative.begin());
}

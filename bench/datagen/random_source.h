#pragma once

#include <QList>
#include <QtGlobal>

// A small, fast random source whose sequence is the same with every compiler and library (the standard
// distributions are not), so that one seed makes the same data everywhere.
class RandomSource
{
public:
    explicit RandomSource(quint64 seed);

    quint64 next();
    // In [0, 1).
    double uniform();
    // In [0, n); n > 0.
    int below(int n);
    // In [lo, hi].
    int between(int lo, int hi);
    bool chance(double p) { return uniform() < p; }

    template <typename T> const T& pick(const QList<T>& list) { return list.at(below(int(list.size()))); }

private:
    quint64 m_state[4];
};

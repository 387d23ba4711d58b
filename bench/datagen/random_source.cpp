#include "datagen/random_source.h"

namespace {
quint64 splitMix(quint64& x)
{
    quint64 z = (x += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

quint64 rotl(quint64 x, int k)
{
    return (x << k) | (x >> (64 - k));
}
} // namespace

RandomSource::RandomSource(quint64 seed)
{
    for (quint64& s : m_state)
        s = splitMix(seed);
}

// xoshiro256**
quint64 RandomSource::next()
{
    const quint64 result = rotl(m_state[1] * 5, 7) * 9;
    const quint64 t = m_state[1] << 17;
    m_state[2] ^= m_state[0];
    m_state[3] ^= m_state[1];
    m_state[1] ^= m_state[2];
    m_state[0] ^= m_state[3];
    m_state[2] ^= t;
    m_state[3] = rotl(m_state[3], 45);
    return result;
}

double RandomSource::uniform()
{
    return double(next() >> 11) * (1.0 / 9007199254740992.0);
}

int RandomSource::below(int n)
{
    return int((next() >> 32) * quint64(n) >> 32);
}

int RandomSource::between(int lo, int hi)
{
    return lo + below(hi - lo + 1);
}

#include "core/search/field_test.h"

#include <type_traits>

#if defined(__SSE2__) && defined(__GNUC__)
#include <emmintrin.h>
#endif

namespace {
constexpr unsigned kBeyondAscii = 128;

template <typename Ch> unsigned code(Ch c)
{
    return unsigned(std::make_unsigned_t<Ch>(c));
}

unsigned small(unsigned c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool isDelimiter(unsigned c)
{
    return c == ' ' || c == '.' || c == ',' || c == 10 || c == 13 || c == 9;
}

template <typename Ch> bool hasBeyondAscii(const Ch* s, qsizetype n)
{
    unsigned any = 0;
    for (qsizetype i = 0; i < n; ++i)
        any |= code(s[i]);
    return any >= kBeyondAscii;
}
} // namespace

FieldTest::FieldTest(const SearchRequest& request)
    : m_request(request)
{
    const QString& q = request.text;
    m_plain = !q.isEmpty();
    for (QChar c : q)
        m_plain = m_plain && c.unicode() < kBeyondAscii && c != QChar(9);
    if (!m_plain)
        return;
    for (unsigned c = 0; c < 256; ++c)
        m_compared[c] = static_cast<unsigned char>(c >= kBeyondAscii ? kBeyondAscii : request.matchCase ? c : small(c));
    m_word = q.toLatin1();
    for (char& c : m_word)
        c = char(m_compared[code(c)]);
    // Horspool's table: how far the window may move when its last character is c.
    const qsizetype m = m_word.size();
    m_skip.fill(m);
    for (qsizetype k = 0; k + 1 < m; ++k)
        m_skip[code(m_word[k])] = m - 1 - k;
}

template <typename Ch> qsizetype FieldTest::find(const Ch* s, qsizetype n, qsizetype from) const
{
    const qsizetype m = m_word.size();
    const auto* w = reinterpret_cast<const unsigned char*>(m_word.constData());
    const unsigned char* table = m_compared.data();
    auto compared = [table](Ch c) -> unsigned {
        const unsigned u = code(c);
        return sizeof(Ch) == 1 || u < 256 ? table[u] : kBeyondAscii;
    };
    for (qsizetype i = from; i + m <= n;) {
        qsizetype j = m - 1;
        while (j >= 0 && compared(s[i + j]) == w[j])
            --j;
        if (j < 0)
            return i;
        i += m_skip[compared(s[i + m - 1])];
    }
    return -1;
}

#if defined(__SSE2__) && defined(__GNUC__)
// Bytes: sixteen windows at a time, those whose first and last characters agree checked in full. Most long texts
// are read here, and most windows fail on those two characters.
template <> qsizetype FieldTest::find<char>(const char* s, qsizetype n, qsizetype from) const
{
    const qsizetype m = m_word.size();
    const auto* w = reinterpret_cast<const unsigned char*>(m_word.constData());
    const unsigned char* table = m_compared.data();
    // Without letter case a letter matches its capital too: both become the small letter when bit 5 is set.
    auto foldBit = [this](unsigned char c) {
        return !m_request.matchCase && c >= 'a' && c <= 'z' ? 0x20 : 0;
    };
    const __m128i first = _mm_set1_epi8(char(w[0]));
    const __m128i last = _mm_set1_epi8(char(w[m - 1]));
    const __m128i firstFold = _mm_set1_epi8(char(foldBit(w[0])));
    const __m128i lastFold = _mm_set1_epi8(char(foldBit(w[m - 1])));
    qsizetype i = from;
    for (; i + m - 1 + 16 <= n; i += 16) {
        const __m128i a = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i)), firstFold);
        const __m128i b = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + m - 1)), lastFold);
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
        while (mask) {
            const qsizetype at = i + __builtin_ctz(mask);
            qsizetype j = 1;
            while (j < m - 1 && table[code(s[at + j])] == w[j])
                ++j;
            if (j >= m - 1)
                return at;
            mask &= mask - 1;
        }
    }
    // The last few windows one by one.
    for (; i + m <= n; ++i) {
        qsizetype j = 0;
        while (j < m && table[code(s[i + j])] == w[j])
            ++j;
        if (j == m)
            return i;
    }
    return -1;
}
#endif

template <typename Ch> bool FieldTest::scan(const Ch* s, qsizetype n) const
{
    // FindMatch on the text padded with a tab at each end; the search text holds no tab, so every occurrence
    // lies inside the stored text.
    const qsizetype m = m_word.size();
    const bool startsBlank = m_word.front() == ' ';
    const bool blankEdge = startsBlank || m_word.back() == ' ';
    for (qsizetype at = find(s, n, 0); at >= 0; at = find(s, n, at + 1)) {
        if (!m_request.wholeWord)
            return true;
        const unsigned before = startsBlank ? unsigned(' ') : at == 0 ? 9u : code(s[at - 1]);
        if (!isDelimiter(before))
            continue;
        if (blankEdge)
            return true;
        if (isDelimiter(at + m < n ? code(s[at + m]) : 9u))
            return true;
    }
    return false;
}

bool FieldTest::matches(const QString& stored) const
{
    if (!m_plain)
        return CitationSearch::fieldMatches(stored, m_request);
    const auto* s = reinterpret_cast<const char16_t*>(stored.utf16());
    if (scan(s, stored.size()))
        return true;
    // Without letter case, a letter beyond ASCII may still have a plain capital (a sharp s is "SS").
    return !m_request.matchCase && hasBeyondAscii(s, stored.size()) && CitationSearch::fieldMatches(stored, m_request);
}

bool FieldTest::matches(QByteArrayView utf8) const
{
    // The bytes of a character beyond ASCII are all beyond ASCII too, so an ASCII text is found in the bytes
    // exactly where it is found in the characters.
    if (!m_plain)
        return CitationSearch::fieldMatches(QString::fromUtf8(utf8), m_request);
    if (scan(utf8.data(), utf8.size()))
        return true;
    return !m_request.matchCase && hasBeyondAscii(utf8.data(), utf8.size()) &&
           CitationSearch::fieldMatches(QString::fromUtf8(utf8), m_request);
}

bool FieldTest::matches(const QVariant& value) const
{
    if (value.metaType().id() == QMetaType::QByteArray) {
        const QByteArray bytes = value.toByteArray();
        return matches(QByteArrayView(bytes));
    }
    return matches(value.toString());
}

QString FieldTest::shownText(const QVariant& value, qsizetype shownLength)
{
    if (value.metaType().id() != QMetaType::QByteArray)
        return value.toString();
    // shownLength + 1 characters decide what is shown (and whether "..." follows); no character takes more than
    // four bytes, and a character cut at the end lies beyond them.
    const QByteArray bytes = value.toByteArray();
    return QString::fromUtf8(QByteArrayView(bytes).first(qMin<qsizetype>(bytes.size(), 4 * (shownLength + 1))));
}

#pragma once

#include "core/search/citation_search.h"

#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <array>

// The field test of one request, prepared once and run on many stored values. It answers exactly as
// CitationSearch::fieldMatches; a plain ASCII search text (the usual case) is looked for by a skipping scan
// over the stored characters, or over the stored UTF-8 bytes as some engines hand them out, without a copy
// in capitals and without decoding. Anything it cannot settle that way goes to fieldMatches itself.
class FieldTest
{
public:
    explicit FieldTest(const SearchRequest& request);

    bool matches(const QString& stored) const;
    bool matches(QByteArrayView utf8) const;
    // A text value, or the UTF-8 bytes of one.
    bool matches(const QVariant& value) const;

    // The value as text; of a long byte value only as much as "Found in" can show is decoded.
    static QString shownText(const QVariant& value, qsizetype shownLength);

private:
    template <typename Ch> qsizetype find(const Ch* s, qsizetype n, qsizetype from) const;
    template <typename Ch> bool scan(const Ch* s, qsizetype n) const;

    SearchRequest m_request;
    bool m_plain = false; // ASCII, no tab: the scan decides
    QByteArray m_word;    // the search text as compared: small letters unless the case must match
    std::array<unsigned char, 256> m_compared{}; // a code unit below 256 as compared: folded, or 128 beyond ASCII
    std::array<qsizetype, 129> m_skip{};         // by compared character
};

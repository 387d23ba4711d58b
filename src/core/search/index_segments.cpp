#include "core/search/index_segments.h"

#include "core/db/sql_dialect.h"

#include <algorithm>
#include <vector>

namespace {
// For every BMP character: whether the capital of some other character contains it.
const std::vector<bool>& producedByOthers()
{
    static const std::vector<bool> produced = [] {
        std::vector<bool> p(0x10000, false);
        for (char32_t u = 0; u < 0x10000; ++u) {
            const QChar c{char16_t(u)};
            if (c.isSurrogate())
                continue;
            for (QChar capital : QString(c).toUpper())
                if (capital != c)
                    p[capital.unicode()] = true;
        }
        return p;
    }();
    return produced;
}
} // namespace

bool IndexSegments::isSafe(QChar c)
{
    if (c.unicode() < 0x80)
        return true;
    if (c.isSurrogate())
        return false;
    const QString one(c);
    return one.toUpper() == one && one.toLower() == one && !producedByOthers()[c.unicode()];
}

QStringList IndexSegments::of(const QString& text)
{
    QStringList runs;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() && isSafe(text[i]))
            continue;
        if (i - start >= kMinLength)
            runs << text.mid(start, i - start);
        start = i + 1;
    }
    std::stable_sort(runs.begin(), runs.end(), [](const QString& a, const QString& b) { return a.size() > b.size(); });
    return runs.mid(0, kMaxSegments);
}

QList<QPair<QChar, QString>> IndexSegments::spellingsNeeded()
{
    QList<QPair<QChar, QString>> needed;
    for (char32_t u = 0x80; u < 0x10000; ++u) {
        const QChar c{char16_t(u)};
        if (c.isSurrogate())
            continue;
        const QString capital = QString(c).toUpper();
        if (std::any_of(capital.begin(), capital.end(), [](QChar x) { return x.unicode() < 0x80; }))
            needed.append({c, capital.toLower()});
    }
    return needed;
}

bool IndexSegments::spellingsAgree()
{
    static const bool agree = spellingsNeeded() == SqlDialect::searchSpellings();
    return agree;
}

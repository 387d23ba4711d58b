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
// For every BMP character: whether the capital of some character, more than one character long, contains it.
const std::vector<bool>& inLongerCapitals()
{
    static const std::vector<bool> in = [] {
        std::vector<bool> p(0x10000, false);
        for (char32_t u = 0; u < 0x10000; ++u) {
            const QChar c{char16_t(u)};
            if (c.isSurrogate())
                continue;
            const QString capital = QString(c).toUpper();
            if (capital.size() > 1)
                for (QChar x : capital)
                    p[x.unicode()] = true;
        }
        return p;
    }();
    return in;
}

// For every BMP character that is the one-character capital of a character: the characters with that capital.
const std::vector<QString>& byCapital()
{
    static const std::vector<QString> by = [] {
        std::vector<QString> b(0x10000);
        for (char32_t u = 0; u < 0x10000; ++u) {
            const QChar c{char16_t(u)};
            if (c.isSurrogate())
                continue;
            const QString capital = QString(c).toUpper();
            if (capital.size() == 1)
                b[capital[0].unicode()] += c;
        }
        return b;
    }();
    return by;
}
} // namespace

QString IndexSegments::sameInCapitals(QChar c)
{
    if (c.unicode() < 0x80 || c.isSurrogate())
        return {};
    const QString capital = QString(c).toUpper();
    if (capital.size() != 1 || inLongerCapitals()[capital[0].unicode()])
        return {};
    QString same = byCapital()[capital[0].unicode()];
    // Caseless: nothing for the engine to fold.
    if (same.size() < 2 || std::any_of(same.begin(), same.end(), [](QChar x) { return x.unicode() < 0x80; }))
        return {};
    same.remove(c);
    return c + same;
}

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
    return of(text, {});
}

QStringList IndexSegments::of(const QString& text, const std::function<bool(QChar)>& foldsAlike)
{
    QStringList runs;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= text.size(); ++i) {
        if (i < text.size() &&
            (isSafe(text[i]) || (foldsAlike && !sameInCapitals(text[i]).isEmpty() && foldsAlike(text[i]))))
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

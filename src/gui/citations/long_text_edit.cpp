#include "gui/citations/long_text_edit.h"

#include "core/citations/citation_rules.h"

#include <QLabel>
#include <QLocale>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace {
QString number(qsizetype n)
{
    QLocale locale;
    locale.setNumberOptions(locale.numberOptions() & ~QLocale::OmitGroupSeparator);
    return locale.toString(qlonglong(n));
}

bool splitsPair(const QString& text, qsizetype at)
{
    return at > 0 && at < text.size() && text.at(at).isLowSurrogate() && text.at(at - 1).isHighSurrogate();
}
} // namespace

LongTextEdit::LongTextEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
    // The document's own report of where a change lies may take in text around it; the texts before and
    // after are compared instead.
    connect(document(), &QTextDocument::contentsChanged, this, &LongTextEdit::refuseExcess);
}

void LongTextEdit::setMaxLength(int maxLength)
{
    m_maxLength = maxLength;
    showCount(0);
}

qsizetype LongTextEdit::length() const
{
    return CitationRules::characterCount(toPlainText());
}

void LongTextEdit::setText(const QString& text)
{
    m_loading = true;
    setPlainText(text);
    m_loading = false;
    m_before = toPlainText();
    showCount(0);
}

void LongTextEdit::setCounter(QLabel* counter)
{
    m_counter = counter;
    showCount(0);
}

QLabel* LongTextEdit::counter() const
{
    return m_counter.data();
}

void LongTextEdit::refuseExcess()
{
    if (m_loading || m_cutting)
        return;
    const QString after = toPlainText();
    const qsizetype excess = m_maxLength > 0 ? CitationRules::characterCount(after) - m_maxLength : 0;
    if (excess <= 0) {
        m_before = after;
        showCount(0);
        return;
    }
    // What this change put in: the part of the new text between what it shares with the old at either end.
    qsizetype start = 0;
    const qsizetype shared = std::min(m_before.size(), after.size());
    while (start < shared && m_before.at(start) == after.at(start))
        ++start;
    qsizetype end = after.size();
    qsizetype oldEnd = m_before.size();
    while (end > start && oldEnd > start && m_before.at(oldEnd - 1) == after.at(end - 1)) {
        --end;
        --oldEnd;
    }
    if (splitsPair(after, start))
        --start;
    if (splitsPair(after, end))
        ++end;

    // Only what this change put in is taken out again, from its end; a longer stored text stays as it was.
    qsizetype cutFrom = end;
    qsizetype leftOut = 0;
    while (cutFrom > start && leftOut < excess) {
        --cutFrom;
        if (splitsPair(after, cutFrom) && cutFrom - 1 >= start)
            --cutFrom;
        ++leftOut;
    }
    if (leftOut > 0) {
        m_cutting = true;
        QTextCursor cursor(document());
        // One step with what was put in, so that undoing it takes both back.
        cursor.joinPreviousEditBlock();
        cursor.setPosition(int(cutFrom));
        cursor.setPosition(int(end), QTextCursor::KeepAnchor);
        cursor.removeSelectedText();
        cursor.endEditBlock();
        m_cutting = false;
    }
    m_before = toPlainText();
    showCount(leftOut);
    if (leftOut > 0)
        emit inputCut(leftOut);
}

void LongTextEdit::showCount(qsizetype leftOut)
{
    if (!m_counter)
        return;
    QString shown = number(length());
    if (m_maxLength > 0)
        shown += QStringLiteral(" / ") + number(m_maxLength);
    if (leftOut == 1)
        shown += QStringLiteral(" (1 character left out)");
    else if (leftOut > 1)
        shown += QStringLiteral(" (%1 characters left out)").arg(number(leftOut));
    m_counter->setText(shown);
    // Faint while all is well, plain when something was left out.
    m_counter->setForegroundRole(leftOut > 0 ? QPalette::WindowText : QPalette::PlaceholderText);
}

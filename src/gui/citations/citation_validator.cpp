#include "gui/citations/citation_validator.h"

#include "core/citations/citation_rules.h"

#include <QLineEdit>

CitationValidator::CitationValidator(QLineEdit* edit)
    : QValidator(edit)
{
    m_before = edit->text();
    connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_before = text; });
}

bool CitationValidator::isRefused(QChar c)
{
    return CitationRules::isRefusedInCitation(c);
}

QValidator::State CitationValidator::validate(QString& input, int& pos) const
{
    Q_UNUSED(pos);
    // What the edit put in lies between the text it kept at the start and at the end.
    qsizetype prefix = 0;
    while (prefix < m_before.size() && prefix < input.size() && m_before.at(prefix) == input.at(prefix))
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < m_before.size() - prefix && suffix < input.size() - prefix &&
           m_before.at(m_before.size() - 1 - suffix) == input.at(input.size() - 1 - suffix))
        ++suffix;
    for (qsizetype i = prefix; i < input.size() - suffix; ++i)
        if (isRefused(input.at(i)))
            return Invalid;
    return Acceptable;
}

void CitationValidator::setTextUnchecked(QLineEdit* edit, const QString& text)
{
    const QValidator* validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setValidator(validator);
}

#pragma once

#include <QString>
#include <QValidator>

class QLineEdit;

// Keeps the punctuation a citation may not be typed with (CitationRules holds the list) out of the box, typed or
// pasted. Only what an edit puts in is tested, so a stored citation that holds one of them can still be edited.
class CitationValidator : public QValidator
{
    Q_OBJECT

public:
    explicit CitationValidator(QLineEdit* edit);

    static bool isRefused(QChar c);
    State validate(QString& input, int& pos) const override;

    // Puts a stored citation into the box as it is, without testing it.
    static void setTextUnchecked(QLineEdit* edit, const QString& text);

private:
    // The box's text before the edit being tested.
    QString m_before;
};

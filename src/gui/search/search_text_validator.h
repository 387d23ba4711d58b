#pragma once

#include <QValidator>

// Keeps a search text from beginning with a blank however it comes in: typed, pasted, dropped or set. The
// blanks in front are dropped and the rest is taken.
class SearchTextValidator : public QValidator
{
    Q_OBJECT

public:
    using QValidator::QValidator;

    State validate(QString& input, int& pos) const override;
};

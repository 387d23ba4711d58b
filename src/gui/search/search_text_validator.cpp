#include "gui/search/search_text_validator.h"

#include <algorithm>

QValidator::State SearchTextValidator::validate(QString& input, int& pos) const
{
    qsizetype blanks = 0;
    while (blanks < input.size() && input.at(blanks) == QLatin1Char(' '))
        ++blanks;
    if (blanks > 0) {
        input.remove(0, blanks);
        pos = std::max(0, pos - int(blanks));
    }
    return Acceptable;
}

#pragma once

#include <QPlainTextEdit>

// A multi-line text box that, like a one-line box, refuses what is typed or pasted beyond its maximum length.
// A text put in by the program is shown whole, so a stored text is never cut short by showing it.
class LongTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LongTextEdit(QWidget* parent = nullptr);

    // 0 for no limit of its own.
    void setMaxLength(int maxLength) { m_maxLength = maxLength; }
    int maxLength() const { return m_maxLength; }

    void setText(const QString& text);
    QString text() const { return toPlainText(); }

private:
    void refuseExcess(int position, int removed, int added);

    int m_maxLength = 0;
    bool m_loading = false;
};

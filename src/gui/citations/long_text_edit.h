#pragma once

#include <QPlainTextEdit>
#include <QPointer>

class QLabel;

// A multi-line text box that, like a one-line box, refuses what is typed, pasted or dropped beyond its maximum
// length, counted in characters as the database counts them. A text put in by the program is shown whole, so a
// stored text is never cut short by showing it. A counter beside the box shows how full it is and says so when
// something put in was left out.
class LongTextEdit : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit LongTextEdit(QWidget* parent = nullptr);

    // 0 for no limit of its own.
    void setMaxLength(int maxLength);
    int maxLength() const { return m_maxLength; }
    // The characters the box holds; one outside the basic plane counts once.
    qsizetype length() const;

    void setText(const QString& text);
    QString text() const { return toPlainText(); }

    // The label that shows "1,234 / 7,900"; the box keeps it up to date.
    void setCounter(QLabel* counter);
    QLabel* counter() const;

signals:
    // Part of what was put in did not fit and was left out.
    void inputCut(qsizetype leftOut);

private:
    void refuseExcess();
    void showCount(qsizetype leftOut);

    int m_maxLength = 0;
    bool m_loading = false;
    bool m_cutting = false;
    // The text as it was before the change being handled: what the change put in is told from it.
    QString m_before;
    QPointer<QLabel> m_counter;
};

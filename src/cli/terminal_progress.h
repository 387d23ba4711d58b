#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QTextStream>

// A progress bar on stderr while a command works, redrawn a few times a second; nothing at all when stderr is not
// a terminal, so that scripts and logs get only the results.
class TerminalProgress
{
public:
    TerminalProgress(QTextStream& err, bool enabled, const QString& label);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;

    // total 0: the count alone, without a bar.
    void update(qint64 done, qint64 total);
    // Clears the bar, so that what is printed next starts on a clean line.
    void finish();

private:
    void draw(qint64 done, qint64 total);

    QTextStream& m_err;
    bool m_enabled;
    bool m_drawn = false;
    QString m_label;
    QElapsedTimer m_sinceDrawn;
};

#include "cli/terminal_progress.h"

namespace {
constexpr int kBarWidth = 30;
constexpr int kRedrawMs = 200;
} // namespace

TerminalProgress::TerminalProgress(QTextStream& err, bool enabled, const QString& label)
    : m_err(err)
    , m_enabled(enabled)
    , m_label(label)
{}

TerminalProgress::~TerminalProgress()
{
    finish();
}

void TerminalProgress::update(qint64 done, qint64 total)
{
    if (!m_enabled)
        return;
    if (m_drawn && m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < kRedrawMs && done != total)
        return;
    draw(done, total);
}

void TerminalProgress::draw(qint64 done, qint64 total)
{
    QString line = m_label + QLatin1Char(' ');
    if (total > 0) {
        const qint64 filled = qBound(qint64(0), done * kBarWidth / total, qint64(kBarWidth));
        line += QLatin1Char('[') + QString(int(filled), QLatin1Char('#')) +
                QString(kBarWidth - int(filled), QLatin1Char(' ')) + QStringLiteral("] ") +
                QString::number(done * 100 / total) + QStringLiteral("% (") + QString::number(done) + QLatin1Char('/') +
                QString::number(total) + QLatin1Char(')');
    } else {
        line += QString::number(done);
    }
    m_err << '\r' << line << "\x1b[K";
    m_err.flush();
    m_drawn = true;
    m_sinceDrawn.start();
}

void TerminalProgress::finish()
{
    if (!m_drawn)
        return;
    m_err << "\r\x1b[K";
    m_err.flush();
    m_drawn = false;
}

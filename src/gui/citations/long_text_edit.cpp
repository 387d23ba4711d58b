#include "gui/citations/long_text_edit.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

LongTextEdit::LongTextEdit(QWidget* parent)
    : QPlainTextEdit(parent)
{
    connect(document(), &QTextDocument::contentsChange, this, &LongTextEdit::refuseExcess);
}

void LongTextEdit::setText(const QString& text)
{
    m_loading = true;
    setPlainText(text);
    m_loading = false;
}

void LongTextEdit::refuseExcess(int position, int removed, int added)
{
    Q_UNUSED(removed);
    if (m_loading || m_maxLength <= 0)
        return;
    // The document counts one more character than its text: the closing paragraph separator.
    const int excess = document()->characterCount() - 1 - m_maxLength;
    // Only what this change put in is taken out again; a longer stored text stays as it was.
    const int cut = std::min(excess, added);
    if (cut <= 0)
        return;
    QTextCursor cursor(document());
    cursor.setPosition(position + added - cut);
    cursor.setPosition(position + added, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

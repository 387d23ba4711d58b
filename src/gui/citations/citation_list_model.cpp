#include "gui/citations/citation_list_model.h"

#include <QTimer>

#include <algorithm>

namespace {
// A cell is one line: the line breaks of a long text are shown as blanks.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}
} // namespace

CitationListModel::CitationListModel(DbSession& session, QObject* parent)
    : QAbstractTableModel(parent)
    , m_query(session)
{}

Error CitationListModel::reload()
{
    beginResetModel();
    m_blocks.clear();
    m_recent.clear();
    m_failed = false;
    Result<QList<qint64>> ids = m_query.caseIds();
    m_ids = ids ? *ids : QList<qint64>();
    endResetModel();
    return ids ? Error() : ids.error();
}

qint64 CitationListModel::caseIdAt(int row) const
{
    return row >= 0 && row < m_ids.size() ? m_ids[row] : 0;
}

qint64 CitationListModel::largestCaseId() const
{
    return m_ids.isEmpty() ? 0 : *std::max_element(m_ids.cbegin(), m_ids.cend());
}

QString CitationListModel::toolTipText(const QString& text)
{
    QStringList lines;
    QString line;
    qsizetype room = kToolTipChars;
    bool cut = false;
    const QStringList paragraphs =
        QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")).split(QLatin1Char('\n'));
    for (qsizetype p = 0; p < paragraphs.size() && !cut; ++p) {
        if (p > 0) {
            if (lines.size() + 1 >= kToolTipLines) {
                cut = true;
                break;
            }
            lines << line;
            line.clear();
            --room;
        }
        const QStringList words = paragraphs[p].split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (QString word : words) {
            while (!word.isEmpty()) {
                if (!line.isEmpty() && line.size() + 1 + word.size() > kToolTipLineChars) {
                    lines << line;
                    line.clear();
                    --room;
                }
                // A word longer than a line is broken where the line ends, never inside a character. The blank
                // before a word takes a character of the room too.
                const qsizetype blank = line.isEmpty() ? 0 : 1;
                qsizetype take = std::min({word.size(), kToolTipLineChars - line.size() - blank, room - blank});
                if (take < word.size() && take > 0 && word.at(take - 1).isHighSurrogate())
                    --take;
                if (take <= 0 || lines.size() >= kToolTipLines) {
                    cut = true;
                    break;
                }
                if (blank)
                    line += QLatin1Char(' ');
                line += word.left(take);
                word.remove(0, take);
                room -= blank + take;
            }
            if (cut)
                break;
        }
    }
    lines << line;
    if (cut) {
        while (lines.size() > 1 && lines.last().isEmpty())
            lines.removeLast();
        lines.last() += QChar(0x2026);
    }
    return lines.join(QLatin1Char('\n'));
}

int CitationListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_ids.size());
}

int CitationListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : CitationListQuery::kColumnCount;
}

QVariant CitationListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return CitationListQuery::headers().value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

const CitationListRow* CitationListModel::rowAt(int row) const
{
    const int block = row / kBlockRows;
    auto found = m_blocks.find(block);
    if (found == m_blocks.end()) {
        if (m_failed)
            return nullptr;
        const int first = block * kBlockRows;
        const int last = std::min<int>(first + kBlockRows, int(m_ids.size())) - 1;
        const Result<QList<CitationListRow>> rows = m_query.rows(m_ids[first], m_ids[last]);
        if (!rows) {
            // Said once, after the painting that asked for it, and not asked again for every cell.
            m_failed = true;
            const Error error = rows.error();
            auto* self = const_cast<CitationListModel*>(this);
            QTimer::singleShot(0, self, [self, error] { emit self->readFailed(error); });
            return nullptr;
        }
        // Rows are placed by case id: a case deleted since the ids were read leaves an empty row, one added
        // since has no place until the list is read again.
        QList<CitationListRow> placed(last - first + 1);
        int next = 0;
        for (int i = first; i <= last; ++i)
            placed[i - first].caseId = m_ids[i];
        for (const CitationListRow& r : *rows) {
            while (next < placed.size() && placed[next].caseId < r.caseId)
                ++next;
            if (next < placed.size() && placed[next].caseId == r.caseId)
                placed[next++] = r;
        }
        if (m_recent.size() >= kKeptBlocks)
            m_blocks.remove(m_recent.takeFirst());
        found = m_blocks.insert(block, placed);
        m_recent.append(block);
    } else if (m_recent.last() != block) {
        m_recent.removeOne(block);
        m_recent.append(block);
    }
    return &found.value()[row - block * kBlockRows];
}

QString CitationListModel::toolTip(const CitationListRow& row, int column) const
{
    const int text = CitationListQuery::textOfColumn(column);
    if (text < 0)
        return row.cell(column);
    const auto t = std::size_t(text);
    if (!row.shortened[t])
        return toolTipText(row.texts[t]);
    const Result<QString> full = m_query.fullText(Citation::Text(text), row.textIds[t]);
    return toolTipText(full ? *full : row.cell(column));
}

QVariant CitationListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_ids.size() || index.column() >= CitationListQuery::kColumnCount)
        return {};
    if (role == CaseIdRole)
        return m_ids[index.row()];
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const CitationListRow* row = rowAt(index.row());
    if (!row)
        return index.column() == 0 ? QVariant(QString::number(m_ids[index.row()])) : QVariant();
    if (role == Qt::ToolTipRole)
        return toolTip(*row, index.column());
    return oneLine(row->cell(index.column()));
}

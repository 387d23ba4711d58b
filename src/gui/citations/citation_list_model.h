#pragma once

#include "core/citations/citation_list_query.h"
#include "core/util/error.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>

// The citation list as a table model. Only the case ids are read for every row; the cells are read a block of
// rows at a time when the view first asks for them, and only the blocks seen last are kept, so the model's memory
// stays the same however long the list and however far it is scrolled.
class CitationListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int kBlockRows = 128;
    static constexpr int kKeptBlocks = 16;
    // The role that gives a row's case id.
    static constexpr int CaseIdRole = Qt::UserRole;
    // A long text's tooltip shows its beginning only, in lines of a readable width, so that it fits the screen.
    static constexpr int kToolTipChars = 400;
    static constexpr int kToolTipLineChars = 80;
    static constexpr int kToolTipLines = 8;

    explicit CitationListModel(DbSession& session, QObject* parent = nullptr);

    // Reads the case ids again and forgets every block read.
    Error reload();
    qint64 caseIdAt(int row) const;
    // The largest case id listed, 0 for none: the widest text of the Id column.
    qint64 largestCaseId() const;
    // What a tooltip shows of a text: all of it when it is short, else its beginning and "…"; wrapped at blanks
    // into lines of at most kToolTipLineChars characters.
    static QString toolTipText(const QString& text);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A read failed while the view was being painted; the rows not read stay empty.
    void readFailed(const Error& error);

private:
    const CitationListRow* rowAt(int row) const;
    QString toolTip(const CitationListRow& row, int column) const;

    CitationListQuery m_query;
    QList<qint64> m_ids;
    // Read blocks by number, with the order they were last used in (most recent last).
    mutable QHash<int, QList<CitationListRow>> m_blocks;
    mutable QList<int> m_recent;
    mutable bool m_failed = false;
};

#pragma once

#include "core/masters/listing_report_data.h"
#include "core/masters/master_kind.h"
#include "core/masters/master_table.h"
#include "core/util/error.h"
#include "core/util/result.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class DbSession;

struct MasterRow {
    qint64 id = 0;
    QString name;
};

// The rows of one master list (categories, courts or Acts) and the changes the master screens make to them, on
// the caller's session. Names are stored trimmed. Two names are the same when they differ only by letter case or
// by trailing blanks; that test is made here rather than by the engine, because the engines' own text comparisons
// differ.
//
// Every write is one transaction that locks the table before it looks: the duplicate test, the new key and the
// write see the same rows, whoever else writes at the same time.
class MasterStore
{
public:
    MasterStore(DbSession& session, MasterKind kind);

    const MasterTable& table() const { return *m_table; }

    // Every row in the order the database returns them.
    Result<QList<MasterRow>> rows() const;
    Result<QList<qint64>> ids() const;
    // The key an add would take now: largest id plus one, 1 for an empty list. Only a proposal; add() takes its
    // own key inside its transaction.
    Result<qint64> nextId() const;
    // The stored name of the row with that id; none when there is no such row.
    Result<std::optional<QString>> nameOf(qint64 id) const;
    Result<bool> isInUse(qint64 id) const;
    // Id and name of every row, by id, as text for the printed listing.
    Result<QList<QStringList>> listingRows() const;
    // Everything the printed listing shows, dated by the clock.
    Result<ListingReportData> listing(const Clock& today) const;

    // The writes. Nothing is written when they fail. A refusal comes in the screen's words: a name of nothing
    // but blanks (Kind::Other), another row with that name (Kind::Duplicate), a row no longer there
    // (Kind::NotFound), a row a citation still uses (Kind::InUse). Anything else is the engine's own.

    // Stores the name under the next key (largest + 1), unless another row has that name; the key it took.
    Result<qint64> add(const QString& typedName);
    Error rename(qint64 id, const QString& typedName);
    Error remove(qint64 id);

    // What a write says when its row is gone.
    static QString goneMessage();

    // The form in which two names are compared for the duplicate test.
    static QString comparable(const QString& name);

private:
    // Whether a row the statement returns (name in its second column) has the same name.
    Result<bool> anySameName(const QString& sql, const QVariantList& values, const QString& name) const;
    Result<bool> exists(qint64 id) const;
    Error writeUnderLock(const std::function<Error()>& write);

    DbSession& m_session;
    const MasterTable* m_table;
};

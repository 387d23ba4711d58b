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

// How a write to a master list ended. Nothing is written unless the outcome is Done.
struct MasterResult {
    enum class Outcome {
        Done,
        EmptyName, // nothing but blanks was typed
        Duplicate, // another row already has that name
        InUse,     // a citation still refers to the row
        Missing,   // the row is no longer there
        Failed,    // the database refused; see error
    };
    Outcome outcome = Outcome::Done;
    Error error;   // the engine's own words when Failed
    qint64 id = 0; // the row written; for an add, the key it was stored under

    bool isDone() const { return outcome == Outcome::Done; }
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

    // Stores the name under the next key (largest + 1), unless another row has that name.
    MasterResult add(const QString& typedName);
    MasterResult rename(qint64 id, const QString& typedName);
    // Refused while a citation uses the row.
    MasterResult remove(qint64 id);

    // The form in which two names are compared for the duplicate test.
    static QString comparable(const QString& name);

private:
    // Whether a row the statement returns (name in its second column) has the same name.
    Result<bool> anySameName(const QString& sql, const QVariantList& values, const QString& name) const;
    Result<bool> exists(qint64 id) const;
    MasterResult writeUnderLock(const std::function<Result<MasterResult>()>& write);

    DbSession& m_session;
    const MasterTable* m_table;
};

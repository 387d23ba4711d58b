#pragma once

#include "core/db/db_context.h"
#include "core/db/db_error.h"
#include "core/masters/master_kind.h"
#include "core/masters/master_table.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <functional>
#include <optional>

class QSqlQuery;

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
    DbError error;

    bool isDone() const { return outcome == Outcome::Done; }
};

// The rows of one master list (categories, courts or Acts) and the changes the master screens make to them.
// Names are stored trimmed. Two names are the same when they differ only by letter case or by trailing blanks;
// that test is made here rather than by the engine, because the engines' own text comparisons differ.
class MasterStore
{
public:
    MasterStore(const DbContext& ctx, MasterKind kind);

    const MasterTable& table() const { return *m_table; }

    // Every row in the order the database returns them.
    QList<MasterRow> rows(DbError* error = nullptr) const;
    QList<qint64> ids(DbError* error = nullptr) const;
    // Largest id plus one, 1 for an empty list; none when it cannot be read.
    std::optional<qint64> nextId(DbError* error = nullptr) const;
    // The name of the row with that id; empty when there is none.
    QString nameOf(qint64 id, DbError* error = nullptr) const;
    bool isInUse(qint64 id, DbError* error = nullptr) const;
    // Id and name of every row, by id, as text for the printed listing.
    QList<QStringList> listingRows(DbError* error = nullptr) const;

    MasterResult add(qint64 id, const QString& typedName) const;
    MasterResult rename(qint64 id, const QString& typedName) const;
    // Refused while a citation uses the row.
    MasterResult remove(qint64 id) const;

    // The form in which two names are compared for the duplicate test.
    static QString comparable(const QString& name);

private:
    MasterResult writeUnlessDuplicate(const QString& name, const QString& checkSql, const QVariantList& checkValues,
                                      const std::function<DbError(QSqlQuery&, bool*)>& write) const;
    DbContext m_ctx;
    const MasterTable* m_table;
};

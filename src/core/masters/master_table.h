#pragma once

#include "core/masters/master_kind.h"

#include <QString>

// Everything that tells one master list from another: where its rows live, which citation link refers to them,
// the statements that read and write them, and the words its screen uses.
struct MasterTable {
    MasterKind kind = MasterKind::Category;
    QString table;         // category_master
    QString nameColumn;    // category
    int maxNameLength = 0; // characters the name column holds
    QString linkTable;     // cmd_category_master
    QString linkColumn;    // cat_id

    // Statements; every value goes in as a bound parameter.
    QString selectAll;    // the list and the ids, in the database's order
    QString selectById;   // one row by id
    QString selectOthers; // every row but one, for the rename duplicate test
    QString insert;
    QString update;
    QString inUse; // rows of the join with the citation links for one id
    QString remove;
    QString listing; // the printed listing, by id

    // Words of the screen.
    QString caption;   // window caption and tab
    QString nameLabel; // label of the name field and heading of the list's second column
    QString noun;      // as the button tooltips name it
    QString emptyName;
    QString addDuplicate;
    QString modifyDuplicate;
    QString deleteQuestionEnd; // follows "Do you want to delete '" + name
    int helpContext = 0;

    static const MasterTable& of(MasterKind kind);
};

#pragma once

#include <QString>
#include <QStringList>

class TestDatabase;

// One run of the real lexorium-cli: exit status and what it printed.
struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// Runs lexorium-cli with the arguments as given (no settings given for it).
CliRun runCli(const QStringList& arguments, const QByteArray& input = {});
// Runs a command on the test's database: a settings file naming it is written into the test's folder and passed
// with --settings and --data before the arguments.
CliRun runCliOn(const TestDatabase& database, const QStringList& arguments);

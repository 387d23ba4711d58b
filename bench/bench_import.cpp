// Importing generated citations from CSV: n citations (the project's generator) are stored by the bulk filler,
// exported to CSV, and the file imported into an empty database through CitationImport, one transaction a row,
// in a process of its own so that its peak resident memory is the import's alone. Target: the import takes at
// most 1.5 times what the bulk filler takes for the same citations; its memory stays flat as the file grows.
// The imported database is exported again and must give the same file (the round trip). Duplicates are imported,
// as the filler stores them.
//
// Sizes: LEXORIUM_BENCH_SIZES=5000,50000 (the default); the engine by LEXORIUM_TEST_ENGINE.
#include "core/db/db_session.h"
#include "core/transfer/citation_import.h"
#include "core/transfer/citation_transfer_export.h"
#include "datagen/bench_sizes.h"
#include "datagen/citation_filler.h"
#include "datagen/citation_generator.h"
#include "support/test_database.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <sys/resource.h>

namespace {
const char* const kImportMode = "--import-into-empty";

QByteArray digestOf(const QString& path)
{
    QFile f(path);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    return f.open(QIODevice::ReadOnly) && hash.addData(&f) ? hash.result().toHex() : QByteArray();
}

long peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// The child: imports the file into an empty database, exports that again to `again`, and prints the seconds of
// the import, the peak resident memory in kB, the rows stored and the export's seconds.
int importIntoEmpty(const QString& file, const QString& again)
{
    TestDatabase database;
    QString why;
    if (database.create(true, &why) != TestDatabase::Status::Ready) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    DbSession session(database.ctx());
    QElapsedTimer clock;
    clock.start();
    // The generator repeats a citation and month now and then (34 times in 50,000), which the import would skip;
    // the bulk filler stores them all, and so must the import to be compared with it.
    const Result<ImportSummary> summary = CitationImport::run(session, file, {false, true});
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const long peak = peakKilobytes();
    if (!summary) {
        std::fprintf(stderr, "%s\n", qPrintable(summary.error().description));
        return 1;
    }
    clock.restart();
    const Result<qint64> written = CitationTransferExport::write(session, again);
    const double exportSeconds = double(clock.nsecsElapsed()) / 1e9;
    if (!written) {
        std::fprintf(stderr, "%s\n", qPrintable(written.error().description));
        return 1;
    }
    std::printf("%.3f %ld %lld %.3f\n", seconds, peak, summary->stored, exportSeconds);
    if (summary->refused || summary->duplicates)
        std::fprintf(stderr, "%s\n%s", qPrintable(CitationImport::summaryText(*summary)),
                     qPrintable(CitationImport::refusalsText(*summary).left(2000)));
    return 0;
}
} // namespace

class BenchImport : public QObject
{
    Q_OBJECT

private slots:
    void import();
};

void BenchImport::import()
{
    std::printf("engine %s\n", qPrintable(TestDatabase::engine()));
    std::printf("%8s %10s %10s %8s %10s %10s %10s %8s  %s\n", "size", "bulk s", "import s", "ratio", "peak MB",
                "export s", "file MB", "stored", "round trip");
    for (int n : benchSizes(QStringLiteral("5000,50000"))) {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("generated.csv"));
        const QString again = dir.filePath(QStringLiteral("again.csv"));
        double bulk = 0;
        double exported = 0;
        {
            TestDatabase filled;
            QString why;
            LEX_REQUIRE_READY(filled.create(true, &why), why);
            DbSession s(filled.ctx());
            QVERIFY(!CitationFiller::writeMasters(s));
            CitationGenerator generator(7);
            QElapsedTimer clock;
            clock.start();
            QVERIFY(!CitationFiller::fill(s, generator, n));
            bulk = double(clock.nsecsElapsed()) / 1e9;
            clock.restart();
            const Result<qint64> written = CitationTransferExport::write(s, file);
            exported = double(clock.nsecsElapsed()) / 1e9;
            QVERIFY2(written.ok(), qPrintable(written.error().description));
            QCOMPARE(*written, qint64(n));
        }
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kImportMode), file, again});
        QVERIFY(child.waitForFinished(-1));
        QCOMPARE(child.exitCode(), 0);
        const QStringList got = QString::fromLatin1(child.readAllStandardOutput()).split(QLatin1Char(' '));
        QCOMPARE(got.size(), 4);
        const double imported = got.at(0).toDouble();
        const bool same = digestOf(file) == digestOf(again);
        std::printf("%8d %10.2f %10.2f %8.2f %10.1f %10.2f %10.1f %8s  %s\n", n, bulk, imported, imported / bulk,
                    got.at(1).toDouble() / 1024, exported, double(QFileInfo(file).size()) / (1 << 20),
                    qPrintable(got.at(2)), same ? "equal" : "DIFFERENT");
        std::fflush(stdout);
        QCOMPARE(got.at(2).toInt(), n);
        QVERIFY(same);
    }
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc == 4 && qstrcmp(argv[1], kImportMode) == 0)
        return importIntoEmpty(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    BenchImport bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "bench_import.moc"

#include "support/test_database.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {
struct Tally {
    int done = 0;
    int duplicate = 0;
    int failed = 0;
};

// Two writer processes on the test database, let loose at the same moment.
class Writers
{
public:
    Writers(const TestDatabase& t, const QString& mode, int count)
        : m_startFile(t.programDir() + QStringLiteral("/start"))
    {
        const ConnectionString& c = t.ctx().connection;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LEXORIUM_HELPER_PASSWORD"), c.password);
        for (const QString& tag : {QStringLiteral("A"), QStringLiteral("B")}) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(env);
            p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/master_add_helper"),
                     {t.programDir(), c.server, c.user, c.database, m_startFile, mode, QString::number(count), tag});
            m_processes.push_back(std::move(p));
        }
    }

    ~Writers()
    {
        for (const auto& p : m_processes)
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(5000);
            }
    }

    // Waits until both have opened their sessions, then starts them together.
    bool start()
    {
        for (const auto& p : m_processes) {
            while (!p->canReadLine())
                if (!p->waitForReadyRead(30000)) {
                    qWarning("helper not ready: %s", p->readAllStandardError().constData());
                    return false;
                }
            if (p->readLine().trimmed() != "ready")
                return false;
        }
        QFile start(m_startFile);
        return start.open(QIODevice::WriteOnly);
    }

    // What both reported; false when one failed or did not finish in time.
    bool finish(Tally* total)
    {
        bool ok = true;
        const QRegularExpression line(QStringLiteral("done=(\\d+) duplicate=(\\d+) failed=(\\d+)"));
        for (const auto& p : m_processes) {
            if (!p->waitForFinished(120000)) {
                qWarning("helper did not finish");
                ok = false;
                continue;
            }
            const QString out = QString::fromUtf8(p->readAllStandardOutput());
            const QByteArray err = p->readAllStandardError();
            if (!err.isEmpty())
                qWarning("helper: %s", err.left(2000).constData());
            const QRegularExpressionMatch m = line.match(out);
            if (p->exitStatus() != QProcess::NormalExit || !m.hasMatch()) {
                ok = false;
                continue;
            }
            total->done += m.captured(1).toInt();
            total->duplicate += m.captured(2).toInt();
            total->failed += m.captured(3).toInt();
            ok = ok && p->exitCode() == 0;
        }
        return ok;
    }

private:
    QString m_startFile;
    std::vector<std::unique_ptr<QProcess>> m_processes;
};
} // namespace

// Two programs adding to one master list at the same moment, on the engine named by LEXORIUM_TEST_ENGINE.
class TestMasterConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void sameNameIsStoredOnce();
    void differentNamesAllGetKeysOfTheirOwn();
};

void TestMasterConcurrency::sameNameIsStoredOnce()
{
    LEX_USE_DATABASE(t, true);
    Writers writers(t, QStringLiteral("same"), 25);
    QVERIFY(writers.start());
    Tally total;
    QVERIFY(writers.finish(&total));
    QCOMPARE(total.failed, 0);
    QCOMPARE(total.done, 1);
    QCOMPARE(total.duplicate, 49);
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM category_master")).toInt(), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT id FROM category_master WHERE category = 'Same Name'")).toInt(), 1);
}

void TestMasterConcurrency::differentNamesAllGetKeysOfTheirOwn()
{
    LEX_USE_DATABASE(t, true);
    Writers writers(t, QStringLiteral("distinct"), 100);
    QVERIFY(writers.start());
    Tally total;
    QVERIFY(writers.finish(&total));
    QCOMPARE(total.failed, 0);
    QCOMPARE(total.done, 200);
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM category_master")).toInt(), 200);
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(DISTINCT id) FROM category_master")).toInt(), 200);
    QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(DISTINCT category) FROM category_master")).toInt(), 200);
    // Largest + 1 each time, so the keys run from 1 without a gap.
    QCOMPARE(t.scalar(QStringLiteral("SELECT MIN(id) FROM category_master")).toInt(), 1);
    QCOMPARE(t.scalar(QStringLiteral("SELECT MAX(id) FROM category_master")).toInt(), 200);
    for (const QString& tag : {QStringLiteral("A"), QStringLiteral("B")})
        QCOMPARE(t.scalar(QStringLiteral("SELECT COUNT(*) FROM category_master WHERE category LIKE ?"),
                          {tag + QStringLiteral(" %")})
                     .toInt(),
                 100);
}

QTEST_GUILESS_MAIN(TestMasterConcurrency)
#include "tst_master_concurrency.moc"

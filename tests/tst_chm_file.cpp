#include "gui/common/chm_file.h"
#include "support/test_paths.h"

#include <QTemporaryDir>
#include <QTest>

namespace {
QString builtHelpFile()
{
    return builtProgramDir() + QStringLiteral("/Help/Lexorium.chm");
}

const ChmFile::ContentsNode* findNode(const QList<ChmFile::ContentsNode>& nodes, const QString& name)
{
    for (const ChmFile::ContentsNode& node : nodes) {
        if (node.name == name)
            return &node;
        if (const ChmFile::ContentsNode* child = findNode(node.children, name))
            return child;
    }
    return nullptr;
}

void collectLocals(const QList<ChmFile::ContentsNode>& nodes, QStringList& locals)
{
    for (const ChmFile::ContentsNode& node : nodes) {
        locals << node.local;
        collectLocals(node.children, locals);
    }
}
} // namespace

class TestChmFile : public QObject
{
    Q_OBJECT

private:
    ChmFile m_file;

private slots:
    void initTestCase() { QVERIFY2(m_file.open(builtHelpFile()), qPrintable(m_file.errorString())); }

    void settingsOfTheFile()
    {
        QCOMPARE(m_file.title(), QStringLiteral("Lexorium Help"));
        QCOMPARE(m_file.defaultTopic(), QStringLiteral("/startup.htm"));
        const QStringList objects = m_file.objects();
        for (const char* topic : {"/startup.htm", "/connection.htm", "/about.htm", "/main_window.htm",
                                  "/listing_reports.htm", "/lexorium.css", "/images/lexorium.png"})
            QVERIFY2(objects.contains(QLatin1String(topic)), topic);
    }

    void readsObjects()
    {
        const std::optional<QByteArray> picture = m_file.read(QStringLiteral("images/lexorium.png"));
        QVERIFY(picture);
        QVERIFY(picture->startsWith("\x89PNG"));
        QVERIFY(m_file.read(QStringLiteral("Lexorium.chm::/startup.htm#top")));
        QVERIFY(!m_file.read(QStringLiteral("/no_such_topic.htm")));
        QVERIFY(!m_file.contains(QStringLiteral("/no_such_topic.htm")));
    }

    void contentsTree()
    {
        const QList<ChmFile::ContentsNode> roots = m_file.contents();
        QVERIFY(!roots.isEmpty());
        QCOMPARE(roots.first().name, QStringLiteral("Welcome to Lexorium"));
        QCOMPARE(roots.first().local, QStringLiteral("/startup.htm"));
        const ChmFile::ContentsNode* masters = findNode(roots, QStringLiteral("Master lists"));
        QVERIFY(masters);
        QStringList names;
        for (const ChmFile::ContentsNode& child : masters->children)
            names << child.name;
        QCOMPARE(names, (QStringList{QStringLiteral("Act"), QStringLiteral("Category"), QStringLiteral("Court"),
                                     QStringLiteral("Listing reports")}));
        QStringList locals;
        collectLocals(roots, locals);
        for (const QString& local : locals)
            QVERIFY2(m_file.contains(local), qPrintable(local));
    }

    void indexEntries()
    {
        const QList<ChmFile::IndexEntry> entries = m_file.index();
        QVERIFY(entries.size() > 10);
        bool found = false;
        for (const ChmFile::IndexEntry& entry : entries) {
            QVERIFY2(m_file.contains(entry.local), qPrintable(entry.local));
            found = found || (entry.keyword == QLatin1String("Database, merging") &&
                              entry.local == QLatin1String("/synchronisation.htm"));
        }
        QVERIFY(found);
    }

    void contextNumbers_data()
    {
        QTest::addColumn<int>("context");
        QTest::addColumn<QString>("topic");
        QTest::addColumn<QString>("title");
        QTest::newRow("category") << 20100 << "/category.htm"
                                  << "Category";
        QTest::newRow("act") << 30100 << "/act.htm"
                             << "Act";
        QTest::newRow("citation") << 60100 << "/citation.htm"
                                  << "Citation";
        QTest::newRow("find citation") << 70100 << "/find_citation.htm"
                                       << "Find Citation";
        QTest::newRow("synchronisation") << 90100 << "/synchronisation.htm"
                                         << "Synchronisation";
        QTest::newRow("view citation") << 100100 << "/view_citation.htm"
                                       << "View Citation";
        QTest::newRow("court") << 110100 << "/court.htm"
                               << "Court";
    }

    void contextNumbers()
    {
        QFETCH(int, context);
        QFETCH(QString, topic);
        QFETCH(QString, title);
        QCOMPARE(m_file.topicForContext(context), std::optional<QString>(topic));
        QCOMPARE(m_file.topicTitle(topic), title);
    }

    void unmappedContextNumber()
    {
        QVERIFY(!m_file.topicForContext(0));
        QVERIFY(!m_file.topicForContext(20101));
    }

    void search()
    {
        const QList<ChmFile::SearchHit> hits = m_file.search(QStringLiteral("mergerd"));
        QCOMPARE(hits.size(), 1);
        QCOMPARE(hits.first().title, QStringLiteral("Synchronisation"));
        QCOMPARE(hits.first().local, QStringLiteral("/synchronisation.htm"));

        // Every word must be there, in any case, across markup.
        const QList<ChmFile::SearchHit> both = m_file.search(QStringLiteral("TIMEOUT   occured"));
        QCOMPARE(both.size(), 1);
        QCOMPARE(both.first().local, QStringLiteral("/main_window.htm"));
        QVERIFY(m_file.search(QStringLiteral("timeout zebra")).isEmpty());

        // Names inside tags are not text.
        QVERIFY(m_file.search(QStringLiteral("stylesheet")).isEmpty());
        QVERIFY(m_file.search(QStringLiteral("  ")).isEmpty());
    }

    void plainText()
    {
        QCOMPARE(ChmFile::plainText("<html><head><style>p { x }</style><script>var a;</script></head>"
                                    "<body><p>A&amp;B &lt;x&gt;&nbsp;&#169;<!-- hidden --></p>\n<b>end</b></body>"),
                 QStringLiteral("A&B <x> \u00a9 end"));
    }

    void refusesFilesItCannotRead()
    {
        ChmFile file;
        QTemporaryDir dir;
        QVERIFY(!file.open(dir.filePath(QStringLiteral("missing.chm"))));
        QVERIFY(!file.errorString().isEmpty());
        QFile junk(dir.filePath(QStringLiteral("junk.chm")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a help file at all");
        junk.close();
        QVERIFY(!file.open(junk.fileName()));
        QVERIFY(!file.isOpen());
        QVERIFY(file.contents().isEmpty());
        QVERIFY(!file.topicForContext(20100));
    }
};

QTEST_GUILESS_MAIN(TestChmFile)
#include "tst_chm_file.moc"

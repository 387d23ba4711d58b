#include "help/chm_archive.h"
#include "help/chm_file.h"
#include "support/test_paths.h"

#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

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

void appendUInt(QByteArray& out, quint64 value, int bytes)
{
    for (int i = 0; i < bytes; ++i, value >>= 8)
        out.append(static_cast<char>(value & 0xFF));
}

// Directory numbers: seven bits a byte, most significant first, high bit set on all but the last byte.
void appendEncoded(QByteArray& out, quint64 value)
{
    QByteArray bytes(1, static_cast<char>(value & 0x7F));
    while (value >>= 7)
        bytes.prepend(static_cast<char>((value & 0x7F) | 0x80));
    out += bytes;
}

// A help file whose objects are all stored uncompressed: header, directory of one chunk, then the data.
QByteArray uncompressedHelpFile(const QList<QPair<QByteArray, QByteArray>>& objects)
{
    const QByteArray guid = QByteArrayLiteral("\x10\xfd\x01\x7c\xaa\x7b\xd0\x11\x9e\x0c\x00\xa0\xc9\x22\xe6\xec");
    constexpr int chunkSize = 4096;
    QByteArray entries;
    QByteArray content;
    for (const auto& [name, data] : objects) {
        appendEncoded(entries, static_cast<quint64>(name.size()));
        entries += name;
        appendEncoded(entries, 0);
        appendEncoded(entries, static_cast<quint64>(content.size()));
        appendEncoded(entries, static_cast<quint64>(data.size()));
        content += data;
    }
    QByteArray chunk("PMGL");
    appendUInt(chunk, static_cast<quint64>(chunkSize - 0x14 - entries.size()), 4);
    appendUInt(chunk, 0, 4);
    appendUInt(chunk, 0xFFFFFFFF, 4);
    appendUInt(chunk, 0xFFFFFFFF, 4);
    chunk += entries;
    chunk.resize(chunkSize - 2, '\0');
    appendUInt(chunk, static_cast<quint64>(objects.size()), 2);

    QByteArray directory("ITSP");
    for (quint32 word : {1u, 0x54u, 0x0Au, quint32(chunkSize), 2u, 1u, 0xFFFFFFFFu, 0u, 0u, 0xFFFFFFFFu, 1u, 0x409u})
        appendUInt(directory, word, 4);
    directory += guid;
    for (quint32 word : {0x54u, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu})
        appendUInt(directory, word, 4);

    const quint64 contentAt = 0x60 + 0x18 + 0x54 + chunkSize;
    QByteArray file("ITSF");
    for (quint32 word : {3u, 0x60u, 1u, 0u, 0x409u})
        appendUInt(file, word, 4);
    QByteArray secondGuid = guid;
    secondGuid[0] = '\x11';
    file += guid + secondGuid;
    for (quint64 word : {quint64(0x60), quint64(0x18), quint64(0x78), quint64(0x54 + chunkSize), contentAt})
        appendUInt(file, word, 8);
    appendUInt(file, 0x1FE, 4);
    appendUInt(file, 0, 4);
    appendUInt(file, contentAt + static_cast<quint64>(content.size()), 8);
    appendUInt(file, 0, 8);
    return file + directory + chunk + content;
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
    void initTestCase()
    {
        const Error e = m_file.open(builtHelpFile());
        QVERIFY2(!e, qPrintable(e.description));
    }

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

    // A file without compressed data: its objects are found whatever the case of their names, and a contents file
    // of lists nested thousands deep gives every item back in a tree of bounded depth.
    void uncompressedFileAndDeepContents()
    {
        constexpr int items = 5000;
        QByteArray hhc("<html><body>");
        for (int i = 0; i < items; ++i)
            hhc += "<ul><li><object type=\"text/sitemap\"><param name=\"Name\" value=\"Level " + QByteArray::number(i) +
                   "\"><param name=\"Local\" value=\"a.htm\"></object>";
        hhc += QByteArray("</ul>").repeated(items) + "</body></html>";
        QByteArray system;
        appendUInt(system, 3, 4);
        for (const auto& [code, value] : {qMakePair(0, QByteArray("deep.hhc")), qMakePair(3, QByteArray("Deep"))}) {
            appendUInt(system, static_cast<quint64>(code), 2);
            appendUInt(system, static_cast<quint64>(value.size() + 1), 2);
            system += value + '\0';
        }
        QTemporaryDir dir;
        QFile out(dir.filePath(QStringLiteral("deep.chm")));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(uncompressedHelpFile({{"/#SYSTEM", system}, {"/a.htm", "<p>A</p>"}, {"/deep.hhc", hhc}}));
        out.close();

        ChmFile file;
        const Error e = file.open(out.fileName());
        QVERIFY2(!e, qPrintable(e.description));
        QCOMPARE(file.objects(),
                 (QStringList{QStringLiteral("/#SYSTEM"), QStringLiteral("/a.htm"), QStringLiteral("/deep.hhc")}));
        QCOMPARE(file.title(), QStringLiteral("Deep"));
        QCOMPARE(file.read(QStringLiteral("/A.HTM")), std::optional<QByteArray>("<p>A</p>"));
        QVERIFY(file.contains(QStringLiteral("Deep.hhc")));

        QList<ChmFile::ContentsNode> level = file.contents();
        int depth = 0;
        QStringList names;
        while (!level.isEmpty()) {
            ++depth;
            for (const ChmFile::ContentsNode& node : std::as_const(level))
                names << node.name;
            const QList<ChmFile::ContentsNode> next = level.last().children;
            level = next;
        }
        QCOMPARE(names.size(), items);
        QCOMPARE(names.first(), QStringLiteral("Level 0"));
        QCOMPARE(names.last(), QStringLiteral("Level %1").arg(items - 1));
        QVERIFY2(depth <= 64, qPrintable(QString::number(depth)));
    }

    void refusesFilesItCannotRead()
    {
        ChmFile file;
        QTemporaryDir dir;
        const Error missing = file.open(dir.filePath(QStringLiteral("missing.chm")));
        QVERIFY(missing);
        QVERIFY(!missing.description.isEmpty());
        QCOMPARE(missing.kind, Error::Kind::NotFound);
        QFile junk(dir.filePath(QStringLiteral("junk.chm")));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("not a help file at all");
        junk.close();
        const Error unreadable = file.open(junk.fileName());
        QVERIFY(unreadable);
        QCOMPARE(unreadable.kind, Error::Kind::Io);
        QCOMPARE(unreadable.description, QStringLiteral("The help file %1 cannot be read.").arg(junk.fileName()));
        QVERIFY(!file.isOpen());
        QVERIFY(file.contents().isEmpty());
        QVERIFY(!file.topicForContext(20100));
    }

    void archiveRefusesWhatIsNotAHelpFile_data()
    {
        QTest::addColumn<QByteArray>("data");
        const QByteArray sound = uncompressedHelpFile({{"/a.htm", "<p>A</p>"}});
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("not a help file at all");
        QTest::newRow("header alone") << sound.left(0x38);
        QTest::newRow("larger than any help file") << sound + QByteArray(ChmArchive::MaxSize, '\0');
    }

    void archiveRefusesWhatIsNotAHelpFile()
    {
        QFETCH(QByteArray, data);
        const Result<std::unique_ptr<ChmArchive>> archive = ChmArchive::open(data);
        QVERIFY(!archive);
        QCOMPARE(archive.error().kind, Error::Kind::Io);
        QVERIFY(!archive.error().description.isEmpty());
    }

    void archiveOpensAHelpFile()
    {
        const Result<std::unique_ptr<ChmArchive>> opened =
            ChmArchive::open(uncompressedHelpFile({{"/a.htm", "<p>A</p>"}}));
        QVERIFY2(opened, qPrintable(opened.error().description));
        ChmArchive& archive = **opened;
        QVERIFY(archive.names().contains(QStringLiteral("/a.htm")));
        QCOMPARE(archive.read(QStringLiteral("/A.HTM")), std::optional<QByteArray>("<p>A</p>"));
    }
};

QTEST_GUILESS_MAIN(TestChmFile)
#include "tst_chm_file.moc"

// Damaged copies of the built help file. Whatever the damage, the reader either refuses the file or answers from
// it, and never touches memory outside its data: this program is built with the address and undefined-behaviour
// sanitizers, which end it at the first stray access.

#include "help/chm_file.h"
#include "support/test_paths.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <random>

namespace {

quint32 uint32At(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

// Directory numbers: seven bits a byte, high bit set on all bytes but the last.
quint64 encodedInt(const QByteArray& data, qsizetype& at)
{
    quint64 value = 0;
    while (at < data.size()) {
        const auto byte = static_cast<quint8>(data.at(at++));
        value = (value << 7) | (byte & 0x7F);
        if (!(byte & 0x80))
            break;
    }
    return value;
}

struct DirectoryEntry {
    QByteArray name;
    quint64 section = 0;
    quint64 offset = 0;
    quint64 length = 0;
    qsizetype lengthAt = 0;
    qsizetype lengthBytes = 0;
};

// Where the parts of the pristine file lie, found by walking its header and directory here rather than through the
// reader under test.
struct Layout {
    qsizetype headerEnd = 0;
    qsizetype directoryAt = 0;
    qsizetype chunksAt = 0;
    qsizetype chunkSize = 0;
    qsizetype chunkCount = 0;
    qsizetype entriesEnd = 0;
    qsizetype contentAt = 0;
    QList<DirectoryEntry> entries;

    const DirectoryEntry* entry(const char* name) const
    {
        for (const DirectoryEntry& e : entries) {
            if (e.name == name)
                return &e;
        }
        return nullptr;
    }
    // Bytes of a stored object as they lie in the file.
    QPair<qsizetype, qsizetype> span(const char* name) const
    {
        const DirectoryEntry* e = entry(name);
        const qsizetype at = contentAt + static_cast<qsizetype>(e->offset);
        return {at, at + static_cast<qsizetype>(e->length)};
    }
};

const char* const ControlData = "::DataSpace/Storage/MSCompressed/ControlData";
const char* const ResetTable =
    "::DataSpace/Storage/MSCompressed/Transform/{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}/InstanceData/ResetTable";
const char* const Content = "::DataSpace/Storage/MSCompressed/Content";

bool parseLayout(const QByteArray& file, Layout& layout)
{
    if (file.size() < 0x60 || !file.startsWith("ITSF"))
        return false;
    // The ITSF header, then its first header section (the file length).
    layout.headerEnd = static_cast<qsizetype>(uint32At(file, 0x38) + uint32At(file, 0x40));
    layout.directoryAt = static_cast<qsizetype>(uint32At(file, 0x48));
    layout.contentAt = static_cast<qsizetype>(uint32At(file, 0x58));
    const qsizetype itsp = layout.directoryAt;
    if (file.mid(itsp, 4) != "ITSP")
        return false;
    layout.chunksAt = itsp + static_cast<qsizetype>(uint32At(file, itsp + 0x08));
    layout.chunkSize = static_cast<qsizetype>(uint32At(file, itsp + 0x10));
    layout.chunkCount = static_cast<qsizetype>(uint32At(file, itsp + 0x2C));
    for (qsizetype chunk = 0; chunk < layout.chunkCount; ++chunk) {
        const qsizetype start = layout.chunksAt + chunk * layout.chunkSize;
        if (file.mid(start, 4) != "PMGL")
            continue;
        const qsizetype count = qFromLittleEndian<quint16>(file.constData() + start + layout.chunkSize - 2);
        qsizetype at = start + 0x14;
        for (qsizetype i = 0; i < count; ++i) {
            DirectoryEntry e;
            const auto nameLength = static_cast<qsizetype>(encodedInt(file, at));
            e.name = file.mid(at, nameLength);
            at += nameLength;
            e.section = encodedInt(file, at);
            e.offset = encodedInt(file, at);
            e.lengthAt = at;
            e.length = encodedInt(file, at);
            e.lengthBytes = at - e.lengthAt;
            layout.entries.append(e);
        }
        layout.entriesEnd = std::max(layout.entriesEnd, at);
    }
    return layout.entry(ControlData) && layout.entry(ResetTable) && layout.entry(Content);
}

// Writes value over an encoded number of the same byte count.
void overwriteEncodedInt(QByteArray& file, qsizetype at, qsizetype bytes, quint64 value)
{
    for (qsizetype i = bytes - 1; i >= 0; --i) {
        file[at + i] = static_cast<char>((value & 0x7F) | (i == bytes - 1 ? 0 : 0x80));
        value >>= 7;
    }
}

struct Damage {
    QByteArray label;
    QByteArray data;
};

struct Tally {
    int refused = 0;
    int opened = 0;
    int objectsRead = 0;
    int objectsRefused = 0;
};

} // namespace

class TestChmDamaged : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QByteArray m_pristine;
    Layout m_layout;
    QHash<QString, QByteArray> m_objects;
    QList<int> m_contextNumbers;
    QStringList m_uncompressed;

    QString write(const QByteArray& data) const
    {
        const QString path = m_dir.filePath(QStringLiteral("damaged.chm"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(data) != data.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    // What the damage may not cost beyond surviving it.
    enum class Expect {
        Anything,
        // A cut file: an object read from it is the original one.
        OriginalBytes,
        // Damaged compression data: the file opens and its uncompressed objects are untouched.
        UncompressedIntact,
    };

    // Every question a caller may put, to a file that may have any damage.
    void exercise(const Damage& damage, ChmFile& file, Tally& tally, Expect expect) const
    {
        const QByteArray where = "after " + damage.label;
        if (const Error e = file.open(write(damage.data))) {
            ++tally.refused;
            QVERIFY2(expect != Expect::UncompressedIntact, where.constData());
            QVERIFY2(!file.isOpen(), where.constData());
            QVERIFY2(e.description.contains(QLatin1String("cannot be read")), where.constData());
            QVERIFY2(e.kind == Error::Kind::Io, where.constData());
            QVERIFY2(file.objects().isEmpty() && file.contents().isEmpty() && file.index().isEmpty(),
                     where.constData());
            QVERIFY2(!file.read(QStringLiteral("/startup.htm")) && !file.topicForContext(m_contextNumbers.first()),
                     where.constData());
            QVERIFY2(file.search(QStringLiteral("help")).isEmpty(), where.constData());
            return;
        }
        ++tally.opened;
        const QStringList objects = file.objects();
        for (const QString& name : objects) {
            const std::optional<QByteArray> data = file.read(name);
            ++(data ? tally.objectsRead : tally.objectsRefused);
            if (expect == Expect::OriginalBytes)
                QVERIFY2(!data || *data == m_objects.value(name),
                         qPrintable(name + QLatin1Char(' ') + QString::fromUtf8(where)));
        }
        if (expect == Expect::UncompressedIntact) {
            QVERIFY2(file.title() == QLatin1String("Lexorium Help"), where.constData());
            for (const QString& name : m_uncompressed)
                QVERIFY2(file.read(name) == m_objects.value(name),
                         qPrintable(name + QLatin1Char(' ') + QString::fromUtf8(where)));
        }
        QList<int> numbers = m_contextNumbers;
        // The damaged file's own context map, as far as it can be read.
        const QByteArray map = file.read(QStringLiteral("/#IVB")).value_or(QByteArray());
        for (qsizetype at = 4; at + 4 <= map.size() && numbers.size() < 64; at += 8)
            numbers << static_cast<int>(uint32At(map, at));
        for (int number : numbers) {
            if (const std::optional<QString> topic = file.topicForContext(number))
                file.topicTitle(*topic);
        }
        file.contents();
        file.index();
        file.topicTitle(file.defaultTopic());
        file.search(QStringLiteral("court Act"));
        file.close();
        QVERIFY2(!file.isOpen() && file.objects().isEmpty(), where.constData());
    }

    void run(const QList<Damage>& corpus, Tally& tally, Expect expect = Expect::Anything) const
    {
        ChmFile file;
        for (const Damage& damage : corpus) {
            exercise(damage, file, tally, expect);
            if (QTest::currentTestFailed())
                return;
        }
    }

    // Each byte of [begin, end) changed once, inverted or with one bit flipped by turns, and zeroed runs of 4 and 16
    // bytes.
    QList<Damage> around(const char* part, qsizetype begin, qsizetype end, qsizetype step = 1) const
    {
        QList<Damage> corpus;
        for (qsizetype at = begin; at < end; at += step) {
            QByteArray changed = m_pristine;
            const bool invert = (at / step) % 2 == 0;
            changed[at] = static_cast<char>(invert ? ~changed.at(at) : changed.at(at) ^ (1 << (at % 8)));
            corpus.append({QByteArray(part) + (invert ? " byte " : " bit at ") + QByteArray::number(at), changed});
            for (qsizetype run : {4, 16}) {
                if (at % run != 0)
                    continue;
                QByteArray zeroed = m_pristine;
                const qsizetype length = std::min(run, m_pristine.size() - at);
                zeroed.replace(at, length, QByteArray(length, '\0'));
                corpus.append({QByteArray(part) + " zeroed at " + QByteArray::number(at), zeroed});
            }
        }
        return corpus;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QFile help(builtProgramDir() + QStringLiteral("/Help/Lexorium.chm"));
        QVERIFY(help.open(QIODevice::ReadOnly));
        m_pristine = help.readAll();
        QVERIFY(parseLayout(m_pristine, m_layout));

        ChmFile file;
        const Error e = file.open(help.fileName());
        QVERIFY2(!e, qPrintable(e.description));
        const QStringList objects = file.objects();
        for (const QString& name : objects) {
            if (const std::optional<QByteArray> data = file.read(name))
                m_objects.insert(name, *data);
        }
        for (const DirectoryEntry& e : std::as_const(m_layout.entries)) {
            const QString name = QString::fromUtf8(e.name);
            if (e.section == 0 && m_objects.contains(name))
                m_uncompressed << name;
        }
        QVERIFY(m_uncompressed.contains(QStringLiteral("/#SYSTEM")));
        const QByteArray map = file.read(QStringLiteral("/#IVB")).value_or(QByteArray());
        for (qsizetype at = 4; at + 8 <= map.size(); at += 8)
            m_contextNumbers << static_cast<int>(uint32At(map, at));
        QCOMPARE(m_contextNumbers.size(), 7);
        for (int number : std::as_const(m_contextNumbers))
            QVERIFY(file.topicForContext(number));
    }

    // Cut anywhere, the file loses objects but never gives back one that differs from the original.
    void truncated()
    {
        QList<Damage> corpus;
        for (qsizetype size = 0; size < m_pristine.size(); size += size < 0x200 ? 3 : 61)
            corpus.append({"cut to " + QByteArray::number(size) + " bytes", m_pristine.left(size)});
        Tally tally;
        run(corpus, tally, Expect::OriginalBytes);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(tally.refused > 0 && tally.opened > 0 && tally.objectsRefused > 0);
        qInfo("%lld cuts: %d refused, %d opened, %d objects read, %d refused", static_cast<long long>(corpus.size()),
              tally.refused, tally.opened, tally.objectsRead, tally.objectsRefused);
    }

    void headerAndDirectory()
    {
        QList<Damage> corpus = around("header", 0, m_layout.headerEnd);
        corpus += around("directory header", m_layout.directoryAt, m_layout.chunksAt);
        corpus += around("directory entries", m_layout.chunksAt, m_layout.entriesEnd);
        // The entry count and quick-reference words at the end of the chunk.
        const qsizetype chunkEnd = m_layout.chunksAt + m_layout.chunkSize;
        corpus += around("directory chunk end", chunkEnd - 16, chunkEnd);
        Tally tally;
        run(corpus, tally);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(tally.refused > 0 && tally.opened > 0 && tally.objectsRead > 0 && tally.objectsRefused > 0);
        qInfo("%lld damaged headers and directories: %d refused, %d opened, %d objects read, %d refused",
              static_cast<long long>(corpus.size()), tally.refused, tally.opened, tally.objectsRead,
              tally.objectsRefused);

        ChmFile file;
        QByteArray unsigned_ = m_pristine;
        unsigned_.replace(0, 4, QByteArray(4, '\0'));
        QVERIFY(file.open(write(unsigned_)));
    }

    void compressionData()
    {
        const QPair<qsizetype, qsizetype> control = m_layout.span(ControlData);
        const QPair<qsizetype, qsizetype> table = m_layout.span(ResetTable);
        const QPair<qsizetype, qsizetype> content = m_layout.span(Content);
        QList<Damage> corpus = around("control data", control.first, control.second);
        corpus += around("reset table", table.first, table.second);
        corpus += around("compressed data", content.first, content.second, 23);
        Tally tally;
        run(corpus, tally, Expect::UncompressedIntact);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(tally.objectsRead > 0 && tally.objectsRefused > 0);
        qInfo("%lld damaged compression data: %d objects read, %d refused", static_cast<long long>(corpus.size()),
              tally.objectsRead, tally.objectsRefused);
    }

    // Bytes changed at random all over the file, from a fixed seed so that every run sees the same corpus.
    void randomMutations()
    {
        std::mt19937 random(20240611);
        const auto below = [&random](qsizetype bound) {
            return static_cast<qsizetype>(random() % bound);
        };
        // The header, directory and compression data steer everything else, so most changes land there.
        const qsizetype metadataEnd = m_layout.span(ResetTable).second;
        const quint32 awkward[] = {0,          1,      0x7FFFFFFF, 0x80000000,
                                   0xFFFFFFFF, 0x8000, 0x10000,    static_cast<quint32>(m_pristine.size())};
        QList<Damage> corpus;
        for (int i = 0; i < 3000; ++i) {
            QByteArray data = m_pristine;
            const int changes = 1 + static_cast<int>(below(8));
            for (int c = 0; c < changes; ++c) {
                const qsizetype at = below(4) == 0 ? below(data.size()) : below(metadataEnd);
                switch (below(4)) {
                case 0:
                    data[at] = static_cast<char>(random());
                    break;
                case 1:
                    data[at] = static_cast<char>(data.at(at) ^ (1 << below(8)));
                    break;
                case 2:
                    if (at + 4 <= data.size())
                        qToLittleEndian(awkward[below(std::size(awkward))], data.data() + at);
                    break;
                default:
                    data.replace(at, std::min<qsizetype>(1 + below(32), data.size() - at),
                                 QByteArray(1 + below(32), static_cast<char>(random())));
                    break;
                }
            }
            if (below(10) == 0)
                data.truncate(below(data.size()));
            corpus.append({"mutation " + QByteArray::number(i), data});
        }
        Tally tally;
        run(corpus, tally);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(tally.refused > 0 && tally.opened > 0 && tally.objectsRead > 0 && tally.objectsRefused > 0);
        qInfo("%lld mutations: %d refused, %d opened, %d objects read, %d refused",
              static_cast<long long>(corpus.size()), tally.refused, tally.opened, tally.objectsRead,
              tally.objectsRefused);
    }

    // A stated length or section size past what the file can hold is refused before anything is allocated for it.
    void lengthsBeyondTheData()
    {
        ChmFile file;
        // The last compressed object, made to run far beyond the section.
        const DirectoryEntry* last = nullptr;
        for (const DirectoryEntry& e : std::as_const(m_layout.entries)) {
            if (e.section == 1 && (!last || e.offset > last->offset))
                last = &e;
        }
        QVERIFY(last && last->lengthBytes >= 2);
        QByteArray longObject = m_pristine;
        overwriteEncodedInt(longObject, last->lengthAt, last->lengthBytes, (quint64(1) << (7 * last->lengthBytes)) - 1);
        QVERIFY(!file.open(write(longObject)));
        const QString lastName = QString::fromUtf8(last->name);
        QVERIFY(!file.read(lastName));
        QCOMPARE(file.read(QStringLiteral("/startup.htm")), m_objects.value(QStringLiteral("/startup.htm")));

        // Compressed data running past the end of the file: nothing compressed can be read, the rest still can.
        const DirectoryEntry* content = m_layout.entry(Content);
        QByteArray longContent = m_pristine;
        overwriteEncodedInt(longContent, content->lengthAt, content->lengthBytes,
                            (quint64(1) << (7 * content->lengthBytes)) - 1);
        QVERIFY(!file.open(write(longContent)));
        QCOMPARE(file.title(), QStringLiteral("Lexorium Help"));
        QVERIFY(!file.read(QStringLiteral("/startup.htm")));

        // A decompressed size of a terabyte.
        const QPair<qsizetype, qsizetype> table = m_layout.span(ResetTable);
        QByteArray hugeSection = m_pristine;
        qToLittleEndian<quint64>(quint64(1) << 40, hugeSection.data() + table.first + 0x10);
        QVERIFY(!file.open(write(hugeSection)));
        QCOMPARE(file.title(), QStringLiteral("Lexorium Help"));
        QVERIFY(!file.read(QStringLiteral("/startup.htm")));
        QVERIFY(file.contents().isEmpty());

        // A file larger than any help file is not read at all.
        QFile big(write(m_pristine));
        QVERIFY(big.open(QIODevice::ReadWrite));
        QVERIFY(big.resize(65 * 1024 * 1024));
        big.close();
        const Error tooBig = file.open(big.fileName());
        QVERIFY(tooBig);
        QVERIFY(tooBig.description.contains(QLatin1String("cannot be read")));
    }
};

QTEST_GUILESS_MAIN(TestChmDamaged)
#include "tst_chm_damaged.moc"

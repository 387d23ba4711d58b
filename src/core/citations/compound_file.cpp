#include "core/citations/compound_file.h"

#include <QtEndian>

namespace {

constexpr int kSectorSize = 512;
constexpr int kIdsPerSector = kSectorSize / 4;
constexpr int kHeaderDifatEntries = 109;
constexpr int kDirEntrySize = 128;

constexpr quint32 kMaxRegularSector = 0xFFFFFFFA;
constexpr quint32 kDifatSector = 0xFFFFFFFC;
constexpr quint32 kFatSector = 0xFFFFFFFD;
constexpr quint32 kEndOfChain = 0xFFFFFFFE;
constexpr quint32 kFreeSector = 0xFFFFFFFF;
constexpr quint32 kNoStream = 0xFFFFFFFF;

void put16(QByteArray& bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray& bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

qint64 sectorsFor(qint64 size, qint64 perSector)
{
    return (size + perSector - 1) / perSector;
}

// One 128-byte directory entry; an empty name gives the unused entry.
QByteArray dirEntry(const QString& name, quint8 type, quint32 child, quint32 start, quint32 size)
{
    QByteArray entry(kDirEntrySize, '\0');
    if (!name.isEmpty()) {
        for (qsizetype i = 0; i < name.size(); ++i)
            put16(entry, i * 2, name.at(i).unicode());
        put16(entry, 0x40, quint16((name.size() + 1) * 2));
        entry[0x42] = char(type);
        entry[0x43] = 1; // black: a one-node tree is trivially balanced
    }
    put32(entry, 0x44, kNoStream);
    put32(entry, 0x48, kNoStream);
    put32(entry, 0x4C, child);
    put32(entry, 0x74, start);
    put32(entry, 0x78, size);
    return entry;
}

} // namespace

Result<QByteArray> compoundFile(const QString& streamName, const QByteArray& stream)
{
    auto fail = [](const QString& message) {
        return Result<QByteArray>(Error::other(message));
    };
    if (stream.size() < kMinRegularStreamSize)
        return fail(
            QStringLiteral("The %1 stream is too short to store (%2 bytes).").arg(streamName).arg(stream.size()));
    if (streamName.size() > 31)
        return fail(QStringLiteral("The stream name \"%1\" is too long.").arg(streamName));

    // Layout: the stream's sectors, one directory sector, the FAT, then DIFAT sectors when the FAT outgrows
    // the header's 109 slots. FAT and DIFAT sizes depend on each other, so settle them together.
    const qint64 streamSectors = sectorsFor(stream.size(), kSectorSize);
    qint64 fatSectors = 0;
    qint64 difatSectors = 0;
    for (;;) {
        const qint64 total = streamSectors + 1 + fatSectors + difatSectors;
        const qint64 fat = sectorsFor(total, kIdsPerSector);
        const qint64 difat = fat > kHeaderDifatEntries ? sectorsFor(fat - kHeaderDifatEntries, kIdsPerSector - 1) : 0;
        if (fat == fatSectors && difat == difatSectors)
            break;
        fatSectors = fat;
        difatSectors = difat;
    }
    const qint64 totalSectors = streamSectors + 1 + fatSectors + difatSectors;
    if (stream.size() > 0x7FFFFFFF || totalSectors >= kMaxRegularSector)
        return fail(
            QStringLiteral("The %1 stream is too large to store (%2 bytes).").arg(streamName).arg(stream.size()));

    const quint32 dirSector = quint32(streamSectors);
    const quint32 firstFat = dirSector + 1;
    const quint32 firstDifat = firstFat + quint32(fatSectors);

    QByteArray file(qsizetype(kSectorSize * (1 + totalSectors)), '\0');

    // Header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i)
        file[i] = char(signature[i]);
    put16(file, 0x18, 0x003E); // minor version
    put16(file, 0x1A, 0x0003); // major version 3: 512-byte sectors
    put16(file, 0x1C, 0xFFFE); // little-endian
    put16(file, 0x1E, 9);      // sector size 2^9
    put16(file, 0x20, 6);      // mini sector size 2^6
    put32(file, 0x2C, quint32(fatSectors));
    put32(file, 0x30, dirSector);
    put32(file, 0x38, quint32(kMinRegularStreamSize));
    put32(file, 0x3C, kEndOfChain); // no mini FAT
    put32(file, 0x44, difatSectors > 0 ? firstDifat : kEndOfChain);
    put32(file, 0x48, quint32(difatSectors));
    for (int i = 0; i < kHeaderDifatEntries; ++i)
        put32(file, 0x4C + 4 * i, i < fatSectors ? firstFat + quint32(i) : kFreeSector);

    auto sectorOffset = [](qint64 sector) {
        return qsizetype(kSectorSize * (1 + sector));
    };

    // The stream, then the directory: root entry, the stream's entry, two unused entries.
    std::copy(stream.cbegin(), stream.cend(), file.begin() + sectorOffset(0));
    const QByteArray dir = dirEntry(QStringLiteral("Root Entry"), 5, 1, kEndOfChain, 0) +
                           dirEntry(streamName, 2, kNoStream, 0, quint32(stream.size())) +
                           dirEntry(QString(), 0, kNoStream, 0, 0) + dirEntry(QString(), 0, kNoStream, 0, 0);
    std::copy(dir.cbegin(), dir.cend(), file.begin() + sectorOffset(dirSector));

    // FAT: the stream as one chain, the directory a chain of one, FAT and DIFAT sectors marked as such.
    const qsizetype fatAt = sectorOffset(firstFat);
    auto setFat = [&](qint64 sector, quint32 value) {
        put32(file, fatAt + 4 * sector, value);
    };
    for (qint64 s = 0; s < fatSectors * kIdsPerSector; ++s)
        setFat(s, kFreeSector);
    for (qint64 s = 0; s < streamSectors; ++s)
        setFat(s, s + 1 < streamSectors ? quint32(s + 1) : kEndOfChain);
    setFat(dirSector, kEndOfChain);
    for (qint64 s = 0; s < fatSectors; ++s)
        setFat(firstFat + s, kFatSector);
    for (qint64 s = 0; s < difatSectors; ++s)
        setFat(firstDifat + s, kDifatSector);

    // DIFAT sectors: 127 FAT sector numbers each, the last slot naming the next DIFAT sector.
    for (qint64 d = 0; d < difatSectors; ++d) {
        const qsizetype at = sectorOffset(firstDifat + d);
        for (int i = 0; i < kIdsPerSector - 1; ++i) {
            const qint64 fatIndex = kHeaderDifatEntries + d * (kIdsPerSector - 1) + i;
            put32(file, at + 4 * i, fatIndex < fatSectors ? firstFat + quint32(fatIndex) : kFreeSector);
        }
        put32(file, at + 4 * (kIdsPerSector - 1), d + 1 < difatSectors ? firstDifat + quint32(d + 1) : kEndOfChain);
    }
    return file;
}

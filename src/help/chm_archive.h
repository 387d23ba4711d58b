#pragma once

#include "core/util/result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

struct mschm_decompressor;
struct mschmd_file;
struct mschmd_header;

// The stored objects of a compiled help file held in memory. libmspack reads the directory and undoes the
// compression; every offset and length it would act on is checked here first, so a damaged file yields refusals
// rather than reads outside the data or allocations it cannot hold.
class ChmArchive
{
public:
    // Larger than any help file; a file or a decompressed section above it is taken as damaged.
    static constexpr qint64 MaxSize = 64 * 1024 * 1024;

    ~ChmArchive();
    ChmArchive(const ChmArchive&) = delete;
    ChmArchive& operator=(const ChmArchive&) = delete;

    // An Io error when the bytes are not a help file this reader can open, Other when the decoder itself fails.
    static Result<std::unique_ptr<ChmArchive>> open(const QByteArray& data);

    // Every stored name in directory order, folders left out.
    QStringList names() const { return m_names; }
    // Names compare without regard to case, as the help compiler's own lookups do.
    bool contains(const QString& name) const;
    // The whole object, or nothing when it is missing or its data is damaged.
    std::optional<QByteArray> read(const QString& name);

    struct Context;

private:
    ChmArchive();
    void acceptRepeatedGuid();
    Error load();
    void checkCompressedSection();
    bool fits(const mschmd_file& entry) const;
    bool startFrameFound(qint64 offset) const;
    std::optional<QByteArray> extract(const mschmd_file& entry);
    std::optional<QByteArray> decompressedBlock(qint64 index);

    std::unique_ptr<Context> m_context;
    mschm_decompressor* m_decompressor = nullptr;
    mschmd_header* m_header = nullptr;
    QStringList m_names;
    QHash<QString, mschmd_file*> m_entries;
    // Length of the decompressed section when the data that steers its decompression is sound; zero otherwise.
    qint64 m_compressedSectionLength = 0;
    quint64 m_resetInterval = 0;
    QByteArray m_resetTable;
    bool m_hasSpanInfo = false;
    QHash<qint64, std::optional<QByteArray>> m_blocks;
    QList<qint64> m_blockOrder;
};

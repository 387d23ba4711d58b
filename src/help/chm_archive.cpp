#include "help/chm_archive.h"

#include <QtEndian>

#include <mspack.h>

#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <vector>

// libmspack does all its input and output through an mspack_system of ours: it reads the file from the bytes in
// memory and writes each object into a QByteArray, so no temporary file is made and nothing is written to disk.
struct ChmArchive::Context {
    // libmspack hands this pointer back to open(); the context travels with it.
    struct System {
        mspack_system callbacks;
        Context* context;
    } system;
    QByteArray input;
    QByteArray* output = nullptr;
    qint64 outputLimit = 0;
};

namespace {

// The names libmspack passes to open(): the help file itself, and the data being decompressed.
const char* const InputName = "input";
const char* const OutputName = "output";

// The largest single buffer libmspack asks for on a sound file is its 2 MiB decompression window.
constexpr size_t MaxAllocation = 8 * 1024 * 1024;

// Decompressed data is kept in blocks of two frames, the usual distance between reset points.
constexpr qint64 BlockSize = 0x10000;
constexpr qsizetype CachedBlocks = 32;

// The header's first GUID, {7C01FD10-7BAA-11D0-9E0C-00A0C922E6EC}, as stored.
constexpr qsizetype GuidOffset = 0x18;
constexpr qsizetype GuidSize = 16;
const QByteArray HeaderGuid = QByteArrayLiteral("\x10\xfd\x01\x7c\xaa\x7b\xd0\x11\x9e\x0c\x00\xa0\xc9\x22\xe6\xec");

// Layout of the compression's control data and reset table.
constexpr qsizetype ControlDataSize = 0x1C;
constexpr qsizetype ResetTableHeaderSize = 0x28;
constexpr qint64 ResetTableMaxSize = 1000000;
constexpr quint64 FrameSize = 0x8000;
constexpr quint64 MaxWindowSize = 0x200000;

struct MemoryFile {
    mspack_file handle; // first, so libmspack's handle and ours are the same pointer
    const QByteArray* input = nullptr;
    QByteArray* output = nullptr;
    qint64 limit = 0;
    qint64 position = 0;
};
static_assert(std::is_standard_layout_v<MemoryFile>);
static_assert(std::is_standard_layout_v<ChmArchive::Context::System>);

MemoryFile* memoryFile(mspack_file* handle)
{
    return reinterpret_cast<MemoryFile*>(handle);
}

// libmspack passes back only the system pointer it was given; it makes its own copies of the callbacks for the
// decompressor, but never calls open() through them.
mspack_file* memoryOpen(mspack_system* self, const char* name, int mode)
{
    ChmArchive::Context* context = reinterpret_cast<ChmArchive::Context::System*>(self)->context;
    auto* file = new (std::nothrow) MemoryFile;
    if (!file)
        return nullptr;
    if (mode == MSPACK_SYS_OPEN_READ && std::strcmp(name, InputName) == 0) {
        file->input = &context->input;
    } else if (mode == MSPACK_SYS_OPEN_WRITE && std::strcmp(name, OutputName) == 0 && context->output) {
        file->output = context->output;
        file->limit = context->outputLimit;
    } else {
        delete file;
        return nullptr;
    }
    return &file->handle;
}

void memoryClose(mspack_file* handle)
{
    delete memoryFile(handle);
}

int memoryRead(mspack_file* handle, void* buffer, int bytes)
{
    MemoryFile* file = memoryFile(handle);
    if (!file->input || bytes < 0)
        return -1;
    const qint64 count = std::min<qint64>(bytes, file->input->size() - file->position);
    if (count > 0) {
        std::memcpy(buffer, file->input->constData() + file->position, static_cast<size_t>(count));
        file->position += count;
    }
    return static_cast<int>(count);
}

// An object never grows past the length its directory entry gave; more output means the data is damaged.
int memoryWrite(mspack_file* handle, void* buffer, int bytes)
{
    MemoryFile* file = memoryFile(handle);
    if (!file->output || bytes < 0 || bytes > file->limit - file->output->size())
        return -1;
    file->output->append(static_cast<const char*>(buffer), bytes);
    return bytes;
}

// Only positions inside the data are allowed, so a damaged offset fails here instead of reading past the end.
int memorySeek(mspack_file* handle, off_t offset, int mode)
{
    MemoryFile* file = memoryFile(handle);
    const qint64 size = file->input ? file->input->size() : file->output->size();
    qint64 base = 0;
    switch (mode) {
    case MSPACK_SYS_SEEK_START:
        base = 0;
        break;
    case MSPACK_SYS_SEEK_CUR:
        base = file->position;
        break;
    case MSPACK_SYS_SEEK_END:
        base = size;
        break;
    default:
        return -1;
    }
    if (offset < -base || offset > size - base)
        return -1;
    file->position = base + offset;
    return 0;
}

off_t memoryTell(mspack_file* handle)
{
    return memoryFile(handle)->position;
}

// Warnings about damaged data change nothing: the failing read reports it.
void memoryMessage(mspack_file*, const char*, ...) {}

void* memoryAlloc(mspack_system*, size_t bytes)
{
    return bytes <= MaxAllocation ? std::malloc(bytes) : nullptr;
}

void memoryFree(void* pointer)
{
    std::free(pointer);
}

void memoryCopy(void* source, void* destination, size_t bytes)
{
    std::memcpy(destination, source, bytes);
}

quint32 uint32At(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

qint64 int64At(const QByteArray& data, qsizetype at)
{
    return qFromLittleEndian<qint64>(data.constData() + at);
}

} // namespace

ChmArchive::ChmArchive()
    : m_context(std::make_unique<Context>())
{
    m_context->system.callbacks = {memoryOpen,    memoryClose, memoryRead, memoryWrite, memorySeek, memoryTell,
                                   memoryMessage, memoryAlloc, memoryFree, memoryCopy,  nullptr};
    m_context->system.context = m_context.get();
}

ChmArchive::~ChmArchive()
{
    if (m_header)
        m_decompressor->close(m_decompressor, m_header);
    if (m_decompressor)
        mspack_destroy_chm_decompressor(m_decompressor);
}

Result<std::unique_ptr<ChmArchive>> ChmArchive::open(const QByteArray& data)
{
    if (data.size() > MaxSize)
        return Error::of(Error::Kind::Io, QStringLiteral("The data is larger than any help file."));
    std::unique_ptr<ChmArchive> archive(new ChmArchive);
    archive->m_context->input = data;
    archive->acceptRepeatedGuid();
    if (Error e = archive->load())
        return e;
    return archive;
}

// The header holds two fixed GUIDs, ...FD10 and ...FD11. The help compiler this program is built with writes the
// first one twice, and the decoder refuses that; since neither carries any data, the second is put right here.
void ChmArchive::acceptRepeatedGuid()
{
    QByteArray& input = m_context->input;
    if (input.size() >= GuidOffset + 2 * GuidSize && input.mid(GuidOffset, GuidSize) == HeaderGuid &&
        input.mid(GuidOffset + GuidSize, GuidSize) == HeaderGuid)
        input[GuidOffset + GuidSize] = '\x11';
}

Error ChmArchive::load()
{
    int selftest = MSPACK_ERR_OK;
    MSPACK_SYS_SELFTEST(selftest);
    if (selftest != MSPACK_ERR_OK)
        return Error::other(QStringLiteral("The help file decoder does not work on this system."));
    m_decompressor = mspack_create_chm_decompressor(&m_context->system.callbacks);
    if (!m_decompressor)
        return Error::other(QStringLiteral("The help file decoder cannot be started."));
    m_header = m_decompressor->open(m_decompressor, InputName);
    if (!m_header)
        return Error::of(Error::Kind::Io,
                         QStringLiteral("The data is not a compiled help file, or its header is damaged."));
    if (m_header->sec0.offset < 0 || m_header->sec0.offset > m_context->input.size())
        return Error::of(Error::Kind::Io, QStringLiteral("The contents of the help file lie beyond its end."));

    // System files ("::...") come back in reverse directory order.
    std::vector<mschmd_file*> entries;
    for (mschmd_file* entry = m_header->files; entry; entry = entry->next)
        entries.push_back(entry);
    std::vector<mschmd_file*> systemEntries;
    for (mschmd_file* entry = m_header->sysfiles; entry; entry = entry->next)
        systemEntries.push_back(entry);
    entries.insert(entries.end(), systemEntries.rbegin(), systemEntries.rend());
    for (mschmd_file* entry : entries) {
        const QString name = QString::fromUtf8(entry->filename);
        m_names.append(name);
        // Of two entries under one name, a lookup finds the first.
        const QString key = name.toLower();
        if (!m_entries.contains(key))
            m_entries.insert(key, entry);
    }

    checkCompressedSection();
    return {};
}

// The compressed section is handed to the decompressor only when the data that steers it is sound and the section
// fits in memory; until then its objects count as unreadable. That data must also come from the directory as read:
// were any of it missing, the decompressor would search the directory's index chunks for it, and a damaged index can
// send that search round in a circle for ever.
void ChmArchive::checkCompressedSection()
{
    m_compressedSectionLength = 0;
    const mschmd_sec_mscompressed& section = m_header->sec1;
    const auto uncompressed = [this](const mschmd_file* entry) {
        return entry && entry->section && entry->section->id == 0 && fits(*entry);
    };
    if (!uncompressed(section.content) || !uncompressed(section.control) || !uncompressed(section.rtable))
        return;

    // Control data: a word count, "LZXC", version, reset interval, window size, cache size, one more word.
    if (section.control->length != ControlDataSize)
        return;
    const std::optional<QByteArray> control = extract(*section.control);
    if (!control || control->size() != ControlDataSize || control->mid(4, 4) != QByteArrayLiteral("LZXC"))
        return;
    quint64 resetInterval = uint32At(*control, 12);
    quint64 windowSize = uint32At(*control, 16);
    switch (uint32At(*control, 8)) {
    case 1:
        break;
    case 2:
        // Counted in frames.
        resetInterval *= FrameSize;
        windowSize *= FrameSize;
        break;
    default:
        return;
    }
    if (windowSize < FrameSize || windowSize > MaxWindowSize || (windowSize & (windowSize - 1)) != 0)
        return;
    if (resetInterval == 0 || resetInterval % FrameSize != 0 || resetInterval > static_cast<quint64>(MaxSize))
        return;

    // Reset table: version, entry count, entry size, table offset, decompressed length, compressed length, frame
    // length, then the compressed offset of each reset point. Where it fails the decompressor takes the
    // decompressed length from the span information.
    QByteArray table;
    qint64 length = -1;
    if (section.rtable->length >= ResetTableHeaderSize && section.rtable->length <= ResetTableMaxSize) {
        const std::optional<QByteArray> stored = extract(*section.rtable);
        if (stored && stored->size() >= ResetTableHeaderSize && uint32At(*stored, 0x20) == FrameSize) {
            table = *stored;
            length = int64At(table, 0x10);
        }
    }
    const bool hasSpanInfo = uncompressed(section.spaninfo) && section.spaninfo->length == 8;
    if (length < 0 && hasSpanInfo) {
        const std::optional<QByteArray> span = extract(*section.spaninfo);
        if (span && span->size() == 8)
            length = int64At(*span, 0);
    }
    if (length <= 0 || length > MaxSize)
        return;
    m_compressedSectionLength = length;
    m_resetInterval = resetInterval;
    m_resetTable = table;
    m_hasSpanInfo = hasSpanInfo;
}

// Whether the decompressor can start on the object at this offset without a directory search: from its reset point
// in the reset table, or else from the beginning with the length from the span information.
bool ChmArchive::startFrameFound(qint64 offset) const
{
    if (m_hasSpanInfo)
        return true;
    if (m_resetTable.size() < ResetTableHeaderSize || m_resetInterval == 0)
        return false;
    const quint32 count = uint32At(m_resetTable, 4);
    const quint32 entrySize = uint32At(m_resetTable, 8);
    const quint32 tableOffset = uint32At(m_resetTable, 12);
    if (entrySize != 4 && entrySize != 8)
        return false;
    // The entry of the frame that starts the object's reset interval.
    const quint64 entry = static_cast<quint64>(offset) / m_resetInterval * (m_resetInterval / FrameSize);
    if (entry >= count)
        return false;
    const quint64 position = static_cast<quint64>(tableOffset) + entry * entrySize;
    return position + entrySize <= static_cast<quint64>(m_resetTable.size());
}

// The object lies wholly inside its section: the uncompressed data of the file, or the checked decompressed length.
bool ChmArchive::fits(const mschmd_file& entry) const
{
    if (!entry.section || entry.offset < 0 || entry.length < 0)
        return false;
    qint64 available = 0;
    if (entry.section->id == 0)
        available = m_context->input.size() - m_header->sec0.offset;
    else if (entry.section->id == 1)
        available = m_compressedSectionLength;
    else
        return false;
    return entry.offset <= available && entry.length <= available - entry.offset;
}

bool ChmArchive::contains(const QString& name) const
{
    return m_entries.contains(name.toLower());
}

std::optional<QByteArray> ChmArchive::read(const QString& name)
{
    mschmd_file* entry = m_entries.value(name.toLower());
    if (!entry)
        return std::nullopt;
    return extract(*entry);
}

std::optional<QByteArray> ChmArchive::extract(const mschmd_file& entry)
{
    if (!fits(entry))
        return std::nullopt;
    if (entry.section->id == 0)
        return m_context->input.mid(m_header->sec0.offset + entry.offset, entry.length);
    QByteArray data;
    data.reserve(static_cast<qsizetype>(entry.length));
    const qint64 end = entry.offset + entry.length;
    for (qint64 at = entry.offset; at < end;) {
        const qint64 index = at / BlockSize;
        const std::optional<QByteArray> block = decompressedBlock(index);
        const qint64 from = at - index * BlockSize;
        if (!block || from >= block->size())
            return std::nullopt;
        const qint64 count = std::min(end - at, block->size() - from);
        data.append(block->constData() + from, static_cast<qsizetype>(count));
        at += count;
    }
    return data;
}

// The compressed section is decompressed a block at a time and the last few blocks are kept, so reading topic after
// topic neither starts the decompressor afresh for each nor holds the whole section in memory.
std::optional<QByteArray> ChmArchive::decompressedBlock(qint64 index)
{
    const auto cached = m_blocks.constFind(index);
    if (cached != m_blocks.constEnd())
        return *cached;

    std::optional<QByteArray> block;
    const qint64 start = index * BlockSize;
    const qint64 length = std::min(BlockSize, m_compressedSectionLength - start);
    if (length > 0 && startFrameFound(start)) {
        mschmd_file range{};
        range.section = &m_header->sec1.base;
        range.offset = start;
        range.length = length;
        QByteArray data;
        data.reserve(static_cast<qsizetype>(length));
        m_context->output = &data;
        m_context->outputLimit = length;
        const int error = m_decompressor->extract(m_decompressor, &range, OutputName);
        m_context->output = nullptr;
        if (error == MSPACK_ERR_OK && data.size() == length)
            block = data;
    }
    // A block that failed stays failed: trying again would only decompress the same damage.
    if (m_blockOrder.size() >= CachedBlocks)
        m_blocks.remove(m_blockOrder.takeFirst());
    m_blocks.insert(index, block);
    m_blockOrder.append(index);
    return block;
}

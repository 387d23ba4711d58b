#include "core/transfer/zip_entry_device.h"

#include <unzip.h>

ZipEntryDevice::ZipEntryDevice(void* archive, const QString& member)
    : m_archive(archive)
    , m_member(member)
{}

ZipEntryDevice::~ZipEntryDevice()
{
    if (m_memberOpen)
        unzCloseCurrentFile(m_archive);
}

bool ZipEntryDevice::openMember()
{
    const QByteArray name = m_member.toUtf8();
    if (unzLocateFile(m_archive, name.constData(), 1) != UNZ_OK)
        return false;
    unz_file_info64 info;
    if (unzGetCurrentFileInfo64(m_archive, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return false;
    if (unzOpenCurrentFile(m_archive) != UNZ_OK)
        return false;
    m_memberOpen = true;
    m_size = qint64(info.uncompressed_size);
    return open(QIODevice::ReadOnly);
}

qint64 ZipEntryDevice::readData(char* data, qint64 maxSize)
{
    const int chunk = int(qMin<qint64>(maxSize, 1 << 20));
    const int got = unzReadCurrentFile(m_archive, data, unsigned(chunk));
    if (got < 0)
        return -1;
    m_consumed += got;
    return got;
}

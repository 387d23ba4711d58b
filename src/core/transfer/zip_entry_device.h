#pragma once

#include <QIODevice>

// One member of a zip archive, read as a stream through minizip (the library the .xlsx writer uses too, so the
// program carries one zip library). Opens the named member of an archive that unzOpen64 opened; the archive
// must outlive the device and have no other member open meanwhile.
class ZipEntryDevice : public QIODevice
{
public:
    // `archive` is minizip's unzFile.
    ZipEntryDevice(void* archive, const QString& member);
    ~ZipEntryDevice() override;

    // Whether the member is there and could be opened; call before reading.
    bool openMember();
    qint64 uncompressedSize() const { return m_size; }
    // How many of its bytes have been read (a sequential device has no position of its own).
    qint64 consumed() const { return m_consumed; }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    void* m_archive;
    QString m_member;
    qint64 m_size = 0;
    qint64 m_consumed = 0;
    bool m_memberOpen = false;
};

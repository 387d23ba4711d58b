#pragma once

#include "core/transfer/transfer_record.h"
#include "core/util/result.h"

#include <QString>

#include <memory>

// Writes citations to one file, a record at a time, beside its name: the file appears (or replaces what was
// there) only at finish(); a writer destroyed before that leaves nothing behind.
class TransferWriter
{
public:
    virtual ~TransferWriter() = default;

    // The writer for the file's format (by its ending); an Error for any other ending.
    static Result<std::unique_ptr<TransferWriter>> forFile(const QString& fileName);

    virtual Error begin() = 0;
    virtual Error add(const TransferRecord& record) = 0;
    virtual Error finish() = 0;
};

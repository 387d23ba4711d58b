#pragma once

#include "core/transfer/transfer_record.h"
#include "core/util/result.h"

#include <QString>

#include <memory>

// Reads the citations of one file, one record at a time, so that no file is held whole.
class TransferReader
{
public:
    virtual ~TransferReader() = default;

    // The reader for the file's format (by its ending); an Error for any other ending.
    static Result<std::unique_ptr<TransferReader>> forFile(const QString& fileName);

    // Opens the file and reads what comes before the records (the first row's column names); an Error when the
    // file cannot be read at all.
    virtual Error open() = 0;
    // The next record: true with `record` filled, false at the end, or an Error when the file cannot be read on.
    virtual Result<bool> next(TransferRecord* record) = 0;
    // How much of the file has been read, 0 to 100.
    virtual int percent() const = 0;
    // What one record is called in a refusal: "Line", "Row" or "Item".
    virtual QString placeName() const = 0;
};

#pragma once
// Moving a dictionary table between its file and its record array through the shared Btrieve
// file object. The file name carries no directory: it resolves against the current directory.
// Each call constructs the shared object, works through it and releases it before returning.
#include "BuildReport.h"
#include "CreationSpecs.h"
#include "RecordArray.h"

#include <cstddef>
#include <vector>

namespace dict {

// Opens the file (empty owner, mode 0) and reads every record, on key 0, into slots 0, 1, ...
// of the array, however many there are. Returns the status of the Open; on 0, count is the
// number of records read and stoppedBy (when given) the status that ended the reading: 9 at the
// end of the file, anything else when a record could not be read.
int readDictionaryFile(DictFile file, RecordArray& array, std::size_t& count, int* stoppedBy = nullptr);

// One grid row to write: its number, which the report names, and the slot that holds its record.
struct RowSlot {
    int row;
    std::size_t slot;
};

// Replaces the file with the slots, in order, as a set of one file (SetWriter.h): filled under
// a private name, then renamed over the old file; no backup is taken. A failed Create or Open is
// added to the report and the old file stays; a row that Insert refuses is added to the report
// and the following rows are still written.
void writeDictionaryFile(DictFile file, RecordArray& array, const std::vector<RowSlot>& rows,
                         BuildReport& report);

} // namespace dict

#pragma once
// Writing dictionary files so that a Build cut off at any moment (power cut, kill) leaves every
// file either as it was or as the Build meant it, and the set whole at the next start.
//
// Each file is filled under a private name beside it (".FIELD.DDF.quillan-new") through the
// record manager (Create, Insert every record, Close), then synced. Only when every file of the
// set is complete and every backup taken does commit() write a marker (".quillan-set") naming
// the set, rename the files over the old ones back to back, sync the directory and remove the
// marker. finishInterruptedSet() is what the next start runs: with a marker it completes the
// renames; without one it removes private files left by a Build that never got that far.
// Works the same with a real record manager: the renames are file-system steps after Close.
//
// File names carry no directory: like the rest of the dictionary's files they resolve against
// the current directory.
#include "BuildReport.h"
#include "CreationSpecs.h"
#include "DictionaryIo.h"
#include "RecordArray.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace dict {

// The marker of a set being renamed, in the database directory.
constexpr const char* kSetMarkerName = ".quillan-set";

// The layout a dictionary file is written in: that of the file it replaces, or the standard one.
// OwnMade: Own, and the file made even for no rows where there is none (the set opened held it).
enum class FileLayout { Own, Standard, OwnMade };

// The layout of an existing dictionary file as a Create buffer: its Stat (file specification,
// key specifications, collating sequences) with what only Stat reports (record count, version,
// distinct key values, unused pages) cleared. Empty when the file cannot be opened or its
// statistics are incomplete; `recordLength` is the file's record length.
std::vector<uint8_t> ownLayout(const std::string& path, uint16_t& recordLength);

// The layout a Build of `file` is written in: that of the file it replaces (ownLayout) when
// `layout` is Own and that file can be read, else the standard Create buffer.
std::vector<uint8_t> buildLayout(DictFile file, FileLayout layout);

// A value of a key that takes no duplicates held by more than one record.
struct DuplicateKeyValue {
    int key = 0;                           // key number
    std::vector<std::size_t> fieldOffsets; // of the key's segments, from 0
    std::vector<std::size_t> records;      // indexes of the records that hold it, in order
};
// The values the record manager would refuse as duplicates when `records` (whole records of the
// file's record length or longer) are inserted into a file of `layout` (a Create or Stat buffer):
// per key without the duplicates flag, the records that share a value, compared as the key does
// (its alternate collating sequence or case-insensitive flag; records whose key is null under a
// null-key flag leave out). In order of the first record of each group.
std::vector<DuplicateKeyValue> duplicateKeyValues(std::span<const uint8_t> layout,
                                                  const std::vector<std::vector<uint8_t>>& records);

class DictionarySetWriter {
public:
    DictionarySetWriter() = default;
    // A set neither committed nor abandoned is abandoned.
    ~DictionarySetWriter();
    DictionarySetWriter(const DictionarySetWriter&) = delete;
    DictionarySetWriter& operator=(const DictionarySetWriter&) = delete;

    struct Staged {
        DictFile file;
        std::string target;             // the file it replaces (its existing letter case), or its name
        std::string temporary;          // the private name it is filled under
        std::size_t records = 0;        // records written
        std::size_t leftOut = 0;        // rows the caller left out
        long long previousRecords = -1; // records of the file it replaces when records is 0; else -1
    };

    // Writes the slots, in order, into the file's private copy. A failed Create or Open goes into
    // the report and leaves the file out of the set (it keeps its old content); a row Insert
    // refuses goes into the report and the rows after it are still written, so that the report
    // names them all. Either makes the set incomplete(). `leftOut`: rows the caller did not hand
    // over (for wouldEmpty()). False when the file is not part of the set.
    //
    // With FileLayout::Own the copy keeps the layout of the file it replaces (ownLayout): its
    // record length, page size, file flags and keys, so an application that reads the file finds
    // it as it was; each record is cut or zero-filled to that length, and a record whose values
    // do not fit is named in the report. Where no file is replaced (or its layout cannot be
    // read or made again, which the report says) the standard layout is used, but a FIELDEXT.DDF
    // that was not there is not made for no rows (false: not part of the set).
    // FileLayout::Standard always writes the standard layout (a set started anew, all four files).
    bool stage(DictFile file, RecordArray& array, const std::vector<RowSlot>& rows, BuildReport& report,
               std::size_t leftOut = 0, FileLayout layout = FileLayout::Own);

    const std::vector<Staged>& staged() const { return mStaged; }
    // Whether the record manager refused anything while the files were filled (a Create, an
    // Open, an Insert, a Close): such a set must be abandoned, not committed.
    bool incomplete() const { return mRefusals > 0; }
    // A file the set would leave without records where there were some (its old file held
    // records, or the caller left out every row it had).
    static bool wouldEmpty(const Staged& file);

    // Backs up every file the set replaces (backUp(path): empty, or why it could not), then
    // replaces them all, each new file with the mode and owner of the one it replaces (a new
    // one with the directory's usual mode: takeModeFor). Empty on success; otherwise "FIELD.DDF was not
    // written: why" and no file of the set was replaced (a failure once renames started is finished by the
    // next start).
    std::string commit(const std::function<std::string(const std::string& path)>& backUp);
    // Removes the private copies; nothing is replaced.
    void abandon();

private:
    std::vector<Staged> mStaged;
    int mRefusals = 0;
};

// Finishes or undoes, in `directory`, a set whose writing was cut off. Empty when there was none;
// otherwise one sentence saying what was found and done.
std::string finishInterruptedSet(const std::string& directory = ".");

} // namespace dict

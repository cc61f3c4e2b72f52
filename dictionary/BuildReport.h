#pragma once
// What the record manager refused while dictionary files were written: a Create or Open that
// failed, and rows that Insert turned away. One report may gather several files (the Builds of
// the whole dictionary set) so that the user is told once, in one message.
#include "CreateBuffer.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dict {

class BuildReport {
public:
    void fileNotCreated(const std::string& fileName, int status);
    void fileNotOpened(const std::string& fileName, int status);
    // row: the grid row (from 1) whose record was refused.
    void rowRefused(const std::string& fileName, int row, int status);
    // row: a grid row (from 1) that was not written because `why` (e.g. "no table of that
    // name"); rows of the same file and reason are named together.
    void rowLeftOut(const std::string& fileName, int row, const std::string& why);
    // row: a grid row written with a choice the user should know of (`what`, e.g. "field
    // 'Filler' is named twice in table 'Stock'; the first was taken"); grouped as rowLeftOut.
    void rowNoted(const std::string& fileName, int row, const std::string& what);
    // A file the Build did not touch, because `why`.
    void fileLeftAsItWas(const std::string& fileName, const std::string& why);

    // A sentence of its own, e.g. what a Build did that the user agreed to.
    void note(const std::string& sentence);

    bool empty() const { return mEntries.empty(); }
    // Whether a file was not created or opened, or rows were refused or left out.
    bool leftSomethingOut() const;

    // One line per file and status, in the order they were met, e.g.
    //   FILE.DDF: rows 4 and 7 were not written: status 5 (duplicate key).
    //   FIELDEXT.DDF: rows 3 and 9 were left out: table 'Stock' is not in the Files grid.
    // Long row lists name the first rows and count the others. embeddedRecordManager: whether
    // the record manager that refused was Quillan's embedded one, which reads genuine Btrieve
    // files but never writes them (btrieve::recordManagerDescription() == "embedded").
    std::string text(bool embeddedRecordManager) const;

private:
    enum class Kind { NotCreated, NotOpened, RowsRefused, RowsLeftOut, RowsNoted, LeftAsItWas, Note };
    void addRow(Kind kind, const std::string& fileName, int row, const std::string& why);
    struct Entry {
        Kind kind;
        std::string fileName;
        int status;
        std::vector<int> rows;
        std::string why; // RowsLeftOut, RowsNoted, LeftAsItWas; the sentence of a Note
    };
    std::vector<Entry> mEntries;
};

// A status with its meaning, e.g. "status 12 (file not found)".
std::string statusText(int status);

// The message for a file whose reading ended on a record that could not be read (status other
// than end of file), e.g.
//   FILE.DDF: reading stopped after 12 records: status 2 (I/O error).
// damagedPage: the damaged page of a genuine file where it stopped ("after 12 records at damaged
// page 7: ..."). `ending` closes the sentence.
std::string readStoppedText(const std::string& fileName, std::size_t recordsRead, int status,
                            std::optional<std::uint32_t> damagedPage = std::nullopt,
                            std::string_view ending = ".");

// What Create (the Files page) tells the user, beside what Build tells. The table name and the
// location are shown without their trailing blanks.
// The message for a Create buffer that could not be made, e.g.
//   No data file was created for Stock: its record length is 0 (...).
// "'<text>' is not a valid integer value" for a value that is not a number; empty when the buffer
// has no problem.
std::string createProblemText(const CreateBuffer& buffer, std::string_view table);
//   No data file was created for Stock: its location is 300 bytes long, and the record manager
//   takes at most 254.
std::string createLocationTooLongText(std::string_view table, std::size_t length);
//   STOCK.DAT was not created: status 18 (disk full).   (also a line of BuildReport::text)
std::string fileNotCreatedText(std::string_view fileName, int status);

} // namespace dict

#pragma once
// The machinery the four dictionary grid pages share: column names, the row look-ups, the
// entry-row rule, flag boxes bound to a flags cell, the dictionary sort order, the table
// filter's hide/restore, and the one path by which a dictionary file fills a grid and a grid is
// built back into its file. Nothing here knows a window: every function works on a TVarGrid
// (and the flag boxes), so tests drive bare grids.
//
// Row rules see a cell as a number only when its whole text is one (parseInteger); a cell
// that is empty or not (yet) a number matches nothing and never raises, so typing "-" or "$"
// into a cell is never interrupted by a message. Build is where such a cell is an error.
#include "AddComp.h"
#include "BuildReport.h"
#include "CreationSpecs.h"
#include "DictionaryIo.h"
#include "RecordArray.h"
#include "SetWriter.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace grid {

// Columns of the four dictionary grids (titles are the dictionary field names).
enum FileCol { kFileId = 0, kFileName, kFileLoc, kFileFlags, kFileCols };
enum FieldCol {
    kFieldId = 0,
    kFieldFile,
    kFieldName,
    kFieldDataType,
    kFieldOffset,
    kFieldSize,
    kFieldDec,
    kFieldFlag,
    kFieldCols
};
enum KeyCol { kKeyFile = 0, kKeyField, kKeyNumber, kKeyPart, kKeyFlags, kKeyCols };
enum ExtCol { kExtFile = 0, kExtField, kExtDataType, kExtCols };

// Stored width of every dictionary name (Xf$Name, Xe$Name).
constexpr int kNameWidth = 20;

// ---- Texts and look-ups ----

// The text with blanks appended up to `width` characters (a longer text is left as it is).
QString padName(const QString& text, int width = kNameWidth);
// Upper-cases the ASCII letters a to z only.
QString asciiUpper(QString text);
bool equalIgnoringCase(const QString& a, const QString& b);

// The integer a cell holds, or nothing when it is empty or not an integer.
std::optional<qint32> cellInteger(const QString& cell);
std::optional<qint32> cellInteger(const TVarGrid* grid, int col, int row);

// First row from 1 whose cell equals the text, ASCII letter case ignored and whole texts
// compared (trailing blanks included); -1 when none does.
int findRowIgnoringCase(const TVarGrid* grid, int col, const QString& text);
// First row from 1 whose cell equals the text exactly; -1 when none does.
int findRowExact(const TVarGrid* grid, int col, const QString& text);
// First row from 1 whose cell is an integer equal to value; -1 when none is.
int findRowByNumber(const TVarGrid* grid, int col, qint32 value);
// The largest of `floor` and the integers of column `col` in rows from 1 for which `counts`
// holds (every row when it is empty); cells that are no integer are passed over.
qint32 highestInteger(const TVarGrid* grid, int col, qint32 floor,
                      const std::function<bool(int row)>& counts = {});

// The same look-ups for operations that make many: built once from a column, each look-up
// is a hash probe and answers the first row, as the linear searches above do.
class RowIndex {
public:
    static RowIndex ignoringCase(const TVarGrid* grid, int col);
    static RowIndex exact(const TVarGrid* grid, int col);
    static RowIndex byNumber(const TVarGrid* grid, int col);
    int row(const QString& text) const;
    int row(qint32 value) const;

private:
    bool mIgnoreCase = false;
    QHash<QString, int> mByText;
    QHash<qint32, int> mByNumber;
};

// ---- The entry row ----

// The last row, in which a new record is typed.
int entryRow(const TVarGrid* grid);
// Commits entry row `row`: columns zeroFrom..zeroTo of it become "0" (an empty range when
// zeroFrom > zeroTo) and a new empty entry row is appended.
void commitEntryRow(TVarGrid* grid, int row, int zeroFrom, int zeroTo);
// Removes `row` when it is not the entry row (nor the title row) and every one of its key
// cells is empty; true when it was removed.
bool removeRowWithoutKey(TVarGrid* grid, int row, std::initializer_list<int> keyCols);

// ---- Flag boxes and a flags cell ----

// Shows the flags cell in the boxes, each its own bit. A cell that is empty or not a number
// leaves them as they are. A box that flips runs its click handler, as a user click would.
void showFlags(const QList<TVarCheckBox*>& boxes, const QString& cell);
// A click on `box`: its bit of the cell is set when the box is checked and cleared otherwise,
// every other bit kept; an empty cell counts as 0. A cell that is no number throws the
// conversion error.
void applyFlagBox(TVarGrid* grid, int col, int row, const TVarCheckBox* box);

// ---- Sort ----

// Order of a key cell in the dictionary sort: rows with a non-empty cell first, among them
// a cell beginning with "X" (the title row) first, then numbers ascending, then any other text
// (what the user is still typing) by text; empty cells last.
struct CellOrder {
    int group = 0; // 0 "X...", 1 number, 2 other text, 3 empty
    qint32 number = 0;
    QString text;
    bool operator<(const CellOrder& other) const
    {
        return std::tie(group, number, text) < std::tie(other.group, other.number, other.text);
    }
    bool operator==(const CellOrder& other) const = default;
};
CellOrder cellOrder(const QString& cell);
// An integer cell for the secondary keys of a sort; empty, "X..." and any other text count 0.
qint32 numberOrZero(const QString& cell);

// Sorts every row, the title row included, by a key computed once per row.
template <class KeyFn> void sortGrid(TVarGrid* grid, KeyFn key)
{
    grid->sortRowsByKey(key);
}

// ---- Table filter ----

// Walks the rows from 1: a row for which `keep` holds stays; at the first other row for which
// `stop` holds the walk ends; every other row walked is taken out of the grid into `hidden`
// (as its row text), in one change.
void hideRows(TVarGrid* grid, QStringList& hidden, const std::function<bool(const QStringList&)>& keep,
              const std::function<bool(const QStringList&)>& stop);
// Puts the hidden rows back: the entry row goes (when there is more than the title row), the
// hidden rows follow in their order, then a new empty entry row; `hidden` is emptied. One
// change.
void restoreRows(TVarGrid* grid, QStringList& hidden);

// ---- Open and Build ----

// What reading a dictionary file into a grid gave.
struct OpenResult {
    int status = 0;        // of the Open; the grid is untouched unless it is 0
    std::size_t count = 0; // records read, one grid row each
    QString problem;       // a record that could not be read, in words; empty otherwise
};

// Reads every record of the file (key 0 order) into the array and puts one grid row per
// record, as `rowOf` gives it, after the title row, then one empty entry row: nothing else is
// left in the grid. When the file cannot be opened the grid stays as it was.
OpenResult openIntoGrid(dict::DictFile file, dict::RecordArray& array, TVarGrid* grid,
                        const std::function<QStringList(std::span<const uint8_t> record)>& rowOf);

// Shows rows (e.g. the self-description) after the title row, then one empty entry row.
void showRows(TVarGrid* grid, std::vector<QStringList> rows);

// Converts the cells of one grid for its dictionary file. Every refusal throws the conversion
// error, naming the file, the row and the column's title, e.g.
//   FIELD.DDF was not written: row 7, column Xe$Size: '1x' is not a valid integer value
class BuildCells {
public:
    BuildCells(const TVarGrid* grid, QString fileName);

    // The cell's integer, which must lie within lowest..highest.
    qint32 integer(int col, int row, qint32 lowest, qint32 highest) const;
    qint16 int16(int col, int row) const { return qint16(integer(col, row, -32768, 32767)); }
    quint8 byte(int col, int row) const { return quint8(integer(col, row, 0, 255)); }
    // The cell's text as Latin-1 bytes: it must fit `width` characters once trailing blanks
    // (and NULs) are dropped, and hold only characters an 8-bit text can store.
    std::string text(int col, int row, int width) const;
    // A row's key cell that must not be empty (any row but the entry row).
    void requireFilled(int col, int row) const;

    [[noreturn]] void refuse(int col, int row, const QString& why) const;

private:
    const TVarGrid* mGrid;
    QString mFileName;
};

// Writes the records in the slots given, in order, into the file's new copy in the set being
// written (dict::DictionarySetWriter::stage); the set replaces the files, backups first, once
// every file of it is complete. What the record manager refuses goes into the report.
void writeFromGrid(dict::DictFile file, dict::RecordArray& array, const std::vector<dict::RowSlot>& rows,
                   dict::BuildReport& report, dict::DictionarySetWriter& set, std::size_t leftOut = 0);

// Encodes records[i] into slot i of the array and writes them all (writeFromGrid); the report
// names records[i] by gridRows[i], or by row i + 1 when gridRows is empty. leftOut: the page's
// rows that were not handed over.
template <class Record>
void writeRecords(dict::DictFile file, dict::RecordArray& array, const std::vector<Record>& records,
                  dict::BuildReport& report, dict::DictionarySetWriter& set, const std::vector<int>& gridRows = {},
                  std::size_t leftOut = 0)
{
    std::vector<dict::RowSlot> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].encode(array.slot(i));
        rows.push_back({gridRows.empty() ? int(i) + 1 : gridRows[i], i});
    }
    writeFromGrid(file, array, rows, report, set, leftOut);
}

} // namespace grid

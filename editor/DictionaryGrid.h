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
#include "CodePage.h"
#include "CreationSpecs.h"
#include "DictionaryIo.h"
#include "EditorError.h"
#include "RecordArray.h"
#include "SetWriter.h"

#include <QHash>
#include <QList>
#include <QSet>
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

// ---- Stored texts and the code page ----

// Names and locations are stored as 8-bit bytes in the database's code page. Every stored text
// becomes a cell through storedText and every cell becomes bytes through BuildCells::text, both
// in the code page set here (Latin-1 until another is set); under any page a cell that was read
// and not edited gives back the bytes it was read from.
void setCodePage(const dict::CodePage& page);
const dict::CodePage& codePage();
QString storedText(std::string_view bytes);

// The cells of the given columns (and of the same columns of the hidden rows, row texts as
// hideRows keeps them) as `to` reads the bytes `from` stored them as; a cell `from` cannot
// store (text the user typed) stays as it is. One model change.
void recodeColumns(TVarGrid* grid, const std::vector<int>& cols, QStringList& hidden,
                   const dict::CodePage& from, const dict::CodePage& to);

// The file name of a dictionary file ("FILE.DDF", ...): the one place the editor takes them from.
QString dictionaryFileName(dict::DictFile file);

// A new empty row just above the entry row, which keeps what is typed in it; returns the new
// row.
int rowAboveEntryRow(TVarGrid* grid);

// ---- Texts and look-ups ----

// The text with blanks appended up to `width` characters (a longer text is left as it is).
QString padName(const QString& text, int width = kNameWidth);
// The name without its trailing blanks and NULs (text::isTrailingBlank).
QString withoutTrailingBlanks(QString name);
// Upper-cases the ASCII letters a to z only.
QString asciiUpper(QString text);
// Letter case of a to z ignored; whole texts compared.
bool equalIgnoringCase(const QString& a, const QString& b);

// The one rule by which names are compared, typed or read from a file: trailing blanks (and
// NULs) never count; letter case of a to z counts or not as each look-up says.
enum class LetterCase { Ignored, Kept };
QString nameKey(QString name, LetterCase letterCase);
bool sameName(const QString& a, const QString& b, LetterCase letterCase);

// The integer a cell holds, or nothing when it is empty or not an integer.
std::optional<qint32> cellInteger(const QString& cell);
std::optional<qint32> cellInteger(const TVarGrid* grid, int col, int row);

// First row from 1 whose cell is the same name as the text (sameName, letter case ignored);
// -1 when none is.
int findRowIgnoringCase(const TVarGrid* grid, int col, const QString& text);
// The same with letter case kept.
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

// Shows the flags cell in the boxes, each its own bit. An empty cell clears them (no handler
// runs); a cell that is not a number leaves them as they are. A box that flips runs its click
// handler, as a user click would.
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

// ---- Open and Build ----

// A dictionary file read into an array of its own, before any grid is touched.
struct [[nodiscard]] FileRead {
    int status = 0;        // of the Open
    std::size_t count = 0; // records read
    int stoppedBy = 0;     // what ended the reading: 9 at the end of the file
    std::optional<dict::RecordArray> array;
    // Opened and read to its end.
    bool complete() const;
    // Why it is not complete, naming the file and the status with its meaning; empty when it is.
    QString problem(const QString& fileName) const;
};

// What reading a dictionary file into a grid gave.
struct [[nodiscard]] OpenResult {
    int status = 0;        // of the Open; the grid is untouched unless it is 0
    std::size_t count = 0; // records read, one grid row each
    QString problem;       // a record that could not be read, in words; empty otherwise
};

// The cells a Build could not store, gathered over every row (and, in "Build DDFs", every
// page) so that one message names them all.
class BadCells {
public:
    static constexpr int kNamed = 50; // cells the message names; the rest are counted

    void add(const QString& fileName, int row, const QString& column, const QString& why);
    bool empty() const { return mCells.empty(); }
    int count() const { return int(mCells.size()); }
    void clear() { mCells.clear(); }
    // One cell: "FIELD.DDF was not written: row 7, column Xe$Size: '1x' is not a valid integer
    // value". Several: "Nothing was written; 3 cells cannot be stored:", then one line per cell
    // ("FIELD.DDF, row 7, column Xe$Size: ..."), up to kNamed, then "and N more".
    QString text() const;

private:
    struct Cell {
        QString fileName;
        int row;
        QString column;
        QString why;
    };
    std::vector<Cell> mCells;
};

// Converts the cells of one grid for its dictionary file. Every refusal names the file, the
// row and the column's title, e.g.
//   FIELD.DDF was not written: row 7, column Xe$Size: '1x' is not a valid integer value
// and is thrown as the conversion error, or, when `gather` is given, added to it: the value
// returned for that cell is then 0 (or empty) and must not be written.
class BuildCells {
public:
    BuildCells(const TVarGrid* grid, QString fileName, BadCells* gather = nullptr);

    // The cell's integer, which must lie within lowest..highest.
    qint32 integer(int col, int row, qint32 lowest, qint32 highest) const;
    qint16 int16(int col, int row) const { return qint16(integer(col, row, -32768, 32767)); }
    quint8 byte(int col, int row) const { return quint8(integer(col, row, 0, 255)); }
    // The cell's text as bytes of the code page: once trailing blanks (and NULs) are dropped it
    // must fit `width` bytes and hold only characters the page can store.
    std::string text(int col, int row, int width) const;
    // A row's key cell that must not be empty (any row but the entry row).
    void requireFilled(int col, int row) const;

    // Throws, or adds to the gathered cells and returns.
    void refuse(int col, int row, const QString& why) const;
    const TVarGrid* grid() const { return mGrid; }
    const QString& fileName() const { return mFileName; }

private:
    const TVarGrid* mGrid;
    QString mFileName;
    BadCells* mGather;
};

// Writes the records in the slots given, in order, into the file's new copy in the set being
// written (dict::DictionarySetWriter::stage); the set replaces the files, backups first, once
// every file of it is complete. What the record manager refuses goes into the report.
// `layout`: that of the file replaced, or the standard one (a page started by New). False when
// the file is not part of the set.
bool writeFromGrid(dict::DictFile file, dict::RecordArray& array, const std::vector<dict::RowSlot>& rows,
                   dict::BuildReport& report, dict::DictionarySetWriter& set, std::size_t leftOut = 0,
                   dict::FileLayout layout = dict::FileLayout::Own);

// Encodes records[i] into slot i of the array and writes them all (writeFromGrid); the report
// names records[i] by gridRows[i], or by row i + 1 when gridRows is empty. leftOut: the page's
// rows that were not handed over.
template <class Record>
bool writeRecords(dict::DictFile file, dict::RecordArray& array, const std::vector<Record>& records,
                  dict::BuildReport& report, dict::DictionarySetWriter& set,
                  const std::vector<int>& gridRows = {}, std::size_t leftOut = 0,
                  dict::FileLayout layout = dict::FileLayout::Own)
{
    std::vector<dict::RowSlot> rows;
    rows.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].encode(array.slot(i));
        rows.push_back({gridRows.empty() ? int(i) + 1 : gridRows[i], i});
    }
    return writeFromGrid(file, array, rows, report, set, leftOut, layout);
}

// ---- Pages ----

class Page;
// Adds to `bad` every record row that the file's layout (that of the file the page's Build
// replaces, or the standard one: dict::buildLayout) would refuse as a duplicate value of a key
// taking none, naming the row that holds the value first. `records[i]` holds the bytes of the
// record of grid row rows[i].
void refuseDuplicateKeys(const Page& page, const std::vector<std::vector<uint8_t>>& records,
                         const std::vector<int>& rows, BadCells& bad);

// One dictionary page as the machinery sees it: its dictionary file and record array, its
// grid (row 0 titles, the last row the entry row, where a record is typed and which is never
// written), the rows its filter set aside (texts in `hidden`, as TMain keeps them, their ids in
// hiddenIds) and its loaded mark (the grid's Tag: set once the page holds a dictionary, by New
// or Open). New, Open, filter and restore run here; Build's loop is TMain::buildPage.
//
// Rules every page follows: New and Open drop the hidden rows; a filter's hide and restore and
// every New and Open keep what is typed in the entry row; a look-up from another page sees
// every row, hidden ones included (forEachRow).
class Page {
public:
    Page(dict::DictFile file, TVarGrid* grid, dict::RecordArray& array, QStringList& hidden);

    const dict::DictFile file;
    const QString fileName;
    TVarGrid* const grid;
    dict::RecordArray& array;
    QStringList& hidden;
    std::vector<RowIds> hiddenIds; // hiddenIds[i] kept with hidden[i]

    bool loaded() const { return grid->Tag != 0; }
    void markLoaded() { grid->Tag = 1; }
    // The layout Build writes: Own once Open read the page, so a Build over a file keeps that
    // file's record length, page size and keys; the pages' New sets Standard.
    dict::FileLayout layout = dict::FileLayout::Own;

    // New: `rows` (ids[i] kept with rows[i]) after the title row, then an empty entry row, or
    // the entry row as it was when `keepEntryRow`.
    void show(std::vector<QStringList> rows, std::vector<RowIds> ids = {}, bool keepEntryRow = false);
    // Open: every record of the file (key 0 order) becomes a row through `rowOf`, which may set
    // the ids kept with it; then the entry row as it was. When the file cannot be opened the
    // grid and the hidden rows stay as they were.
    using RowOf = std::function<QStringList(std::span<const uint8_t> record, RowIds& ids)>;
    OpenResult open(const RowOf& rowOf);
    // Reads the file into an array of its own; the page (its array included) is left as it is.
    FileRead read() const;
    // A read that the next open() takes instead of reading the file again (Open DDFs reads the
    // whole set before it changes any page); dropped by clearing it.
    std::optional<FileRead> pending;

    // The table the filter keeps (its name as the Files grid gives it), empty when no filter
    // is in force; hide() callers set it, restore() and New/Open end it.
    QString filter;

    // What the page held when it was last opened, started or written with its file: a
    // fingerprint of its record rows (hidden ones included, in any order) and its loaded mark.
    // The page has edits not yet built while its rows differ from it.
    struct Fingerprint {
        bool loaded = false;
        int rows = 0;
        quint64 sum = 0;
        bool operator==(const Fingerprint&) const = default;
    };
    Fingerprint fingerprint() const;
    void keepAsBuilt();
    bool hasUnbuiltEdits() const { return loaded() && fingerprint() != mBuilt; }
    // Whether a record row with these cells was there when the page was last opened, started or
    // written (a row typed or changed since is not).
    bool rowAsBuilt(const QStringList& cells) const { return mBuiltRows.contains(rowHash(cells)); }

    // Filter: see hideRows; the ids go with their rows.
    void hide(const std::function<bool(const QStringList&)>& keep,
              const std::function<bool(const QStringList&)>& stop);
    // The hidden rows come back, in their order, just above the entry row (which keeps its
    // text); then none is hidden.
    void restore();

    // Calls `visit` for every record row: the grid's rows between the title and the entry row,
    // then the hidden rows.
    void forEachRow(const std::function<void(const QStringList& cells, RowIds ids)>& visit) const;
    // How many record rows the page holds, hidden ones included.
    int recordCount() const;

private:
    void dropHidden();
    static quint64 rowHash(const QStringList& cells);
    Fingerprint mBuilt;
    QSet<quint64> mBuiltRows;
};

// The widest text of each given column (its trailing blanks not counted) as the grid's font
// shows it, the cell margins included, and its title; the column is set to that width, never
// narrowed below `least[i]`. One pass over the texts' lengths and one measure per column.
void fitColumns(TVarGrid* grid, const std::vector<int>& cols, const std::vector<int>& least);
// Widens a column to one cell's text when it needs more room (what a keystroke can change).
void fitColumnToCell(TVarGrid* grid, int col, int row);

// The tables of the Files page and the fields of the Fields page, every row of both (hidden
// ones included), as rows of other pages refer to them: a table by its Xf$Id, a field by its
// Xe$Id within its table. Built once per operation that makes many look-ups.
class DictionaryIndex {
public:
    // `tables`, when given, limits the fields indexed to those of these tables and those with
    // the id `alsoField` (what one row's look-up needs, at a fraction of the cost).
    DictionaryIndex(const Page& files, const Page& fields, const std::vector<qint32>* tables = nullptr,
                    qint32 alsoField = RowIds::kNone);
    // The ids and names of a table's fields, in row order (hidden rows after shown ones).
    void fieldsOf(qint32 table, std::vector<qint32>& ids, QStringList& names) const;

    // The name shown for a table or field id: that of the first row with the id, empty when
    // none has it.
    QString tableName(qint32 id) const { return mTableNames.value(id); }
    QString fieldName(qint32 id) const { return mFields.value(id).name; }
    // The first table of that name (letter case ignored), as the Files page matches names.
    std::optional<qint32> tableId(const QString& name) const;
    // The cells of the first field row with that id; nullptr when there is none.
    const QStringList* fieldCells(qint32 id) const;

    // What a row that names a table and a field refers to. The ids kept with the row stand
    // while the row's table and field cells still show their names; otherwise the table is the
    // first of its name and the field is looked for within it: when several fields of the
    // table have the name, the kept field id stays if it is one of them, else the first is
    // taken and `ambiguous` says so.
    struct Reference {
        enum class Problem { None, NoTable, UnknownTable, BadTableId, NoField, UnknownField };
        Problem problem = Problem::None;
        qint32 table = 0;
        qint32 field = 0;
        bool ambiguous = false;
        // The refusal in words, for a Build's message ("" for None).
        QString why(const QString& tableCell, const QString& fieldCell) const;
    };
    Reference resolve(const QString& tableCell, const QString& fieldCell, RowIds kept) const;

private:
    struct Field {
        qint32 table = 0;
        QString name;
        QStringList cells;
    };
    QHash<qint32, QString> mTableNames;                  // Xf$Id -> first name
    QHash<QString, std::optional<qint32>> mTableIds;      // name key (case ignored) -> first Xf$Id
    QHash<qint32, Field> mFields;                         // Xe$Id -> first field row
    QHash<QPair<qint32, QString>, std::vector<qint32>> mFieldIds; // (Xe$File, name key) -> Xe$Ids
    QHash<qint32, std::vector<std::pair<qint32, QString>>> mTableFields; // Xe$File -> (Xe$Id, name)
};

// The table and field ids a Keys or ExtFields row (table in column 0, field in column 1) is
// written with, resolved as DictionaryIndex::resolve says and kept with the row. A row that
// does not resolve is refused (BuildCells::refuse; gathered, it gives 0, 0 and its ids stay
// as they were); a field taken as the first of several of its name is noted in the report.
std::pair<qint16, qint16> referenceIds(const DictionaryIndex& index, TVarGrid* grid, const BuildCells& cells,
                                       int row, dict::BuildReport& report);

} // namespace grid

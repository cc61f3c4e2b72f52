#pragma once
// TMain: the program's one window. It owns the frame (the browser, the whole-set buttons, the
// code page box, PageControl with Undo and Redo), the services the pages share and its pages.
// UtilsPage, KeysPage, ExtFieldsPage and DataPage (Pages.h) are classes of their own that own
// their controls and handlers; the Files and Fields pages are still the window's (their
// controls public, named as the user-facing design names them, objectName likewise; their
// handlers its slots). Whole-set operations (New DDFs, Open DDFs, Build DDFs, the quit
// question, code page changes, the edit history) run over the dictionary pages: Files and
// Fields, then the registered ones (DictionaryPage). The files:
//   DDFUnit.cpp        the frame, the browser, start-up/shut-down, the whole-set buttons and
//                      the services the pages share
//   FilesPage.cpp      Files page (FILE.DDF), Add and Create
//   FieldsPage.cpp     Fields page (FIELD.DDF); RecordImport.cpp its "Add Record"
//   UndoRedo.cpp       the edit history's steps; RestoreBackup.cpp "Restore backup…"
//   UtilsPage.h, KeysPage.h, ExtFieldsPage.h, DataPage.h   the pages of their own
// The grid rules the four dictionary pages share are in DictionaryGrid.h. Every signal reaches
// its handler through guarded(), which shows an escaping exception as the application's
// default handler does.
#include "AddComp.h"
#include "BuildReport.h"
#include "DataPage.h"
#include "DictionaryGrid.h"
#include "EditHistory.h"
#include "ExtFieldsPage.h"
#include "FileBrowser.h"
#include "FileSystem.h"
#include "KeysPage.h"
#include "Pages.h"
#include "PascalScanner.h"
#include "RecordArray.h"
#include "RecordView.h"
#include "Registry.h"
#include "UtilsPage.h"

#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QStringList>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class HandlerWiring;
namespace dict {
struct InferredField;
}

class TMain : public QWidget {
    Q_OBJECT
public:
    explicit TMain(QWidget* parent = nullptr);
    ~TMain() override;

    // Names the application's organisation, so that the user's settings are kept under
    // "Quillan"; settings kept before under no organisation ("Unknown Organization") are taken
    // over once. Called once, before the first window.
    static void nameSettings();

    // ---- Shared services for the pages ----

    // Runs one user action: `run` inside guarded(), and whatever it changed in the dictionary
    // pages one step of the edit history, as the handler names it (nameStep; keystrokes in a
    // grid are named here, by the row they are typed into; UndoRedo.cpp). Every handler wired
    // to a control runs this way.
    // A step as an action starts it: named (empty: by its handler), of what kind, on which page.
    struct ActionStep {
        QString caption;
        EditHistory::Kind kind = EditHistory::Kind::Step;
        const grid::Page* page = nullptr;
    };
    void runAction(const std::function<void()>& run);
    void runAction(void (TMain::*handler)(int), const std::function<void()>& run);
    // Keys typed into a dictionary page's grid: one step per cell, named by the page's row.
    void runTyping(const DictionaryPage& page, const std::function<void()>& run);
    // Called by a handler before it changes anything: the step its action makes is named
    // `caption` ("Delete Field 'Name'"), or it makes none (a Build, a filter). The outermost
    // handler of an action names it; an action no handler names is "Edit".
    void nameStep(const QString& caption);
    void notAStep();
    // The name in a grid's column on its current row, quoted; empty on the entry row.
    static QString quotedName(const TVarGrid* grid, int col);
    // The steps the user can undo and redo.
    EditHistory& history() { return *mHistory; }

    // Runs one handler; an exception it throws is shown by showError and goes no further.
    void guarded(const std::function<void()>& handler);
    // The application's default error box: "Quillan", stop icon, OK, a full stop added.
    static void showError(const QString& text);
    // A plain message box titled "Quillan".
    static void showMessage(const QString& text);
    // When set, receives every message instead of a modal box (tests capture them this way).
    static std::function<void(QMessageBox::Icon icon, const QString& text)> MessageHook;
    // A question box titled "Quillan" with Yes and No, No the default; true when the answer is
    // Yes.
    static bool askQuestion(const QString& text);
    // When set, answers every question instead of a modal box (tests answer them this way).
    static std::function<bool(const QString& text)> QuestionHook;
    // A question box titled "Quillan" with one button per answer, `answers[defaultAnswer]` the
    // default and `answers[escapeAnswer]` what Escape or closing the box gives; the answer
    // chosen.
    static QString askChoice(const QString& text, const QStringList& answers, int defaultAnswer,
                             int escapeAnswer);
    // When set, chooses every such answer instead of a modal box (tests answer them this way).
    static std::function<QString(const QString& text, const QStringList& answers)> ChoiceHook;

    // The dictionary pages ("Files", "Fields", ...) whose rows differ from what was last
    // opened, started (New DDFs) or written with their files.
    QStringList unbuiltPages() const;
    // The folder the pages hold the dictionary of: where Open DDFs read it, New DDFs started it
    // or Build DDFs last wrote it; empty before any of them.
    QString pagesFolder() const { return mPagesFolder; }
    // Whether the last Build DDFs replaced the files with every row of every page.
    bool lastBuildWroteEverything() const { return mLastBuildWroteEverything; }

    // Full path of the file selected in FileListBox; empty when none is selected.
    QString selectedFilePath() const;
    // Makes the file list read its directory again (its mask set to "*.*" and back).
    void rereadFileList();
    // Makes `directory` the process's current directory and shows it in the browser; then runs
    // DirectoryListBoxChange. A directory that cannot be entered throws EInOutError.
    void changeDirectory(const QString& directory);
    QString currentDirectory() const;
    // The records of a complete scan become what "Add Record" offers (NameRec's items).
    void offerRecords(const std::vector<dict::ScannedRecord>& records, const QStringList& names);

    // ---- The pages ----
    UtilsPage& utils() const { return *mUtils; }
    KeysPage& keys() const { return *mKeys; }
    ExtFieldsPage& extFields() const { return *mExtFields; }
    DataPage& data() const { return *mData; }
    // The dictionary pages in the order whole-set operations run over them.
    const std::vector<DictionaryPage*>& dictionaryPages() const { return mDictionaryPages; }

    // ---- What the pages ask of the tables and fields ----
    // The tables and fields every look-up from another page sees (hidden rows included).
    grid::DictionaryIndex dictionaryIndex() const { return grid::DictionaryIndex(*mFilesPage, *mFieldsPage); }
    // For a row of the Keys or ExtFields page: resolves its table and field as Build does and
    // keeps the ids with the row (the table alone when the field does not resolve, none when
    // the table does not, no field when its name is held by several fields of the table);
    // then `list` offers the names of the table's fields (every row, hidden ones included),
    // their ids in `listIds`, the row's own field selected.
    void followReferenceRow(grid::Page& page, int row, QComboBox* list, std::vector<qint32>& listIds);
    // The Files and then the Fields page refreshed on their row 1.
    void refreshTablesAndFields();
    // Whether the Fields page holds a dictionary (New or Open ran).
    bool fieldsLoaded() const;
    // The table names of the Files page, padded as it shows them, in row order.
    QStringList tableNames() const;
    // Whether a table of the Files page has that name.
    bool hasTable(const QString& name, grid::LetterCase letterCase) const;
    // The Xf$Id of the first table of a name (letter case ignored), 0 when there is none or its
    // id is no number; built once for many look-ups.
    using TableIds = std::function<qint32(const QString& name)>;
    TableIds tableIds() const;
    // The table last chosen on the Files page by a click or a key (the other pages move its
    // current row to row 1 when they refresh it); before any, its current row when that is a
    // table with an id.
    struct ChosenTable {
        qint32 id = 0;
        QString name;
        QString location;
    };
    std::optional<ChosenTable> chosenTable() const;
    // The Files page's rows from row 1 on, as cells.
    std::vector<QStringList> tableRows() const;
    // The first table of a name (letter case kept), or of an id; its id when its cell is one.
    struct TableRow {
        std::optional<qint32> id;
        QString name;
        QString location;
    };
    std::optional<TableRow> tableNamed(const QString& name) const;
    std::optional<TableRow> tableWithId(qint32 id) const;
    // The statistics buffer Add read from the data file of a table; none when it has none.
    std::optional<QByteArray> fileStatOf(qint32 tableId) const;
    // The name of the Files page's current row, quoted (a step's name).
    QString currentTableName() const;
    // The Fields page's rows of a table (grid rows from 1, then the rows the Table Filter set
    // aside), as cells.
    std::vector<QStringList> fieldRowsOf(qint32 tableId) const;
    // Runs `changed` after every change of the Fields page's rows.
    void onFieldRowsChanged(const std::function<void()>& changed);
    // A table's first draft: the fields become its rows of the Fields page, with new ids, after
    // its rows there and on the ExtFields page went (when `replace`); extended types become
    // rows of the ExtFields page.
    void draftFields(qint32 tableId, const QString& tableName, const std::vector<dict::InferredField>& draft,
                     bool replace);

    // ---- Left side: browser and whole-set buttons ----
    QLabel* LDirectory;
    // Which folder the pages hold the dictionary of, and under which code page (pagesFolder()).
    QLabel* LPagesFolder;
    DriveSelector* DriveComboBox;
    DirectoryList* DirectoryListBox;
    FilterSelector* FilterComboBox;
    FileList* FileListBox;
    QPushButton* BuildFile;
    QPushButton* OpenFile;
    QPushButton* ClearFile;
    QPushButton* DeleteFile;
    QPushButton* RestoreBackup; // "Restore backup…" (RestoreBackup.cpp)
    QLabel* LSize;
    QLabel* LSizeFile;
    // The code page of the browsed directory's names and texts: the usual pages, Latin-1 unless
    // the user chose another for the directory (remembered in the user's settings).
    QLabel* LCodePage;
    QComboBox* CodePageComboBox;
    QTabWidget* PageControl;
    // Beside the page tabs: "Undo <step>" and "Redo <step>", naming the step each takes back or
    // does again (Ctrl+Z; Ctrl+Shift+Z or Ctrl+Y).
    QToolButton* UndoEdit;
    QToolButton* RedoEdit;
    QWidget* TabFiles;
    QWidget* TabFields;

    // ---- Files page (TabFiles) ----
    TVarGrid* FileGrid;
    TVarCheckBox* ChVarLen;
    TVarCheckBox* ChBlankTranc;
    TVarCheckBox* ChPreAlloc;
    TVarCheckBox* ChDataCompres;
    TVarCheckBox* ChKeyOnly;
    TVarCheckBox* ChIndexBalan;
    TVarCheckBox* Ch10Free;
    TVarCheckBox* Ch20Free;
    TVarCheckBox* ChDuplPoint;
    TVarCheckBox* ChReserv;
    TVarCheckBox* ChKeyNSpec;
    TVarCheckBox* ChVATs;
    QLabel* LRecLen;
    TVarEdit* ERecLen;
    QLabel* LPgSize;
    TVarEdit* EPgSize;
    QLabel* LNIndex;
    TVarEdit* ENIndex;
    QLabel* LNRec;
    TVarEdit* ENRec;
    QLabel* LFlags;
    TVarEdit* EFlags;
    QLabel* LExtraDupl;
    TVarEdit* EExtraDupl;
    QLabel* LReserv;
    TVarEdit* EReserv;
    QLabel* LNPage;
    TVarEdit* ENPage;
    QPushButton* AddFile;
    QPushButton* CreateFile;
    QPushButton* DeleteTable;
    QPushButton* BuildFileDDF;
    QPushButton* ClearFileDDF;
    QPushButton* OpenFileDDF;
    // The twelve file-flag boxes in bit order (ChVarLen .. ChVATs).
    QList<TVarCheckBox*> fileFlagBoxes() const;

    // ---- Fields page (TabFields) ----
    TVarGrid* FieldGrid;
    QLabel* LNameRec;
    QComboBox* NameRec;
    QLabel* LFileFilter;
    QComboBox* FileFilter;
    QLabel* LFieldType;
    QComboBox* FieldType;
    QPushButton* AddOneField;
    QPushButton* DeleteField;
    QPushButton* AddField;
    QPushButton* BuildFieldDDF;
    QPushButton* ClearFieldDDF;
    QPushButton* OpenFieldDDF;

    // ---- Editor state ----
    QList<FileStatEntry> FileStatList; // Files page statistics entries, in the order added
    QStringList HiddenFieldRows;       // FieldGrid rows set aside by the Table Filter
    qint32 HighestFieldId = 0;         // source of new field ids (Add Field, Add Record)
    // NameRec's items: the records of the last complete scan, item i of NameRec being
    // NameRecRecords[i] (what "Add Record" adds).
    std::vector<dict::ScannedRecord> NameRecRecords;

public slots:
    // ---- Main window (DDFUnit.cpp) ----
    // Undo and redo of the dictionary pages (UndoRedo.cpp): the last step taken back, or the
    // last one taken back done again.
    void UndoEditClick();
    void RedoEditClick();
    void FormCreate();
    void FormDestroy();
    void PageControlChange();
    void OpenFileClick();
    void ClearFileClick();
    // "Build DDFs": the Builds of Files, Fields, Keys and ExtFields in this order, what the record
    // manager refused in one message after the last.
    void BuildFileClick();
    void DeleteFileClick();
    void DirectoryListBoxChange();
    void FileListBoxKeyUp(int key);
    void FileListBoxMouseUp();
    void LDirectoryMouseMove();
    void CheckDictionaryFiles();
    void SelectListedFile();
    // The page chosen becomes the directory's: remembered, and every name the pages show is
    // read again from its bytes in it.
    void CodePageComboBoxChange();
    // Once per directory and suggestion, after an Open: when the stored names read as letters
    // of one script under a usual page other than the one in use, says so (never switches).
    void SuggestCodePage();
    // "Restore backup…": the backup copies of the directory's dictionary files, newest first, with
    // their time, size and record count; the one chosen replaces its file (RestoreBackup.cpp).
    void RestoreBackupClick();

    // ---- Files page (FilesPage.cpp) ----
    void ClearFileDDFClick();
    void OpenFileDDFClick();
    // Needs the loaded mark and a row. Converts every row (BuildCells) before FILE.DDF is backed
    // up and replaced; a cell it cannot store stops it with the old file kept byte for byte.
    void BuildFileDDFClick();
    void DeleteTableClick();
    void ChClick(TVarCheckBox* sender);
    void FileGridKeyUp(int key);
    void FileGridMouseUp();
    // The entry rule on the current row (an id commits the entry row; an emptied id removes its
    // row and the statistics entries no row carries), then the flag boxes, the eight edits and
    // "Create" follow the current row. Never raises on a cell that is not yet a number.
    void RefreshFileRow();
    int FindFileStat();
    int IndexOfFileStat(qint32 id);
    void AddFileClick();
    void CreateFileClick();

    // ---- Fields page (FieldsPage.cpp) ----
    void FieldGridKeyUp(int key);
    void FieldGridMouseUp();
    void FieldTypeChange();
    void FileFilterChange();
    void AddOneFieldClick();
    void DeleteFieldClick();
    void ClearFieldDDFClick();
    void OpenFieldDDFClick();
    // Needs the loaded mark. Hidden rows come back first; every row is converted before FIELD.DDF
    // is backed up and replaced (Xe$Dec and Xe$Flag from their cells); refused inserts reported.
    void BuildFieldDDFClick();
    // Refreshes the Files page on its row 1, then the entry rule by the highest field id, the
    // Field Type selection, the Table Filter list and "Add Field" for the current row.
    void RefreshFieldRow();
    void SortFieldGrid();
    void RestoreFieldRows();

    // ---- Fields page: record import (RecordImport.cpp) ----
    void NameRecChange();
    void AddFieldClick();
    // Writes one scanned field of extended combined type position b into the ExtFields page's
    // last row and gives FieldGrid row `fieldRow` the same code.
    void AddExtFieldRow(int fieldRow, int b);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Closing with edits not yet built asks "Build", "Discard" or "Cancel"; the window's size
    // is remembered when it closes.
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // ---- Window size (DDFUnit.cpp) ----
    // How a control follows the window beyond its designed size: it grows with it, or moves.
    struct Anchor {
        QWidget* widget;
        QRect designed;
        bool growWidth, growHeight, moveRight, moveDown;
    };
    std::vector<Anchor> mAnchors;
    // The page's `grid` grows with the window (and `tall`, in height only); controls below it
    // move down, controls right of it move right.
    void anchorPage(QWidget* page, QWidget* grid, std::vector<QWidget*> tall = {});
    void anchorControls();
    void restoreWindowSize();
    void saveWindowSize();

    // ---- Readable grids (DDFUnit.cpp) ----
    // Columns as wide as their widest text, never below the designed widths.
    void fitGridColumns();
    void watchGridWidths(TVarGrid* grid);
    std::vector<std::pair<TVarGrid*, std::vector<int>>> mDesignedWidths;
    // The filter boxes show the filter each page has in force (empty when none).
    void showFilters();
    // What a whole-set Open, New or Build leaves: every page as built, the filters shown, the
    // columns fitted.
    void keepSetAsBuilt();
    grid::Page& pageOf(dict::DictFile file);

    void buildBrowser();
    void buildFilesPage();
    void buildFieldsPage();
    void wireBrowser(HandlerWiring& wire);
    void buildRestoreBackup(HandlerWiring& wire);
    // Finishes or undoes a Build of the current directory's dictionary set that was cut off, and
    // says what it did (RestoreBackup.cpp).
    void finishInterruptedBuild();
    void wireFilesPage(HandlerWiring& wire);
    void wireFieldsPage(HandlerWiring& wire);
    void showDirectory(const QString& directory);
    // The page remembered for the directory (Latin-1 when none) shown and put in use.
    void showCodePageOf(const QString& directory);
    // Whether any dictionary page holds a dictionary (New or Open ran).
    bool pagesHoldDictionary() const;
    void showPagesFolder();
    // Puts the page in use: the names in the four grids, their hidden rows and the filters are
    // read again from their bytes (which stay the same).
    void useCodePage(const dict::CodePage& page);

    QString mDirectory;
    QString mPagesFolder;
    bool mLastBuildWroteEverything = false;
    // Whether the pages hold a set New DDFs started (until Open DDFs), and the folders it was
    // written into since: a Build there replaces no dictionary the user had.
    bool mNewSetStarted = false;
    QStringList mNewSetWrittenInto;
    // Before `going` ("closing", ...) drops what the pages hold: when they hold edits not yet
    // built, asks whether to build them into their folder first, discard them or cancel. True
    // when the caller may go on (no edits, Discard, or a Build that wrote everything).
    bool settleUnbuiltEdits(const QString& going);
    // Build DDFs into the pages' folder, the browsed one being chosen again afterwards.
    void buildIntoPagesFolder();
    // The page's own Open (after a restore replaced its file).
    void reopenPage(grid::Page& page);
    bool mDestroying = false; // set as the window is destroyed: guarded() runs nothing then

    // ---- Files page (FilesPage.cpp) ----
    void markFileGridLoaded();
    // The eight edits from a statistics buffer's file specification; all 0 for none.
    void showFileSpec(const QByteArray* stat);

    // ---- Fields page (FieldsPage.cpp) ----
    // The FileGrid row of the table the Table Filter's text names (first match, ASCII case
    // ignored), or -1 when the text is empty or names no table.
    int filteredTableRow() const;
    // What New and Open do after filling FieldGrid: see FieldsPage.cpp.
    void startFieldTable();
    void updateHighestFieldId();

    // The id of the table last chosen on the Files page by a click or a key (chosenTable).
    std::optional<qint32> mDataTableId;

    // The record arrays behind the pages' Open and Build, slot n = record n + 1 of the file.
    dict::RecordArray mFileTableArray = dict::makeFileTableArray();
    dict::RecordArray mFieldTableArray = dict::makeFieldTableArray();
    QStringList mHiddenFileRows; // the Files page has no filter: always empty

    // The Files and Fields pages as the grid machinery sees them (made with their grids).
    std::unique_ptr<grid::Page> mFilesPage;
    std::unique_ptr<grid::Page> mFieldsPage;
    void makePages();
    // The pages that are classes of their own (children of PageControl), and the dictionary
    // pages whole-set operations run over: the window's own three, then the registered ones.
    UtilsPage* mUtils = nullptr;
    KeysPage* mKeys = nullptr;
    ExtFieldsPage* mExtFields = nullptr;
    DataPage* mData = nullptr;
    std::vector<WindowPage*> mPages;
    std::vector<DictionaryPage*> mDictionaryPages;
    // Adds a page made with the window: its tab, and its place among the dictionary pages.
    void registerPage(DictionaryPage* page, const QString& tab);
    // Every dictionary page's grid::Page, Files and Fields first.
    std::vector<grid::Page*> gridPages() const;
    // ---- Edit history (UndoRedo.cpp) ----
    std::unique_ptr<EditHistory> mHistory;
    void buildUndoRedo(HandlerWiring& wire);
    void runStep(const ActionStep& step, const std::function<void()>& run);
    // The step of keys typed into a page's grid, its row named by column `nameCol`.
    ActionStep typingStep(const grid::Page* page, const QString& thing, int nameCol) const;
    // Renames, in the Keys and ExtFields rows (hidden ones included) that refer to it by id,
    // a table (field < 0 is none) or a field of a table to `name`.
    void renameReferences(qint32 table, std::optional<qint32> field, const QString& name);
    // The report of the Build in progress; see BuildReportScope.
    dict::BuildReport* mBuildReport = nullptr;
    // A report whose Build ended by an error; guarded() shows it after the error.
    QString mUnshownReport;
    // While "Build DDFs" converts the four pages, the writing of each waits here (writeBuild),
    // and the cells none of them could store are gathered here.
    bool mCollectingWrites = false;
    grid::BadCells mBadCells;
    std::vector<std::function<void()>> mPendingWrites;
    // The set the writings of one Build fill, and what runs once it replaced the files.
    dict::DictionarySetWriter* mSetWriter = nullptr;
    std::vector<std::function<void()>> mAfterSetWritten;
    // Runs the writings into one set, asks before it leaves a file without records or replaces
    // a dictionary with a set New DDFs started, then lets it replace the files
    // (RestoreBackup.cpp). True when the files were replaced; a set the record manager refused
    // anything of is abandoned whole.
    bool writeSet(const std::vector<std::function<void()>>& writes);

public:
    // A page's Build: nothing when the page holds no dictionary (within Build DDFs the report
    // says the file was left as it was); otherwise the hidden rows come back, and every record row (not the
    // entry row) becomes a record through `convert(cells, row, report)`, which throws to stop
    // the Build with the cell's message and may add notes to the report; then
    // writeDictionaryFile. A page with fewer than `leastRecords` record rows (hidden ones
    // counted) is left as it was, and within Build DDFs said so. Once every row converted
    // without an error, `review(records, rows, report)` may add notes on them.
    template <class Record, class Convert>
    void
    buildPage(grid::Page& page, int leastRecords, Convert convert, std::function<void()> written = {},
              std::function<void(const std::vector<Record>&, const std::vector<int>&, dict::BuildReport&)>
                  review = {})
    {
        BuildReportScope reporting(*this);
        const std::string fileName = page.fileName.toStdString();
        if (!page.loaded()) {
            if (mCollectingWrites)
                reporting.report().fileLeftAsItWas(fileName,
                                                   "its page holds no dictionary (use New or Open first)");
            reporting.finish();
            return;
        }
        page.restore();
        if (page.recordCount() < leastRecords) {
            if (mCollectingWrites)
                reporting.report().fileLeftAsItWas(fileName, "its page holds no rows");
            reporting.finish();
            return;
        }
        // Every row is converted, so that one message names every cell that cannot be stored.
        grid::BadCells pageBadCells;
        grid::BadCells& bad = mCollectingWrites ? mBadCells : pageBadCells;
        const int badBefore = bad.count();
        const grid::BuildCells cells(page.grid, page.fileName, &bad);
        std::vector<Record> records;
        std::vector<int> rows;
        const int entry = grid::entryRow(page.grid);
        records.reserve(std::size_t(entry));
        rows.reserve(std::size_t(entry));
        for (int row = 1; row < entry; ++row) {
            records.push_back(convert(cells, row, reporting.report()));
            rows.push_back(row);
        }
        // Values a key of the file takes once only, checked once every cell converted.
        if (bad.count() == badBefore) {
            std::vector<std::vector<uint8_t>> bytes(records.size(), std::vector<uint8_t>(Record::kSize));
            for (std::size_t i = 0; i < records.size(); ++i)
                records[i].encode(bytes[i]);
            grid::refuseDuplicateKeys(page, bytes, rows, bad);
        }
        if (bad.count() == badBefore && review)
            review(records, rows, reporting.report());
        if (!pageBadCells.empty())
            throw EditorError(pageBadCells.text());
        if (bad.count() != badBefore) { // Build DDFs names them once all four pages are converted
            reporting.finish();
            return;
        }
        writeDictionaryFile(page.file, page.array, std::move(records), std::move(rows), {},
                            std::move(written), page.layout);
        reporting.finish();
    }

    // The writing of a page's Build, once its rows are converted: run now, or, while "Build DDFs"
    // runs, only after all four pages converted without an error, so that a cell one page cannot
    // store leaves the whole dictionary set as it was.
    void writeBuild(std::function<void()> write);
    // A page's Build once its rows are converted: through writeBuild, records[i] (from grid row
    // rows[i], or i + 1 when rows is empty) fill the file's new copy in the Build's set, the rows
    // left out join the report; once the set replaced the files the file list is read again and
    // `written` runs (when the file was part of the set); the report is shown as the Build ends.
    // `layout`: the page's (grid::Page::layout).
    template <class Record>
    void
    writeDictionaryFile(dict::DictFile file, dict::RecordArray& array, std::vector<Record> records,
                        std::vector<int> rows = {}, std::vector<std::pair<int, std::string>> leftOut = {},
                        std::function<void()> written = {}, dict::FileLayout layout = dict::FileLayout::Own)
    {
        writeBuild([this, file, &array, records = std::move(records), rows = std::move(rows),
                    leftOut = std::move(leftOut), written = std::move(written), layout] {
            BuildReportScope reporting(*this);
            const bool staged = grid::writeRecords(file, array, records, reporting.report(), *mSetWriter,
                                                   rows, leftOut.size(), layout);
            for (const auto& [row, why] : leftOut)
                reporting.report().rowLeftOut(dict::creationSpec(file).fileName, row, why);
            // A file left out of the set (no FIELDEXT.DDF for no rows) still matches its page.
            mAfterSetWritten.push_back([this, file, written, staged] {
                pageOf(file).keepAsBuilt();
                if (written && staged)
                    written();
            });
        });
    }

    // Held by every Build (and by "Build DDFs" around the four): while one is alive, the Builds
    // add what the record manager refused to one report. The outermost scope's finish() shows
    // it, when it is not empty, in one message box. A scope left by an error hands its report
    // to guarded(), which shows it after the error.
    class BuildReportScope {
    public:
        explicit BuildReportScope(TMain& window);
        ~BuildReportScope();
        BuildReportScope(const BuildReportScope&) = delete;
        BuildReportScope& operator=(const BuildReportScope&) = delete;
        dict::BuildReport& report();
        void finish();

    private:
        TMain& mWindow;
        std::unique_ptr<dict::BuildReport> mOwned;
    };
};

// Shows the hour-glass cursor for its lifetime.
class HourGlass {
public:
    HourGlass();
    ~HourGlass();
    HourGlass(const HourGlass&) = delete;
    HourGlass& operator=(const HourGlass&) = delete;
};

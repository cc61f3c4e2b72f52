#include "DDFUnit.h"

#include "ExtFieldsPage.h"

#include "PageLayout.h"

#include "Binding.h"
#include "DataTypes.h"
#include "DictionaryGrid.h"
#include "SelfDescription.h"

#include "Backups.h"
#include "Status.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QResizeEvent>
#include <QScreen>
#include <QSettings>
#include <QSignalBlocker>
#include <QStyledItemDelegate>

#include <algorithm>
#include <cerrno>
#include <numeric>

std::function<void(QMessageBox::Icon, const QString&)> TMain::MessageHook;
std::function<bool(const QString&)> TMain::QuestionHook;
std::function<QString(const QString&, const QStringList&)> TMain::ChoiceHook;

namespace {

// A code page item: the id as its text and data, the label shown in the list.
constexpr int kLabelRole = Qt::UserRole + 1;

void addCodePageItem(QComboBox* box, const dict::CodePage& page)
{
    const QString id = QString::fromStdString(page.id());
    box->addItem(id, id);
    box->setItemData(box->count() - 1, QString::fromStdString(page.label()), kLabelRole);
    box->setItemData(box->count() - 1, QString::fromStdString(page.label()), Qt::ToolTipRole);
}

class LabelDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const QVariant label = index.data(kLabelRole);
        if (label.isValid())
            option->text = label.toString();
    }
};

// The size the window's layout was drawn for, and its least size.
constexpr int kDesignedWidth = 613;
constexpr int kDesignedHeight = 396;
const QString kWindowGeometryKey = QStringLiteral("Window/Geometry");

} // namespace

TMain::TMain(QWidget* parent) : QWidget(parent)
{
    // An 8-point sans-serif face of the width the fixed layout was drawn for; wider faces
    // (DejaVu Sans) come last.
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("Tahoma"), QStringLiteral("Arial"),
                      QStringLiteral("Liberation Sans"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("Helvetica")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    setObjectName(QStringLiteral("Main"));
    setWindowTitle(QStringLiteral("Quillan"));
    setMinimumSize(kDesignedWidth, kDesignedHeight);
    resize(kDesignedWidth, kDesignedHeight);

    buildBrowser();
    buildFilesPage();
    buildFieldsPage();
    makePages();
    PageControl->setCurrentWidget(mUtils);
    HandlerWiring wiring(this);
    wireBrowser(wiring);
    buildRestoreBackup(wiring);
    wireFilesPage(wiring);
    wireFieldsPage(wiring);
    for (WindowPage* page : mPages)
        page->wire();
    buildUndoRedo(wiring);
    anchorControls();
    for (const grid::Page* page : gridPages())
        watchGridWidths(page->grid);
    showDirectory(QDir::currentPath());

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    restoreWindowSize();

    guarded([this] { FormCreate(); });
    mHistory->forget();
}

TMain::~TMain()
{
    // While the controls go, a box losing the focus may still signal (an edited combo box is
    // "activated"): no handler runs on a window half gone.
    mDestroying = true;
    // A cell editor closed while the grids go commits its text: no column is fitted then.
    for (const auto& designed : mDesignedWidths)
        disconnect(designed.first->model(), nullptr, this, nullptr);
    // The children go after this part of the window: a signal one sends meanwhile (a line edit
    // losing the focus as the window closes) must not reach a handler of a window that is gone.
    for (QObject* child : findChildren<QObject*>()) {
        child->disconnect(this);
        for (WindowPage* page : mPages)
            child->disconnect(page);
    }
    try {
        FormDestroy();
    } catch (...) {
        // Nothing can be shown while the window goes away.
    }
}

// ---- Construction ----

using layout::place;
using layout::placeLabel;

void TMain::buildBrowser()
{
    MAKE(LDirectory, new QLabel(this));
    placeLabel(LDirectory, 0, 16, true);
    LDirectory->setFixedWidth(121);
    LDirectory->setMouseTracking(true);
    LDirectory->installEventFilter(this);
    MAKE(LPagesFolder, placeLabel(new QLabel(this), 0, 2));
    LPagesFolder->setFixedWidth(179);
    MAKE(DriveComboBox, place(new DriveSelector(this), 0, 32, 177, 19));
    MAKE(DirectoryListBox, place(new DirectoryList(this), 0, 56, 177, 97));
    MAKE(FilterComboBox, place(new FilterSelector(this), 0, 160, 177, 21));
    MAKE(FileListBox, place(new FileList(this), 0, 184, 105, 209));
    MAKE(BuildFile, place(new QPushButton(QStringLiteral("Build DDFs"), this), 112, 192, 67, 25));
    MAKE(OpenFile, place(new QPushButton(QStringLiteral("Open DDFs"), this), 112, 224, 67, 25));
    MAKE(ClearFile, place(new QPushButton(QStringLiteral("New DDFs"), this), 112, 256, 67, 25));
    MAKE(LCodePage, placeLabel(new QLabel(QStringLiteral("Code page"), this), 112, 281, true));
    MAKE(CodePageComboBox, place(new QComboBox(this), 112, 294, 67, 17));
    // The narrow box shows the page's number or name, its list the whole label.
    for (const dict::CodePage& page : dict::usualCodePages())
        addCodePageItem(CodePageComboBox, page);
    CodePageComboBox->view()->setItemDelegate(new LabelDelegate(CodePageComboBox->view()));
    CodePageComboBox->view()->setMinimumWidth(190);
    CodePageComboBox->setCurrentIndex(CodePageComboBox->findData(QStringLiteral("Latin-1")));
    MAKE(DeleteFile, place(new QPushButton(QStringLiteral("Delete File"), this), 112, 312, 67, 25));
    MAKE(LSize, placeLabel(new QLabel(QStringLiteral("Size of File "), this), 112, 360, true));
    MAKE(LSizeFile, placeLabel(new QLabel(this), 117, 376, true));
    LSizeFile->setFixedWidth(62);
    BuildFile->setEnabled(false);
    OpenFile->setEnabled(false);

    MAKE(PageControl, place(new QTabWidget(this), 181, 0, 432, 396));
    MAKE(TabFiles, new QWidget);
    MAKE(TabFields, new QWidget);
    PageControl->addTab(mUtils = new UtilsPage(*this), QStringLiteral("Utils"));
    mPages.push_back(mUtils);
    PageControl->addTab(TabFiles, QStringLiteral("Files"));
    PageControl->addTab(TabFields, QStringLiteral("Fields"));
    registerPage(mKeys = new KeysPage(*this), QStringLiteral("Keys"));
    registerPage(mExtFields = new ExtFieldsPage(*this), QStringLiteral("ExtFields"));
    PageControl->addTab(mData = new DataPage(*this), QStringLiteral("Data"));
    mPages.push_back(mData);
}

void TMain::wireBrowser(HandlerWiring& wire)
{
    connect(DriveComboBox, &DriveSelector::driveChosen, this,
            [this](const QString& root) { guarded([&] { changeDirectory(root); }); });
    connect(DirectoryListBox, &DirectoryList::directoryChosen, this,
            [this](const QString& dir) { guarded([&] { changeDirectory(dir); }); });
    connect(FilterComboBox, &FilterSelector::maskChosen, this,
            [this](const QString& mask) { guarded([&] { FileListBox->setMask(mask); }); });
    wire.keyUp(FileListBox, &TMain::FileListBoxKeyUp);
    wire.mouseUp(FileListBox, &TMain::FileListBoxMouseUp);
    wire.click(BuildFile, &TMain::BuildFileClick);
    wire.click(OpenFile, &TMain::OpenFileClick);
    wire.click(ClearFile, &TMain::ClearFileClick);
    wire.click(DeleteFile, &TMain::DeleteFileClick);
    wire.change(CodePageComboBox, &TMain::CodePageComboBoxChange);
    connect(PageControl, &QTabWidget::currentChanged, this,
            [this] { guarded([&] { PageControlChange(); }); });
}

bool TMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LDirectory && event->type() == QEvent::MouseMove)
        guarded([this] { LDirectoryMouseMove(); });
    return QWidget::eventFilter(watched, event);
}

// ---- The dictionary pages ----

void TMain::makePages()
{
    mFilesPage =
        std::make_unique<grid::Page>(dict::DictFile::File, FileGrid, mFileTableArray, mHiddenFileRows);
    mFieldsPage =
        std::make_unique<grid::Page>(dict::DictFile::Field, FieldGrid, mFieldTableArray, HiddenFieldRows);
}

void TMain::registerPage(DictionaryPage* page, const QString& tab)
{
    PageControl->addTab(page, tab);
    mPages.push_back(page);
    mDictionaryPages.push_back(page);
}

std::vector<grid::Page*> TMain::gridPages() const
{
    std::vector<grid::Page*> pages{mFilesPage.get(), mFieldsPage.get()};
    for (const DictionaryPage* page : mDictionaryPages)
        pages.push_back(&page->page());
    return pages;
}

void TMain::refreshTablesAndFields()
{
    FileGrid->setRow(1);
    RefreshFileRow();
    FieldGrid->setRow(1);
    RefreshFieldRow();
}

bool TMain::fieldsLoaded() const
{
    return mFieldsPage->loaded();
}

QStringList TMain::tableNames() const
{
    QStringList names;
    for (int i = 1; i < FileGrid->RowCount(); ++i) {
        const QString& name = FileGrid->rowCells(i)[grid::kFileName];
        if (!name.isEmpty() && name != QLatin1String(" "))
            names << name;
    }
    return names;
}

bool TMain::hasTable(const QString& name, grid::LetterCase letterCase) const
{
    return (letterCase == grid::LetterCase::Kept
                ? grid::findRowExact(FileGrid, grid::kFileName, name)
                : grid::findRowIgnoringCase(FileGrid, grid::kFileName, name)) >= 1;
}

TMain::TableIds TMain::tableIds() const
{
    return [files = grid::RowIndex::ignoringCase(FileGrid, grid::kFileName),
            grid = FileGrid](const QString& name) {
        const int row = files.row(name);
        return row >= 0 ? grid::numberOrZero(grid->Cells(grid::kFileId, row)) : 0;
    };
}

void TMain::followReferenceRow(grid::Page& page, int row, QComboBox* list, std::vector<qint32>& listIds)
{
    using Problem = grid::DictionaryIndex::Reference::Problem;
    TVarGrid* g = page.grid;
    const QStringList cells = g->rowCells(row);
    const RowIds kept = g->rowIds(row);
    const std::vector<qint32> noTables;
    std::vector<qint32> tables;
    if (kept.owner != RowIds::kNone)
        tables.push_back(kept.owner);
    if (const auto named =
            grid::DictionaryIndex(*mFilesPage, *mFieldsPage, &noTables).tableId(cells[grid::kKeyFile]))
        tables.push_back(*named);
    const grid::DictionaryIndex index(*mFilesPage, *mFieldsPage, &tables, kept.item);
    const auto ref = index.resolve(cells[grid::kKeyFile], cells[grid::kKeyField], kept);
    RowIds ids;
    switch (ref.problem) {
    case Problem::None:
        ids = {ref.table, ref.ambiguous ? RowIds::kNone : ref.field};
        break;
    case Problem::NoField:
    case Problem::UnknownField:
        ids = {ref.table, RowIds::kNone};
        break;
    default:
        break;
    }
    if (row < grid::entryRow(g))
        g->setRowIds(row, ids);

    QStringList names;
    listIds.clear();
    if (ids.owner != RowIds::kNone)
        index.fieldsOf(ids.owner, listIds, names);
    bool same = list->count() == names.size();
    for (int i = 0; same && i < names.size(); ++i)
        same = list->itemText(i) == names[i];
    if (!same) {
        list->clear();
        list->addItems(names);
    }
    int selected = -1;
    for (std::size_t i = 0; i < listIds.size() && selected < 0; ++i)
        if (listIds[i] == ids.item && ids.item != RowIds::kNone)
            selected = int(i);
    for (int i = 0; i < names.size() && selected < 0; ++i)
        if (!grid::nameKey(cells[grid::kKeyField], grid::LetterCase::Kept).isEmpty() &&
            grid::sameName(names[i], cells[grid::kKeyField], grid::LetterCase::Ignored))
            selected = i;
    list->setCurrentIndex(selected);
    if (selected < 0 && list->isEditable())
        list->setEditText(QString());
}

void TMain::renameReferences(qint32 table, std::optional<qint32> field, const QString& name)
{
    static_assert(int(grid::kKeyFile) == int(grid::kExtFile) && int(grid::kKeyField) == int(grid::kExtField));
    const int col = field ? grid::kKeyField : grid::kKeyFile;
    const auto refers = [&](RowIds ids) { return ids.owner == table && (!field || ids.item == *field); };
    for (grid::Page* page : {&mKeys->page(), &mExtFields->page()}) {
        TVarGrid* g = page->grid;
        for (int row = 1; row < g->RowCount(); ++row)
            if (refers(g->rowIds(row)) &&
                !grid::sameName(g->rowCells(row)[col], name, grid::LetterCase::Kept))
                g->setCells(col, row, name);
        for (std::size_t i = 0; i < page->hiddenIds.size() && i < std::size_t(page->hidden.size()); ++i) {
            if (!refers(page->hiddenIds[i]))
                continue;
            QStringList cells = page->hidden[qsizetype(i)].split(QLatin1Char('\n'));
            cells.resize(g->ColCount());
            cells[col] = name;
            page->hidden[qsizetype(i)] = cells.join(QLatin1Char('\n'));
        }
    }
}

// ---- Shared services ----

void TMain::guarded(const std::function<void()>& handler)
{
    if (mDestroying)
        return;
    try {
        handler();
    } catch (const EditorError& e) {
        showError(e.text());
    } catch (const text::ConversionError& e) {
        showError(QString::fromUtf8(e.message().data(), qsizetype(e.message().size())));
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
    if (!mUnshownReport.isEmpty())
        showMessage(std::exchange(mUnshownReport, QString()));
}

// ---- Build reporting ----

namespace {

bool embeddedRecordManager()
{
    return btrieve::recordManagerDescription() == "embedded";
}

} // namespace

void TMain::writeBuild(std::function<void()> write)
{
    if (mCollectingWrites)
        mPendingWrites.push_back(std::move(write));
    else
        writeSet({std::move(write)});
}

TMain::BuildReportScope::BuildReportScope(TMain& window) : mWindow(window)
{
    if (!mWindow.mBuildReport) {
        mOwned = std::make_unique<dict::BuildReport>();
        mWindow.mBuildReport = mOwned.get();
    }
}

TMain::BuildReportScope::~BuildReportScope()
{
    if (!mOwned)
        return;
    mWindow.mBuildReport = nullptr;
    if (!mOwned->empty())
        mWindow.mUnshownReport = QString::fromStdString(mOwned->text(embeddedRecordManager()));
}

dict::BuildReport& TMain::BuildReportScope::report()
{
    return *mWindow.mBuildReport;
}

void TMain::BuildReportScope::finish()
{
    if (!mOwned)
        return;
    mWindow.mBuildReport = nullptr;
    const std::unique_ptr<dict::BuildReport> report = std::move(mOwned);
    if (!report->empty())
        showMessage(QString::fromStdString(report->text(embeddedRecordManager())));
}

void TMain::showError(const QString& text)
{
    QString message = text;
    if (!message.isEmpty() && !message.endsWith(QLatin1Char('.')))
        message += QLatin1Char('.');
    if (MessageHook) {
        MessageHook(QMessageBox::Critical, message);
        return;
    }
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillan"), message, QMessageBox::Ok);
    box.exec();
}

void TMain::showMessage(const QString& text)
{
    if (MessageHook) {
        MessageHook(QMessageBox::NoIcon, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Quillan"), text, QMessageBox::Ok);
    box.exec();
}

QString TMain::askChoice(const QString& text, const QStringList& answers, int defaultAnswer, int escapeAnswer)
{
    if (ChoiceHook)
        return ChoiceHook(text, answers);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quillan"), text, QMessageBox::NoButton);
    QList<QPushButton*> buttons;
    for (const QString& answer : answers)
        buttons << box.addButton(answer, QMessageBox::AcceptRole);
    box.setDefaultButton(buttons.value(defaultAnswer));
    box.setEscapeButton(buttons.value(escapeAnswer));
    box.exec();
    const int chosen = buttons.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return answers.value(chosen < 0 ? escapeAnswer : chosen);
}

bool TMain::askQuestion(const QString& text)
{
    if (QuestionHook)
        return QuestionHook(text);
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quillan"), text,
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

QString TMain::selectedFilePath() const
{
    return FileListBox->fileName();
}

void TMain::rereadFileList()
{
    const QString mask = FileListBox->mask();
    FileListBox->setMask(QStringLiteral("*.*"));
    FileListBox->setMask(mask);
}

QString TMain::currentDirectory() const
{
    return mDirectory;
}

void TMain::changeDirectory(const QString& directory)
{
    const QString target = QDir::cleanPath(QDir::current().absoluteFilePath(directory));
    errno = 0;
    if (!QFileInfo(target).isDir() || !QDir::setCurrent(target))
        throw EInOutError::fromErrno(errno ? errno : ENOENT);
    showDirectory(target);
    DirectoryListBoxChange();
}

void TMain::showDirectory(const QString& directory)
{
    mDirectory = QDir::cleanPath(directory);
    const QString shown = QDir::toNativeSeparators(mDirectory);
    LDirectory->setText(
        QFontMetrics(LDirectory->font()).elidedText(shown, Qt::ElideMiddle, LDirectory->width()));
    LDirectory->setToolTip(shown);
    DirectoryListBox->setDirectory(mDirectory);
    DriveComboBox->showDriveOf(mDirectory);
    FileListBox->setDirectory(mDirectory);
    // Pages that hold a dictionary keep the code page they were read with.
    if (!pagesHoldDictionary())
        showCodePageOf(mDirectory);
}

bool TMain::pagesHoldDictionary() const
{
    if (!mFilesPage)
        return false;
    const std::vector<grid::Page*> pages = gridPages();
    return std::any_of(pages.begin(), pages.end(), [](const grid::Page* page) { return page->loaded(); });
}

void TMain::showPagesFolder()
{
    if (mPagesFolder.isEmpty()) {
        LPagesFolder->clear();
        return;
    }
    const QString folder = QDir::toNativeSeparators(mPagesFolder);
    const QString suffix = QStringLiteral(", ") + QString::fromStdString(grid::codePage().id());
    const QString prefix = QStringLiteral("Pages of ");
    const QFontMetrics metrics(LPagesFolder->font());
    LPagesFolder->setText(
        prefix +
        metrics.elidedText(folder, Qt::ElideLeft,
                           LPagesFolder->width() - metrics.horizontalAdvance(prefix + suffix)) +
        suffix);
    LPagesFolder->setToolTip(QStringLiteral("The pages hold the dictionary of %1, read under code page %2.")
                                 .arg(folder, QString::fromStdString(grid::codePage().label())));
}

// ---- Code page ----

namespace {

// The settings key of a directory's entry in a group: the path percent-encoded, so that its
// separators make no groups.
QString directoryKey(const QString& directory)
{
    return QString::fromLatin1(QDir::cleanPath(directory).toUtf8().toPercentEncoding());
}

} // namespace

void TMain::showCodePageOf(const QString& directory)
{
    QSettings settings;
    const QString id =
        settings.value(QStringLiteral("CodePages/") + directoryKey(directory), QStringLiteral("Latin-1"))
            .toString();
    const std::optional<dict::CodePage> page = dict::CodePage::named(id.toStdString());
    const dict::CodePage chosen = page ? *page : dict::CodePage::latin1();
    int index = CodePageComboBox->findData(QString::fromStdString(chosen.id()));
    if (index < 0) {
        addCodePageItem(CodePageComboBox, chosen);
        index = CodePageComboBox->count() - 1;
    }
    {
        const QSignalBlocker quiet(CodePageComboBox);
        CodePageComboBox->setCurrentIndex(index);
    }
    useCodePage(chosen);
}

void TMain::useCodePage(const dict::CodePage& page)
{
    const dict::CodePage old = grid::codePage();
    if (old == page)
        return;
    grid::setCodePage(page);
    QStringList none;
    grid::recodeColumns(FileGrid, {grid::kFileName, grid::kFileLoc}, none, old, page);
    grid::recodeColumns(FieldGrid, {grid::kFieldName}, HiddenFieldRows, old, page);
    std::vector<QComboBox*> filters{FileFilter};
    std::vector<grid::Page*> filtered{mFieldsPage.get()};
    for (DictionaryPage* registered : mDictionaryPages) {
        grid::recodeColumns(registered->page().grid, registered->nameColumns, registered->page().hidden, old,
                            page);
        if (QComboBox* box = registered->filterBox()) {
            filters.push_back(box);
            filtered.push_back(&registered->page());
        }
    }
    for (QComboBox* filter : filters) {
        std::string bytes;
        if (old.encode(filter->currentText().toStdString(), bytes)) {
            const QSignalBlocker quiet(filter);
            filter->setEditText(QString::fromStdString(page.decode(bytes)));
        }
    }
    for (grid::Page* withFilter : filtered) {
        std::string bytes;
        if (old.encode(withFilter->filter.toStdString(), bytes))
            withFilter->filter = QString::fromStdString(page.decode(bytes));
    }
    CodePageComboBox->setToolTip(QString());
    if (FileGrid->RowCount() > 1)
        PageControlChange();
    // The steps kept hold names read under the old page: none of them can be undone now.
    if (mHistory)
        mHistory->forget();
}

void TMain::CodePageComboBoxChange()
{
    const QString id = CodePageComboBox->currentData().toString();
    const std::optional<dict::CodePage> page = dict::CodePage::named(id.toStdString());
    if (!page)
        return;
    QSettings settings;
    settings.setValue(QStringLiteral("CodePages/") + directoryKey(mDirectory), id);
    useCodePage(*page);
    showPagesFolder();
}

void TMain::SuggestCodePage()
{
    const dict::CodePage& page = grid::codePage();
    std::vector<std::string> stored;
    const auto collect = [&](const TVarGrid* grid, int col) {
        for (int row = 1; row < grid->RowCount(); ++row) {
            std::string bytes;
            if (page.encode(grid->Cells(col, row).toStdString(), bytes))
                stored.push_back(std::move(bytes));
        }
    };
    collect(FileGrid, grid::kFileName);
    collect(FieldGrid, grid::kFieldName);
    const QString suggestion =
        QString::fromStdString(dict::suggestionText(dict::readingsOfNames(stored), page));
    CodePageComboBox->setToolTip(suggestion.isEmpty() ? QString()
                                                      : suggestion.at(0).toUpper() + suggestion.mid(1));
    if (suggestion.isEmpty())
        return;
    QSettings settings;
    const QString key = QStringLiteral("CodePageHints/") + directoryKey(mDirectory);
    if (settings.value(key).toString() == suggestion)
        return;
    settings.setValue(key, suggestion);
    showMessage(
        QStringLiteral("The names of this dictionary hold letters beyond ASCII: %1. Choose the page under "
                       "\"Code page\" to read them so; the stored bytes stay as they are.")
            .arg(suggestion));
}

// ---- Start-up and shut-down ----

void TMain::FormCreate()
{
    for (TVarGrid* grid : {FileGrid, FieldGrid})
        grid->setRowCount(2);
    const auto titles = [](TVarGrid* grid, std::span<const std::string_view> names) {
        for (std::size_t col = 0; col < names.size(); ++col)
            grid->setCells(int(col), 0, QString::fromLatin1(names[col].data(), qsizetype(names[col].size())));
    };
    titles(FileGrid, dict::fieldNames(dict::DictFile::File));
    titles(FieldGrid, dict::fieldNames(dict::DictFile::Field));
    for (DictionaryPage* page : mDictionaryPages)
        titles(page->page().grid, dict::fieldNames(page->page().file));

    FileStatList.clear();
    HiddenFieldRows.clear();
    for (DictionaryPage* page : mDictionaryPages)
        page->page().hidden.clear();

    mUtils->start();
    CheckDictionaryFiles();
    mUtils->LoadAliases();
}

void TMain::FormDestroy()
{
    mUtils->finish();
}

// ---- Main window handlers ----

void TMain::PageControlChange()
{
    RefreshFileRow();
    RefreshFieldRow();
    for (DictionaryPage* page : mDictionaryPages)
        page->refreshRow();
    if (PageControl->currentWidget() == mData)
        mData->ShowDataPage();
}

// The four files are read before any page changes: the pages take the set only when FILE.DDF
// and FIELD.DDF read to their ends and INDEX.DDF and FIELDEXT.DDF read to their ends or are
// missing (their pages then start empty). Otherwise every page keeps what it held and one
// message says which file could not be read, and why.
void TMain::OpenFileClick()
{
    nameStep(QStringLiteral("Open DDFs"));
    if (!settleUnbuiltEdits(
            QStringLiteral("opening the dictionary of %1").arg(QDir::toNativeSeparators(currentDirectory()))))
        return;
    HourGlass wait;
    const std::vector<grid::Page*> pages = gridPages();
    struct DropReads {
        const std::vector<grid::Page*>& pages;
        ~DropReads()
        {
            for (grid::Page* page : pages)
                page->pending.reset();
        }
    } drop{pages};
    QStringList problems;
    for (grid::Page* page : pages) {
        grid::FileRead read = page->read();
        const bool mayBeMissing = std::any_of(mDictionaryPages.begin(), mDictionaryPages.end(), [&](auto* p) {
            return &p->page() == page && p->fileMayBeMissing();
        });
        if (!read.complete() && !(mayBeMissing && read.status == btr::StatusFileNotFound))
            problems << read.problem(page->fileName);
        page->pending = std::move(read);
    }
    if (!problems.isEmpty()) {
        showMessage(QStringLiteral("Open DDFs changed nothing, every page keeps what it held: %1")
                        .arg(problems.join(QLatin1Char(' '))));
        return;
    }
    showCodePageOf(currentDirectory());
    std::vector<bool> missing;
    for (const DictionaryPage* page : mDictionaryPages)
        missing.push_back(page->page().pending->status == btr::StatusFileNotFound);
    OpenFileDDFClick();
    OpenFieldDDFClick();
    for (std::size_t i = 0; i < mDictionaryPages.size(); ++i) {
        if (missing[i])
            mDictionaryPages[i]->openWithoutFile();
        else
            mDictionaryPages[i]->open();
    }
    mNewSetStarted = false;
    keepSetAsBuilt();
    SuggestCodePage();
}

void TMain::ClearFileClick()
{
    nameStep(QStringLiteral("New DDFs"));
    if (!settleUnbuiltEdits(QStringLiteral("starting a new dictionary")))
        return;
    mNewSetStarted = true;
    mNewSetWrittenInto.clear();
    showCodePageOf(currentDirectory());
    ClearFileDDFClick();
    ClearFieldDDFClick();
    for (DictionaryPage* page : mDictionaryPages)
        page->startNewSet();
    keepSetAsBuilt();
}

void TMain::keepSetAsBuilt()
{
    for (grid::Page* page : gridPages())
        page->keepAsBuilt();
    mPagesFolder = QDir::currentPath();
    showPagesFolder();
    showFilters();
    fitGridColumns();
}

grid::Page& TMain::pageOf(dict::DictFile file)
{
    for (grid::Page* page : gridPages())
        if (page->file == file)
            return *page;
    return *mFilesPage;
}

QStringList TMain::unbuiltPages() const
{
    QStringList names;
    std::vector<std::pair<const grid::Page*, QString>> pages{{mFilesPage.get(), QStringLiteral("Files")},
                                                             {mFieldsPage.get(), QStringLiteral("Fields")}};
    for (const DictionaryPage* page : mDictionaryPages)
        pages.emplace_back(&page->page(), page->caption);
    for (const auto& [page, name] : pages)
        if (page->hasUnbuiltEdits())
            names << name;
    return names;
}

bool TMain::settleUnbuiltEdits(const QString& going)
{
    QStringList pages = unbuiltPages();
    if (pages.isEmpty())
        return true;
    const QString last = pages.takeLast();
    const QString named =
        pages.isEmpty() ? last : pages.join(QStringLiteral(", ")) + QStringLiteral(" and ") + last;
    const QString answer = askChoice(
        QStringLiteral("The %1 %2 edits that are not built yet. Build DDFs before %3, or discard them?")
            .arg(named + (pages.isEmpty() ? QStringLiteral(" page") : QStringLiteral(" pages")),
                 pages.isEmpty() ? QStringLiteral("holds") : QStringLiteral("hold"), going),
        {QStringLiteral("Build"), QStringLiteral("Discard"), QStringLiteral("Cancel")}, 0, 2);
    if (answer == QLatin1String("Discard"))
        return true;
    if (answer != QLatin1String("Build"))
        return false;
    mLastBuildWroteEverything = false;
    guarded([this] { buildIntoPagesFolder(); });
    // A Build that stopped (a cell it cannot store, a row the record manager refused, a file it
    // could not replace) keeps the edits where they are.
    return mLastBuildWroteEverything && unbuiltPages().isEmpty();
}

void TMain::buildIntoPagesFolder()
{
    const QString browsed = QDir::currentPath();
    if (mPagesFolder.isEmpty() || QDir(mPagesFolder) == QDir(browsed)) {
        BuildFileClick();
        return;
    }
    if (!QDir::setCurrent(mPagesFolder))
        throw EditorError(QStringLiteral("The dictionary was not built: its folder %1 cannot be entered")
                              .arg(QDir::toNativeSeparators(mPagesFolder)));
    struct Back {
        TMain& w;
        QString folder;
        ~Back()
        {
            QDir::setCurrent(folder);
            w.rereadFileList();
            w.CheckDictionaryFiles();
        }
    } back{*this, browsed};
    BuildFileClick();
}

void TMain::closeEvent(QCloseEvent* event)
{
    if (!settleUnbuiltEdits(QStringLiteral("closing"))) {
        event->ignore();
        return;
    }
    saveWindowSize();
    event->accept();
}

// ---- Window size ----

void TMain::anchorPage(QWidget* page, QWidget* grid, std::vector<QWidget*> tall)
{
    const QRect g = grid->geometry();
    for (QWidget* child : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isWindow())
            continue;
        Anchor anchor{child, child->geometry(), false, false, false, false};
        if (child == grid)
            anchor.growWidth = anchor.growHeight = true;
        else if (std::find(tall.begin(), tall.end(), child) != tall.end())
            anchor.growHeight = true;
        else if (child->y() >= g.y() + g.height())
            anchor.moveDown = true;
        else if (child->x() >= g.x() + g.width())
            anchor.moveRight = true;
        else
            continue;
        mAnchors.push_back(anchor);
    }
}

void TMain::anchorControls()
{
    mAnchors.clear();
    mAnchors.push_back({PageControl, PageControl->geometry(), true, true, false, false});
    mAnchors.push_back({FileListBox, FileListBox->geometry(), false, true, false, false});
    anchorPage(TabFiles, FileGrid);
    anchorPage(TabFields, FieldGrid);
    for (WindowPage* page : mPages)
        anchorPage(page, page->growing(), page->tall());
}

void TMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const int dw = std::max(0, width() - kDesignedWidth);
    const int dh = std::max(0, height() - kDesignedHeight);
    for (const Anchor& a : mAnchors) {
        QRect r = a.designed;
        if (a.growWidth)
            r.setWidth(r.width() + dw);
        if (a.growHeight)
            r.setHeight(r.height() + dh);
        r.translate(a.moveRight ? dw : 0, a.moveDown ? dh : 0);
        if (a.widget->geometry() != r)
            a.widget->setGeometry(r);
    }
}

void TMain::restoreWindowSize()
{
    const QByteArray geometry = QSettings().value(kWindowGeometryKey).toByteArray();
    if (!geometry.isEmpty()) {
        restoreGeometry(geometry);
        return;
    }
    // The first time, on a screen whose two thirds exceed the designed size: those two thirds.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect room = screen->availableGeometry();
        const QSize wanted(std::min(room.width() * 2 / 3, 1400), std::min(room.height() * 2 / 3, 900));
        if (wanted.width() > kDesignedWidth && wanted.height() > kDesignedHeight) {
            resize(wanted);
            move(room.center() - QPoint(width() / 2, height() / 2));
        }
    }
}

void TMain::nameSettings()
{
    const QString unnamed = QSettings().organizationName();
    QCoreApplication::setOrganizationName(QStringLiteral("Quillan"));
    QSettings named;
    const QString takenOver = QStringLiteral("Settings/TakenOver");
    if (named.value(takenOver, false).toBool())
        return;
    QSettings before(QSettings::NativeFormat, QSettings::UserScope,
                     unnamed.isEmpty() ? QStringLiteral("Unknown Organization") : unnamed,
                     QCoreApplication::applicationName());
    for (const QString& key : before.allKeys())
        if (!named.contains(key))
            named.setValue(key, before.value(key));
    named.setValue(takenOver, true);
}

void TMain::saveWindowSize()
{
    QSettings().setValue(kWindowGeometryKey, saveGeometry());
}

// ---- Readable grids ----

void TMain::watchGridWidths(TVarGrid* grid)
{
    std::vector<int> widths;
    for (int col = 0; col < grid->ColCount(); ++col)
        widths.push_back(grid->columnWidth(col));
    mDesignedWidths.emplace_back(grid, std::move(widths));
    QAbstractItemModel* model = grid->model();
    // A few cells changed (typing, a flag box): only they are measured. Many rows changed (Open,
    // a sort, a filter): one pass over the texts' lengths.
    connect(model, &QAbstractItemModel::dataChanged, this,
            [this, grid](const QModelIndex& first, const QModelIndex& last) {
                if (last.row() - first.row() > 8) {
                    fitGridColumns();
                    return;
                }
                for (int row = first.row(); row <= last.row(); ++row)
                    for (int col = first.column(); col <= last.column(); ++col)
                        grid::fitColumnToCell(grid, col, row + grid->FixedRows());
            });
    connect(model, &QAbstractItemModel::modelReset, this, [this, grid] {
        for (const auto& [g, widths] : mDesignedWidths)
            if (g == grid) {
                std::vector<int> cols(widths.size());
                std::iota(cols.begin(), cols.end(), 0);
                grid::fitColumns(grid, cols, widths);
            }
    });
}

void TMain::fitGridColumns()
{
    for (const auto& [grid, widths] : mDesignedWidths) {
        std::vector<int> cols(widths.size());
        std::iota(cols.begin(), cols.end(), 0);
        grid::fitColumns(grid, cols, widths);
    }
}

void TMain::showFilters()
{
    std::vector<std::pair<QComboBox*, const grid::Page*>> filters{{FileFilter, mFieldsPage.get()}};
    for (const DictionaryPage* page : mDictionaryPages)
        if (QComboBox* box = page->filterBox())
            filters.emplace_back(box, &page->page());
    for (const auto& [box, page] : filters) {
        const QString text = grid::nameKey(page->filter, grid::LetterCase::Kept);
        if (box->currentText() != text) {
            const QSignalBlocker quiet(box);
            box->setCurrentIndex(-1);
            box->setEditText(text);
        }
    }
}

void TMain::BuildFileClick()
{
    notAStep();
    mLastBuildWroteEverything = false;
    if (!mPagesFolder.isEmpty() && QDir(mPagesFolder) != QDir::current() &&
        !askQuestion(
            QStringLiteral("The pages hold the dictionary of %1. Build DDFs writes it into %2; go on?")
                .arg(QDir::toNativeSeparators(mPagesFolder), QDir::toNativeSeparators(QDir::currentPath()))))
        return;
    HourGlass wait;
    BuildReportScope reporting(*this);
    struct Collecting {
        TMain& w;
        ~Collecting()
        {
            w.mCollectingWrites = false;
            w.mPendingWrites.clear();
            w.mBadCells.clear();
        }
    } collecting{*this};
    mCollectingWrites = true;
    mPendingWrites.clear();
    mBadCells.clear();
    BuildFileDDFClick();
    BuildFieldDDFClick();
    for (DictionaryPage* page : mDictionaryPages)
        page->build();
    // A cell any page cannot store leaves the whole set as it was; one message names them all.
    if (!mBadCells.empty())
        throw EditorError(mBadCells.text());
    mCollectingWrites = false;
    std::vector<std::function<void()>> writes = std::move(mPendingWrites);
    mPendingWrites.clear();
    // Once the set replaced the files, every page holds what was written (a page left as it was
    // holds nothing a Build could write).
    writes.push_back([this] { mAfterSetWritten.push_back([this] { keepSetAsBuilt(); }); });
    const bool written = writeSet(writes);
    mLastBuildWroteEverything = written && !reporting.report().leftSomethingOut();
    showFilters();
    reporting.finish();
}

void TMain::DeleteFileClick()
{
    nameStep(QStringLiteral("Delete File"));
    const QString path = selectedFilePath();
    if (path.isEmpty())
        return;
    const QString name = QFileInfo(path).fileName();
    if (!askQuestion(
            QStringLiteral("Delete %1? A copy of it is kept with the backups (Backups…).").arg(name)))
        return;
    // The copy a Build would take before it replaced the file.
    const std::string copied = dict::backUpFile(QFile::encodeName(path).toStdString());
    if (!copied.empty())
        throw EditorError(QStringLiteral("%1 was not deleted: no copy of it could be kept (%2)")
                              .arg(name, QString::fromStdString(copied)));
    eraseFile(path);
    rereadFileList();
    CheckDictionaryFiles();
}

void TMain::DirectoryListBoxChange()
{
    LSizeFile->clear();
    CheckDictionaryFiles();
}

void TMain::FileListBoxKeyUp(int)
{
    SelectListedFile();
}

void TMain::FileListBoxMouseUp()
{
    SelectListedFile();
}

void TMain::LDirectoryMouseMove()
{
    LDirectory->setToolTip(QDir::toNativeSeparators(mDirectory));
}

namespace {

bool hasFile(const QStringList& files, const QString& name)
{
    return std::any_of(files.begin(), files.end(),
                       [&](const QString& f) { return grid::equalIgnoringCase(f, name); });
}

} // namespace

void TMain::CheckDictionaryFiles()
{
    finishInterruptedBuild();
    const QStringList files = QDir::current().entryList(QDir::Files | QDir::Hidden | QDir::System);
    const bool dictionary = hasFile(files, grid::dictionaryFileName(dict::DictFile::File));
    OpenFile->setEnabled(dictionary);
    OpenFileDDF->setEnabled(dictionary);
    mUtils->showDictionaryInDirectory(dictionary);
    for (DictionaryPage* page : mDictionaryPages)
        page->showFileInDirectory(hasFile(files, page->page().fileName));
}

void TMain::SelectListedFile()
{
    const QString path = selectedFilePath();
    if (path.isEmpty())
        return;
    const QString upperPath = grid::asciiUpper(QDir::toNativeSeparators(path));
    const QString upperName = grid::asciiUpper(QFileInfo(path).fileName());
    for (int row = 1; row < FileGrid->RowCount(); ++row) {
        QString location = grid::asciiUpper(FileGrid->Cells(grid::kFileLoc, row)).left(63);
        const qsizetype blank = location.indexOf(QLatin1Char(' '));
        if (blank >= 0)
            location.truncate(blank);
        if (location == upperPath || location == upperName) {
            FileGrid->setRow(row);
            break;
        }
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        showMessage(QStringLiteral("Can't open ") + QDir::toNativeSeparators(path));
        return;
    }
    LSizeFile->setText(QString::number(file.size()));
    file.close();
    mUtils->fileSelected();
    AddFile->setEnabled(true);
}

HourGlass::HourGlass()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

HourGlass::~HourGlass()
{
    QApplication::restoreOverrideCursor();
}

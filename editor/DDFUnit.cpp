#include "DDFUnit.h"

#include "PageLayout.h"

#include "DataTypes.h"
#include "DictionaryGrid.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLineEdit>
#include <QScreen>

#include <cerrno>

std::function<void(QMessageBox::Icon, const QString&)> TMain::MessageHook;
std::function<bool(const QString&)> TMain::QuestionHook;

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
    setFixedSize(613, 396);

    mTypeMappingPath = QDir::current().absoluteFilePath(QStringLiteral("Quillan.rec"));

    buildBrowser();
    buildUtilsPage();
    buildFilesPage();
    buildFieldsPage();
    buildKeysPage();
    buildExtFieldsPage();
    buildDataPage();
    PageControl->setCurrentWidget(TabOptions);
    HandlerWiring wiring(this);
    wireBrowser(wiring);
    wireUtilsPage(wiring);
    wireFilesPage(wiring);
    wireFieldsPage(wiring);
    wireKeysPage(wiring);
    wireExtFieldsPage(wiring);
    wireDataPage(wiring);
    showDirectory(QDir::currentPath());

    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));

    guarded([this] { FormCreate(); });
}

TMain::~TMain()
{
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
    MAKE(DriveComboBox, place(new DriveSelector(this), 0, 32, 177, 19));
    MAKE(DirectoryListBox, place(new DirectoryList(this), 0, 56, 177, 97));
    MAKE(FilterComboBox, place(new FilterSelector(this), 0, 160, 177, 21));
    MAKE(FileListBox, place(new FileList(this), 0, 184, 105, 209));
    MAKE(BuildFile, place(new QPushButton(QStringLiteral("Build DDFs"), this), 112, 192, 67, 25));
    MAKE(OpenFile, place(new QPushButton(QStringLiteral("Open DDFs"), this), 112, 224, 67, 25));
    MAKE(ClearFile, place(new QPushButton(QStringLiteral("New DDFs"), this), 112, 256, 67, 25));
    MAKE(DeleteFile, place(new QPushButton(QStringLiteral("Delete File"), this), 112, 312, 67, 25));
    MAKE(LSize, placeLabel(new QLabel(QStringLiteral("Size of File "), this), 112, 360, true));
    MAKE(LSizeFile, placeLabel(new QLabel(this), 117, 376, true));
    LSizeFile->setFixedWidth(62);
    BuildFile->setEnabled(false);
    OpenFile->setEnabled(false);

    MAKE(PageControl, place(new QTabWidget(this), 181, 0, 432, 396));
    MAKE(TabOptions, new QWidget);
    MAKE(TabFiles, new QWidget);
    MAKE(TabFields, new QWidget);
    MAKE(TabKeys, new QWidget);
    MAKE(TabFieldExts, new QWidget);
    MAKE(TabData, new QWidget);
    PageControl->addTab(TabOptions, QStringLiteral("Utils"));
    PageControl->addTab(TabFiles, QStringLiteral("Files"));
    PageControl->addTab(TabFields, QStringLiteral("Fields"));
    PageControl->addTab(TabKeys, QStringLiteral("Keys"));
    PageControl->addTab(TabFieldExts, QStringLiteral("ExtFields"));
    PageControl->addTab(TabData, QStringLiteral("Data"));
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
    connect(PageControl, &QTabWidget::currentChanged, this,
            [this] { guarded([&] { PageControlChange(); }); });
}

bool TMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == LDirectory && event->type() == QEvent::MouseMove)
        guarded([this] { LDirectoryMouseMove(); });
    return QWidget::eventFilter(watched, event);
}

// ---- Shared services ----

void TMain::guarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const EConvertError& e) {
        showError(e.text());
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
    if (!mUnshownReport.isEmpty())
        showMessage(std::exchange(mUnshownReport, QString()));
}

// ---- Build reporting ----

void TMain::writeBuild(std::function<void()> write)
{
    if (mCollectingWrites)
        mPendingWrites.push_back(std::move(write));
    else
        write();
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
        mWindow.mUnshownReport = QString::fromStdString(mOwned->text());
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
        showMessage(QString::fromStdString(report->text()));
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
}

// ---- Start-up and shut-down ----

void TMain::FormCreate()
{
    for (TVarGrid* grid : {FileGrid, FieldGrid, KeyGrid, RecordGrid})
        grid->setRowCount(2);
    const auto titles = [](TVarGrid* grid, const QStringList& names) {
        for (int col = 0; col < names.size(); ++col)
            grid->setCells(col, 0, names[col]);
    };
    titles(FileGrid, {"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"});
    titles(FieldGrid,
           {"Xe$Id", "Xe$File", "Xe$Name", "Xe$DataType", "Xe$Offset", "Xe$Size", "Xe$Dec", "Xe$Flag"});
    titles(KeyGrid, {"Xi$File", "Xi$Field", "Xi$Number", "Xi$Part", "Xi$Flags"});
    titles(RecordGrid, {"Field", "Pascal type", "Btrieve type", "Offset", "Size"});
    titles(ExtGrid, {"Xx$File", "Xx$Id", "Xx$DataType"});

    FileStatList.clear();
    HiddenFieldRows.clear();
    HiddenKeyRows.clear();
    HiddenExtRows.clear();
    TypeMapping.clear();

    LoadTypeMapping();
    CheckDictionaryFiles();
    LoadAliases();
}

void TMain::FormDestroy()
{
    SaveTypeMapping();
    mRegistry.reset();
}

// ---- Main window handlers ----

void TMain::PageControlChange()
{
    RefreshFileRow();
    RefreshFieldRow();
    RefreshKeyRow();
    RefreshExtRow();
    if (PageControl->currentWidget() == TabData)
        ShowDataPage();
}

void TMain::OpenFileClick()
{
    HourGlass wait;
    OpenFileDDFClick();
    OpenFieldDDFClick();
    OpenKeysDDFClick();
    OpenFieldExtDDFClick();
}

void TMain::ClearFileClick()
{
    ClearFileDDFClick();
    ClearFieldDDFClick();
    ClearKeysDDFClick();
    RefreshExtRow();
}

void TMain::BuildFileClick()
{
    HourGlass wait;
    BuildReportScope reporting(*this);
    struct Collecting {
        TMain& w;
        ~Collecting()
        {
            w.mCollectingWrites = false;
            w.mPendingWrites.clear();
        }
    } collecting{*this};
    mCollectingWrites = true;
    mPendingWrites.clear();
    BuildFileDDFClick();
    BuildFieldDDFClick();
    BuildKeysDDFClick();
    BuildFieldExtDDFClick();
    mCollectingWrites = false;
    const std::vector<std::function<void()>> writes = std::move(mPendingWrites);
    mPendingWrites.clear();
    for (const auto& write : writes)
        write();
    reporting.finish();
}

void TMain::DeleteFileClick()
{
    const QString path = selectedFilePath();
    if (path.isEmpty())
        return;
    eraseFile(path);
    rereadFileList();
    CheckDictionaryFiles();
}

void TMain::DirectoryListBoxChange()
{
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
    const QStringList files = QDir::current().entryList(QDir::Files | QDir::Hidden | QDir::System);
    const bool dictionary = hasFile(files, QStringLiteral("File.ddf"));
    OpenFile->setEnabled(dictionary);
    OpenFileDDF->setEnabled(dictionary);
    RegistryBase->setEnabled(dictionary);
    OpenFieldExtDDF->setEnabled(hasFile(files, QStringLiteral("FieldExt.ddf")));
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
    Search->setEnabled(true);
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

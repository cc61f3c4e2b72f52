#include "DDFUnit.h"

#include "DataTypes.h"

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

namespace {

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

// Creates a control, stores it in `member` and gives it the member's name as objectName.
#define MAKE(member, ...) (member = named(__VA_ARGS__, #member))

template <std::size_t N> QStringList names(const std::array<std::string_view, N>& list)
{
    QStringList out;
    for (std::string_view name : list)
        out << QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
    return out;
}

QLabel* placeLabel(QLabel* label, int x, int y, bool bold = false)
{
    if (bold) {
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
    }
    label->move(x, y);
    label->adjustSize();
    return label;
}

template <class W> W* place(W* widget, int x, int y, int w, int h)
{
    widget->setGeometry(x, y, w, h);
    return widget;
}

QComboBox* comboBox(QWidget* parent, bool editable)
{
    auto* box = new QComboBox(parent);
    box->setEditable(editable);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setMaxVisibleItems(16);
    return box;
}

TVarCheckBox* flagBox(QWidget* parent, const char* caption, int shift)
{
    return new TVarCheckBox(QLatin1String(caption), static_cast<quint16>(shift), parent);
}

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
    setFixedSize(613, 396);

    mTypeMappingPath = QDir::current().absoluteFilePath(QStringLiteral("Quillan.rec"));

    buildBrowser();
    buildUtilsPage();
    buildFilesPage();
    buildFieldsPage();
    buildKeysPage();
    buildExtFieldsPage();
    PageControl->setCurrentWidget(TabOptions);
    wireHandlers();
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
    PageControl->addTab(TabOptions, QStringLiteral("Utils"));
    PageControl->addTab(TabFiles, QStringLiteral("Files"));
    PageControl->addTab(TabFields, QStringLiteral("Fields"));
    PageControl->addTab(TabKeys, QStringLiteral("Keys"));
    PageControl->addTab(TabFieldExts, QStringLiteral("ExtFields"));
}

void TMain::buildUtilsPage()
{
    QWidget* p = TabOptions;
    MAKE(LRecordList, placeLabel(new QLabel(QStringLiteral("Record List"), p), 0, 0));
    MAKE(CurFile, placeLabel(new QLabel(p), 0, 186));
    CurFile->setFixedWidth(235);
    MAKE(FindRecord, place(new TListBox(p), 0, 16, 121, 169));
    MAKE(RecordGrid, place(new TVarGrid(5, p), 128, 0, 289, 185));
    RecordGrid->setColWidths({76, 77, 57, 27, 27});
    RecordGrid->setEditable(false);
    MAKE(Search, place(new QPushButton(QStringLiteral("Find Records"), p), 24, 200, 75, 25));
    Search->setEnabled(false);

    MAKE(LPascalType, placeLabel(new QLabel(QStringLiteral("Pascal Type"), p), 8, 248));
    MAKE(LPasToBtr, placeLabel(new QLabel(QStringLiteral("====>"), p), 80, 248, true));
    MAKE(LBtrieveType, placeLabel(new QLabel(QStringLiteral("Btrieve Type"), p), 120, 248));
    MAKE(RecordOption, place(new TListBox(p), 8, 264, 105, 97));
    for (const QString& name : names(dict::pascalTypeNames())) {
        auto* item = new QListWidgetItem(name, RecordOption);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
    }
    MAKE(BtrType, place(comboBox(p, true), 120, 264, 105, 21));
    BtrType->addItems(names(dict::combinedTypeNames()));
    BtrType->setCurrentIndex(-1);
    MAKE(LMinLen, placeLabel(new QLabel(QStringLiteral("Min Length"), p), 136, 312));
    MAKE(ELenFld, place(new TVarEdit(p), 200, 304, 25, 21));

    MAKE(LBaseName, placeLabel(new QLabel(QStringLiteral("Base Name"), p), 240, 192));
    MAKE(InsertBase, place(new TVarEdit(p), 240, 208, 89, 21));
    MAKE(LRegisterList, placeLabel(new QLabel(QStringLiteral("Register List"), p), 240, 232));
    MAKE(BaseList, place(new TListBox(p), 240, 248, 89, 113));
    MAKE(RegistryBase, place(new QPushButton(QStringLiteral("Registry"), p), 344, 208, 75, 25));
    MAKE(UnregistryBase, place(new QPushButton(QStringLiteral("Unregistry"), p), 344, 248, 75, 25));
    MAKE(UseRegistryPath, place(new QPushButton(QStringLiteral("Go to path"), p), 344, 288, 75, 25));
    RegistryBase->setEnabled(false);
}

void TMain::buildFilesPage()
{
    QWidget* p = TabFiles;
    MAKE(FileGrid, place(new TVarGrid(4, p), 0, 0, 425, 169));
    FileGrid->setColWidths({16, 123, 189, 71});

    MAKE(ChVarLen, flagBox(p, "Variable Length", 0));
    MAKE(ChBlankTranc, flagBox(p, "Blank Trancate", 1));
    MAKE(ChPreAlloc, flagBox(p, "Preallocation", 2));
    MAKE(ChDataCompres, flagBox(p, "Data Compres", 3));
    MAKE(ChKeyOnly, flagBox(p, "Key Only", 4));
    MAKE(ChIndexBalan, flagBox(p, "Index Balance", 5));
    MAKE(Ch10Free, flagBox(p, "10% Free", 6));
    MAKE(Ch20Free, flagBox(p, "20% Free", 7));
    MAKE(ChDuplPoint, flagBox(p, "Duplicate Pointer", 8));
    MAKE(ChReserv, flagBox(p, "Reserv", 9));
    MAKE(ChKeyNSpec, flagBox(p, "Key  Spec", 10));
    MAKE(ChVATs, flagBox(p, "VAT", 11));
    const QList<TVarCheckBox*> boxes = fileFlagBoxes();
    for (int i = 0; i < boxes.size(); ++i)
        boxes[i]->setGeometry(4 + (i / 4) * 112, 174 + (i % 4) * 17, 110, 17);

    struct EditSpec {
        QLabel*& label;
        const char* labelName;
        TVarEdit*& edit;
        const char* editName;
        const char* caption;
    };
    const EditSpec edits[] = {
        {LRecLen, "LRecLen", ERecLen, "ERecLen", "Record Length"},
        {LPgSize, "LPgSize", EPgSize, "EPgSize", "Page Size"},
        {LNIndex, "LNIndex", ENIndex, "ENIndex", "Number Index"},
        {LNRec, "LNRec", ENRec, "ENRec", "Number Record"},
        {LFlags, "LFlags", EFlags, "EFlags", "Flags"},
        {LExtraDupl, "LExtraDupl", EExtraDupl, "EExtraDupl", "Extra Duplicate"},
        {LReserv, "LReserv", EReserv, "EReserv", "Reserv"},
        {LNPage, "LNPage", ENPage, "ENPage", "Num&ber Page"},
    };
    for (int i = 0; i < 8; ++i) {
        const int x = 4 + (i % 4) * 84;
        const int y = 250 + (i / 4) * 46;
        edits[i].edit = named(place(new TVarEdit(p), x, y + 15, 78, 21), edits[i].editName);
        edits[i].label =
            named(placeLabel(new QLabel(QLatin1String(edits[i].caption), p), x, y), edits[i].labelName);
        edits[i].label->setBuddy(edits[i].edit);
        edits[i].edit->setText(QStringLiteral("0"));
    }

    MAKE(AddFile, place(new QPushButton(QStringLiteral("Add"), p), 344, 176, 75, 25));
    MAKE(CreateFile, place(new QPushButton(QStringLiteral("Create"), p), 344, 208, 75, 25));
    MAKE(DeleteTable, place(new QPushButton(QStringLiteral("Delete"), p), 344, 240, 75, 25));
    MAKE(BuildFileDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearFileDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenFileDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    AddFile->setEnabled(false);
    CreateFile->setEnabled(false);
    BuildFileDDF->setEnabled(false);
    OpenFileDDF->setEnabled(false);
}

void TMain::buildFieldsPage()
{
    QWidget* p = TabFields;
    MAKE(FieldGrid, place(new TVarGrid(8, p), 0, 0, 425, 241));
    FieldGrid->setColWidths({21, 21, 101, 50, 50, 50, 50, 50});
    MAKE(LNameRec, placeLabel(new QLabel(QStringLiteral("Record"), p), 0, 256));
    MAKE(NameRec, place(comboBox(p, false), 0, 272, 121, 21));
    MAKE(LFileFilter, placeLabel(new QLabel(QStringLiteral("Table Filter"), p), 128, 256));
    MAKE(FileFilter, place(comboBox(p, true), 128, 272, 97, 21));
    MAKE(LFieldType, placeLabel(new QLabel(QStringLiteral("Field Type"), p), 128, 296));
    MAKE(FieldType, place(comboBox(p, false), 128, 312, 94, 21));
    FieldType->addItems(names(dict::standardTypeNames()));
    FieldType->setCurrentIndex(-1);
    MAKE(AddOneField, place(new QPushButton(QStringLiteral("Add Field"), p), 248, 272, 75, 25));
    MAKE(DeleteField, place(new QPushButton(QStringLiteral("Delete Field"), p), 248, 304, 75, 25));
    MAKE(AddField, place(new QPushButton(QStringLiteral("Add Record"), p), 248, 336, 75, 25));
    MAKE(BuildFieldDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearFieldDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenFieldDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    for (QPushButton* b : {AddOneField, AddField, BuildFieldDDF, ClearFieldDDF, OpenFieldDDF})
        b->setEnabled(false);
}

void TMain::buildKeysPage()
{
    QWidget* p = TabKeys;
    MAKE(KeyGrid, place(new TVarGrid(5, p), 0, 0, 425, 161));
    KeyGrid->setColWidths({99, 92, 59, 49, 49});
    MAKE(LIndexFilter, placeLabel(new QLabel(QStringLiteral("Table Filter"), p), 104, 168));
    MAKE(IndexFilter, place(comboBox(p, true), 104, 184, 113, 21));
    MAKE(LChooseField, placeLabel(new QLabel(QStringLiteral("Field"), p), 224, 168));
    MAKE(ChooseField, place(comboBox(p, true), 224, 184, 113, 21));
    MAKE(AddKey, place(new QPushButton(QStringLiteral("Add Key"), p), 344, 184, 75, 25));
    MAKE(DeleteKey, place(new QPushButton(QStringLiteral("Delete Key"), p), 344, 216, 75, 25));
    MAKE(BuildKeysDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 272, 75, 25));
    MAKE(ClearKeysDDF, place(new QPushButton(QStringLiteral("New"), p), 344, 304, 75, 25));
    MAKE(OpenKeysDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 75, 25));
    for (QPushButton* b : {BuildKeysDDF, ClearKeysDDF, OpenKeysDDF})
        b->setEnabled(false);

    MAKE(ChDuplicates, place(flagBox(p, "Duplicates", 0), 8, 168, 96, 13));
    MAKE(ChModifiable, place(flagBox(p, "Modifiable", 1), 8, 185, 96, 13));
    MAKE(ChBinary, place(flagBox(p, "Binary", 2), 8, 203, 96, 13));
    MAKE(ChNullKey_AllSeg, place(flagBox(p, "NullKeyAllSeg", 3), 8, 220, 96, 14));
    MAKE(ChSegmented, place(flagBox(p, "Segmented", 4), 8, 238, 96, 14));
    MAKE(ChACS, place(flagBox(p, "ACS", 5), 8, 255, 96, 14));
    MAKE(ChDescending, place(flagBox(p, "Descending", 6), 8, 273, 96, 14));
    MAKE(ChRepeatDupl, place(flagBox(p, "RepeatDupl", 7), 8, 290, 96, 14));
    MAKE(ChExtType, place(flagBox(p, "ExtType", 8), 8, 309, 96, 14));
    MAKE(ChNullKey_AnySeg, place(flagBox(p, "NullKeyAnySeg", 9), 8, 327, 96, 14));
    MAKE(ChCaseInsens, place(flagBox(p, "CaseInsens", 10), 8, 344, 96, 14));
}

void TMain::buildExtFieldsPage()
{
    QWidget* p = TabFieldExts;
    MAKE(ExtGrid, place(new TVarGrid(3, p), 0, 8, 265, 353));
    ExtGrid->setColWidths({85, 82, 69});
    MAKE(LChooseFiles, placeLabel(new QLabel(QStringLiteral("File"), p), 272, 16));
    MAKE(ChooseFiles, place(comboBox(p, false), 272, 32, 145, 21));
    MAKE(LChooseExtField, placeLabel(new QLabel(QStringLiteral("Field"), p), 272, 56));
    MAKE(ChooseExtField, place(comboBox(p, true), 272, 72, 145, 21));
    MAKE(LDataType, placeLabel(new QLabel(QStringLiteral("Field Type"), p), 272, 96));
    MAKE(ExtType, place(comboBox(p, false), 272, 112, 145, 21));
    ExtType->addItems(names(dict::extendedTypeNames()));
    ExtType->setCurrentIndex(-1);
    MAKE(LExtFileFilter, placeLabel(new QLabel(QStringLiteral("File Filter"), p), 272, 168));
    MAKE(ExtFileFilter, place(comboBox(p, true), 272, 184, 145, 21));
    MAKE(DeleteExt, place(new QPushButton(QStringLiteral("Delete Field"), p), 344, 224, 75, 25));
    MAKE(BuildFieldExtDDF, place(new QPushButton(QStringLiteral("Build"), p), 344, 304, 73, 25));
    MAKE(OpenFieldExtDDF, place(new QPushButton(QStringLiteral("Open"), p), 344, 336, 73, 25));
    OpenFieldExtDDF->setEnabled(false);
}

QList<TVarCheckBox*> TMain::fileFlagBoxes() const
{
    return {ChVarLen, ChBlankTranc, ChPreAlloc,  ChDataCompres, ChKeyOnly,  ChIndexBalan,
            Ch10Free, Ch20Free,     ChDuplPoint, ChReserv,      ChKeyNSpec, ChVATs};
}

QList<TVarCheckBox*> TMain::keyFlagBoxes() const
{
    return {ChDuplicates, ChModifiable, ChBinary,  ChNullKey_AllSeg, ChSegmented, ChACS,
            ChDescending, ChRepeatDupl, ChExtType, ChNullKey_AnySeg, ChCaseInsens};
}

// ---- Wiring: every signal reaches its handler through guarded() ----

void TMain::wireHandlers()
{
    auto click = [this](QAbstractButton* button, void (TMain::*handler)()) {
        connect(button, &QAbstractButton::clicked, this,
                [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    auto keyUp = [this](auto* sender, void (TMain::*handler)(int)) {
        using Sender = std::remove_pointer_t<decltype(sender)>;
        connect(sender, &Sender::keyUp, this,
                [this, handler](int key) { guarded([&] { (this->*handler)(key); }); });
    };
    auto mouseUp = [this](auto* sender, void (TMain::*handler)()) {
        using Sender = std::remove_pointer_t<decltype(sender)>;
        connect(sender, &Sender::mouseUp, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
    };
    // A combo box's change handler runs for the user's choices and typing only.
    auto change = [this](QComboBox* box, void (TMain::*handler)()) {
        connect(box, &QComboBox::activated, this, [this, handler] { guarded([&] { (this->*handler)(); }); });
        if (QLineEdit* line = box->lineEdit())
            connect(line, &QLineEdit::textEdited, this,
                    [this, handler] { guarded([&] { (this->*handler)(); }); });
    };

    // Browser and whole-set buttons.
    connect(DriveComboBox, &DriveSelector::driveChosen, this,
            [this](const QString& root) { guarded([&] { changeDirectory(root); }); });
    connect(DirectoryListBox, &DirectoryList::directoryChosen, this,
            [this](const QString& dir) { guarded([&] { changeDirectory(dir); }); });
    connect(FilterComboBox, &FilterSelector::maskChosen, this,
            [this](const QString& mask) { guarded([&] { FileListBox->setMask(mask); }); });
    keyUp(FileListBox, &TMain::FileListBoxKeyUp);
    mouseUp(FileListBox, &TMain::FileListBoxMouseUp);
    click(BuildFile, &TMain::BuildFileClick);
    click(OpenFile, &TMain::OpenFileClick);
    click(ClearFile, &TMain::ClearFileClick);
    click(DeleteFile, &TMain::DeleteFileClick);
    connect(PageControl, &QTabWidget::currentChanged, this,
            [this] { guarded([&] { PageControlChange(); }); });

    // Utils page.
    click(Search, &TMain::SearchClick);
    keyUp(FindRecord, &TMain::FindRecordKeyUp);
    mouseUp(FindRecord, &TMain::FindRecordMouseUp);
    keyUp(RecordOption, &TMain::RecordOptionKeyUp);
    mouseUp(RecordOption, &TMain::RecordOptionMouseUp);
    change(BtrType, &TMain::BtrTypeChange);
    keyUp(ELenFld, &TMain::ELenFldKeyUp);
    click(RegistryBase, &TMain::RegistryBaseClick);
    click(UnregistryBase, &TMain::UnregistryBaseClick);
    click(UseRegistryPath, &TMain::UseRegistryPathClick);
    keyUp(BaseList, &TMain::BaseListKeyUp);
    mouseUp(BaseList, &TMain::BaseListMouseUp);

    // Files page.
    keyUp(FileGrid, &TMain::FileGridKeyUp);
    mouseUp(FileGrid, &TMain::FileGridMouseUp);
    for (TVarCheckBox* box : fileFlagBoxes())
        connect(box, &QCheckBox::clicked, this, [this, box] { guarded([&] { ChClick(box); }); });
    click(AddFile, &TMain::AddFileClick);
    click(CreateFile, &TMain::CreateFileClick);
    click(DeleteTable, &TMain::DeleteTableClick);
    click(BuildFileDDF, &TMain::BuildFileDDFClick);
    click(ClearFileDDF, &TMain::ClearFileDDFClick);
    click(OpenFileDDF, &TMain::OpenFileDDFClick);

    // Fields page.
    keyUp(FieldGrid, &TMain::FieldGridKeyUp);
    mouseUp(FieldGrid, &TMain::FieldGridMouseUp);
    change(NameRec, &TMain::NameRecChange);
    change(FileFilter, &TMain::FileFilterChange);
    change(FieldType, &TMain::FieldTypeChange);
    click(AddOneField, &TMain::AddOneFieldClick);
    click(DeleteField, &TMain::DeleteFieldClick);
    click(AddField, &TMain::AddFieldClick);
    click(BuildFieldDDF, &TMain::BuildFieldDDFClick);
    click(ClearFieldDDF, &TMain::ClearFieldDDFClick);
    click(OpenFieldDDF, &TMain::OpenFieldDDFClick);

    // Keys page.
    keyUp(KeyGrid, &TMain::KeyGridKeyUp);
    mouseUp(KeyGrid, &TMain::KeyGridMouseUp);
    change(IndexFilter, &TMain::IndexFilterChange);
    change(ChooseField, &TMain::ChooseFieldChange);
    click(AddKey, &TMain::AddKeyClick);
    click(DeleteKey, &TMain::DeleteKeyClick);
    click(BuildKeysDDF, &TMain::BuildKeysDDFClick);
    click(ClearKeysDDF, &TMain::ClearKeysDDFClick);
    click(OpenKeysDDF, &TMain::OpenKeysDDFClick);
    for (TVarCheckBox* box : keyFlagBoxes())
        connect(box, &QCheckBox::clicked, this, [this, box] { guarded([&] { ChClickKey(box); }); });

    // ExtFields page.
    keyUp(ExtGrid, &TMain::ExtGridKeyUp);
    mouseUp(ExtGrid, &TMain::ExtGridMouseUp);
    change(ChooseFiles, &TMain::ChooseFilesChange);
    change(ChooseExtField, &TMain::ChooseExtFieldChange);
    change(ExtType, &TMain::ExtTypeChange);
    change(ExtFileFilter, &TMain::ExtFileFilterChange);
    click(DeleteExt, &TMain::DeleteExtClick);
    click(BuildFieldExtDDF, &TMain::BuildFieldExtDDFClick);
    click(OpenFieldExtDDF, &TMain::OpenFieldExtDDFClick);
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
    } catch (const std::exception& e) {
        showError(QString::fromUtf8(e.what()));
    } catch (...) {
        showError(QStringLiteral("Unknown error"));
    }
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
    BuildFileDDFClick();
    BuildFieldDDFClick();
    BuildKeysDDFClick();
    BuildFieldExtDDFClick();
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

// Upper-cases the ASCII letters a to z only.
QString asciiUpper(QString text)
{
    for (QChar& c : text)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return text;
}

bool hasFile(const QStringList& files, const QString& name)
{
    return std::any_of(files.begin(), files.end(),
                       [&](const QString& f) { return asciiUpper(f) == asciiUpper(name); });
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
    const QString upperPath = asciiUpper(path);
    const QString upperName = asciiUpper(QFileInfo(path).fileName());
    for (int row = 1; row < FileGrid->RowCount(); ++row) {
        QString location = asciiUpper(FileGrid->Cells(2, row)).left(63);
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
        showMessage(QStringLiteral("Can't open ") + path);
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

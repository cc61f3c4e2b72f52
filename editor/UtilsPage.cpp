// The Utils page's layout and connections. The handlers live in RecordScanner.cpp (the Pascal
// record scanner), TypeMapping.cpp (type mapping) and Aliases.cpp (database aliases).
#include "UtilsPage.h"

#include "DDFUnit.h"

#include "DataTypes.h"
#include "PageLayout.h"

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

UtilsPage::UtilsPage(TMain& window) : WindowPage(window, "TabOptions")
{
    QWidget* p = this;
    mTypeMappingPath = QDir::current().absoluteFilePath(QStringLiteral("Quillan.rec"));
    MAKE(LRecordList, placeLabel(new QLabel(QStringLiteral("Record List"), p), 0, 0));
    MAKE(CurFile, placeLabel(new QLabel(p), 0, 186));
    CurFile->setFixedWidth(235);
    MAKE(FindRecord, place(new TListBox(p), 0, 16, 121, 169));
    MAKE(RecordGrid, place(new TVarGrid(6, p), 128, 0, 289, 185));
    RecordGrid->setColWidths({76, 77, 57, 27, 27, 48});
    RecordGrid->setColumnHidden(kRecordVariantColumn, true); // shown for a record with a variant part
    RecordGrid->setEditable(false);
    MAKE(Search, place(new QPushButton(QStringLiteral("Find Records"), p), 24, 200, 75, 25));
    Search->setEnabled(false);
    MAKE(ChResolve, place(new QCheckBox(QStringLiteral("Resolve declarations"), p), 104, 204, 132, 17));
    ChResolve->setToolTip(QStringLiteral("Read the unit's constants and types first: bounds that are "
                                         "constant expressions and fields of types declared in the unit "
                                         "get their sizes"));
    ChResolve->setChecked(resolveSetting());

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

void UtilsPage::start()
{
    RecordGrid->setRowCount(2);
    constexpr std::string_view kRecordColumns[] = {"Field",  "Pascal type", "Btrieve type",
                                                   "Offset", "Size",        "Variant"};
    for (std::size_t col = 0; col < std::size(kRecordColumns); ++col)
        RecordGrid->setCells(
            int(col), 0,
            QString::fromLatin1(kRecordColumns[col].data(), qsizetype(kRecordColumns[col].size())));
    TypeMapping.clear();
    LoadTypeMapping();
    LoadAliases();
}

void UtilsPage::finish()
{
    SaveTypeMapping();
    mRegistry.reset();
}

void UtilsPage::wire()
{
    Wiring<UtilsPage> wire(&w, this);
    wire.click(Search, &UtilsPage::SearchClick);
    wire.keyUp(FindRecord, &UtilsPage::FindRecordKeyUp);
    wire.mouseUp(FindRecord, &UtilsPage::FindRecordMouseUp);
    wire.keyUp(RecordOption, &UtilsPage::RecordOptionKeyUp);
    wire.mouseUp(RecordOption, &UtilsPage::RecordOptionMouseUp);
    wire.click(ChResolve, &UtilsPage::ChResolveClick);
    connect(RecordOption, &QListWidget::itemChanged, this,
            [this](QListWidgetItem* item) { w.guarded([&] { RecordOptionClickCheck(item); }); });
    // Btrieve Type stores what it shows: a name chosen from the list at once, typed text when
    // the typing ends (Enter or the focus leaving), not at each key.
    connect(BtrType, &QComboBox::activated, this, [this] {
        w.guarded([&] { BtrTypeChange(); });
        BtrType->lineEdit()->setCursorPosition(0);
    });
    connect(BtrType->lineEdit(), &QLineEdit::textEdited, this, [this] { mBtrTypeEdited = true; });
    connect(BtrType->lineEdit(), &QLineEdit::editingFinished, this, [this] {
        if (mBtrTypeEdited)
            w.guarded([&] { BtrTypeChange(); });
    });
    wire.keyUp(ELenFld, &UtilsPage::ELenFldKeyUp);
    wire.click(RegistryBase, &UtilsPage::RegistryBaseClick);
    wire.click(UnregistryBase, &UtilsPage::UnregistryBaseClick);
    wire.click(UseRegistryPath, &UtilsPage::UseRegistryPathClick);
    wire.keyUp(BaseList, &UtilsPage::BaseListKeyUp);
    wire.mouseUp(BaseList, &UtilsPage::BaseListMouseUp);
}

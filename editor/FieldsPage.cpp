// Fields page of TMain: FIELD.DDF in FieldGrid, the Table Filter, the Field Type list and the
// highest field id.
#include "DDFUnit.h"
#include "DataTypes.h"
#include "PageLayout.h"

void TMain::FieldGridKeyUp(int) {}
void TMain::FieldGridMouseUp() {}
void TMain::FieldTypeChange() {}
void TMain::FileFilterChange() {}
void TMain::AddOneFieldClick() {}
void TMain::DeleteFieldClick() {}
void TMain::ClearFieldDDFClick() {}
void TMain::OpenFieldDDFClick() {}
void TMain::BuildFieldDDFClick() {}
void TMain::RefreshFieldRow() {}
void TMain::SortFieldGrid() {}
void TMain::RestoreFieldRows() {}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

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

void TMain::wireFieldsPage(HandlerWiring& wire)
{
    wire.keyUp(FieldGrid, &TMain::FieldGridKeyUp);
    wire.mouseUp(FieldGrid, &TMain::FieldGridMouseUp);
    wire.change(NameRec, &TMain::NameRecChange);
    wire.change(FileFilter, &TMain::FileFilterChange);
    wire.change(FieldType, &TMain::FieldTypeChange);
    wire.click(AddOneField, &TMain::AddOneFieldClick);
    wire.click(DeleteField, &TMain::DeleteFieldClick);
    wire.click(AddField, &TMain::AddFieldClick);
    wire.click(BuildFieldDDF, &TMain::BuildFieldDDFClick);
    wire.click(ClearFieldDDF, &TMain::ClearFieldDDFClick);
    wire.click(OpenFieldDDF, &TMain::OpenFieldDDFClick);
}

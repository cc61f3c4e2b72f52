// ExtFields page of TMain: FIELDEXT.DDF in ExtGrid (table and field names in place of ids), the
// File, Field, Field Type and File Filter lists.
#include "DDFUnit.h"
#include "DataTypes.h"
#include "PageLayout.h"

void TMain::ExtGridKeyUp(int) {}
void TMain::ExtGridMouseUp() {}
void TMain::ChooseFilesChange() {}
void TMain::ChooseExtFieldChange() {}
void TMain::ExtTypeChange() {}
void TMain::ExtFileFilterChange() {}
void TMain::DeleteExtClick() {}
void TMain::BuildFieldExtDDFClick() {}
void TMain::OpenFieldExtDDFClick() {}
void TMain::RefreshExtRow() {}
void TMain::SortExtGrid() {}
void TMain::RestoreExtRows() {}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

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

void TMain::wireExtFieldsPage(HandlerWiring& wire)
{
    wire.keyUp(ExtGrid, &TMain::ExtGridKeyUp);
    wire.mouseUp(ExtGrid, &TMain::ExtGridMouseUp);
    wire.change(ChooseFiles, &TMain::ChooseFilesChange);
    wire.change(ChooseExtField, &TMain::ChooseExtFieldChange);
    wire.change(ExtType, &TMain::ExtTypeChange);
    wire.change(ExtFileFilter, &TMain::ExtFileFilterChange);
    wire.click(DeleteExt, &TMain::DeleteExtClick);
    wire.click(BuildFieldExtDDF, &TMain::BuildFieldExtDDFClick);
    wire.click(OpenFieldExtDDF, &TMain::OpenFieldExtDDFClick);
}

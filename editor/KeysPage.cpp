// Keys page of TMain: INDEX.DDF in KeyGrid (table and field names in place of ids), the eleven
// key-flag boxes, the Table Filter and the Field list.
#include "DDFUnit.h"
#include "PageLayout.h"

void TMain::KeyGridKeyUp(int) {}
void TMain::KeyGridMouseUp() {}
void TMain::ChClickKey(TVarCheckBox*) {}
void TMain::ChooseFieldChange() {}
void TMain::IndexFilterChange() {}
void TMain::AddKeyClick() {}
void TMain::DeleteKeyClick() {}
void TMain::ClearKeysDDFClick() {}
void TMain::OpenKeysDDFClick() {}
void TMain::BuildKeysDDFClick() {}
void TMain::RefreshKeyRow() {}
void TMain::SortKeyGrid() {}
void TMain::RestoreKeyRows() {}

// ---- Layout and wiring ----

using layout::comboBox;
using layout::flagBox;
using layout::names;
using layout::place;
using layout::placeLabel;

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

QList<TVarCheckBox*> TMain::keyFlagBoxes() const
{
    return {ChDuplicates, ChModifiable, ChBinary,  ChNullKey_AllSeg, ChSegmented, ChACS,
            ChDescending, ChRepeatDupl, ChExtType, ChNullKey_AnySeg, ChCaseInsens};
}

void TMain::wireKeysPage(HandlerWiring& wire)
{
    wire.keyUp(KeyGrid, &TMain::KeyGridKeyUp);
    wire.mouseUp(KeyGrid, &TMain::KeyGridMouseUp);
    wire.change(IndexFilter, &TMain::IndexFilterChange);
    wire.change(ChooseField, &TMain::ChooseFieldChange);
    wire.click(AddKey, &TMain::AddKeyClick);
    wire.click(DeleteKey, &TMain::DeleteKeyClick);
    wire.click(BuildKeysDDF, &TMain::BuildKeysDDFClick);
    wire.click(ClearKeysDDF, &TMain::ClearKeysDDFClick);
    wire.click(OpenKeysDDF, &TMain::OpenKeysDDFClick);
    wire.flagBoxes(keyFlagBoxes(), &TMain::ChClickKey);
}

// Fields page of TMain: FIELD.DDF in FieldGrid, the Table Filter, the Field Type list and the
// highest field id.
#include "DDFUnit.h"

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

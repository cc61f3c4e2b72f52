// ExtFields page of TMain: FIELDEXT.DDF in ExtGrid (table and field names in place of ids), the
// File, Field, Field Type and File Filter lists.
#include "DDFUnit.h"

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

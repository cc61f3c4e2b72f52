// Keys page of TMain: INDEX.DDF in KeyGrid (table and field names in place of ids), the eleven
// key-flag boxes, the Table Filter and the Field list.
#include "DDFUnit.h"

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

// Fields page of TMain: "Add Record", which turns a scanned record into FieldGrid rows and, for
// extended types, ExtGrid rows.
#include "DDFUnit.h"

void TMain::NameRecChange() {}
void TMain::AddFieldClick() {}
void TMain::AddExtFieldRow(int, int) {}

// Utils page of TMain: the Pascal record scanner ("Find Records", the Record List, RecordGrid).
#include "DDFUnit.h"

void TMain::SearchClick() {}
void TMain::FindRecordKeyUp(int) {}
void TMain::FindRecordMouseUp() {}
void TMain::ShowRecordFields() {}

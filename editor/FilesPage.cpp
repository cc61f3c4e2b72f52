// Files page of TMain: FILE.DDF in FileGrid, the twelve flag boxes, the file specification
// edits, FileStatList, and the page's Add and Create.
#include "DDFUnit.h"

void TMain::ClearFileDDFClick() {}
void TMain::OpenFileDDFClick() {}
void TMain::BuildFileDDFClick() {}
void TMain::DeleteTableClick() {}
void TMain::ChClick(TVarCheckBox*) {}
void TMain::FileGridKeyUp(int) {}
void TMain::FileGridMouseUp() {}
void TMain::RefreshFileRow() {}
int TMain::FindFileStat()
{
    return -1;
}
int TMain::IndexOfFileStat(qint32)
{
    return -1;
}
void TMain::AddFileClick() {}
void TMain::CreateFileClick() {}

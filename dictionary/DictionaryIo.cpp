#include "DictionaryIo.h"

#include "SetWriter.h"
#include "Status.h"
#include "WinBtr.h"

#include <cstring>

namespace dict {

int readDictionaryFile(DictFile file, RecordArray& array, std::size_t& count, int* stoppedBy)
{
    const CreationSpec& layout = creationSpec(file);
    count = 0;
    SharedWinBtr btr;
    if (btr->Open(layout.fileName, "", 0) != btr::StatusSuccess)
        return btr->StatusOf();
    btr->KeyNumber = 0;
    btr->SetBufferSize(layout.recordLength);
    btr->UseBuffer(array.slot(0).data());
    btr->GetFirst();
    while (btr->StatusOf() == btr::StatusSuccess) {
        ++count;
        btr->UseBuffer(array.slot(count).data());
        btr->GetNext();
    }
    if (stoppedBy)
        *stoppedBy = btr->StatusOf();
    btr->Close();
    return btr::StatusSuccess;
}

void writeDictionaryFile(DictFile file, RecordArray& array, const std::vector<RowSlot>& rows,
                         BuildReport& report)
{
    DictionarySetWriter set;
    if (set.stage(file, array, rows, report))
        if (const std::string why = set.commit(nullptr); !why.empty())
            report.note(why + ".");
}

} // namespace dict

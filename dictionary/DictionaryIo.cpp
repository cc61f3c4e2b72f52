#include "DictionaryIo.h"

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
    const CreationSpec& layout = creationSpec(file);
    SharedWinBtr btr;
    btr->ClearKey(255);
    std::strncpy(btr->KeyBuffer, layout.fileName, sizeof btr->KeyBuffer - 1);
    btr->KeyNumber = 0;
    std::vector<uint8_t> createBuffer = layout.bytes;
    if (btr->ExecuteWith(btr::OpCreate, createBuffer.data(), static_cast<uint16_t>(createBuffer.size())) !=
        btr::StatusSuccess) {
        report.fileNotCreated(layout.fileName, btr->StatusOf());
        return;
    }
    if (btr->Open(layout.fileName, "", 0) != btr::StatusSuccess) {
        report.fileNotOpened(layout.fileName, btr->StatusOf());
        return;
    }
    btr->SetBufferSize(layout.recordLength);
    for (const RowSlot& r : rows) {
        btr->UseBuffer(array.slot(r.slot).data());
        if (btr->Insert() != btr::StatusSuccess)
            report.rowRefused(layout.fileName, r.row, btr->StatusOf());
    }
    btr->Close();
}

} // namespace dict

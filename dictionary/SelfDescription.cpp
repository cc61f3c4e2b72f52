#include "SelfDescription.h"

namespace dict {
namespace {

constexpr uint8_t kTypeString = 0;
constexpr uint8_t kTypeInteger = 1;

constexpr std::string_view kFileFields[] = {"Xf$Id", "Xf$Name", "Xf$Loc", "Xf$Flags"};
constexpr std::string_view kFieldFields[] = {"Xe$Id",     "Xe$File", "Xe$Name", "Xe$DataType",
                                             "Xe$Offset", "Xe$Size", "Xe$Dec",  "Xe$Flag"};
constexpr std::string_view kIndexFields[] = {"Xi$File", "Xi$Field", "Xi$Number", "Xi$Part", "Xi$Flags"};
constexpr std::string_view kFieldExtFields[] = {"Xx$File", "Xx$Id", "Xx$DataType"};

template <typename Record> void rebuild(RecordArray& array, const std::vector<Record>& rows)
{
    array.reset();
    for (std::size_t i = 0; i < rows.size(); ++i)
        rows[i].encode(array.slot(i));
}

FieldRecord field(int16_t id, int16_t file, std::string_view name, uint8_t type, int16_t offset, int16_t size)
{
    FieldRecord r;
    r.id = id;
    r.file = file;
    r.name = name;
    r.name.resize(FieldRecord::kNameWidth, ' ');
    r.dataType = type;
    r.offset = offset;
    r.size = size;
    return r;
}

FileRecord file(int16_t id, const char* name, const char* loc)
{
    FileRecord r;
    r.id = id;
    r.name = name;
    r.name.resize(FileRecord::kNameWidth, ' ');
    r.loc = loc;
    r.loc.resize(FileRecord::kLocWidth, ' ');
    r.flags = 16;
    return r;
}

} // namespace

std::size_t fieldAtOffset(DictFile file, std::size_t offset)
{
    // Where each field starts, in record order.
    static constexpr std::size_t kFile[] = {0, 2, 22, 86};
    static constexpr std::size_t kField[] = {0, 2, 4, 24, 25, 27, 29, 30};
    static constexpr std::size_t kIndex[] = {0, 2, 4, 6, 8};
    static constexpr std::size_t kFieldExt[] = {0, 2, 4};
    std::span<const std::size_t> starts;
    switch (file) {
    case DictFile::File:
        starts = kFile;
        break;
    case DictFile::Field:
        starts = kField;
        break;
    case DictFile::Index:
        starts = kIndex;
        break;
    case DictFile::FieldExt:
        starts = kFieldExt;
        break;
    }
    std::size_t field = 0;
    while (field + 1 < starts.size() && starts[field + 1] <= offset)
        ++field;
    return field;
}

std::span<const std::string_view> fieldNames(DictFile file)
{
    switch (file) {
    case DictFile::File:
        return kFileFields;
    case DictFile::Field:
        return kFieldFields;
    case DictFile::Index:
        return kIndexFields;
    case DictFile::FieldExt:
        return kFieldExtFields;
    }
    return {};
}

const std::vector<FileRecord>& fileSelfDescription()
{
    static const std::vector<FileRecord> rows = {
        file(1, "X$FILE", "FILE.DDF"),
        file(2, "X$FIELD", "FIELD.DDF"),
        file(3, "X$INDEX", "INDEX.DDF"),
    };
    return rows;
}

const std::vector<FieldRecord>& fieldSelfDescription()
{
    static const std::vector<FieldRecord> rows = {
        field(1, 1, kFileFields[0], kTypeInteger, 0, 2),
        field(2, 1, kFileFields[1], kTypeString, 2, 20),
        field(3, 1, kFileFields[2], kTypeString, 22, 64),
        field(4, 1, kFileFields[3], kTypeInteger, 86, 1),
        field(5, 2, kFieldFields[0], kTypeInteger, 0, 2),
        field(6, 2, kFieldFields[1], kTypeInteger, 2, 2),
        field(7, 2, kFieldFields[2], kTypeString, 4, 20),
        field(8, 2, kFieldFields[3], kTypeInteger, 24, 1),
        field(9, 2, kFieldFields[4], kTypeInteger, 25, 2),
        field(10, 2, kFieldFields[5], kTypeInteger, 27, 2),
        field(11, 2, kFieldFields[6], kTypeInteger, 29, 1),
        field(12, 2, kFieldFields[7], kTypeInteger, 30, 2),
        field(13, 3, kIndexFields[0], kTypeInteger, 0, 2),
        field(14, 3, kIndexFields[1], kTypeInteger, 2, 2),
        field(15, 3, kIndexFields[2], kTypeInteger, 4, 2),
        field(16, 3, kIndexFields[3], kTypeInteger, 6, 2),
        field(17, 3, kIndexFields[4], kTypeInteger, 8, 2),
    };
    return rows;
}

const std::vector<IndexRecord>& indexSelfDescription()
{
    static const std::vector<IndexRecord> rows = {
        {1, 1, 0, 0, 4},  {1, 2, 1, 0, 34}, {2, 5, 0, 0, 4},    {2, 6, 1, 0, 5},    {2, 7, 2, 0, 35},
        {2, 6, 3, 0, 22}, {2, 7, 3, 1, 34}, {2, 6, 4, 0, 403},  {2, 9, 4, 1, 403},  {2, 11, 4, 2, 387},
        {3, 13, 0, 0, 5}, {3, 14, 1, 0, 5}, {3, 13, 2, 0, 402}, {3, 15, 2, 1, 402}, {3, 16, 2, 2, 386},
    };
    return rows;
}

void rebuildFileTable(RecordArray& fileTable)
{
    rebuild(fileTable, fileSelfDescription());
}

void rebuildFieldTable(RecordArray& fieldTable)
{
    rebuild(fieldTable, fieldSelfDescription());
}

void rebuildIndexTable(RecordArray& indexTable)
{
    rebuild(indexTable, indexSelfDescription());
}

} // namespace dict

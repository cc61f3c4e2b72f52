#include "CreateBuffer.h"

#include "DataTypes.h"
#include "Text.h"

#include <algorithm>
#include <span>
#include <utility>

namespace dict {
namespace {

// A name as compared: trailing blanks and NULs dropped.
std::string_view trimmed(const std::string& name)
{
    return text::withoutTrailingBlanks(name);
}

bool sameName(const std::string& a, const std::string& b)
{
    return text::equalIgnoringAsciiCase(trimmed(a), trimmed(b));
}

std::optional<int64_t> number(const std::string& text)
{
    try {
        std::size_t used = 0;
        const long long value = std::stoll(text, &used);
        return used == text.size() ? std::optional<int64_t>(value) : std::nullopt;
    } catch (...) {
        return std::nullopt;
    }
}

bool sameId(const std::string& a, const std::string& b)
{
    const auto x = number(a);
    return x && x == number(b);
}

CreateBuffer refused(CreateBuffer::Problem problem, std::string detail, int keyCount = 0)
{
    CreateBuffer out;
    out.problem = problem;
    out.detail = std::move(detail);
    out.keyCount = keyCount;
    return out;
}

} // namespace

CreateBuffer buildCreateBuffer(const std::string& tableName, const std::string& tableId,
                               const CreateFileValues& values, const std::vector<CreateKeyRow>& keys,
                               const std::vector<CreateFieldRow>& fields)
{
    using Problem = CreateBuffer::Problem;
    CreateBuffer out;
    out.bytes.assign(kCreateBufferSize, 0);
    std::span<uint8_t> bytes(out.bytes);
    std::vector<const CreateKeyRow*> ofTable;
    for (const CreateKeyRow& key : keys)
        if (!trimmed(key.table).empty() && sameName(key.table, tableName))
            ofTable.push_back(&key);
    if (ofTable.size() > kMaxCreateSegments)
        return refused(Problem::TooManySegments, std::to_string(ofTable.size()));
    std::stable_sort(ofTable.begin(), ofTable.end(), [](const CreateKeyRow* a, const CreateKeyRow* b) {
        return std::pair(a->number, a->part) < std::pair(b->number, b->part);
    });

    for (const CreateKeyRow* keyRow : ofTable) {
        const CreateKeyRow& key = *keyRow;
        const CreateFieldRow* field = nullptr;
        if (key.fieldRow && *key.fieldRow < fields.size())
            field = &fields[*key.fieldRow];
        else
            for (const CreateFieldRow& f : fields)
                if (!trimmed(key.field).empty() && sameId(f.file, tableId) && sameName(f.name, key.field)) {
                    field = &f;
                    break;
                }
        if (!field)
            return refused(Problem::FieldNotFound, key.field);
        for (const NumberCell* cell : {&field->offset, &field->size, &field->dataType, &key.flags})
            if (!cell->value)
                return refused(Problem::NotANumber, cell->text);
        const auto within = [](const NumberCell& cell, int64_t lowest, int64_t highest) {
            return *cell.value >= lowest && *cell.value <= highest;
        };
        if (!within(field->offset, 0, 0xFFFE) || !within(field->size, 0, 0xFFFF) ||
            !within(field->dataType, 0, 0xFF) || !within(key.flags, 0, 0xFFFF))
            return refused(Problem::BadSegment, field->name);
        KeySpec spec;
        spec.position = uint16_t(*field->offset.value + 1);
        spec.length = uint16_t(*field->size.value);
        spec.flags = uint16_t(*key.flags.value);
        spec.extendedType = uint8_t(*field->dataType.value);
        spec.encode(bytes.subspan(FileSpec::kSize + std::size_t(out.segmentCount) * KeySpec::kSize));
        ++out.segmentCount;
        if (!(spec.flags & KeySegmented))
            ++out.keyCount;
    }

    int64_t recordLength = values.recordLength;
    if (recordLength == 0)
        for (const CreateFieldRow& field : fields) {
            if (!sameId(field.file, tableId))
                continue;
            if (!field.size.value)
                return refused(Problem::NotANumber, field.size.text, out.keyCount);
            recordLength += *field.size.value;
        }
    if (recordLength == 0)
        return refused(Problem::NoRecordLength, {}, out.keyCount);
    if (recordLength < 0 || recordLength > 0xFFFF)
        return refused(Problem::BadRecordLength, std::to_string(recordLength), out.keyCount);
    out.recordLength = int32_t(recordLength);

    FileSpec spec;
    spec.recordLength = int16_t(uint16_t(recordLength));
    spec.pageSize = int16_t(values.pageSize == 0 ? kDefaultPageSize : values.pageSize);
    spec.indexCount = int16_t(out.keyCount);
    spec.recordCount = values.recordCount;
    spec.flags = int16_t(values.flags);
    spec.duplicatePointers = uint8_t(values.duplicatePointers);
    spec.reserved = uint8_t(values.reserved);
    spec.pages = int16_t(values.pages);
    spec.encode(bytes);
    return out;
}

} // namespace dict

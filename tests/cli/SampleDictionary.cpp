#include "SampleDictionary.h"

#include "GeneratedTable.h"

#include "BuildReport.h"
#include "DictionaryIo.h"
#include "SelfDescription.h"
#include "Status.h"
#include "TempDir.h"
#include "WinBtr.h"

#include <cstring>
#include <stdexcept>

namespace sample {

DictionaryRows selfDescription()
{
    DictionaryRows rows;
    rows.files = dict::fileSelfDescription();
    rows.fields = dict::fieldSelfDescription();
    rows.indexes = dict::indexSelfDescription();
    rows.writeExtensions = false;
    return rows;
}

DictionaryRows customerDictionary(const std::string& shifted)
{
    DictionaryRows rows = selfDescription();
    rows.writeExtensions = true;
    dict::FileRecord f;
    f.id = 4;
    f.name = "CUSTOMER";
    f.loc = "CUSTOMER.DAT";
    rows.files.push_back(f);
    int16_t id = 100;
    for (const generated::FieldLayout& l : generated::customerLayout()) {
        const int16_t offset = static_cast<int16_t>(l.offset + (l.name == shifted ? 1 : 0));
        rows.fields.push_back(
            {id, 4, l.name, static_cast<uint8_t>(l.type), offset, static_cast<int16_t>(l.size), 0, 0});
        if (std::string(l.name) == "Id")
            rows.indexes.push_back({4, id, 0, 0, static_cast<int16_t>(dict::KeyExtendedType | dict::KeyDuplicates)});
        ++id;
    }
    return rows;
}

DictionaryRows salesDictionary()
{
    DictionaryRows rows = selfDescription();
    rows.writeExtensions = true;
    auto file = [&](int16_t id, const char* name, const char* loc) {
        dict::FileRecord f;
        f.id = id;
        f.name = name;
        f.loc = loc;
        rows.files.push_back(f);
    };
    auto field = [&](int16_t id, int16_t table, const char* name, uint8_t type, int16_t offset, int16_t size,
                     uint8_t dec = 0) {
        rows.fields.push_back({id, table, name, type, offset, size, dec, 0});
    };
    auto segment = [&](int16_t table, int16_t fieldId, int16_t number, int16_t part, int16_t flags) {
        rows.indexes.push_back({table, fieldId, number, part, flags});
    };
    file(4, "CUSTOMER", "CUSTOMER.DAT");
    field(18, 4, "CustId", 1, 0, 4);
    field(19, 4, "Name", 0, 4, 30);
    field(20, 4, "City", 11, 34, 20);
    field(21, 4, "Since", 3, 54, 4);
    field(22, 4, "Balance", 6, 58, 8, 2);
    segment(4, 18, 0, 0, 0x100);
    segment(4, 19, 1, 0, 0x103);

    file(5, "ORDERS", "ORDERS.DAT");
    field(23, 5, "OrderNo", 15, 0, 4);
    field(24, 5, "CustId", 1, 4, 4);
    field(25, 5, "OrderDate", 1, 8, 4);
    field(26, 5, "Amount", 5, 12, 6, 2);
    field(27, 5, "Shipped", 7, 18, 1);
    field(28, 5, "At", 4, 19, 4);
    segment(5, 23, 0, 0, 0x100);
    segment(5, 24, 1, 0, 0x111);
    segment(5, 25, 1, 1, 0x101);
    rows.extensions.push_back({5, 25, 228});

    file(6, "ITEMS", "ITEMS.DAT");
    field(29, 6, "OrderNo", 1, 0, 4);
    field(30, 6, "Line", 14, 4, 2);
    field(31, 6, "Product", 10, 6, 21);
    field(32, 6, "Qty", 1, 27, 2);
    field(33, 6, "Price", 9, 29, 8);
    field(34, 6, "Weight", 2, 37, 4);
    field(35, 6, "Code", 8, 41, 6, 1);
    segment(6, 29, 0, 0, 0x110);
    segment(6, 30, 0, 1, 0x100);
    return rows;
}

dict::DictionarySet setOf(const DictionaryRows& rows)
{
    dict::DictionarySet set;
    set.files = rows.files;
    set.fields = rows.fields;
    set.indexes = rows.indexes;
    set.extensions = rows.extensions;
    set.hasExtensions = rows.writeExtensions;
    return set;
}

namespace {

template <typename Record>
void writeTable(dict::DictFile file, dict::RecordArray array, const std::vector<Record>& records)
{
    std::vector<dict::RowSlot> slots;
    for (std::size_t i = 0; i < records.size(); ++i) {
        records[i].encode(array.slot(i));
        slots.push_back({static_cast<int>(i + 1), i});
    }
    dict::BuildReport report;
    dict::writeDictionaryFile(file, array, slots, report);
    if (!report.empty())
        throw std::runtime_error(report.text(true));
}

template <typename Record> void writeWithDuplicates(dict::DictFile file, const std::vector<Record>& records)
{
    const dict::CreationSpec& layout = dict::creationSpec(file);
    std::vector<uint8_t> spec = layout.bytes;
    const int segments = (static_cast<int>(spec.size()) - 16 - static_cast<int>(dict::kAcsSize)) / 16;
    for (int i = 0; i < segments; ++i)
        spec[16 + 16 * i + 4] |= dict::KeyDuplicates;
    TWinBtr btr;
    btr.ClearKey(255);
    std::strncpy(btr.KeyBuffer, layout.fileName, sizeof btr.KeyBuffer - 1);
    if (btr.ExecuteWith(btr::OpCreate, spec.data(), static_cast<uint16_t>(spec.size())) ||
        btr.Open(layout.fileName, "", 0))
        throw std::runtime_error(std::string(layout.fileName) + " not created");
    std::vector<uint8_t> record(Record::kSize);
    for (const Record& r : records) {
        r.encode(record);
        btr.UseBuffer(record.data());
        if (btr.Insert())
            throw std::runtime_error(std::string(layout.fileName) + ": a record was refused");
    }
}

} // namespace

void writeDictionary(const std::filesystem::path& dir, const DictionaryRows& rows)
{
    testsupport::CurrentDirGuard here(dir);
    if (rows.allowDuplicates) {
        writeWithDuplicates(dict::DictFile::File, rows.files);
        writeWithDuplicates(dict::DictFile::Field, rows.fields);
    } else {
        writeTable(dict::DictFile::File, dict::makeFileTableArray(), rows.files);
        writeTable(dict::DictFile::Field, dict::makeFieldTableArray(), rows.fields);
    }
    writeTable(dict::DictFile::Index, dict::makeIndexTableArray(), rows.indexes);
    if (rows.writeExtensions)
        writeTable(dict::DictFile::FieldExt, dict::makeExtTableArray(), rows.extensions);
}

int createDataFile(const std::filesystem::path& path, const dict::TableDef& table,
                   const std::vector<std::vector<uint8_t>>& records)
{
    std::vector<uint8_t> spec(btr::kStatBufferSize, 0);
    int recordLength = 0;
    for (const dict::FieldDef& f : table.fields)
        recordLength = std::max(recordLength, f.record.offset + f.record.size);
    dict::FileSpec fs;
    fs.recordLength = static_cast<int16_t>(recordLength);
    fs.pageSize = 4096;
    fs.indexCount = static_cast<int16_t>(table.keys.size());
    fs.encode(spec);
    std::size_t at = dict::FileSpec::kSize;
    for (const dict::KeyDef& k : table.keys)
        for (const dict::KeySegmentDef& s : k.segments) {
            dict::KeySpec ks;
            ks.position = static_cast<uint16_t>(s.field->record.offset + 1);
            ks.length = static_cast<uint16_t>(s.field->record.size);
            ks.flags = static_cast<uint16_t>(s.record.flags);
            ks.extendedType = s.field->record.dataType;
            ks.encode(std::span<uint8_t>(spec).subspan(at));
            at += dict::KeySpec::kSize;
        }
    TWinBtr btr;
    btr.ClearKey(255);
    std::strncpy(btr.KeyBuffer, path.string().c_str(), sizeof btr.KeyBuffer - 1);
    btr.KeyNumber = 0;
    if (int st = btr.ExecuteWith(btr::OpCreate, spec.data(), static_cast<uint16_t>(spec.size())))
        return st;
    if (int st = btr.Open(path.string(), "", 0))
        return st;
    for (const std::vector<uint8_t>& r : records) {
        btr.UseBuffer(const_cast<uint8_t*>(r.data()));
        if (int st = btr.Insert())
            return st;
    }
    return btr.Close();
}

std::vector<std::vector<uint8_t>> salesRecords(const std::string& t)
{
    if (t == "CUSTOMER")
        return {RecordBytes(66)
                    .integer(0, 4, 1)
                    .text(4, 30, "Ada Lovelace")
                    .text(34, 20, "London", '\0')
                    .raw(54, {10, 12, 0x17, 0x07})
                    .raw(58, {0, 0, 0, 0x12, 0x34, 0x56, 0x78, 0x9C})
                    .bytes(),
                RecordBytes(66)
                    .integer(0, 4, uint32_t(-7))
                    .text(4, 30, "Zo\xEB")
                    .text(34, 20, "K\xF6ln", '\0')
                    .raw(58, {0, 0, 0, 0, 0, 0, 0, 0x5D})
                    .bytes()};
    if (t == "ORDERS")
        return {RecordBytes(23)
                    .integer(0, 4, 1)
                    .integer(4, 4, 1)
                    .integer(8, 4, 20241231)
                    .raw(12, {0, 0, 0, 0x09, 0x95, 0x0C})
                    .integer(18, 1, 1)
                    .raw(19, {25, 30, 45, 13})
                    .bytes(),
                RecordBytes(23)
                    .integer(0, 4, 2)
                    .integer(4, 4, 1)
                    .integer(8, 4, 20240229)
                    .raw(12, {0, 0x10, 0, 0, 0, 0x0D})
                    .bytes(),
                RecordBytes(23)
                    .integer(0, 4, 3)
                    .integer(4, 4, uint32_t(-7))
                    .integer(8, 4, 20230229) // no such day
                    .raw(12, {0, 0, 0, 0, 0, 0x0C})
                    .bytes()};
    return {RecordBytes(47)
                .integer(0, 4, 1)
                .integer(4, 2, 65535)
                .raw(6, {15})
                .text(7, 20, "Widget, \"large\"")
                .integer(27, 2, uint16_t(-3))
                .raw(29, {0, 0, 0, 0, 0, 0, 0x20, 0x84})
                .real4(37, 2.5f)
                .text(41, 6, "00012J")
                .bytes(),
            RecordBytes(47)
                .integer(0, 4, 1)
                .integer(4, 2, 2)
                .integer(27, 2, 32767)
                .raw(29, {0, 0, 0, 0, 0, 0, 0xC0, 0x80})
                .real4(37, 0.001f)
                .text(41, 6, "  123{")
                .bytes()};
}

void fillSalesData(const std::filesystem::path& dir, const DictionaryRows& rows)
{
    dict::DictionarySet set;
    set.files = rows.files;
    set.fields = rows.fields;
    set.indexes = rows.indexes;
    set.extensions = rows.extensions;
    const dict::Tables tables(set);
    for (const char* t : {"CUSTOMER", "ORDERS", "ITEMS"}) {
        const dict::TableDef* def = tables.find(t);
        if (int status = createDataFile(dir / def->location, *def, salesRecords(t)))
            throw std::runtime_error(std::string(t) + ": status " + std::to_string(status));
    }
}

RecordBytes& RecordBytes::integer(std::size_t offset, std::size_t size, uint64_t value)
{
    for (std::size_t i = 0; i < size; ++i)
        mBytes.at(offset + i) = static_cast<uint8_t>(value >> (8 * i));
    return *this;
}

RecordBytes& RecordBytes::text(std::size_t offset, std::size_t size, const std::string& value, char pad)
{
    for (std::size_t i = 0; i < size; ++i)
        mBytes.at(offset + i) = static_cast<uint8_t>(i < value.size() ? value[i] : pad);
    return *this;
}

RecordBytes& RecordBytes::raw(std::size_t offset, const std::vector<uint8_t>& bytes)
{
    for (std::size_t i = 0; i < bytes.size(); ++i)
        mBytes.at(offset + i) = bytes[i];
    return *this;
}

RecordBytes& RecordBytes::real(std::size_t offset, double value)
{
    std::memcpy(&mBytes.at(offset + 7) - 7, &value, 8);
    return *this;
}

RecordBytes& RecordBytes::real4(std::size_t offset, float value)
{
    std::memcpy(&mBytes.at(offset + 3) - 3, &value, 4);
    return *this;
}

} // namespace sample

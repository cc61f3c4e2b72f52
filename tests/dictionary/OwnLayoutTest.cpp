// A Build over an existing dictionary file writes it back in that file's own layout: record
// length, page size and key flags as they were (old 87-byte FILE.DDF, 512-byte pages, a
// FIELD.DDF whose (Xe$File, Xe$Name) key allows duplicates), and no FIELDEXT.DDF appears for
// no rows. (A set started anew, written in the standard layout, is the window's test.)
#include "DataFiles.h"
#include "SetWriterSupport.h"
#include "Status.h"
#include "WinBtr.h"

#include <filesystem>

namespace {

namespace fs = std::filesystem;
using namespace settest;
using OwnLayout = SetWriting;

struct Variant {
    uint16_t recordLength;
    uint16_t pageSize;
    uint16_t orFlags; // or-ed into every key segment's flags
};

// The standard Create buffer of `file` with another record length, page size and extra key flags.
std::vector<uint8_t> variantOf(dict::DictFile file, Variant v)
{
    std::vector<uint8_t> bytes = dict::creationSpec(file).bytes;
    dict::FileSpec spec = dict::FileSpec::decode(bytes);
    spec.recordLength = int16_t(v.recordLength);
    spec.pageSize = int16_t(v.pageSize);
    spec.encode(bytes);
    for (int segment = 0;
         segment < spec.indexCount * 3 && dict::FileSpec::kSize + (segment + 1) * 16 <= bytes.size();
         ++segment) {
        auto at = std::span<uint8_t>(bytes).subspan(dict::FileSpec::kSize + std::size_t(segment) * 16);
        dict::KeySpec key = dict::KeySpec::decode(at);
        if (key.length == 0 || key.position > 1000)
            break; // past the segments: the collating sequence
        key.flags |= v.orFlags;
        key.encode(at);
    }
    return bytes;
}

// Creates the file from `create` and inserts the records, cut to the record length.
void makeFile(dict::DictFile file, const std::vector<uint8_t>& create, const Records& records)
{
    const std::string name = dict::creationSpec(file).fileName;
    ASSERT_EQ(dict::createDataFile(name, create), 0) << name;
    TWinBtr btr;
    ASSERT_EQ(btr.Open(name, "", 0), 0);
    for (Records::value_type record : records) {
        record.resize(std::size_t(dict::FileSpec::decode(create).recordLength));
        btr.UseBuffer(record.data());
        ASSERT_EQ(btr.Insert(), 0);
    }
    btr.Close();
}

// Record length, page size and every segment's flags as Stat gives them.
struct Layout {
    uint16_t recordLength = 0;
    uint16_t pageSize = 0;
    std::vector<uint16_t> flags;
    bool operator==(const Layout&) const = default;
};

Layout layoutOf(dict::DictFile file)
{
    uint16_t length = 0;
    const std::vector<uint8_t> own = dict::ownLayout(dict::creationSpec(file).fileName, length);
    Layout out;
    if (own.empty())
        return out;
    const dict::FileSpec spec = dict::FileSpec::decode(own);
    out.recordLength = length;
    out.pageSize = uint16_t(spec.pageSize);
    for (std::size_t at = dict::FileSpec::kSize, key = 0; key < std::size_t(spec.indexCount); at += 16) {
        const dict::KeySpec segment = dict::KeySpec::decode(std::span<const uint8_t>(own).subspan(at));
        out.flags.push_back(segment.flags);
        key += !(segment.flags & dict::KeySegmented);
    }
    return out;
}

// Stages and commits the records of one file as a Build does.
dict::BuildReport build(dict::DictFile file, const Records& records,
                        dict::FileLayout layout = dict::FileLayout::Own)
{
    dict::DictionarySetWriter set;
    dict::BuildReport report;
    dict::RecordArray array = arrayFor(file);
    std::vector<dict::RowSlot> rows;
    for (std::size_t r = 0; r < records.size(); ++r) {
        std::copy(records[r].begin(), records[r].end(), array.slot(r).begin());
        rows.push_back({int(r) + 1, r});
    }
    set.stage(file, array, rows, report, 0, layout);
    EXPECT_EQ(set.commit(nullptr), "");
    return report;
}

Records cut(Records records, std::size_t length, std::size_t slot)
{
    for (auto& r : records) {
        r.resize(length);
        r.resize(slot, 0);
    }
    return records;
}

TEST_F(OwnLayout, aRebuiltFileKeepsItsRecordLengthPageSizeAndKeyFlagsAndEveryRecord)
{
    const Generation g = generate(6, 3);
    // Two fields of one table with the same name: only a key that allows duplicates holds both.
    Records fields = g.files[1];
    dict::FieldRecord twin = dict::FieldRecord::decode(fields[0]);
    twin.id = 999;
    fields.push_back(fields[0]);
    twin.encode(fields.back());

    struct Case {
        dict::DictFile file;
        Variant variant;
        Records records;
        std::size_t expected;
    };
    const Case cases[] = {
        {dict::DictFile::File, {87, 512, 0}, g.files[0], g.files[0].size()},
        {dict::DictFile::File, {97, 1024, 0}, g.files[0], g.files[0].size()},
        {dict::DictFile::Field, {32, 512, 0x001}, fields, fields.size()},
        {dict::DictFile::Field,
         {32, 4096, 0},
         fields,
         fields.size() - 1}, // key 3 unique: the twin is refused
        {dict::DictFile::Index, {10, 512, 0x001}, g.files[2], g.files[2].size()},
        {dict::DictFile::FieldExt, {6, 1024, 0}, g.files[3], g.files[3].size()},
    };
    for (const Case& c : cases) {
        const std::string name = dict::creationSpec(c.file).fileName;
        SCOPED_TRACE(name + " " + std::to_string(c.variant.recordLength) + "/" +
                     std::to_string(c.variant.pageSize));
        fs::remove(name);
        const std::vector<uint8_t> create = variantOf(c.file, c.variant);
        Records held = c.records;
        if (c.expected < c.records.size())
            held.pop_back(); // such a file cannot hold the twin
        makeFile(c.file, create, held);
        const Layout before = layoutOf(c.file);
        ASSERT_EQ(before.recordLength, c.variant.recordLength);

        const dict::BuildReport report = build(c.file, c.records);
        EXPECT_EQ(report.empty(), c.expected == c.records.size()) << report.text(true);
        EXPECT_EQ(layoutOf(c.file), before);
        int status = 0;
        const Records read = readFile(c.file, status);
        ASSERT_EQ(status, 0);
        const std::size_t slot = arrayFor(c.file).recordSize();
        EXPECT_EQ(read.size(), c.expected);
        EXPECT_TRUE(sameRecords(read, cut(held, c.variant.recordLength, slot)));
    }
}

TEST_F(OwnLayout, aFileMadeInTheStandardLayoutGivesThatLayoutBackByteForByte)
{
    for (const dict::DictFile file : kFiles) {
        const dict::CreationSpec& spec = dict::creationSpec(file);
        ASSERT_EQ(dict::createDataFile(spec.fileName, spec.bytes), 0);
        uint16_t length = 0;
        EXPECT_EQ(dict::ownLayout(spec.fileName, length), spec.bytes) << spec.fileName;
        EXPECT_EQ(length, spec.recordLength);
    }
}

TEST_F(OwnLayout, noFieldExtDdfIsMadeForNoRowsWhereThereWasNoneUnlessTheSetIsStartedAnew)
{
    const std::string name = dict::creationSpec(dict::DictFile::FieldExt).fileName;
    build(dict::DictFile::FieldExt, {});
    EXPECT_FALSE(fs::exists(name));
    build(dict::DictFile::FieldExt, {}, dict::FileLayout::Standard);
    EXPECT_TRUE(fs::exists(name));
    // One that is there is written, rows or none.
    build(dict::DictFile::FieldExt, generate(2, 1).files[3]);
    build(dict::DictFile::FieldExt, {});
    int status = 0;
    EXPECT_TRUE(readFile(dict::DictFile::FieldExt, status).empty());
    EXPECT_EQ(status, 0);
}

TEST_F(OwnLayout, aValueTheOldRecordLengthCannotHoldIsNamedInTheReport)
{
    Records fields = generate(1, 1).files[1];
    makeFile(dict::DictFile::Field, variantOf(dict::DictFile::Field, {30, 512, 0}), fields);
    dict::FieldRecord flagged = dict::FieldRecord::decode(fields[1]);
    flagged.flag = 3; // Xe$Flag, bytes 30 and 31: past a 30-byte record
    flagged.encode(fields[1]);
    const dict::BuildReport report = build(dict::DictFile::Field, fields);
    EXPECT_EQ(report.text(true),
              "FIELD.DDF: row 2: values past byte 30 do not fit the file's 30-byte records and "
              "were left out.");
    EXPECT_EQ(layoutOf(dict::DictFile::Field).recordLength, 30);
}

} // namespace

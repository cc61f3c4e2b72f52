// Key order from a genuine file's own index pages (B-trees) against the order of its records
// sorted by key, and trees that do not bear out: the reader must then fall back, never give a
// wrong order.
#include "BtrCall.h"
#include "BtrTestFile.h"
#include "FileDefinition.h"
#include "Fixtures.h"
#include "Generators.h"
#include "GenuineBuilder.h"
#include "GenuineFile.h"
#include "MemoryFile.h"
#include "Status.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <random>

using namespace genuinetest;
using btrtest::BtrFile;
using Records = std::vector<std::vector<uint8_t>>;

namespace {

struct Read {
    int16_t status = -1;
    engine::FileDefinition def;
    Records records;
    std::vector<engine::GenuineKeyOrder> orders;
};

Read readWithOrders(const Bytes& image)
{
    Read r;
    engine::GenuineInfo info;
    if (engine::openGenuineImage(image.data(), image.size(), info) != 0 ||
        !engine::parseStatImage(info.stat.data(), info.stat.size(), r.def))
        return r;
    std::vector<engine::GenuineDamage> damaged;
    r.status =
        engine::readGenuineImageRecords(image.data(), image.size(), info, r.records, &damaged, &r.orders);
    return r;
}

// Key k's order as record indexes (records in physical order), by the builder's own comparison,
// equal keys in the order they were inserted.
std::vector<uint32_t> sortedOrder(const FileDef& def, size_t k, bool& known)
{
    std::vector<uint32_t> recordOf(def.slots.size(), 0);
    for (size_t i = 0, n = 0; i < def.slots.size(); ++i)
        recordOf[i] = static_cast<uint32_t>(def.slots[i] ? n++ : n);
    std::vector<uint32_t> out;
    for (const size_t slot : keyOrder(def, k, known))
        out.push_back(recordOf[slot]);
    return out;
}

} // namespace

// Every family, storage and page size the generator varies: where the builder wrote a tree the
// reader walks it, and its order is the records' sorted order record for record (equal keys in
// the order they were inserted, as the duplicate chains have them), one the engine takes as the
// key's path; where the tree cannot be trusted (a wrong distinct count) it is not walked.
TEST(GenuineKeyOrder, treesOfGeneratedFilesGiveTheSortedOrderRecordForRecord)
{
    std::mt19937 rng(34);
    const Format formats[] = {Format::Pre6, Format::V6, Format::V8};
    const Storage storages[] = {Storage::Fixed, Storage::Variable, Storage::Compressed,
                                Storage::CompressedVariable};
    size_t walked = 0, deep = 0, chained = 0, reordered = 0;
    for (int i = 0; i < 360; ++i) {
        const Format format = formats[i % 3];
        const GeneratedFile g = generateFile(rng, format, storages[(i / 3) % 4],
                                             std::uniform_int_distribution<size_t>(0, 40000)(rng));
        SCOPED_TRACE("file " + std::to_string(i) + ": " + g.describe());
        Layout layout;
        const Bytes image = format == Format::Pre6 ? buildPre6(g.def, layout)
                            : format == Format::V6 ? build6x(g.def, layout)
                                                   : build8x(g.def, layout);
        const Read r = readWithOrders(image);
        ASSERT_EQ(r.status, 0);
        ASSERT_EQ(r.orders.size(), g.def.keys.size());
        for (size_t k = 0; k < g.def.keys.size(); ++k) {
            SCOPED_TRACE("key " + std::to_string(k));
            const bool expected = treeTaken(g.def, format, k);
            EXPECT_EQ(r.orders[k].walked, expected);
            if (!r.orders[k].walked)
                continue;
            bool known = true;
            EXPECT_EQ(r.orders[k].records, sortedOrder(g.def, k, known));
            std::vector<std::pair<std::string, uint32_t>> path;
            EXPECT_TRUE(engine::keyPathFromOrder(r.def.keys[k], r.records, r.orders[k].records, path))
                << "the engine would not take the tree's order";
            ++walked;
            const uint16_t type = static_cast<uint16_t>((format == Format::V8 ? 0x8000 : 0x80) + k);
            deep += layout.pagesOf(type).size() > 4;
            chained += (g.def.keys[k].segments[0].flags & 0x81) == 0x1;
            reordered += keyOrder(g.def, k, known) != keyOrder(g.def, k, known, true);
        }
        if (HasFailure())
            break;
    }
    EXPECT_GT(walked, 200u);
    EXPECT_GT(deep, 30u) << "trees of several levels";
    EXPECT_GT(chained, 50u) << "keys with linked duplicates";
    EXPECT_GT(reordered, 20u) << "keys whose equal keys were inserted out of physical order";
}

namespace {

// 300 records, a unique descending INTEGER key and a STRING key with linked duplicates of few
// values, trees of 3 entries a node.
FileDef treeDef(uint16_t pageSize)
{
    FileDef def;
    def.pageSize = pageSize;
    def.recordLength = 12;
    def.indexPages = true;
    def.nodeEntries = 3;
    def.keys.push_back({{{0, 4, 0x140, 1, 0}}, 0});
    def.keys.push_back({{{4, 2, 0x401, 0, 0}}, 0});
    for (uint32_t i = 0; i < 300; ++i) {
        Bytes r(12, 0x11);
        put32(r, 0, i * 7919 % 1000);
        r[4] = static_cast<uint8_t>("abcAB"[i % 5]);
        r[5] = static_cast<uint8_t>('x' + i % 3);
        def.slots.emplace_back(r);
    }
    for (size_t k = 0; k < def.keys.size(); ++k)
        def.keys[k].distinct = distinctValues(def, k);
    return def;
}

// The records of def in key k's order, and as the engine gives them: Get First and Next, Get Last
// and Previous, and from each record found by Get Equal one Step Next.
std::vector<Bytes> sortedRecords(const FileDef& def, size_t k)
{
    bool known = true;
    std::vector<Bytes> out;
    for (const size_t slot : keyOrder(def, k, known))
        out.push_back(*def.slots[slot]);
    return out;
}

Bytes keyOf(const FileDef& def, size_t k, const Bytes& record)
{
    Bytes value;
    for (const Segment& s : def.keys[k].segments)
        value.insert(value.end(), record.begin() + s.offset, record.begin() + s.offset + s.length);
    return value;
}

void expectKeyOrderThroughTheCall(const std::string& path, const FileDef& def)
{
    // Every third record's key looked up first thing after the open (the file not yet read
    // whole): the first record of the key's order with that key.
    for (size_t k = 0; k < def.keys.size(); ++k) {
        const std::vector<Bytes> sorted = sortedRecords(def, k);
        for (size_t i = 0; i < sorted.size(); i += 3) {
            BtrFile f(&QuillanEngineCall);
            ASSERT_EQ(f.open(path), btr::StatusSuccess);
            ASSERT_EQ(f.get(btr::OpGetEqual, static_cast<int8_t>(k), keyOf(def, k, sorted[i])),
                      btr::StatusSuccess);
            size_t first = i;
            const auto same = [&](const Bytes& a, const Bytes& b) {
                const bool blind = def.keys[k].segments[0].flags & 0x400;
                const Bytes x = keyOf(def, k, a), y = keyOf(def, k, b);
                return std::equal(x.begin(), x.end(), y.begin(), y.end(), [&](uint8_t p, uint8_t q) {
                    return blind ? std::toupper(p) == std::toupper(q) : p == q;
                });
            };
            while (first > 0 && same(sorted[first - 1], sorted[i]))
                --first;
            ASSERT_EQ(f.record(), sorted[first]) << "key " << k << ", record " << i;
            ASSERT_EQ(f.close(), btr::StatusSuccess);
        }
    }
    BtrFile f(&QuillanEngineCall);
    ASSERT_EQ(f.open(path), btr::StatusSuccess);
    for (size_t k = 0; k < def.keys.size(); ++k) {
        SCOPED_TRACE("key " + std::to_string(k));
        const auto key = static_cast<int8_t>(k);
        const std::vector<Bytes> sorted = sortedRecords(def, k);
        // An equal key first, so that the file is not yet read whole.
        ASSERT_EQ(f.get(btr::OpGetEqual, key, keyOf(def, k, sorted[sorted.size() / 2])), btr::StatusSuccess);
        EXPECT_EQ(f.get(btr::OpStepNext, key), btr::StatusSuccess);
        std::vector<Bytes> forward, backward;
        for (int16_t st = f.get(btr::OpGetFirst, key); st == btr::StatusSuccess;
             st = f.get(btr::OpGetNext, key))
            forward.push_back(f.record());
        for (int16_t st = f.get(btr::OpGetLast, key); st == btr::StatusSuccess;
             st = f.get(btr::OpGetPrevious, key))
            backward.insert(backward.begin(), f.record());
        EXPECT_EQ(forward, sorted);
        EXPECT_EQ(backward, sorted);
    }
    EXPECT_EQ(f.close(), btr::StatusSuccess);
}

} // namespace

// Trees that do not bear out leave the records as they were, and their order is not taken: either
// the reader does not walk them, or the order it gives is not the key's and the engine falls
// back. Through the call, the keys give the sorted order either way.
TEST(GenuineKeyOrder, treesThatDoNotBearOutAreNotTaken)
{
    using Mutate = std::function<void(FileDef&, Bytes&, size_t root, size_t header, size_t entry)>;
    const struct {
        const char* what;
        size_t key;
        Mutate mutate;
    } cases[] = {
        {"sound", 0, [](FileDef&, Bytes&, size_t, size_t, size_t) {}},
        {"sound, duplicates", 1, [](FileDef&, Bytes&, size_t, size_t, size_t) {}},
        {"a record address naming no record", 0,
         [](FileDef&, Bytes& b, size_t root, size_t h, size_t e) {
             put32(b, root + h + 6 + e - 4, 0x01230123);
         }},
        {"two chains swapped (record and last duplicate)", 1,
         [](FileDef&, Bytes& b, size_t root, size_t h, size_t e) {
             std::swap_ranges(b.begin() + root + h + 6 + e - 8, b.begin() + root + h + 6 + e,
                              b.begin() + root + h + 6 + 2 * e - 8);
         }},
        {"a last duplicate not the chain's end", 1,
         [](FileDef&, Bytes& b, size_t root, size_t h, size_t e) {
             std::copy_n(b.begin() + root + h + 6 + e - 8, 4, b.begin() + root + h + 6 + e - 4);
         }},
        {"a child twice", 0,
         [](FileDef&, Bytes& b, size_t root, size_t h, size_t) {
             std::copy_n(b.begin() + root + h + 6, 4, b.begin() + root + h + 2);
         }},
        {"a leaf for a child", 1,
         [](FileDef&, Bytes& b, size_t root, size_t h, size_t) { put32(b, root + h + 2, 0xFFFFFFFF); }},
        {"no entries", 0, [](FileDef&, Bytes& b, size_t root, size_t h, size_t) { put16(b, root + h, 0); }},
        {"an index page naming another page", 1,
         [](FileDef&, Bytes& b, size_t root, size_t, size_t) { b[root] ^= 0x40; }},
    };
    const Format formats[] = {Format::Pre6, Format::V6, Format::V8};
    for (const Format format : formats) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.what) + ", format " + std::to_string(static_cast<int>(format)));
            FileDef def = treeDef(1024);
            Layout layout;
            Bytes image = format == Format::Pre6 ? buildPre6(def, layout)
                          : format == Format::V6 ? build6x(def, layout)
                                                 : build8x(def, layout);
            const Read sound = readWithOrders(image);
            ASSERT_EQ(sound.status, 0);
            const uint16_t type = static_cast<uint16_t>((format == Format::V8 ? 0x8000 : 0x80) + c.key);
            const std::vector<size_t> pages = layout.pagesOf(type);
            ASSERT_GE(pages.size(), 4u) << "a tree of several levels";
            const size_t entry = 8 + (c.key == 0 ? 4 : 2) + (c.key == 1 ? 4 : 0);
            c.mutate(def, image, layout.offset(pages.back()), format == Format::V8 ? 8 : 6, entry);
            const Read r = readWithOrders(image);
            ASSERT_EQ(r.status, 0);
            EXPECT_EQ(r.records, sound.records);
            std::vector<std::pair<std::string, uint32_t>> path;
            const bool taken =
                r.orders[c.key].walked &&
                engine::keyPathFromOrder(r.def.keys[c.key], r.records, r.orders[c.key].records, path);
            EXPECT_EQ(taken, std::string(c.what).rfind("sound", 0) == 0);
            EXPECT_TRUE(r.orders[1 - c.key].walked) << "the other key's tree is sound";
            testsupport::TempDir dir;
            writeFile(dir.file("TREE.BTR"), image);
            expectKeyOrderThroughTheCall(dir.file("TREE.BTR"), def);
        }
    }
}

// A fixed-length, uncompressed file of every family read without its records, with and without
// deleted slots (pre-6: on the deleted-record chain): their number, each key's order with the key
// bytes of its entries, and any record on demand. Variable-length and compressed files are not.
TEST(GenuineKeyOrder, aFileReadWithoutItsRecordsGivesThemOnDemand)
{
    for (const Format format : {Format::Pre6, Format::V6, Format::V8})
        for (const bool deletions : {false, true}) {
            SCOPED_TRACE(std::to_string(static_cast<int>(format)) + (deletions ? ", deleted slots" : ""));
            FileDef def = treeDef(2048);
            if (deletions) {
                for (size_t i = 5; i < def.slots.size(); i += 7)
                    def.slots[i].reset();
                for (size_t k = 0; k < def.keys.size(); ++k)
                    def.keys[k].distinct = distinctValues(def, k);
            }
            std::vector<Bytes> live;
            for (const auto& slot : def.slots)
                if (slot)
                    live.push_back(*slot);
            testsupport::TempDir dir;
            const std::string path = dir.file("TREE.BTR");
            writeFile(path, format == Format::Pre6 ? buildPre6(def)
                            : format == Format::V6 ? build6x(def)
                                                   : build8x(def));
            engine::GenuineInfo info;
            ASSERT_EQ(engine::openGenuineFile(path, info), 0);
            const std::unique_ptr<engine::GenuineIndex> index = engine::GenuineIndex::open(path, info);
            ASSERT_TRUE(index);
            ASSERT_EQ(index->records(), live.size());
            for (size_t i = live.size(); i-- > 0;) {
                std::vector<uint8_t> record;
                ASSERT_TRUE(index->read(i, record));
                EXPECT_EQ(record, live[i]);
            }
            std::vector<uint8_t> none;
            EXPECT_FALSE(index->read(live.size(), none));
            for (size_t k = 0; k < def.keys.size(); ++k) {
                const engine::GenuineKeyOrder& order = index->keyOrders()[k];
                ASSERT_TRUE(order.walked);
                bool known = true;
                EXPECT_EQ(order.records, sortedOrder(def, k, known));
                const size_t length = def.keys[k].segments[0].length;
                ASSERT_EQ(order.keys.size(), order.records.size() * length);
                // A chain's records share its head's key bytes: equal keys, case-blind on key 1.
                const auto fold = [](uint8_t c) { return static_cast<uint8_t>(std::toupper(c)); };
                for (size_t j = 0; j < order.records.size(); ++j)
                    EXPECT_TRUE(std::equal(order.keys.begin() + j * length,
                                           order.keys.begin() + (j + 1) * length,
                                           live[order.records[j]].begin() + def.keys[k].segments[0].offset,
                                           [&](uint8_t a, uint8_t b) { return fold(a) == fold(b); }));
            }
        }
    FileDef variable = treeDef(2048);
    variable.fileFlags = 0x1;
    variable.variableMode = 0xFF;
    testsupport::TempDir dir;
    for (const Bytes& image : {build6x(variable), buildPre6(variable), build8x(compressedDef(true, true)),
                               buildPre6(compressedDef(false, false))}) {
        writeFile(dir.file("WHOLE.BTR"), image);
        engine::GenuineInfo info;
        ASSERT_EQ(engine::openGenuineFile(dir.file("WHOLE.BTR"), info), 0);
        EXPECT_FALSE(engine::GenuineIndex::open(dir.file("WHOLE.BTR"), info));
    }
}

// Genuine files on disk through the record manager's one call (linked in, and BTRCALLID of the
// shared library), with the product's own reader: Stat, key order, positioning, physical order,
// and the files left as they were.
#include "BtrCall.h"
#include "BtrTestFile.h"
#include "Fixtures.h"
#include "Generators.h"
#include "GenuineBuilder.h"
#include "Status.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <tuple>

using namespace genuinetest;
using namespace btr;
using btrtest::BtrFile;
using btrtest::le;

namespace {

enum class Fmt { Pre6, V6, V8 };

const char* name(Fmt f)
{
    return f == Fmt::Pre6 ? "pre-6" : f == Fmt::V6 ? "6.x" : "8.x";
}

Bytes build(Fmt f, const FileDef& def)
{
    return f == Fmt::Pre6 ? buildPre6(def) : f == Fmt::V6 ? build6x(def) : build8x(def);
}

Bytes readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// sampleDef's three keys (INTEGER id; ACS name + code with duplicates; code with duplicates,
// null when both bytes are blanks) over records whose names differ only in letter case.
FileDef peopleDef(bool withDeleted)
{
    FileDef def = sampleDef(0, false);
    const struct {
        int16_t id;
        const char* name;
        uint16_t code;
    } rows[] = {{5, "gamma", 2}, {-3, "Alpha", 1}, {12, "beta", 0x2020},
                {0, "ALPHA", 1}, {7, "alpha", 0},  {-20, "Delta", 2}};
    for (const auto& r : rows) {
        def.slots.push_back(sampleRecord(r.id, r.name, r.code));
        if (withDeleted && r.id == -3)
            def.slots.push_back(std::nullopt);
    }
    return def;
}

int16_t idOf(const Bytes& record)
{
    return static_cast<int16_t>(record.at(0) | record.at(1) << 8);
}

std::vector<int> walk(BtrFile& f, uint16_t first, uint16_t next, int8_t key)
{
    std::vector<int> out;
    for (int16_t st = f.get(first, key); st == StatusSuccess; st = f.get(next, key))
        out.push_back(idOf(f.record()));
    return out;
}

std::vector<int> reversed(std::vector<int> v)
{
    return {v.rbegin(), v.rend()};
}

std::vector<Bytes> liveRecords(const FileDef& def)
{
    std::vector<Bytes> out;
    for (const auto& s : def.slots)
        if (s)
            out.push_back(*s);
    return out;
}

// The records of def in the order of key k as the engine gives them: null keys left out, equal
// keys in the order they were inserted where the engine takes the key's tree (the order of its
// duplicate chains), else in physical order.
std::vector<Bytes> recordsInKeyOrder(const FileDef& def, size_t k, uint8_t version, bool& known)
{
    std::vector<Bytes> out;
    for (const size_t slot : keyOrder(def, k, known, !treeTaken(def, formatOfVersion(version), k)))
        out.push_back(*def.slots[slot]);
    return out;
}

// Two handles on the one open file walking key `key` at once, one forward and one backward, one
// handle going two entries on and one back, and from each record taken up by Get Direct the next
// one: every record where `order` has it.
void expectWalksSharingTheFile(BtrCallFn fn, BtrFile& f, const std::string& path, int8_t key,
                               const std::vector<Bytes>& order)
{
    BtrFile g(fn);
    ASSERT_EQ(g.open(path), StatusSuccess);
    g.capacity = f.capacity;
    std::vector<Bytes> forward, backward;
    std::vector<uint32_t> addresses;
    int16_t a = f.get(OpGetFirst, key), b = g.get(OpGetLast, key);
    while (a == StatusSuccess || b == StatusSuccess) {
        if (a == StatusSuccess) {
            forward.push_back(f.record());
            ASSERT_EQ(f.getPosition(addresses.emplace_back()), StatusSuccess);
            a = f.get(OpGetNext, key);
        }
        if (b == StatusSuccess) {
            backward.push_back(g.record());
            b = g.get(OpGetPrevious, key);
        }
    }
    EXPECT_EQ(forward, order);
    EXPECT_EQ(backward, std::vector<Bytes>(order.rbegin(), order.rend()));
    size_t at = 0;
    for (int16_t st = f.get(OpGetFirst, key), move = 1; st == StatusSuccess; ++move) {
        ASSERT_LT(at, order.size());
        ASSERT_EQ(f.record(), order[at]) << "entry " << at << " after " << move << " moves";
        const bool back = move % 3 == 0;
        at = back ? at - 1 : at + 1;
        st = f.get(back ? OpGetPrevious : OpGetNext, key);
    }
    EXPECT_EQ(at, order.size());
    for (size_t j = 0; j + 1 < addresses.size() && !::testing::Test::HasFailure(); ++j) {
        ASSERT_EQ(g.getDirect(addresses[j], key), StatusSuccess);
        ASSERT_EQ(g.get(OpGetNext, key), StatusSuccess);
        EXPECT_EQ(g.record(), order[j + 1]) << "after Get Direct of entry " << j;
    }
    EXPECT_EQ(g.close(), StatusSuccess);
}

// Opens the file at path through the call and checks it against what was built: Stat (with
// the version byte), the records in physical order and in every key's order both ways, and
// every write refused with 46.
void expectReadsAsBuilt(BtrCallFn fn, const std::string& path, const FileDef& def, uint8_t version)
{
    BtrFile f(fn);
    ASSERT_EQ(f.open(path), StatusSuccess);
    const std::vector<Bytes> live = liveRecords(def);
    for (const Bytes& r : live) // room for the longest whole record
        f.capacity = std::max<uint32_t>(f.capacity, static_cast<uint32_t>(r.size()));
    Bytes stat;
    ASSERT_EQ(f.stat(stat, 1920, -1), StatusSuccess);
    Bytes expected = expectedStat(def, static_cast<uint32_t>(live.size()));
    expected[5] = version;
    EXPECT_EQ(stat, expected);

    auto collect = [&](uint16_t first, uint16_t next, int8_t key) {
        std::vector<Bytes> out;
        for (int16_t st = f.get(first, key); st == StatusSuccess; st = f.get(next, key))
            out.push_back(f.record());
        return out;
    };
    EXPECT_EQ(collect(OpStepFirst, OpStepNext, 0), live);
    EXPECT_EQ(collect(OpStepLast, OpStepPrevious, 0), std::vector<Bytes>(live.rbegin(), live.rend()));
    for (size_t k = 0; k < def.keys.size(); ++k) {
        SCOPED_TRACE("key " + std::to_string(k));
        bool known = true;
        const std::vector<Bytes> order = recordsInKeyOrder(def, k, version, known);
        ASSERT_TRUE(known) << "a key type the test does not order";
        const auto key = static_cast<int8_t>(k);
        EXPECT_EQ(collect(OpGetFirst, OpGetNext, key), order);
        EXPECT_EQ(collect(OpGetLast, OpGetPrevious, key), std::vector<Bytes>(order.rbegin(), order.rend()));
        expectWalksSharingTheFile(fn, f, path, key, order);
    }

    if (!live.empty()) {
        EXPECT_EQ(f.insert(live.front()), StatusAccessDenied);
        ASSERT_EQ(f.get(OpStepFirst, 0), StatusSuccess);
        EXPECT_EQ(f.update(live.front()), StatusAccessDenied);
        EXPECT_EQ(f.remove(0), StatusAccessDenied);
    }
    EXPECT_EQ(f.close(), StatusSuccess);
}

// A physical-order step as it comes from the call: status and the data (its data length of it,
// whatever the status).
struct Step {
    int16_t status;
    Bytes data;
};
Step stepRaw(BtrFile& f, uint16_t op)
{
    Bytes buffer(4096, 0);
    uint32_t length = static_cast<uint32_t>(buffer.size());
    uint8_t key[255] = {};
    const int16_t st = f.call(op, buffer.data(), &length, key, 255, 0);
    buffer.resize(length);
    return {st, buffer};
}

// The engine linked in, and the shared library's BTRCALLID loaded as a real one is.
using CallFactory = BtrCallFn (*)();

BtrCallFn linked()
{
    return &QuillanEngineCall;
}

BtrCallFn sharedLibrary()
{
    static void* library = dlopen(QUILLAN_BTRV_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    return library ? reinterpret_cast<BtrCallFn>(dlsym(library, "BTRCALLID")) : nullptr;
}

class GenuineThroughTheCall : public ::testing::TestWithParam<CallFactory> {
protected:
    void SetUp() override
    {
        fn = GetParam()();
        ASSERT_NE(fn, nullptr) << dlerror();
    }

    std::string write(const std::string& file, const Bytes& bytes)
    {
        const std::string path = dir.file(file);
        writeFile(path, bytes);
        return path;
    }

    testsupport::TempDir dir;
    BtrCallFn fn = nullptr;
};

} // namespace

INSTANTIATE_TEST_SUITE_P(Linked, GenuineThroughTheCall, ::testing::Values(&linked));
INSTANTIATE_TEST_SUITE_P(SharedLibrary, GenuineThroughTheCall, ::testing::Values(&sharedLibrary));

TEST_P(GenuineThroughTheCall, everyFamilyAnswersStatGetsAndStepsInKeyAndPhysicalOrder)
{
    const struct {
        Fmt fmt;
        uint8_t version;
    } cases[] = {{Fmt::Pre6, 0x50}, {Fmt::V6, 0x60}, {Fmt::V8, 0x80}};
    for (const auto& c : cases) {
        SCOPED_TRACE(name(c.fmt));
        const FileDef def = peopleDef(c.fmt != Fmt::V8);
        const std::string path = write(std::string("PEOPLE.") + name(c.fmt), build(c.fmt, def));
        BtrFile f(fn);
        ASSERT_EQ(f.open(path), StatusSuccess);

        Bytes stat;
        ASSERT_EQ(f.stat(stat, 1920, -1), StatusSuccess);
        Bytes expected = expectedStat(def, 6);
        expected[5] = c.version;
        EXPECT_EQ(stat, expected);

        const std::vector<int> physical{5, -3, 12, 0, 7, -20};
        const std::vector<int> byId{-20, -3, 0, 5, 7, 12};
        const std::vector<int> byName{7, -3, 0, 12, -20, 5}; // ALPHA 0, ALPHA 1 (twice), BETA, DELTA, GAMMA
        const std::vector<int> byCode{7, -3, 0, 5, -20};     // the blank code is a null key
        EXPECT_EQ(walk(f, OpStepFirst, OpStepNext, 0), physical);
        EXPECT_EQ(walk(f, OpStepLast, OpStepPrevious, 0), reversed(physical));
        EXPECT_EQ(walk(f, OpGetFirst, OpGetNext, 0), byId);
        EXPECT_EQ(walk(f, OpGetLast, OpGetPrevious, 0), reversed(byId));
        EXPECT_EQ(walk(f, OpGetFirst, OpGetNext, 1), byName);
        EXPECT_EQ(walk(f, OpGetLast, OpGetPrevious, 1), reversed(byName));
        EXPECT_EQ(walk(f, OpGetFirst, OpGetNext, 2), byCode);
        EXPECT_EQ(walk(f, OpGetLast, OpGetPrevious, 2), reversed(byCode));

        const struct {
            uint16_t op;
            int16_t id;
            int16_t status;
            int found;
        } seeks[] = {
            {OpGetEqual, 0, 0, 0},
            {OpGetEqual, 1, StatusKeyNotFound, 0},
            {OpGetGreater, 0, 0, 5},
            {OpGetGreaterOrEqual, 1, 0, 5},
            {OpGetGreaterOrEqual, 12, 0, 12},
            {OpGetGreater, 12, StatusEndOfFile, 0},
            {OpGetLess, 0, 0, -3},
            {OpGetLessOrEqual, 6, 0, 5},
            {OpGetLessOrEqual, -20, 0, -20},
            {OpGetLess, -20, StatusEndOfFile, 0},
        };
        for (const auto& s : seeks) {
            SCOPED_TRACE("op " + std::to_string(s.op) + " id " + std::to_string(s.id));
            ASSERT_EQ(f.get(s.op, 0, le(s.id, 2)), s.status);
            if (s.status == StatusSuccess) {
                EXPECT_EQ(idOf(f.record()), s.found);
                EXPECT_EQ(f.key(2), le(s.found, 2));
            }
        }
        ASSERT_EQ(f.get(OpGetEqual, 0, le(0, 2)), StatusSuccess);
        ASSERT_EQ(f.get(OpGetNext, 0), StatusSuccess);
        EXPECT_EQ(idOf(f.record()), 5);

        // Get Position, then Get Direct onto the ACS key: Get Next goes on along that key, from
        // the record's place among its duplicates.
        ASSERT_EQ(f.get(OpGetEqual, 0, le(-3, 2)), StatusSuccess);
        uint32_t address = 0;
        ASSERT_EQ(f.getPosition(address), StatusSuccess);
        ASSERT_EQ(f.get(OpStepFirst, 0), StatusSuccess);
        ASSERT_EQ(f.getDirect(address, 1), StatusSuccess);
        EXPECT_EQ(idOf(f.record()), -3);
        ASSERT_EQ(f.get(OpGetNext, 1), StatusSuccess);
        EXPECT_EQ(idOf(f.record()), 0);
        ASSERT_EQ(f.get(OpGetPrevious, 1), StatusSuccess);
        ASSERT_EQ(f.get(OpGetPrevious, 1), StatusSuccess);
        EXPECT_EQ(idOf(f.record()), 7);
        EXPECT_EQ(f.getDirect(99, 0), StatusInvalidRecordAddress);
        EXPECT_EQ(f.close(), StatusSuccess);
    }
}

TEST_P(GenuineThroughTheCall, writesAndCreateAreRefusedAndTheFileStaysByteForByte)
{
    for (Fmt fmt : {Fmt::Pre6, Fmt::V6, Fmt::V8}) {
        SCOPED_TRACE(name(fmt));
        const Bytes original = build(fmt, peopleDef(fmt != Fmt::V8));
        const std::string path = write(std::string("KEEP.") + name(fmt), original);
        {
            BtrFile f(fn);
            ASSERT_EQ(f.open(path), StatusSuccess);
            EXPECT_EQ(f.insert(sampleRecord(99, "new", 1)), StatusAccessDenied);
            ASSERT_EQ(f.get(OpGetFirst, 0), StatusSuccess);
            Bytes changed = f.record();
            changed[2] = 'Z';
            EXPECT_EQ(f.update(changed), StatusAccessDenied);
            EXPECT_EQ(f.remove(0), StatusAccessDenied);
            EXPECT_EQ(f.get(OpGetFirst, 0), StatusSuccess) << "the refused writes lost the records";
        }
        BtrFile g(fn);
        const Bytes spec = btrtest::createSpec(24, 512, {{1, 2, 0x102, 1}});
        EXPECT_EQ(g.create(path, spec), StatusAccessDenied);
        EXPECT_EQ(readAll(path), original);
    }
}

TEST_P(GenuineThroughTheCall, createReplacesNoGenuineFileEvenOneTooDamagedToOpen)
{
    const Bytes pre6 = buildPre6(peopleDef(true));
    const Bytes v6 = build6x(peopleDef(true));
    const Bytes v8 = build8x(peopleDef(false));
    auto patched = [](Bytes b, size_t at, uint16_t v) {
        put16(b, at, v);
        return b;
    };
    // A valid control record this reader cannot follow answers 4100, never 30.
    constexpr int16_t unread = StatusLayoutNotReadable, other = StatusNotBtrieveFile;
    const struct {
        const char* what;
        Bytes image;
        int16_t open, create;
    } cases[] = {
        {"pre-6 cut inside its FCR", Bytes(pre6.begin(), pre6.begin() + 300), other, StatusAccessDenied},
        {"6.x cut inside its FCR", Bytes(v6.begin(), v6.begin() + 300), other, StatusAccessDenied},
        {"8.x cut inside its FCR", Bytes(v8.begin(), v8.begin() + 300), other, StatusAccessDenied},
        {"pre-6 with a key past the record", patched(pre6, 0x110 + 0x14, 23), unread, StatusAccessDenied},
        {"6.x with 200 keys", patched(patched(v6, 0x14, 200), 512 + 0x14, 200), unread, StatusAccessDenied},
        {"text", Bytes(3000, 'q'), other, StatusSuccess},
        {"zeros", Bytes(4096, 0), other, StatusSuccess},
        {"shorter than a page size field", Bytes(6, 0), other, StatusSuccess},
    };
    const Bytes spec = btrtest::createSpec(24, 512, {{1, 2, 0x102, 1}});
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write("DAMAGED.DDF", c.image);
        BtrFile f(fn);
        EXPECT_EQ(f.open(path), c.open);
        EXPECT_EQ(f.create(path, spec), c.create);
        if (c.create != StatusSuccess)
            EXPECT_EQ(readAll(path), c.image);
        else
            EXPECT_EQ(f.open(path), StatusSuccess);
    }
}

TEST_P(GenuineThroughTheCall, variableLengthRecordsArriveWhole)
{
    const FileDef def = variableDef();
    std::vector<Bytes> live;
    for (const auto& s : def.slots)
        if (s)
            live.push_back(*s);
    for (Fmt fmt : {Fmt::Pre6, Fmt::V6}) {
        SCOPED_TRACE(name(fmt));
        const std::string path = write(std::string("VAR.") + name(fmt), build(fmt, def));
        BtrFile f(fn);
        ASSERT_EQ(f.open(path), StatusSuccess);
        std::vector<Bytes> stepped;
        for (int16_t st = f.get(OpStepFirst, 0); st == StatusSuccess; st = f.get(OpStepNext, 0))
            stepped.push_back(f.record());
        EXPECT_EQ(stepped, live);

        // Key 0 is the unsigned first four bytes.
        std::vector<Bytes> byKey = live;
        std::stable_sort(byKey.begin(), byKey.end(), [](const Bytes& a, const Bytes& b) {
            return std::lexicographical_compare(a.rbegin() + (a.size() - 4), a.rend(),
                                                b.rbegin() + (b.size() - 4), b.rend());
        });
        std::vector<Bytes> got;
        for (int16_t st = f.get(OpGetFirst, 0); st == StatusSuccess; st = f.get(OpGetNext, 0))
            got.push_back(f.record());
        EXPECT_EQ(got, byKey);

        // A buffer shorter than the longest record gets what fits.
        f.capacity = 100;
        ASSERT_EQ(f.get(OpGetEqual, 0, Bytes(live[7].begin(), live[7].begin() + 4)),
                  StatusDataBufferTooShort);
        EXPECT_EQ(f.record(), Bytes(live[7].begin(), live[7].begin() + 100));
    }
}

TEST_P(GenuineThroughTheCall, filesWhoseRecordsCannotBeReadGiveStatAndAStatusForEveryRead)
{
    FileDef compressed = sampleDef(4, false);
    compressed.fileFlags = 0x8;
    compressed.recordLength = 0;
    compressed.keys.resize(1);
    FileDef pageCompressed = sampleDef(4, false);
    pageCompressed.fileFlags = 0x2000;
    const struct {
        const char* what;
        Bytes image;
        uint32_t count;
        int16_t status;
    } cases[] = {
        {"6.x compressed without an uncompressed length", build6x(compressed), 4, StatusLayoutNotReadable},
        {"8.x page compression", build8x(pageCompressed), 4, StatusLayoutNotReadable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = write("UNREAD.BTR", c.image);
        BtrFile f(fn);
        ASSERT_EQ(f.open(path), StatusSuccess);
        Bytes stat;
        ASSERT_EQ(f.stat(stat), StatusSuccess);
        EXPECT_EQ(stat[6] | stat[7] << 8, static_cast<int>(c.count));
        EXPECT_EQ(f.get(OpGetFirst, 0), c.status);
        EXPECT_EQ(f.get(OpStepLast, 0), c.status);
        EXPECT_EQ(f.getDirect(1, 0), c.status);
        EXPECT_TRUE(f.record().empty());
        ASSERT_EQ(f.close(), StatusSuccess);
    }
}

// Records that are not as many as the file's control record counts are all read, and where the
// end of the records would answer 9 the file answers 4101, in physical and in key order.
TEST_P(GenuineThroughTheCall, recordsNotAsManyAsTheFileCountsEndIn4101InEveryOrder)
{
    for (int16_t adjust : {int16_t(1), int16_t(-2)}) {
        FileDef def = peopleDef(true);
        def.recordCountAdjust = adjust;
        const std::string path = write("MISCOUNT.BTR", build6x(def));
        BtrFile f(fn);
        ASSERT_EQ(f.open(path), StatusSuccess);
        for (const auto& [first, next, key] :
             {std::tuple{OpStepFirst, OpStepNext, int8_t(0)}, std::tuple{OpGetFirst, OpGetNext, int8_t(0)},
              std::tuple{OpGetLast, OpGetPrevious, int8_t(1)}}) {
            size_t n = 0;
            int16_t st = f.get(first, key);
            for (; st == StatusSuccess; st = f.get(next, key))
                ++n;
            bool known = true;
            EXPECT_EQ(st, StatusRecordCountDiffers) << first;
            EXPECT_EQ(n, key == 1 ? keyOrder(def, 1, known).size() : liveRecords(def).size()) << first;
        }
        ASSERT_EQ(f.close(), StatusSuccess);
    }
}

// Salvage through the call: a copy cut short steps past its damaged places, the chain's break and
// the cut end each saying so in 12 bytes, and every record it still holds comes back.
TEST_P(GenuineThroughTheCall, stepsPastACutCopySayWhereTheChainBrokeAndThatTheFileIsShort)
{
    FileDef def = sampleDef(120, true);
    Layout layout;
    const Bytes whole = buildPre6(def, layout);
    const size_t length = whole.size() - 700;
    const std::string path =
        write("CUT.BTR", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
    size_t held = 0; // live records whose 40-byte slot the copy holds, 12 to a page
    for (size_t i = 0; i < def.slots.size(); ++i)
        held +=
            def.slots[i] && layout.offset(layout.pagesOf('D').at(i / 12)) + 6 + (i % 12) * 40 + 40 <= length;
    BtrFile f(fn);
    ASSERT_EQ(f.open(path), StatusSuccess);
    size_t records = 0;
    std::vector<std::array<uint32_t, 3>> places;
    for (uint16_t op = OpStepFirst;; op = OpStepNext) {
        const Step step = stepRaw(f, op);
        if (step.status == StatusEndOfFile)
            break;
        if (step.status == StatusSuccess) {
            ++records;
            continue;
        }
        ASSERT_EQ(step.status, StatusIoError);
        ASSERT_TRUE(step.data.size() == 4 || step.data.size() == 12) << step.data.size();
        std::array<uint32_t, 3> place{};
        for (size_t i = 0; i < step.data.size(); ++i)
            place[i / 4] |= uint32_t(step.data[i]) << (8 * (i % 4));
        places.push_back(place);
        ASSERT_LT(places.size(), 10u);
    }
    ASSERT_GE(places.size(), 2u);
    const auto& chain = places[places.size() - 2];
    const auto& cut = places.back();
    EXPECT_EQ(chain[1], 1u) << "the deleted-record chain broke";
    EXPECT_EQ(cut[1], 2u) << "the file is cut short";
    EXPECT_EQ(cut[0], length / 512);
    EXPECT_EQ(cut[2], whole.size() / 512);
    EXPECT_EQ(records, held + chain[2]) << "the live records held, and the deleted ones past the break";
}

TEST_P(GenuineThroughTheCall, damagedOrForeignFilesDoNotOpen)
{
    const Bytes v6 = build6x(peopleDef(false));
    Bytes pageSizeZero = v6;
    put16(pageSizeZero, 0x08, 0);
    put16(pageSizeZero, 512 + 0x08, 0);
    const struct {
        const char* what;
        Bytes image;
    } cases[] = {
        {"truncated inside the FCR", Bytes(v6.begin(), v6.begin() + 400)},
        {"page size 0", pageSizeZero},
        {"text", Bytes(3000, 'q')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        BtrFile f(fn);
        EXPECT_EQ(f.open(write("BAD.BTR", c.image)), StatusNotBtrieveFile);
    }
}

TEST_P(GenuineThroughTheCall, theCommittedDictionarySetOpensAndCountsMatch)
{
    for (const char* file : {"FILE.DDF", "FIELD.DDF", "INDEX.DDF"}) {
        SCOPED_TRACE(file);
        const std::string path = std::string(QUILLAN_TEST_DATA) + "/genuine/ddf60/" + file;
        BtrFile f(fn);
        ASSERT_EQ(f.open(path, -2), StatusSuccess);
        Bytes stat;
        ASSERT_EQ(f.stat(stat), StatusSuccess);
        const size_t count = stat[6] | stat[7] << 8;
        EXPECT_EQ(walk(f, OpStepFirst, OpStepNext, 0).size(), count);
        EXPECT_EQ(walk(f, OpGetFirst, OpGetNext, 0).size(), count);
    }
}

TEST_P(GenuineThroughTheCall, keysOfEveryTypeWalkTheSameRecordsBothWays)
{
    // Key 4 (ZSTRING) is null in five records; the others hold every record.
    const FileDef def = keyTypesDef();
    for (Fmt fmt : {Fmt::Pre6, Fmt::V6}) {
        SCOPED_TRACE(name(fmt));
        BtrFile f(fn);
        ASSERT_EQ(f.open(write(std::string("TYPES.") + name(fmt), build(fmt, def))), StatusSuccess);
        for (int8_t key = 0; key < 6; ++key) {
            SCOPED_TRACE("key " + std::to_string(key));
            std::vector<Bytes> forward, backward;
            for (int16_t st = f.get(OpGetFirst, key); st == StatusSuccess; st = f.get(OpGetNext, key))
                forward.push_back(f.record());
            for (int16_t st = f.get(OpGetLast, key); st == StatusSuccess; st = f.get(OpGetPrevious, key))
                backward.insert(backward.begin(), f.record());
            EXPECT_EQ(forward.size(), key == 4 ? 9u : 14u);
            EXPECT_EQ(forward, backward);
        }
    }
}

TEST_P(GenuineThroughTheCall, filesShapedAsRealOnesReadAsBuilt)
{
    const DictionaryDefs ddf80 = dictionaryDefs8x();
    const std::string committed = std::string(QUILLAN_TEST_DATA) + "/genuine/ddf80/";
    const struct {
        const char* what;
        std::string path; // empty: write the built image
        FileDef def;
        Fmt fmt;
        uint8_t version;
    } cases[] = {
        {"6.x, bit 14 at 0x0A of the FCR in use", "", word0ADef(512), Fmt::V6, 0x60},
        {"6.x, 4096-byte pages, bit 14 at 0x0A", "", word0ADef(4096), Fmt::V6, 0x60},
        {"8.x with system data", "", systemDataDef(), Fmt::V8, 0x80},
        {"8.x FILE.DDF", committed + "FILE.DDF", ddf80.fileDdf, Fmt::V8, 0x80},
        {"8.x FIELD.DDF", committed + "FIELD.DDF", ddf80.fieldDdf, Fmt::V8, 0x80},
        {"8.x INDEX.DDF", committed + "INDEX.DDF", ddf80.indexDdf, Fmt::V8, 0x80},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = c.path.empty() ? write("REAL.BTR", build(c.fmt, c.def)) : c.path;
        expectReadsAsBuilt(fn, path, c.def, c.version);
    }
}

TEST_P(GenuineThroughTheCall, aFileInADirectoryWithABlankInItsNameOpensByItsFullPath)
{
    namespace fs = std::filesystem;
    const fs::path sales = fs::path(dir.path()) / "Sales Data";
    fs::create_directories(sales);
    for (Fmt fmt : {Fmt::V6, Fmt::V8}) {
        SCOPED_TRACE(name(fmt));
        const FileDef def = fmt == Fmt::V8 ? systemDataDef() : word0ADef(512);
        const std::string path = (sales / "PEOPLE.BTR").string();
        const Bytes image = build(fmt, def);
        writeFile(path, image);
        expectReadsAsBuilt(fn, path, def, fmt == Fmt::V8 ? 0x80 : 0x60);
        BtrFile f(fn);
        EXPECT_EQ(f.open(path + "    "), StatusSuccess);
        EXPECT_EQ(f.close(), StatusSuccess);
        EXPECT_EQ(f.create(path, btrtest::createSpec(24, 512, {{1, 2, 0x102, 1}})), StatusAccessDenied);
        EXPECT_EQ(readAll(path), image);
    }
}

TEST_P(GenuineThroughTheCall, layoutsOfRealFilesReadAsBuilt)
{
    auto with = [](FileDef def, auto change) {
        change(def);
        return def;
    };
    // A real 8.0 file has its current FCR in copy 1 and its current PAT in copy 0.
    const FileDef fcr1Pat0 = with(sampleDef(40, true), [](FileDef& d) { d.currentFcr = 1, d.currentPat = 0; });
    const FileDef fcr0Pat1 = with(sampleDef(40, true), [](FileDef& d) { d.decoyAt0x1000 = true; });
    const FileDef kilo = with(systemDataDef(), [](FileDef& d) { d.pageSize = 1024, d.currentPat = 0; });
    const struct {
        const char* what;
        FileDef def;
        Fmt fmt;
        uint8_t version;
    } cases[] = {
        {"8.x, FCR copy 1 and PAT copy 0 current", fcr1Pat0, Fmt::V8, 0x80},
        {"8.x, PAT copy 1 current, a table-like block at 0x1000", fcr0Pat1, Fmt::V8, 0x80},
        {"8.x, 1024-byte pages, system data", kilo, Fmt::V8, 0x80},
        {"8.x, 312 logical pages and a bitmap", fullTableDef(512), Fmt::V8, 0x80},
        {"8.x, 316 logical pages of 1024 bytes", fullTableDef(1024), Fmt::V8, 0x80},
        {"8.x compressed, system data (0x0209)", compressedDef(true, true), Fmt::V8, 0x80},
        {"8.x compressed, no system data (0x1209)", compressedDef(true, false), Fmt::V8, 0x80},
        {"pre-6 compressed (0x0009)", compressedDef(false, false), Fmt::Pre6, 0x50},
        {"pre-6 variable, duplicate key, chained fragments", chainedVariableDef(), Fmt::Pre6, 0x50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        expectReadsAsBuilt(fn, write("LAYOUT.BTR", build(c.fmt, c.def)), c.def, c.version);
    }
}

// Files generated over every layout the reader knows, each read back through the call: Stat, every
// record in physical order both ways and in the order of every key both ways.
TEST(GenuineGenerated, randomFilesOfEveryLayoutReadBackAsGenerated)
{
    testsupport::TempDir dir;
    const std::string path = dir.file("GENERATED.BTR");
    std::mt19937 rng(20261207);
    const Format formats[] = {Format::Pre6, Format::V6, Format::V8};
    const Storage storages[] = {Storage::Fixed, Storage::Variable, Storage::Compressed,
                                Storage::CompressedVariable};
    constexpr int kFiles = 540;
    for (int i = 0; i < kFiles; ++i) {
        const Format format = formats[i % 3];
        const Storage storage = storages[(i / 3) % 4];
        const size_t budget = std::uniform_int_distribution<size_t>(0, i % 10 == 0 ? 120000 : 12000)(rng);
        const GeneratedFile g = generateFile(rng, format, storage, budget);
        SCOPED_TRACE("file " + std::to_string(i) + ": " + g.describe());
        try {
            writeFile(path, buildFile(g));
        } catch (const std::exception& e) {
            FAIL() << "the builder refused the definition: " << e.what();
        }
        expectReadsAsBuilt(linked(), path, g.def, g.version);
        if (HasFailure())
            break;
    }
}

TEST_P(GenuineThroughTheCall, anEmpty8xFileAnswersEndOfFile)
{
    // An empty FILE.DDF (its ACS on a page of its own), and an empty INDEX.DDF that never held a
    // record and has no allocation table yet.
    FileDef index = dictionaryDefs8x().indexDdf;
    index.slots.clear();
    Bytes noTables = build8x(index);
    std::fill(noTables.begin() + kPatV8[0], noTables.begin() + kPatV8[1] + 2048, 0);
    for (const Bytes& image : {build8x(sampleDef(0, false)), noTables}) {
        BtrFile f(fn);
        ASSERT_EQ(f.open(write("EMPTY.DDF", image)), StatusSuccess);
        Bytes stat;
        ASSERT_EQ(f.stat(stat), StatusSuccess);
        EXPECT_EQ(stat[6] | stat[7] << 8, 0);
        EXPECT_EQ(f.get(OpStepFirst, 0), StatusEndOfFile);
        EXPECT_EQ(f.get(OpGetFirst, 0), StatusEndOfFile);
        EXPECT_EQ(f.get(OpGetLast, 1), StatusEndOfFile);
        EXPECT_EQ(f.close(), StatusSuccess);
    }
}

TEST_P(GenuineThroughTheCall, stepsGoPastDamagedPagesNamingEachWhileKeyReadsReportTheDamage)
{
    const DamagedFixture d = damagedFixture();
    BtrFile f(fn);
    ASSERT_EQ(f.open(write("DAMAGED.BTR", d.image)), StatusSuccess);
    Bytes stat;
    ASSERT_EQ(f.stat(stat), StatusSuccess);
    EXPECT_EQ(stat[0] | stat[1] << 8, 24);

    // Physical order both ways: every sound record, and status 2 with the page number (4 bytes)
    // once at each damaged page's place.
    auto stepAll = [&](uint16_t first, uint16_t next) {
        std::vector<Step> steps;
        for (uint16_t op = first; steps.size() < 500; op = next) {
            Step step = stepRaw(f, op);
            if (step.status == StatusEndOfFile)
                break;
            steps.push_back(std::move(step));
        }
        return steps;
    };
    std::vector<Step> expected;
    for (size_t i = 0, p = 0; i <= d.sound.size(); ++i) {
        for (; p < d.pages.size() && d.before[p] == i; ++p)
            expected.push_back({StatusIoError, le(d.pages[p], 4)});
        if (i < d.sound.size())
            expected.push_back({StatusSuccess, d.sound[i]});
    }
    auto same = [](const std::vector<Step>& a, const std::vector<Step>& b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](const Step& x, const Step& y) {
                   return x.status == y.status && x.data == y.data;
               });
    };
    EXPECT_TRUE(same(stepAll(OpStepFirst, OpStepNext), expected));
    EXPECT_TRUE(same(stepAll(OpStepLast, OpStepPrevious), std::vector<Step>(expected.rbegin(), expected.rend())));

    // On a damaged page's place there is no current record; the next step goes on past it.
    ASSERT_EQ(f.get(OpStepFirst, 0), StatusSuccess);
    for (size_t i = 1; i < d.before[0]; ++i)
        ASSERT_EQ(f.get(OpStepNext, 0), StatusSuccess);
    EXPECT_EQ(f.get(OpStepNext, 0), StatusIoError);
    uint32_t address = 0;
    EXPECT_EQ(f.getPosition(address), StatusInvalidPositioning);
    ASSERT_EQ(f.get(OpStepNext, 0), StatusSuccess);
    EXPECT_EQ(f.record(), d.sound[d.before[0]]);

    for (int8_t key = 0; key < 3; ++key) {
        EXPECT_EQ(f.get(OpGetFirst, key), StatusIoError);
        EXPECT_EQ(f.get(OpGetLast, key), StatusIoError);
    }
    EXPECT_EQ(f.getDirect(1, 0), StatusIoError);
    EXPECT_EQ(f.insert(d.sound.front()), StatusAccessDenied);
    EXPECT_EQ(f.close(), StatusSuccess);
}

#pragma once
// A data file whose layout the test knows: records of texts, NUL-terminated texts, integers,
// dates, times and filler, made from a seeded generator and written through TWinBtr. Shared by
// the inference, data-check and Data page tests and the Data page benchmark.
#include "Records.h"
#include "Status.h"
#include "WinBtr.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace generated {

struct FieldLayout {
    const char* name;
    int type; // type catalogue code
    int offset;
    int size;
};

// The customer table: 96 bytes.
inline const std::vector<FieldLayout>& customerLayout()
{
    static const std::vector<FieldLayout> layout = {
        {"Id", 1, 0, 4},       {"Name", 0, 4, 24},    {"City", 11, 28, 16}, {"Qty", 1, 44, 2},
        {"Joined", 3, 46, 4},  {"Reserved", 0, 50, 6}, {"Balance", 1, 56, 4}, {"Note", 10, 60, 21},
        {"At", 4, 81, 4},      {"Serial", 1, 85, 8},  {"Code", 0, 93, 3},
    };
    return layout;
}
constexpr int kCustomerLength = 96;

// A small deterministic generator (xorshift), so every run makes the same records.
class Random {
public:
    explicit Random(uint64_t seed) : mState(seed * 2654435761u + 1) {}
    uint64_t next()
    {
        mState ^= mState << 13;
        mState ^= mState >> 7;
        mState ^= mState << 17;
        return mState;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

private:
    uint64_t mState;
};

inline void putInt(std::vector<uint8_t>& r, int offset, int size, uint64_t v)
{
    for (int i = 0; i < size; ++i)
        r[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

inline void putText(std::vector<uint8_t>& r, int offset, int size, const std::string& s, uint8_t pad)
{
    for (int i = 0; i < size; ++i)
        r[offset + i] = i < static_cast<int>(s.size()) ? static_cast<uint8_t>(s[i]) : pad;
}

// Record i of the customer table.
inline std::vector<uint8_t> customerRecord(int i)
{
    static const char* first[] = {"Ada", "Grace", "Alan", "Edsger", "Barbara", "Donald", "Niklaus",
                                  "Frances", "Ken", "Margaret", "Tony", "Radia", "John", "Sophie"};
    static const char* last[] = {"Lovelace", "Hopper", "Turing", "Dijkstra", "Liskov", "Knuth", "Wirth",
                                 "Allen", "Thompson", "Hamilton", "Hoare", "Perlman", "Backus", "Wilson"};
    static const char* cities[] = {"London", "Zurich", "Boston", "Austin", "Oslo", "Lyon", "Delft",
                                   "Kyoto", "Porto", "Cork", "Brno", "Gent", "Turin", "Leeds"};
    static const char* notes[] = {"paid", "call back", "new", "moved house", "VIP", "late payer",
                                  "prefers email", "", "closed account", "ok"};
    Random rnd(static_cast<uint64_t>(i) + 7);
    std::vector<uint8_t> r(kCustomerLength, 0);
    putInt(r, 0, 4, static_cast<uint64_t>(i) * 7 + 1 + rnd.below(5));
    putText(r, 4, 24, std::string(first[rnd.below(14)]) + " " + last[rnd.below(14)], ' ');
    putText(r, 28, 16, cities[rnd.below(14)], 0);
    putInt(r, 44, 2, static_cast<uint64_t>(static_cast<int64_t>(rnd.below(3300)) - 300));
    const int year = 1990 + rnd.below(36), month = 1 + rnd.below(12), day = 1 + rnd.below(28);
    r[46] = static_cast<uint8_t>(day);
    r[47] = static_cast<uint8_t>(month);
    putInt(r, 48, 2, static_cast<uint64_t>(year));
    putText(r, 50, 6, "", ' ');
    putInt(r, 56, 4, static_cast<uint64_t>(rnd.below(2000000)));
    const std::string note = notes[rnd.below(10)];
    r[60] = static_cast<uint8_t>(note.size());
    putText(r, 61, 20, note, 0);
    r[81] = static_cast<uint8_t>(rnd.below(100));
    r[82] = static_cast<uint8_t>(rnd.below(60));
    r[83] = static_cast<uint8_t>(rnd.below(60));
    r[84] = static_cast<uint8_t>(rnd.below(24));
    putInt(r, 85, 8, rnd.next() & ((uint64_t{1} << 40) - 1));
    std::string code;
    for (int k = 0; k < 3; ++k)
        code += static_cast<char>('A' + rnd.below(26));
    putText(r, 93, 3, code, ' ');
    return r;
}

// Records of two layouts in one file, told apart by byte 0: order headers ("H", one in four:
// a number, a blank-padded name and a Date) and order lines ("L": a number, an item, a
// quantity and a price in cents).
constexpr int kOrderLength = 32;

inline std::vector<uint8_t> orderRecord(int i)
{
    std::vector<uint8_t> r(kOrderLength, 0);
    putInt(r, 1, 2, uint64_t(i));
    if (i % 4 == 0) {
        r[0] = 'H';
        putText(r, 3, 21, "Customer " + std::to_string(i * 37 % 1000), ' ');
        r[24] = uint8_t(1 + i % 28);
        r[25] = uint8_t(1 + i % 12);
        putInt(r, 26, 2, uint64_t(1990 + i % 10));
    } else {
        r[0] = 'L';
        putInt(r, 3, 4, uint64_t(i * 7919 % 90000 + 10000));
        putInt(r, 7, 2, uint64_t(1 + i % 40));
        putInt(r, 9, 4, uint64_t(i * 1543 % 500000));
    }
    return r;
}

// Creates the file (one key: Id, an Integer allowing duplicates, when withKey) and inserts the
// records make(0) .. make(count - 1) of length recordLength. The first non-zero status, else 0.
template <typename Make>
int writeDataFile(const std::string& path, int recordLength, int count, Make make, bool withKey = true)
{
    std::vector<uint8_t> spec(btr::kStatBufferSize, 0);
    dict::FileSpec fs;
    fs.recordLength = static_cast<int16_t>(recordLength);
    fs.pageSize = 4096;
    fs.indexCount = withKey ? 1 : 0;
    fs.encode(spec);
    if (withKey) {
        dict::KeySpec k;
        k.position = 1;
        k.length = 4;
        k.flags = dict::KeyExtendedType | dict::KeyDuplicates;
        k.extendedType = 1;
        k.encode(std::span<uint8_t>(spec).subspan(dict::FileSpec::kSize));
    }
    TWinBtr btr;
    btr.ClearKey(255);
    std::strncpy(btr.KeyBuffer, path.c_str(), sizeof btr.KeyBuffer - 1);
    btr.KeyNumber = 0;
    if (int st = btr.ExecuteWith(btr::OpCreate, spec.data(), static_cast<uint16_t>(spec.size())))
        return st;
    if (int st = btr.Open(path, "", 0))
        return st;
    for (int i = 0; i < count; ++i) {
        std::vector<uint8_t> r = make(i);
        btr.UseBuffer(r.data());
        if (int st = btr.Insert())
            return st;
    }
    return btr.Close();
}

} // namespace generated

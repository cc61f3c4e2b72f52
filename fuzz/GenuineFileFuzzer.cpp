// Feeds arbitrary bytes to the genuine-file reader as a whole file: open (FCR and Stat image),
// every record, then the read-only backend the engine puts over them (the Stat image parsed
// into keys, every key path built and walked both ways, physical order and direct reads).
// Files with damaged pages are walked as the engine steps through them: past each damaged page.
// Besides the sanitizers' findings it stops on a broken contract of the reader or the backend.
#include "GenuineFile.h"
#include "MemoryFile.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using Records = std::vector<std::vector<uint8_t>>;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

uint16_t u16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

bool before(const engine::KeyEntry& a, const engine::KeyEntry& b)
{
    return a.image < b.image || (a.image == b.image && a.sequence < b.sequence);
}

// Walks key path k forwards and backwards; every look-up by a found image must land on it.
void walkKey(engine::MemoryFile& file, size_t k, const Records& records)
{
    using engine::KeySeek;
    const engine::KeyDefinition& key = file.definition().keys[k];
    std::vector<engine::FoundRecord> forward;
    engine::FoundRecord f;
    for (int16_t st = file.seekKey(k, KeySeek::First, {}, {}, f); st == 0;
         st = file.seekKey(k, KeySeek::After, {}, f.entry, f)) {
        check(forward.size() < records.size());
        check(f.address >= 1 && f.address <= records.size() && f.data == records[f.address - 1]);
        std::vector<uint8_t> value;
        engine::recordKey(key, f.data, value);
        check(value.size() == key.length && !engine::isNullKey(key, value.data()));
        check(engine::keyImage(key, value.data()) == f.entry.image);
        // Equal images of a key without duplicates collapse into one step.
        if (!forward.empty())
            check(key.duplicates() ? before(forward.back().entry, f.entry)
                                   : forward.back().entry.image < f.entry.image);
        forward.push_back(f);
    }
    size_t back = forward.size();
    for (int16_t st = file.seekKey(k, KeySeek::Last, {}, {}, f); st == 0;
         st = file.seekKey(k, KeySeek::Before, {}, f.entry, f)) {
        check(back > 0);
        --back;
        check(f.entry.image == forward[back].entry.image);
        if (key.duplicates())
            check(f.address == forward[back].address);
    }
    check(back == 0);
    for (const engine::FoundRecord& r : forward) {
        const std::string& image = r.entry.image;
        check(file.seekKey(k, KeySeek::Equal, image, {}, f) == 0 && f.entry.image == image);
        check(file.seekKey(k, KeySeek::GreaterOrEqual, image, {}, f) == 0 && f.entry.image == image);
        check(file.seekKey(k, KeySeek::LessOrEqual, image, {}, f) == 0 && f.entry.image == image);
        if (file.seekKey(k, KeySeek::Greater, image, {}, f) == 0)
            check(f.entry.image > image);
        if (file.seekKey(k, KeySeek::Less, image, {}, f) == 0)
            check(f.entry.image < image);
    }
}

void walkBackend(const engine::GenuineInfo& info, const Records& records)
{
    std::unique_ptr<engine::MemoryFile> file;
    const auto reader = [&records](const std::string&, const engine::GenuineInfo&, Records& out,
                                   std::vector<engine::GenuineDamage>&) {
        out = records;
        return int16_t(0);
    };
    if (engine::MemoryFile::open("", info, reader, file) != 0)
        return;
    std::vector<uint8_t> stat;
    check(file->stat(true, stat) == 0 && stat.size() == info.stat.size());

    engine::FoundRecord f;
    size_t n = 0;
    for (int16_t st = file->step(engine::StepSeek::First, 0, f); st == 0;
         st = file->step(engine::StepSeek::After, f.address, f)) {
        check(n < records.size() && f.address == n + 1 && f.data == records[n]);
        ++n;
    }
    check(n == records.size());
    check(file->read(0, f) != 0 && file->read(static_cast<uint32_t>(n + 1), f) != 0);
    for (size_t k = 0; k < file->definition().keys.size(); ++k)
        walkKey(*file, k, records);
}

// The backend over a file with damaged pages: Steps give every record and one 2 (with the page
// number) per damaged page, in order both ways; key reads give 2.
void walkDamaged(const engine::GenuineInfo& info, const Records& records,
                 const std::vector<engine::GenuineDamage>& damaged)
{
    std::unique_ptr<engine::MemoryFile> file;
    const auto reader = [&](const std::string&, const engine::GenuineInfo&, Records& out,
                            std::vector<engine::GenuineDamage>& pages) {
        out = records;
        pages = damaged;
        return int16_t(0);
    };
    if (engine::MemoryFile::open("", info, reader, file) != 0)
        return;
    std::vector<int64_t> forward; // record index, or -1 - damaged page index
    engine::FoundRecord f;
    size_t n = 0, d = 0;
    for (int16_t st = file->step(engine::StepSeek::First, 0, f); st == 0 || st == 2;
         st = file->step(engine::StepSeek::After, f.address, f)) {
        check(forward.size() < records.size() + damaged.size());
        if (st == 2) {
            const bool plain = damaged[d].kind == engine::GenuineDamage::Kind::Page;
            check(f.skippedPage && d < damaged.size() && damaged[d].position == n &&
                  f.data.size() == (plain ? 4u : 12u));
            check((f.data[0] | f.data[1] << 8 | f.data[2] << 16 | uint64_t(f.data[3]) << 24) ==
                  (damaged[d].page & 0xFFFFFFFF));
            forward.push_back(-1 - static_cast<int64_t>(d++));
        } else {
            check(!f.skippedPage && n < records.size() && f.data == records[n]);
            forward.push_back(static_cast<int64_t>(n++));
        }
    }
    check(n == records.size() && d == damaged.size());
    size_t back = forward.size();
    for (int16_t st = file->step(engine::StepSeek::Last, 0, f); st == 0 || st == 2;
         st = file->step(engine::StepSeek::Before, f.address, f)) {
        check(back > 0);
        --back;
        check((st == 2) == (forward[back] < 0));
    }
    check(back == 0);
    for (size_t k = 0; k < file->definition().keys.size(); ++k)
        check(file->seekKey(k, engine::KeySeek::First, {}, {}, f) == 2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    engine::GenuineInfo info;
    const int16_t open = engine::openGenuineImage(data, size, info);
    check(open == 0 || open == 30 || open == 4100);
    // A valid control record this reader cannot follow says why.
    check((open == 4100) == !info.reason.empty() || open == 0);
    if (open != 0)
        return 0;

    // File spec, then at least one 16-byte segment spec per key.
    const std::vector<uint8_t>& stat = info.stat;
    check(stat.size() >= 16 + 16 * size_t(stat.size() >= 16 ? stat[4] : 0));
    check(u16(stat, 0) == info.recordLength && u16(stat, 2) == info.pageSize);
    check(info.recordsReadable == (info.readStatus == 0));

    Records records;
    std::vector<engine::GenuineDamage> damaged;
    const int16_t read = engine::readGenuineImageRecords(data, size, info, records, &damaged);
    const uint32_t count = stat[6] | stat[7] << 8 | stat[8] << 16 | uint32_t(stat[9]) << 24;
    if (read == 4101) {
        // Every record read, not as many as the control record counts, and no damage.
        check(damaged.empty() && records.size() != count);
        Records again;
        check(engine::readGenuineImageRecords(data, size, info, again) == 4101 && again == records);
        walkBackend(info, records);
        return 0;
    }
    if (read != 0) {
        check(records.empty() && damaged.empty());
        Records again;
        check(engine::readGenuineImageRecords(data, size, info, again) == read && again.empty());
        return 0;
    }
    for (const auto& r : records)
        check(r.size() >= info.recordLength);
    if (!damaged.empty()) {
        // Damaged places in physical order, no two in a row alike, a file's cut end last; a caller
        // that does not ask gets 2.
        using Kind = engine::GenuineDamage::Kind;
        for (size_t i = 0; i < damaged.size(); ++i) {
            check(damaged[i].position <= records.size());
            check(damaged[i].kind != Kind::FileCut || i + 1 == damaged.size());
            check(i == 0 ||
                  (damaged[i - 1].position <= damaged[i].position &&
                   (damaged[i - 1].page != damaged[i].page || damaged[i - 1].kind != damaged[i].kind)));
        }
        Records again;
        check(engine::readGenuineImageRecords(data, size, info, again) == 2 && again.empty());
        walkDamaged(info, records, damaged);
        return 0;
    }
    check(records.size() == count);
    walkBackend(info, records);
    return 0;
}

// Feeds arbitrary bytes to the genuine-file reader as a whole file: open (FCR and Stat image),
// then every record. Besides the sanitizers' findings it stops on a broken contract of the reader.
#include "GenuineFile.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

uint16_t u16(const std::vector<uint8_t>& b, size_t at)
{
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    engine::GenuineInfo info;
    const int16_t open = engine::openGenuineImage(data, size, info);
    check(open == 0 || open == 30);
    if (open != 0)
        return 0;

    // File spec, then at least one 16-byte segment spec per key.
    const std::vector<uint8_t>& stat = info.stat;
    check(stat.size() >= 16 + 16 * size_t(stat.size() >= 16 ? stat[4] : 0));
    check(u16(stat, 0) == info.recordLength && u16(stat, 2) == info.pageSize);
    check(info.recordsReadable == (info.readStatus == 0));

    std::vector<std::vector<uint8_t>> records;
    const int16_t read = engine::readGenuineImageRecords(data, size, info, records);
    if (read != 0) {
        check(records.empty());
        return 0;
    }
    const uint32_t count = stat[6] | stat[7] << 8 | stat[8] << 16 | uint32_t(stat[9]) << 24;
    check(records.size() == count);
    for (const auto& r : records)
        check(r.size() >= info.recordLength);
    return 0;
}

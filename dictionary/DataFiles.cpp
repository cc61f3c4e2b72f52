#include "DataFiles.h"

#include "FileLookup.h"

#include "Status.h"
#include "WinBtr.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace dict {

static_assert(kStatBufferSize == std::size_t(btr::kStatBufferSize));
static_assert(kLongestCreateName < std::size_t(btr::kKeyBufferSize));

int readDataFileStat(const std::string& path, std::span<uint8_t> stat)
{
    if (stat.size() < kStatBufferSize)
        return btr::StatusDataBufferTooShort;
    SharedWinBtr btr;
    const int16_t opened = btr->Open(path, "", btr::OpenNormal);
    if (opened != btr::StatusSuccess)
        return opened;
    return btr->StatInto(stat.data());
}

int createDataFile(const std::string& path, std::span<const uint8_t> createBuffer)
{
    if (path.size() > kLongestCreateName || path.empty())
        return btr::StatusInvalidFileName;
    if (createBuffer.size() > 0xFFFF)
        return btr::StatusDataBufferTooShort;
    SharedWinBtr btr;
    btr->ClearKey(btr::kKeyBufferSize);
    std::memcpy(btr->KeyBuffer, path.data(), path.size());
    btr->KeyNumber = 0;
    std::vector<uint8_t> area(createBuffer.begin(), createBuffer.end());
    return btr->ExecuteWith(btr::OpCreate, area.data(), static_cast<uint16_t>(area.size()));
}

std::optional<std::string> existingDataFile(const std::string& location)
{
    return btrieve::fileCreateWouldReplace(location);
}

} // namespace dict

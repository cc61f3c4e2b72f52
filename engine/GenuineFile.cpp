#include "GenuineFile.h"

#include "Status.h"
#include "genuine/ByteSource.h"
#include "genuine/FileControl.h"
#include "genuine/PageMap.h"
#include "genuine/Records.h"
#include "genuine/StatImage.h"

namespace engine {

using namespace genuine;

namespace {

bool newerThan95(uint8_t version)
{
    return version >= 0x95;
}

// Why the records of a file whose FCR is understood cannot be read; 0 when they can.
int16_t unreadableReason(const FileControl& fcr)
{
    if (fcr.family == Family::Pre6 && fcr.inconsistent)
        return btr::StatusIoError;
    if ((fcr.fileFlags & (kFlagCompression | kFlagPageCompression | kFlagVat)) || fcr.recordLength == 0)
        return btr::StatusNotBtrieveFile;
    if (fcr.family == Family::V8) {
        if (fcr.variable() || newerThan95(fcr.version))
            return btr::StatusNotBtrieveFile;
        const uint64_t mappable =
            PageMap::firstPatPageV8(fcr.pageSize) + 2 + PageMap::entriesPerPatV8(fcr.pageSize);
        if (fcr.pageCount > mappable)
            return btr::StatusNotBtrieveFile;
    }
    return btr::StatusSuccess;
}

int16_t open(ByteSource& source, GenuineInfo& info)
{
    info = GenuineInfo{};
    FileControl fcr;
    if (int16_t status = parseFileControl(source, fcr))
        return status;
    PageMap map;
    const bool mapped = map.load(source, fcr) == btr::StatusSuccess;
    std::vector<AcsBlock> acs;
    if (mapped)
        acs = collectAcsBlocks(source, fcr, map);
    if (fcr.usesAcs() && acs.empty())
        return btr::StatusNotBtrieveFile;

    info.stat = buildStatImage(fcr, acs);
    info.version = fcr.version;
    info.recordLength = fcr.recordLength;
    info.pageSize = static_cast<uint16_t>(fcr.pageSize);
    info.readStatus = unreadableReason(fcr);
    info.recordsReadable = info.readStatus == btr::StatusSuccess;
    return btr::StatusSuccess;
}

int16_t read(ByteSource& source, const GenuineInfo& info, std::vector<std::vector<uint8_t>>& records)
{
    records.clear();
    if (!info.recordsReadable)
        return info.readStatus != btr::StatusSuccess ? info.readStatus : int16_t(btr::StatusNotBtrieveFile);
    FileControl fcr;
    if (int16_t status = parseFileControl(source, fcr))
        return status;
    if (int16_t status = unreadableReason(fcr))
        return status;
    PageMap map;
    if (int16_t status = map.load(source, fcr))
        return status;
    return readRecords(source, fcr, map, records);
}

} // namespace

int16_t openGenuineFile(const std::string& path, GenuineInfo& info)
{
    FileSource source(path);
    if (!source.ok()) {
        info = GenuineInfo{};
        return btr::StatusIoError;
    }
    return open(source, info);
}

int16_t readGenuineRecords(const std::string& path, const GenuineInfo& info,
                           std::vector<std::vector<uint8_t>>& records)
{
    FileSource source(path);
    if (!source.ok()) {
        records.clear();
        return btr::StatusIoError;
    }
    return read(source, info, records);
}

bool looksLikeGenuineFile(const uint8_t* head, size_t size)
{
    Family family;
    uint32_t pageSize = 0;
    return recogniseFamily(Page(std::vector<uint8_t>(head, head + size)), family, pageSize);
}

int16_t openGenuineImage(const uint8_t* data, size_t size, GenuineInfo& info)
{
    MemorySource source(data, size);
    return open(source, info);
}

int16_t readGenuineImageRecords(const uint8_t* data, size_t size, const GenuineInfo& info,
                                std::vector<std::vector<uint8_t>>& records)
{
    MemorySource source(data, size);
    return read(source, info, records);
}

} // namespace engine
